#include "app/options.h"

#include <cstdlib>

#include "platform/option_parser.h"

namespace {

const char USAGE[] = "Usage: vintermoot [--window[=WxH] | --fullscreen] [--from T] [--data DIR]\n"
                     "                  [--audio-delay MS] [--no-vsync]\n";

const char HELP_BODY[] =
    "Plays Vintermoot 2002, a real-time OpenGL demo with tracker music.\n"
    "Without options it opens full screen at 1024 x 768 (asking for a window\n"
    "when the display has no such mode).  Escape or closing the window ends it.\n"
    "\n"
    "Keys while it plays:\n"
    "  Space            pause / resume (the music stops and goes on in place)\n"
    "  Left / Right     5 s back / forward\n"
    "  Page Up / Up     to the start of the scene (again: of the one before)\n"
    "  Page Down / Down to the start of the next scene\n"
    "  Home             to the start of the show\n"
    "  . / ,            while paused: one step forward / back\n"
    "  Escape           end the show\n"
    "  F12              write the picture into the pictures folder (a PNG named\n"
    "                   after the song time)\n"
    "A time bar (song time, scene, the six scenes) shows for 2 s after these\n"
    "keys and while paused.  The media keys (play/pause, next, previous, stop)\n"
    "and the desktop's media controls (MPRIS, playerctl) act the same.\n"
    "\n"
    "  --window[=WxH]   a resizable window at once (default 1024x768); the 4:3\n"
    "                   picture stays centred, black bars fill the rest\n"
    "  --fullscreen     full screen at the display's own resolution, no mode\n"
    "                   change; the 4:3 picture centred between black bars\n"
    "  --from T         start at song time T, in ms (260000) or as m:ss (4:20);\n"
    "                   the show seeks to exactly the state it has there\n"
    "  --data DIR       the directory that holds data/ (default: the working\n"
    "                   directory, beside the program, then the installed copy)\n"
    "  --audio-delay MS hold the picture back MS milliseconds more (negative:\n"
    "                   less) than the sound output's own reported latency, for\n"
    "                   outputs that report it wrongly or not at all, such as\n"
    "                   Bluetooth headphones (-5000 to 5000)\n"
    "  --no-vsync       swap without waiting for the display (for measuring)\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "\n"
    "Exit status: 0 done, 1 the show could not start, 2 bad options.\n";

const char VERSION_TEXT[] = "vintermoot (Vintermoot 2002) " VM_VERSION "\n";

constexpr int64_t MS_PER_SECOND = 1000;
constexpr int64_t MS_PER_MINUTE = 60000;
constexpr int64_t MAX_NUMBER = 1000000000;

// Decimal digits only; at most MAX_NUMBER.
bool parse_number(const std::string& text, int64_t* value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int64_t parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (parsed > MAX_NUMBER) return false;
    *value = parsed;
    return true;
}

// "ss" or "ss.f", "ss.ff", "ss.fff": seconds below 60 in milliseconds.
bool parse_seconds(const std::string& text, int64_t* ms) {
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    int64_t seconds, fraction = 0;
    if (whole.size() != 2 || !parse_number(whole, &seconds) || seconds >= 60) return false;
    if (dot != std::string::npos) {
        std::string digits = text.substr(dot + 1);
        if (digits.empty() || digits.size() > 3 || !parse_number(digits, &fraction)) return false;
        for (size_t i = digits.size(); i < 3; ++i)
            fraction *= 10;
    }
    *ms = seconds * MS_PER_SECOND + fraction;
    return true;
}

// The option's value: after "=" in the same argument, else the next one.
bool take_value(OptionParser& p, const std::string& name, const std::string& arg, size_t eq,
                std::string* value) {
    if (eq != std::string::npos) {
        *value = arg.substr(eq + 1);
        return true;
    }
    if (p.next >= p.argc) return option_fail(p, "option " + name + " needs a value");
    *value = p.argv[p.next++];
    return true;
}

bool take_size(OptionParser& p, const std::string& text, PlayerOptions* o) {
    size_t x = text.find('x');
    int64_t w = 0, h = 0;
    bool ok = x != std::string::npos && parse_number(text.substr(0, x), &w) &&
              parse_number(text.substr(x + 1), &h);
    if (!ok || w < OPTIONS_MIN_SIDE || h < OPTIONS_MIN_SIDE || w > OPTIONS_MAX_SIDE ||
        h > OPTIONS_MAX_SIDE)
        return option_fail(p, "--window takes WIDTHxHEIGHT, each from " +
                                  std::to_string(OPTIONS_MIN_SIDE) + " to " +
                                  std::to_string(OPTIONS_MAX_SIDE) + ", not \"" + text + "\"");
    o->width = static_cast<int>(w);
    o->height = static_cast<int>(h);
    return true;
}

bool set_display(OptionParser& p, PlayerOptions* o, OptionsDisplay display) {
    if (o->display != OPTIONS_DISPLAY_SHOW && o->display != display)
        return option_fail(p, "give only one of --window and --fullscreen");
    o->display = display;
    return true;
}

bool take_from(OptionParser& p, const std::string& text, PlayerOptions* o) {
    int64_t ms;
    if (!options_parse_time(text.c_str(), &ms))
        return option_fail(p, "--from takes a song time in ms or as m:ss, not \"" + text + "\"");
    if (ms > OPTIONS_SONG_END_MS)
        return option_fail(p, "--from " + text + " lies after the end of the show (" +
                                  std::to_string(OPTIONS_SONG_END_MS) + " ms)");
    o->from_ms = ms;
    return true;
}

// Whole milliseconds with an optional sign, within the accepted range.
bool take_audio_delay(OptionParser& p, const std::string& text, PlayerOptions* o) {
    bool negative = !text.empty() && text[0] == '-';
    size_t digits = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    int64_t ms;
    if (!parse_number(text.substr(digits), &ms) || ms > OPTIONS_MAX_AUDIO_DELAY_MS)
        return option_fail(p, "--audio-delay takes whole milliseconds from -" +
                                  std::to_string(OPTIONS_MAX_AUDIO_DELAY_MS) + " to " +
                                  std::to_string(OPTIONS_MAX_AUDIO_DELAY_MS) + ", not \"" + text +
                                  "\"");
    o->audio_delay_ms = negative ? -ms : ms;
    return true;
}

// One argument (and its value).  `result` turns to HELP or VERSION when asked.
bool parse_one(OptionParser& p, PlayerOptions* o, OptionsParse* result) {
    std::string arg = p.argv[p.next++];
    size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    std::string name = arg.substr(0, eq);
    bool has_value = eq != std::string::npos;
    std::string value;
    if ((name == "--help" || name == "--version" || name == "--fullscreen" ||
         name == "--no-vsync") &&
        has_value)
        return option_fail(p, "option " + name + " takes no value");
    if (name == "--help" || name == "-h") {
        *result = OPTIONS_HELP;
        return true;
    }
    if (name == "--version") {
        *result = OPTIONS_VERSION;
        return true;
    }
    if (name == "--fullscreen") return set_display(p, o, OPTIONS_DISPLAY_FULLSCREEN);
    if (name == "--no-vsync") {
        o->vsync = false;
        return true;
    }
    if (name == "--window") {
        if (!set_display(p, o, OPTIONS_DISPLAY_WINDOW)) return false;
        return !has_value || take_size(p, arg.substr(eq + 1), o);
    }
    if (name == "--from") return take_value(p, name, arg, eq, &value) && take_from(p, value, o);
    if (name == "--audio-delay")
        return take_value(p, name, arg, eq, &value) && take_audio_delay(p, value, o);
    if (name == "--data") {
        if (!take_value(p, name, arg, eq, &value)) return false;
        if (value.empty()) return option_fail(p, "--data needs a directory");
        o->data_dir = value;
        return true;
    }
    if (arg.rfind("-", 0) == 0) return option_fail(p, "unknown option \"" + arg + "\"");
    return option_fail(p, "unexpected argument \"" + arg + "\"");
}

} // namespace

bool options_parse_time(const char* text, int64_t* ms) {
    std::string t = text;
    size_t colon = t.find(':');
    if (colon == std::string::npos) return parse_number(t, ms);
    int64_t minutes, seconds_ms;
    if (!parse_number(t.substr(0, colon), &minutes) || minutes > MAX_NUMBER / MS_PER_MINUTE ||
        !parse_seconds(t.substr(colon + 1), &seconds_ms))
        return false;
    *ms = minutes * MS_PER_MINUTE + seconds_ms;
    return true;
}

OptionsParse options_parse(int argc, char** argv, PlayerOptions* options, std::string* error) {
    *options = PlayerOptions{};
    OptionParser p{argc, argv, 1, error};
    OptionsParse result = OPTIONS_OK;
    while (p.next < argc) {
        if (!parse_one(p, options, &result)) return OPTIONS_BAD;
        if (result != OPTIONS_OK) return result;
    }
    return OPTIONS_OK;
}

const char* options_usage() {
    return USAGE;
}

const char* options_help() {
    static const std::string text = std::string(USAGE) + HELP_BODY;
    return text.c_str();
}

const char* options_version() {
    return VERSION_TEXT;
}
