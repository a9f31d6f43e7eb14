// vintermoot-capture: renders the show headless and frame-exact into PNG
// frames, a contact sheet or a video with its music.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "box_filter.h"
#include "capture_options.h"
#include "capture_video.h"
#include "contact_sheet.h"
#include "frame_reader.h"
#include "harness/harness.h"
#include "platform/data_dir.h"
#include "platform/png_file.h"
#include "show/show_check.h"
#include "progress.h"

namespace {

constexpr const char* TOOL = "vintermoot-capture";
constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;

// One frame to keep: its number and where it goes (a PNG path, or a cell of
// the contact sheet with its label).
struct WantedFrame {
    int64_t frame;
    std::string path;
    int cell;
    int64_t label_ms;
};

// A text output written through its part file in the same folder, renamed
// to its name only once it is complete.
struct PartFile {
    FILE* file = nullptr;
    std::string path, part;
};

// What a run keeps besides the frames: the sync log.  It lists the notes
// shown by frames first..end-1, numbered from `base` on (the video's first
// frame is its frame 0).
struct SyncLog {
    PartFile out;
    int fps = 60;
    int64_t first = 0, end = 0, base = 0;
};

// The state checksums of steps first..end-1 (at 60 frames a second a frame
// is a step).
struct HashLog {
    PartFile out;
    int64_t first = 0, end = 0;
};

int complain(const std::string& message) {
    fprintf(stderr, "%s: %s\n", TOOL, message.c_str());
    return EXIT_FAILED;
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code error;
    return (std::filesystem::current_path(error) / path).string();
}

bool part_open(PartFile* out, const std::string& path, std::string* error) {
    out->path = path;
    out->part = path + ".part";
    out->file = fopen(out->part.c_str(), "we");
    if (out->file) return true;
    *error = "cannot write " + path + ": " + strerror(errno);
    return false;
}

// Closes the part file and, when `keep` and every write went well, gives it
// its name; otherwise removes it.  False when it was to be kept and could
// not be.
bool part_end(PartFile* out, bool keep, std::string* error) {
    if (!out->file) return true;
    bool ok = ferror(out->file) == 0;
    ok = fclose(out->file) == 0 && ok;
    out->file = nullptr;
    if (keep && ok && rename(out->part.c_str(), out->path.c_str()) == 0) return true;
    int code = errno;
    unlink(out->part.c_str());
    if (keep) *error = "cannot write " + out->path + ": " + strerror(code);
    return !keep;
}

void log_note(double note_ms, int64_t frame, void* user) {
    SyncLog* log = static_cast<SyncLog*>(user);
    if (frame < log->first || frame >= log->end) return;
    fprintf(log->out.file, "%.3f %lld %lld\n", note_ms, static_cast<long long>(frame - log->base),
            static_cast<long long>(harness_frame_time(frame, log->fps)));
}

// The frames of the run that the log covers: the video's frames, or the
// PNG frames of a span (by their file numbers), or every frame up to the
// last one written (--at).
void sync_log_span(SyncLog* log, const CaptureOptions& o, int64_t first_written, int64_t end) {
    bool span = o.mode == CAPTURE_VIDEO || (o.mode == CAPTURE_FRAMES && o.at.empty());
    log->first = span ? first_written : 0;
    log->end = end;
    log->base = o.mode == CAPTURE_VIDEO ? first_written : 0;
}

bool sync_log_begin(SyncLog* log, const std::string& path, int fps, std::string* error) {
    if (path.empty()) return true;
    log->fps = fps;
    if (!part_open(&log->out, path, error)) return false;
    fprintf(log->out.file, "# note_ms frame frame_ms: each note of the beat instrument, the song "
                           "time it sounds at, the first frame that shows it (a video's frames "
                           "count from 0) and that frame's song time\n");
    harness_set_note_sink(log_note, log);
    return true;
}

// The checksums cover the span of --from/--to.
bool hash_log_begin(HashLog* log, const CaptureOptions& o, std::string* error) {
    if (o.state_hashes.empty()) return true;
    log->first = harness_first_frame_at(o.from_ms, o.fps);
    log->end = log->first + capture_span_frames(o);
    return part_open(&log->out, o.state_hashes, error);
}

// After frame n ran: its step's checksum, when the span holds it.
void hash_log_step(HashLog* log, int64_t n) {
    if (!log->out.file || n < log->first || n >= log->end) return;
    fprintf(log->out.file, "%lld " SHOW_HASH_FORMAT "\n", static_cast<long long>(n),
            static_cast<unsigned long long>(show_state_hash()));
}

// An output that exists and is not a regular file (a device, a directory, a
// pipe) is never replaced: writing ends in a rename over it.
bool is_not_a_file(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Writes a PNG through a part file, so that no half-written file is left.
bool write_png(const std::string& path, int width, int height, const uint8_t* rgb,
               std::string* error) {
    std::string part = path + ".part";
    if (png_write_rgb(part.c_str(), width, height, rgb) && rename(part.c_str(), path.c_str()) == 0)
        return true;
    unlink(part.c_str());
    *error = "cannot write " + path;
    return false;
}

std::vector<WantedFrame> frames_wanted(const CaptureOptions& o) {
    std::vector<WantedFrame> wanted;
    for (size_t i = 0; i < o.at.size(); ++i) {
        std::string path = o.output + "/" + std::to_string(o.at[i]) + ".png";
        wanted.push_back(
            {harness_first_frame_at(o.at[i], o.fps), path, static_cast<int>(i), o.at[i]});
    }
    if (o.at.empty()) {
        int64_t last = harness_first_frame_at(o.to_ms + 1, o.fps) - 1;
        for (int64_t n = harness_first_frame_at(o.from_ms, o.fps); n <= last; n += o.every) {
            char name[32];
            snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(n));
            wanted.push_back({n, o.output + name, 0, harness_frame_time(n, o.fps)});
        }
    }
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const WantedFrame& a, const WantedFrame& b) { return a.frame < b.frame; });
    return wanted;
}

