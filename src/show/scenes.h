// Entry points of the six scenes, one file each, called by render_frame
// after the frame is cleared with the modelview matrix at identity.  Each
// scene keeps its state in one record of its header (reset: `record = {}`).
#pragma once

void run_opening_scene();    // scene 1, 0 .. 76999 ms
void run_bit_tunnel();       // scene 2, 77000 .. 102499 ms
void run_sphere_greetings(); // scene 3, 102500 .. 121799 ms
void run_flying_words();     // scene 4, 121800 .. 159759 ms
void run_landscape();        // scene 5, 159760 .. 259999 ms
void run_particle_finale();  // scene 6, from 260000 ms
