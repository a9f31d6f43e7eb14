// Command line of vintermoot-capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs.h"
#include "show/frame.h"

// The song range the tool accepts, and the default video range: the show's
// five minutes of scenes and the half minute of the finale after them.
constexpr int64_t CAPTURE_SONG_END_MS = SHOW_LENGTH_MS;

// What one run writes.
enum CaptureMode { CAPTURE_NONE, CAPTURE_FRAMES, CAPTURE_SHEET, CAPTURE_VIDEO };

struct CaptureOptions {
    CaptureMode mode = CAPTURE_NONE;
    std::string output;       // directory (frames) or file (sheet, video)
    std::string data_dir;     // empty: the working directory
    std::string sync_log;     // empty: none
    std::string state_hashes; // empty: none; else every step's checksum of --from/--to
    std::vector<int64_t> at;  // song times (ms) of single frames
    bool has_from = false;
    bool has_to = false;
    int64_t from_ms = 0;
    int64_t to_ms = CAPTURE_SONG_END_MS;
    int every = 1;
    int fps = 60;
    int width = 1024;
    int height = 768;
    int supersample = 1; // frames drawn this many times larger each way, then box-filtered
    const CaptureCodec* codec = capture_default_codec();
    bool has_crf = false;
    int crf = 0;             // lossy codecs: the codec's default unless --crf
    bool split_part = false; // --split-part: one part of a split capture
    std::string join;        // --join LIST: join the parts LIST names
};

// Largest --supersample.
constexpr int CAPTURE_MAX_SUPERSAMPLE = 4;

enum CaptureParse {
    CAPTURE_PARSE_OK,
    CAPTURE_PARSE_HELP,
    CAPTURE_PARSE_VERSION,
    CAPTURE_PARSE_BAD
};

// Reads the arguments (argv[1..argc-1]).  On CAPTURE_PARSE_BAD, `error`
// says what is wrong.
CaptureParse capture_parse(int argc, char** argv, CaptureOptions* options, std::string* error);

// Frames of the span --from/--to (video: from up to, not including, to;
// frames and state checksums: both included), before --every.
int64_t capture_span_frames(const CaptureOptions& options);

// The one-line usage, the --help text (which starts with it) and what
// --version prints.
const char* capture_usage();
const char* capture_help();
const char* capture_version();