// A run over frames 0..end-1: what to do with each drawn frame.
struct FrameRun {
    const CaptureOptions* options;
    std::vector<WantedFrame> wanted; // frames mode and sheet
    ContactSheet sheet;
    VideoCapture video;
    FrameReader reader;      // video: frames on their way back from GL
    int64_t first_drawn = 0; // video: frames from here on are drawn
    int64_t end = 0;         // one past the last frame run
    int64_t total = 0;       // outputs to write
    int64_t written = 0;     // outputs written
    HashLog hashes;          // --state-hashes
};

// Video: the oldest frame read back goes from GL into the encoder's queue.
bool pass_frame(FrameRun* run, std::string* error) {
    uint8_t* buffer = video_next_buffer(&run->video, error);
    if (!buffer) return false;
    if (!frame_reader_take(&run->reader, buffer)) {
        *error = "cannot read a frame back from GL";
        return false;
    }
    video_queue_buffer(&run->video);
    ++run->written;
    return true;
}

// Video: the frames still on their way back from GL.
bool pass_waiting_frames(FrameRun* run, std::string* error) {
    while (frame_reader_waiting(&run->reader) > 0)
        if (!pass_frame(run, error)) return false;
    return true;
}

bool keep_frame(FrameRun* run, int64_t n, size_t* next, std::string* error) {
    const CaptureOptions& o = *run->options;
    if (o.mode == CAPTURE_VIDEO) {
        if (n < run->first_drawn) return true;
        if (frame_reader_waiting(&run->reader) >= frame_reader_depth(&run->reader) &&
            !pass_frame(run, error))
            return false;
        frame_reader_start(&run->reader);
        return true;
    }
    if (*next >= run->wanted.size() || run->wanted[*next].frame != n) return true;
    std::vector<uint8_t> rgb = harness_read_rgb();
    if (o.supersample > 1) {
        std::vector<uint8_t> drawn = std::move(rgb);
        rgb.resize(static_cast<size_t>(o.width) * static_cast<size_t>(o.height) * 3);
        box_filter_shrink(drawn.data(), o.width, o.height, 3, o.supersample, rgb.data());
    }
    for (; *next < run->wanted.size() && run->wanted[*next].frame == n; ++*next) {
        const WantedFrame& w = run->wanted[*next];
        ++run->written;
        if (o.mode == CAPTURE_SHEET)
            sheet_put(&run->sheet, w.cell, rgb.data(), o.width, o.height, w.label_ms);
        else if (!write_png(w.path, o.width, o.height, rgb.data(), error))
            return false;
    }
    return true;
}

bool is_drawn(const FrameRun* run, int64_t n, size_t next) {
    if (run->options->mode == CAPTURE_VIDEO) return n >= run->first_drawn;
    return next < run->wanted.size() && run->wanted[next].frame == n;
}

