// The show's sound start-up, shared by the desktop player and the browser
// entry: the output (with the "DAMN!!!" box when it cannot start), the
// second initialisation, the song load and, when asked, play.
#pragma once

// Starts the output and loads the module into song_module; plays it when
// `play_now` (a start later in the song plays it after the fast-forward).
// False when the output could not start (the user has been told).
bool show_start_sound(bool play_now);
