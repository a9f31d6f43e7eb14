// Private state of the particle tunnel finale (scene6_particle_finale.cpp),
// visible to the tests and the frame harness.  Only run_particle_finale
// changes these values (and particle_finale_reset puts them back); none is
// reset during a show.
#pragma once

#include <cstdint>

// Flow angles in radians, initially 0, advanced every frame by the stage
// table; they steer the spark motion and sparks_a's respawn point.
extern float flow_x, flow_y, flow_z;

// Respawn angles of sparks_b (+0.1 per frame) and sparks_c (-0.1 per frame)
// on their circles of radius 15; ring_angle_b also sways the end picture.
extern float ring_angle_b, ring_angle_c;

// Frames of stages 2 and 4 drawn so far; times the end pictures.
extern int32_t end_frames;

// Texture slot of the end picture, 57 to 62, initially 57.
extern int32_t end_picture;