// Runs every frame up to the last one wanted.  False on a failure or stop.
bool run_frames(FrameRun* run, Progress* progress, std::string* error) {
    size_t next = 0;
    for (int64_t n = 0; n < run->end; ++n) {
        if (capture_stop_requested) {
            *error = "interrupted";
            return false;
        }
        bool drawn = is_drawn(run, n, next);
        harness_step(drawn);
        hash_log_step(&run->hashes, n);
        if (!keep_frame(run, n, &next, error)) return false;
        // Progress counts the frames written (or, with no frames, the
        // checksums), not the lead-in run up to them.
        CaptureMode mode = run->options->mode;
        int64_t done = mode == CAPTURE_VIDEO  ? n + 1 - run->first_drawn
                       : mode == CAPTURE_NONE ? n + 1 - run->hashes.first
                                              : static_cast<int64_t>(next);
        if (mode == CAPTURE_NONE) run->written = std::max<int64_t>(done, 0);
        if (drawn || (mode == CAPTURE_NONE && done > 0))
            progress_update(progress, done, harness_frame_time(n, run->options->fps));
    }
    return true;
}

// The video the options ask for: the frames of --from up to --to.
VideoPlan video_plan_of(const CaptureOptions& o) {
    VideoPlan plan;
    plan.output = o.output;
    plan.width = o.width;
    plan.height = o.height;
    plan.fps = o.fps;
    plan.rate = SHOW_MIX_RATE;
    plan.first_frame = harness_first_frame_at(o.from_ms, o.fps);
    plan.end_frame = harness_first_frame_at(o.to_ms, o.fps);
    plan.codec = o.codec;
    plan.crf = o.crf;
    plan.part_of_split = o.split_part;
    return plan;
}

bool prepare_outputs(FrameRun* run, std::string* error) {
    const CaptureOptions& o = *run->options;
    if (!hash_log_begin(&run->hashes, o, error)) return false;
    if (o.mode == CAPTURE_NONE) { // the checksums alone
        run->end = run->hashes.end;
        run->first_drawn = run->hashes.first;
        run->total = run->end - run->first_drawn;
        return true;
    }
    if (o.mode == CAPTURE_VIDEO) {
        run->first_drawn = harness_first_frame_at(o.from_ms, o.fps);
        run->end = harness_first_frame_at(o.to_ms, o.fps);
        run->total = run->end - run->first_drawn;
        if (!frame_reader_begin(&run->reader, o.width, o.height, o.supersample)) {
            *error = "cannot read frames back from GL (no pixel buffer objects)";
            return false;
        }
        if (!video_begin(&run->video, video_plan_of(o), error)) return false;
        harness_set_audio_sink(video_audio_sink, &run->video);
        return true;
    }
    run->wanted = frames_wanted(o);
    run->end = run->wanted.empty() ? 0 : run->wanted.back().frame + 1;
    run->end = std::max(run->end, run->hashes.end);
    run->first_drawn = run->wanted.empty() ? 0 : run->wanted.front().frame;
    run->total = static_cast<int64_t>(run->wanted.size());
    if (o.mode == CAPTURE_SHEET) {
        sheet_begin(&run->sheet, o.width, o.height, static_cast<int>(o.at.size()));
        return true;
    }
    std::error_code made;
    std::filesystem::create_directories(o.output, made);
    if (made) *error = "cannot make the directory " + o.output + ": " + made.message();
    return !made;
}

bool finish_outputs(FrameRun* run, std::string* error) {
    const CaptureOptions& o = *run->options;
    if (o.mode == CAPTURE_VIDEO) {
        if (!pass_waiting_frames(run, error)) return false;
        harness_render_audio_to(run->video.end_sample);
        return video_finish(&run->video, error);
    }
    if (o.mode == CAPTURE_SHEET) {
        int width, height;
        std::vector<uint8_t> rgb = sheet_compose(&run->sheet, &width, &height);
        return write_png(o.output, width, height, rgb.data(), error);
    }
    return true;
}

std::string startup_text() {
    HarnessStartup s = harness_startup();
    char text[160];
    snprintf(text, sizeof text,
             "start-up %.0f ms (textures %.0f, font %.0f, module %.0f, rest %.0f)", s.total_ms,
             s.textures_ms, s.font_ms, s.module_ms, s.rest_ms);
    return text;
}

std::string result_text(const CaptureOptions& o, const FrameRun& run) {
    std::string text = "wrote ";
    if (o.mode == CAPTURE_FRAMES) text += std::to_string(run.written) + " PNG files in ";
    text += o.output;
    if (!o.state_hashes.empty()) {
        if (o.mode != CAPTURE_NONE) text += " and ";
        text += std::to_string(run.hashes.end - run.hashes.first) + " state checksums in " +
                o.state_hashes;
    }
    struct stat info;
    if (o.mode == CAPTURE_VIDEO && stat(o.output.c_str(), &info) == 0) {
        char size[48];
        snprintf(size, sizeof size, " (%.1f MB)", static_cast<double>(info.st_size) / 1e6);
        text += size;
    }
    return text + "; " + startup_text();
}

