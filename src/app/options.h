// The player's command line, GNU style: long options, a value after "=" or
// as the next argument (an optional value only after "=").  With no options
// the player starts as it always has.
#pragma once

#include <cstdint>
#include <string>

#include "show/frame.h"

// How the display is opened.
enum OptionsDisplay {
    OPTIONS_DISPLAY_SHOW,       // the show's own: the 1024 x 768 mode, else ask
    OPTIONS_DISPLAY_WINDOW,     // --window[=WxH]
    OPTIONS_DISPLAY_FULLSCREEN, // --fullscreen: the desktop's own resolution
};

// The window size --window gives without a value.
constexpr int OPTIONS_WINDOW_WIDTH = 1024;
constexpr int OPTIONS_WINDOW_HEIGHT = 768;
// Sizes --window accepts.
constexpr int OPTIONS_MIN_SIDE = 64;
constexpr int OPTIONS_MAX_SIDE = 16384;
// Latest song time --from accepts (the end of the finale's outro).
constexpr int64_t OPTIONS_SONG_END_MS = SHOW_LENGTH_MS;
// Largest correction --audio-delay accepts either way (ms).
constexpr int64_t OPTIONS_MAX_AUDIO_DELAY_MS = 5000;

struct PlayerOptions {
    OptionsDisplay display = OPTIONS_DISPLAY_SHOW;
    int width = OPTIONS_WINDOW_WIDTH; // --window's client size
    int height = OPTIONS_WINDOW_HEIGHT;
    int64_t from_ms = 0;        // --from
    std::string data_dir;       // --data; empty: look in the usual places
    bool vsync = true;          // cleared by --no-vsync
    int64_t audio_delay_ms = 0; // --audio-delay: added to the output's latency
};

enum OptionsParse { OPTIONS_OK, OPTIONS_HELP, OPTIONS_VERSION, OPTIONS_BAD };

// Reads argv[1..argc-1].  On OPTIONS_BAD, `error` is one line that names the
// option at fault.
OptionsParse options_parse(int argc, char** argv, PlayerOptions* options, std::string* error);

// A song time as --from takes it: whole milliseconds ("260000") or minutes
// and seconds ("4:20", "4:20.5").  False when the text is neither.
bool options_parse_time(const char* text, int64_t* ms);

// The one-line usage, and the --help text (which starts with it).
const char* options_usage();
const char* options_help();

// What --version prints.
const char* options_version();
