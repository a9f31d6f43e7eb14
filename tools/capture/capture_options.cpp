#include "capture_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/options.h"
#include "harness/harness.h"
#include "platform/option_parser.h"
#include "show/frame.h"

namespace {

const char USAGE[] = "Usage: vintermoot-capture [--data DIR] (--frames DIR | --contact-sheet FILE "
                     "| --video FILE | --state-hashes FILE) [options]\n";

const char HELP_BODY[] =
    "Renders the show headless, frame-exact: frame n shows song time\n"
    "floor(n * 1000 / fps) ms on every run.  Run it from the directory that\n"
    "holds data/ (like the player), or name that directory with --data.\n"
    "\n"
    "Outputs (exactly one, --state-hashes besides or alone):\n"
    "  --frames DIR --at T1,T2,...     the first frame at or after each song\n"
    "                                  time T (ms) as DIR/<T>.png\n"
    "  --frames DIR --from T --to T [--every N]\n"
    "                                  every Nth frame from T to T (ms, both\n"
    "                                  included) as DIR/frame_<n>.png\n"
    "  --contact-sheet FILE --at T1,T2,...\n"
    "                                  one PNG of those frames, labelled\n"
    "  --video FILE [--from T] [--to T]\n"
    "                                  a video with its music (through ffmpeg)\n"
    "                                  of song time T to T (default 0 to\n"
    "                                  330000 ms)\n"
    "  --state-hashes FILE [--from T] [--to T]\n"
    "                                  one line \"step checksum\" for every\n"
    "                                  step from T to T (ms, both included;\n"
    "                                  default the whole song): the show's\n"
    "                                  state after the step, as the player's\n"
    "                                  VM_STEP_TRACE ends its lines; steps\n"
    "                                  not asked for as frames are not drawn\n"
    "\n"
    "Options:\n"
    "  --fps N          frames per second, 1..60 (default 60)\n"
    "  --size WxH       frame size up to 4096x4096 (default 1024x768); the 4:3\n"
    "                   picture is centred between black bars.  Presets: 768p\n"
    "                   (1024x768), 1080p (1920x1080), 2160p or 4k (3840x2160)\n"
    "  --codec NAME     the video's codec (default h264):\n"
    "                     h264  H.264 and AAC in MP4\n"
    "                     ffv1  lossless FFV1 and FLAC in Matroska (a master)\n"
    "                     hevc  HEVC (H.265) and AAC in MP4\n"
    "                     av1   AV1 (SVT-AV1) and AAC in MP4\n"
    "  --crf N          quality of h264, hevc (0 to 51) and av1 (0 to 63); lower\n"
    "                   is better and larger (defaults 18, 22 and 30)\n"
    "  --split-part     write one part of a split capture for\n"
    "                   scripts/capture_farm.sh to join: the audio stays PCM,\n"
    "                   in a QuickTime file\n"
    "  --join LIST      join the parts of a split capture that LIST names (as\n"
    "                   ffmpeg's concat demuxer reads it) into --video FILE,\n"
    "                   the video as it is; give the whole span and the\n"
    "                   parts' settings\n"
    "  --supersample N  draw each frame at N x N times the size (1 to 4,\n"
    "                   default 1) and shrink it with a box filter: smooth\n"
    "                   edges and thin lines, N * N times the drawing\n"
    "  --sync-log FILE  write each note of the beat instrument: the song time\n"
    "                   it sounds at and the first frame that shows it\n"
    "  --data DIR       the directory that holds data/\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "\n"
    "Song times are milliseconds (260000) or minutes and seconds as the player\n"
    "takes them (4:20, 4:20.5, 4:20.125), from 0 to 330000 ms (5:30).\n"
    "Exit status: 0 done, 1 failed, 2 bad options, 130 interrupted.\n";

const char VERSION_TEXT[] = "vintermoot-capture (Vintermoot 2002) " VM_VERSION "\n";

// The show moves in steps of 1/60 s of song time: a faster video would only
// repeat its frames.
constexpr int MAX_FPS = FRAME_STEP_RATE;
constexpr int MIN_SIDE = 16;
constexpr int MAX_SIDE = 4096;

// The value after option `name`.
bool take_value(OptionParser& p, const char* name, const char** value) {
    if (p.next >= p.argc) return option_fail(p, std::string("option ") + name + " needs a value");
    *value = p.argv[p.next++];
    return true;
}

// A whole non-negative decimal number.
bool parse_count(const char* text, int64_t* value) {
    if (!*text) return false;
    for (const char* c = text; *c; ++c)
        if (*c < '0' || *c > '9') return false;
    errno = 0;
    long long parsed = strtoll(text, nullptr, 10);
    if (errno != 0 || parsed > 1000000000LL) return false;
    *value = parsed;
    return true;
}

bool take_time(OptionParser& p, const char* name, int64_t* value) {
    const char* text;
    if (!take_value(p, name, &text)) return false;
    if (!options_parse_time(text, value))
        return option_fail(p, std::string(name) +
                                  " takes a song time in ms or as m:ss.fff, not \"" + text + "\"");
    return true;
}

bool take_int(OptionParser& p, const char* name, int low, int high, int* value) {
    const char* text;
    int64_t parsed;
    if (!take_value(p, name, &text)) return false;
    if (!parse_count(text, &parsed) || parsed < low || parsed > high)
        return option_fail(p, std::string(name) + " takes a number from " + std::to_string(low) +
                                  " to " + std::to_string(high) + ", not \"" + text + "\"");
    *value = static_cast<int>(parsed);
    return true;
}

bool take_times(OptionParser& p, std::vector<int64_t>* times) {
    const char* text;
    if (!take_value(p, "--at", &text)) return false;
    std::string list = text;
    size_t start = 0;
    while (true) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
        int64_t value;
        if (!options_parse_time(item.c_str(), &value))
            return option_fail(p, "--at takes song times (ms or m:ss.fff) separated by commas, "
                                  "not \"" +
                                      list + "\"");
        times->push_back(value);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Named sizes for --size.
struct SizePreset {
    const char* name;
    int width, height;
};
const SizePreset SIZE_PRESETS[] = {
    {"768p", 1024, 768}, {"1080p", 1920, 1080}, {"2160p", 3840, 2160}, {"4k", 3840, 2160}};

bool take_size(OptionParser& p, CaptureOptions* o) {
    const char* text;
    if (!take_value(p, "--size", &text)) return false;
    std::string size = text;
    for (const SizePreset& preset : SIZE_PRESETS)
        if (size == preset.name) {
            o->width = preset.width;
            o->height = preset.height;
            return true;
        }
    size_t x = size.find('x');
    int64_t w, h;
    if (x == std::string::npos || !parse_count(size.substr(0, x).c_str(), &w) ||
        !parse_count(size.substr(x + 1).c_str(), &h) || w < MIN_SIDE || h < MIN_SIDE ||
        w > MAX_SIDE || h > MAX_SIDE)
        return option_fail(p,
                           "--size takes WIDTHxHEIGHT, each from 16 to 4096, or 768p, 1080p, 2160p "
                           "(or 4k), not \"" +
                               size + "\"");
    o->width = static_cast<int>(w);
    o->height = static_cast<int>(h);
    return true;
}

bool take_codec(OptionParser& p, CaptureOptions* o) {
    const char* text;
    if (!take_value(p, "--codec", &text)) return false;
    o->codec = capture_codec_named(text);
    if (!o->codec)
        return option_fail(p, "--codec takes one of " + capture_codec_names() + ", not \"" + text +
                                  "\"");
    return true;
}

// The codec's settings: --crf only for a lossy codec, within its range.
bool check_codec(OptionParser& p, CaptureOptions* o) {
    bool video = o->mode == CAPTURE_VIDEO;
    if (!video &&
        (o->has_crf || o->split_part || !o->join.empty() || o->codec != capture_default_codec()))
        return option_fail(p, "--codec, --crf, --split-part and --join belong to --video");
    if (o->split_part && !o->join.empty())
        return option_fail(p, "give only one of --split-part and --join");
    if (!o->join.empty() && !o->sync_log.empty())
        return option_fail(p, "--join draws nothing: give --sync-log to the parts' capture");
    const CaptureCodec& c = *o->codec;
    if (!o->has_crf) {
        o->crf = c.default_crf;
        return true;
    }
    if (c.default_crf < 0)
        return option_fail(p, std::string("--crf belongs to the lossy codecs; ") + c.name +
                                  " keeps every pixel");
    if (o->crf > c.max_crf)
        return option_fail(p, std::string("--crf of ") + c.name + " takes 0 to " +
                                  std::to_string(c.max_crf) + ", not " + std::to_string(o->crf));
    return true;
}

bool set_output(OptionParser& p, CaptureOptions* o, CaptureMode mode, const char* name) {
    if (o->mode != CAPTURE_NONE)
        return option_fail(p, "give only one of --frames, --contact-sheet and --video");
    const char* value;
    if (!take_value(p, name, &value)) return false;
    if (!*value) return option_fail(p, std::string(name) + " needs a non-empty path");
    o->mode = mode;
    o->output = value;
    return true;
}

// One option and its value.
bool parse_one(OptionParser& p, CaptureOptions* o, CaptureParse* result) {
    std::string arg = p.argv[p.next++];
    if (arg == "--help" || arg == "-h") {
        *result = CAPTURE_PARSE_HELP;
        return true;
    }
    if (arg == "--version") {
        *result = CAPTURE_PARSE_VERSION;
        return true;
    }
    if (arg == "--frames") return set_output(p, o, CAPTURE_FRAMES, "--frames");
    if (arg == "--contact-sheet") return set_output(p, o, CAPTURE_SHEET, "--contact-sheet");
    if (arg == "--video") return set_output(p, o, CAPTURE_VIDEO, "--video");
    if (arg == "--at") return take_times(p, &o->at);
    if (arg == "--from") {
        o->has_from = true;
        return take_time(p, "--from", &o->from_ms);
    }
    if (arg == "--to") {
        o->has_to = true;
        return take_time(p, "--to", &o->to_ms);
    }
    if (arg == "--every") return take_int(p, "--every", 1, 1000000, &o->every);
    if (arg == "--fps") return take_int(p, "--fps", 1, MAX_FPS, &o->fps);
    if (arg == "--size") return take_size(p, o);
    if (arg == "--codec") return take_codec(p, o);
    if (arg == "--crf") {
        o->has_crf = true;
        return take_int(p, "--crf", 0, 63, &o->crf);
    }
    if (arg == "--join") {
        const char* list;
        if (!take_value(p, "--join", &list)) return false;
        if (!*list) return option_fail(p, "--join needs a non-empty path");
        o->join = list;
        return true;
    }
    if (arg == "--split-part") {
        o->split_part = true;
        return true;
    }
    if (arg == "--supersample")
        return take_int(p, "--supersample", 1, CAPTURE_MAX_SUPERSAMPLE, &o->supersample);
    const char* value;
    if (arg == "--data" || arg == "--sync-log" || arg == "--state-hashes") {
        if (!take_value(p, arg.c_str(), &value)) return false;
        if (!*value)
            return option_fail(p, arg == "--data" ? "--data needs a directory"
                                                  : arg + " needs a non-empty path");
        (arg == "--data"       ? o->data_dir
         : arg == "--sync-log" ? o->sync_log
                               : o->state_hashes) = value;
        return true;
    }
    return option_fail(p, "unknown option \"" + arg + "\"");
}

bool outside_song(int64_t t) {
    return t < 0 || t > CAPTURE_SONG_END_MS;
}

std::string song_range_error(const std::string& what) {
    return what + " lies outside the song (0 to " + std::to_string(CAPTURE_SONG_END_MS) + " ms)";
}

// The combinations each output accepts.
bool check(OptionParser& p, CaptureOptions* o) {
    bool range = o->has_from || o->has_to;
    bool hashes = !o->state_hashes.empty();
    if (hashes && !o->at.empty())
        return option_fail(p, "--state-hashes takes --from/--to, not --at");
    if (hashes && o->fps != FRAME_STEP_RATE)
        return option_fail(p, "--state-hashes gives every step, 60 a second: leave out --fps");
    if (hashes && !o->join.empty())
        return option_fail(p, "--join runs no step: give --state-hashes to a capture");
    switch (o->mode) {
    case CAPTURE_NONE:
        if (hashes) break;
        return option_fail(
            p, "nothing to write: give --frames, --contact-sheet, --video or --state-hashes");
    case CAPTURE_FRAMES:
        if (o->at.empty() == !range)
            return option_fail(p, "--frames needs either --at or --from/--to");
        if (range && !o->has_to) return option_fail(p, "--frames with --from needs --to");
        break;
    case CAPTURE_SHEET:
        if (o->at.empty()) return option_fail(p, "--contact-sheet needs --at");
        if (range) return option_fail(p, "--contact-sheet takes --at, not --from/--to");
        break;
    case CAPTURE_VIDEO:
        if (!o->at.empty()) return option_fail(p, "--video takes --from/--to, not --at");
        if (o->width % 2 || o->height % 2)
            return option_fail(p, "--video needs an even width and height");
        break;
    }
    if (!check_codec(p, o)) return false;
    if (o->every != 1 && (o->mode != CAPTURE_FRAMES || !range))
        return option_fail(p, "--every belongs to --frames with --from/--to");
    for (int64_t t : o->at)
        if (outside_song(t)) return option_fail(p, song_range_error("--at " + std::to_string(t)));
    if (range) {
        std::string span = std::to_string(o->from_ms) + " to " + std::to_string(o->to_ms) + " ms";
        if (outside_song(o->from_ms))
            return option_fail(p, song_range_error("--from " + std::to_string(o->from_ms)));
        if (outside_song(o->to_ms))
            return option_fail(p, song_range_error("--to " + std::to_string(o->to_ms)));
        bool empty = o->mode == CAPTURE_VIDEO ? o->to_ms <= o->from_ms : o->to_ms < o->from_ms;
        if (empty) return option_fail(p, "the range " + span + " is empty");
        if (capture_span_frames(*o) <= 0)
            return option_fail(p, "the range " + span + " holds no frame at " +
                                      std::to_string(o->fps) + " fps");
    }
    return true;
}

} // namespace

int64_t capture_span_frames(const CaptureOptions& o) {
    int64_t first = harness_first_frame_at(o.from_ms, o.fps);
    if (o.mode == CAPTURE_VIDEO) return harness_first_frame_at(o.to_ms, o.fps) - first;
    return harness_first_frame_at(o.to_ms + 1, o.fps) - first;
}

CaptureParse capture_parse(int argc, char** argv, CaptureOptions* options, std::string* error) {
    *options = CaptureOptions{};
    OptionParser p{argc, argv, 1, error};
    CaptureParse result = CAPTURE_PARSE_OK;
    while (p.next < argc) {
        if (!parse_one(p, options, &result)) return CAPTURE_PARSE_BAD;
        if (result != CAPTURE_PARSE_OK) return result;
    }
    return check(p, options) ? CAPTURE_PARSE_OK : CAPTURE_PARSE_BAD;
}

const char* capture_usage() {
    return USAGE;
}

const char* capture_help() {
    static const std::string text = std::string(USAGE) + HELP_BODY;
    return text.c_str();
}

const char* capture_version() {
    return VERSION_TEXT;
}