int start_failure(HarnessFailure failure, const CaptureOptions& o) {
    switch (failure) {
    case HARNESS_NO_CONTEXT:
        return complain("cannot create an OpenGL context of " +
                        std::to_string(o.width * o.supersample) + "x" +
                        std::to_string(o.height * o.supersample) +
                        " (offscreen driver); a smaller --size or --supersample may fit");
    case HARNESS_NO_TEXTURES:
        return complain("cannot load the show's pictures from data/ (run from the directory "
                        "that holds data/, or give --data DIR)");
    default:
        return complain("cannot start the sound layer's offline mode");
    }
}

// The first output that exists and is not a regular file; empty when none.
std::string refused_output(const CaptureOptions& o) {
    std::vector<std::string> paths = {o.sync_log, o.state_hashes};
    if (o.mode == CAPTURE_FRAMES)
        for (const WantedFrame& w : frames_wanted(o))
            paths.push_back(w.path);
    else
        paths.push_back(o.output);
    for (const std::string& path : paths)
        for (const char* suffix : {"", ".part", ".video.part", ".audio.part"})
            if (!path.empty() && is_not_a_file(path + suffix)) return path + suffix;
    return std::string();
}

int capture(const CaptureOptions& o) {
    std::string error;
    HarnessFailure started = harness_begin_scaled(o.width, o.height, o.fps, o.supersample);
    if (started != HARNESS_OK) return start_failure(started, o);
    FrameRun run;
    run.options = &o;
    SyncLog log;
    Progress progress;
    bool ok = prepare_outputs(&run, &error);
    sync_log_span(&log, o, run.first_drawn, run.end);
    ok = ok && sync_log_begin(&log, o.sync_log, o.fps, &error);
    if (ok) {
        progress_begin(&progress, run.total);
        ok = run_frames(&run, &progress, &error) && finish_outputs(&run, &error);
    }
    if (o.mode == CAPTURE_VIDEO) {
        video_abandon(&run.video); // removes what is left
        frame_reader_end(&run.reader);
    }
    ok = part_end(&log.out, ok, &error) && ok;
    ok = part_end(&run.hashes.out, ok, &error) && ok;
    progress_clear(&progress);
    if (ok) {
        std::string detail = result_text(o, run);
        progress_finish(&progress, run.written, TOOL, detail.c_str());
    }
    harness_end();
    if (ok) return EXIT_DONE;
    complain(error);
    return capture_stop_requested ? EXIT_INTERRUPTED : EXIT_FAILED;
}

// Joins the parts of a split capture into the video of the whole span.
int join(const CaptureOptions& o) {
    VideoPlan plan = video_plan_of(o);
    VideoCapture video;
    std::string error;
    if (!video_join(&video, plan, o.join, &error)) {
        complain(error);
        return capture_stop_requested ? EXIT_INTERRUPTED : EXIT_FAILED;
    }
    fprintf(stderr, "%s: joined %lld frames into %s\n", TOOL,
            static_cast<long long>(plan.end_frame - plan.first_frame), o.output.c_str());
    return EXIT_DONE;
}

} // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    switch (capture_parse(argc, argv, &options, &error)) {
    case CAPTURE_PARSE_HELP:
        fputs(capture_help(), stdout);
        return EXIT_DONE;
    case CAPTURE_PARSE_VERSION:
        fputs(capture_version(), stdout);
        return EXIT_DONE;
    case CAPTURE_PARSE_BAD:
        fprintf(stderr, "%s: %s\n%s", TOOL, error.c_str(), capture_usage());
        return EXIT_USAGE;
    case CAPTURE_PARSE_OK:
        break;
    }
    options.output = absolute(options.output);
    options.sync_log = absolute(options.sync_log);
    options.state_hashes = absolute(options.state_hashes);
    std::string refused = refused_output(options);
    if (!refused.empty()) {
        fprintf(stderr, "%s: will not write %s: it exists and is not a regular file\n", TOOL,
                refused.c_str());
        return EXIT_USAGE;
    }
    capture_catch_signals();
    if (!options.join.empty()) {
        options.join = absolute(options.join);
        return join(options);
    }
    if (!data_dir_enter(options.data_dir, &error)) return complain(error);
    return capture(options);
}
