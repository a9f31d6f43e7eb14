#include "demo/frame.h"

#include <GL/gl.h>

SndSong* song_module = nullptr;

// Placeholder until the frame driver lands: clears the frame.
bool render_frame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}
