// The show's start-up on a current GL context: the texture set, the fixed
// render state, the finale's spark sets and the outline font.
#pragma once

// The show's picture size, its module (relative to the working directory)
// and the sound output it plays through: the player and the harness start
// from these.
constexpr int SHOW_WIDTH = 1024;
constexpr int SHOW_HEIGHT = 768;
constexpr const char* SHOW_MODULE_PATH = "data/Kvadrat2.xm";
constexpr int SHOW_MIX_RATE = 44100;
constexpr int SHOW_CHANNELS = 32;

// Loads the texture set, then sets the fixed GL state (gfx/render_state.h),
// seeds the finale's spark sets and builds the outline font.  False only
// when the texture set failed (then nothing else is set).  Leaves GL_TEXTURE
// current.
bool show_start_up();

// How long the last show_start_up took, in milliseconds: loading the
// texture set, building the outline font, and everything else.
struct StartupTimes {
    double textures_ms;
    double font_ms;
    double rest_ms;
};
extern StartupTimes show_startup_times;
