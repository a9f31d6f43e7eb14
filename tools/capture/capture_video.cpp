#include "capture_video.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

// Set only by the stop-signal handler; read by the frame loop and the waits.
volatile sig_atomic_t capture_stop_requested = 0;

namespace {

constexpr int WAV_HEADER_BYTES = 44;
constexpr int WAV_CHANNELS = 2;
constexpr int WAV_FRAME_BYTES = 4; // 16-bit stereo
// The frames as GL reads them back: BGRA bytes, bottom row first.  ffmpeg
// turns them upright by walking the rows backwards (no copy) and converts
// them to the encoder's YUV exactly as it converts the same picture given as
// RGB rows top first.
const char* const VIDEO_INPUT_ARGS[] = {"-f", "rawvideo", "-pix_fmt", "bgra"};
const char* const VIDEO_UPRIGHT_ARGS[] = {"-vf", "vflip"};
constexpr size_t VIDEO_PIXEL_BYTES = 4;
// How often a frame loop waiting for room in the queue looks for a stop.
constexpr std::chrono::milliseconds QUEUE_POLL{100};
// The audio may end this far from the video's end: the last AAC frame of
// 1024 samples is whole.
constexpr double VERIFY_AUDIO_SLACK_S = 0.05;
const char* const QUIET_ARGS[] = {"-hide_banner", "-nostdin", "-loglevel",
                                  "error",        "-nostats", "-y"};

void on_stop_signal(int) {
    capture_stop_requested = 1;
}

void put_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void wav_header(uint8_t* h, int rate, uint32_t frames) {
    uint32_t data_bytes = frames * WAV_FRAME_BYTES;
    memcpy(h, "RIFF", 4);
    put_u32(h + 4, 36 + data_bytes);
    memcpy(h + 8, "WAVEfmt ", 8);
    put_u32(h + 16, 16);
    put_u16(h + 20, 1); // PCM
    put_u16(h + 22, WAV_CHANNELS);
    put_u32(h + 24, static_cast<uint32_t>(rate));
    put_u32(h + 28, static_cast<uint32_t>(rate) * WAV_FRAME_BYTES);
    put_u16(h + 32, WAV_FRAME_BYTES);
    put_u16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    put_u32(h + 40, data_bytes);
}

void add_args(std::vector<std::string>& args, const char* const* list, size_t count) {
    args.insert(args.end(), list, list + count);
}

// Adds the words of `spaced` (separated by single spaces) to `args`.
void add_words(std::vector<std::string>& args, const char* spaced) {
    std::string words = spaced;
    for (size_t start = 0, end; start < words.size(); start = end + 1) {
        end = std::min(words.find(' ', start), words.size());
        if (end > start) args.push_back(words.substr(start, end - start));
    }
}

// Starts `program` with `args` (args[0] is the program's name), its standard
// input from `stdin_fd` (or /dev/null when negative) and its standard output
// to `stdout_fd` (discarded when negative); its error output stays ours, so
// ffmpeg's own errors show.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, int stdin_fd,
            int stdout_fd = -1) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    signal(SIGPIPE, SIG_DFL);
    int input = stdin_fd >= 0 ? stdin_fd : open("/dev/null", O_RDONLY);
    int output = stdout_fd >= 0 ? stdout_fd : open("/dev/null", O_WRONLY);
    if (input >= 0) dup2(input, STDIN_FILENO);
    if (output >= 0) dup2(output, STDOUT_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
}

// Waits for a child; a stop request on the way terminates it.  The exit
// status, or -1 when it did not exit normally.
int wait_child(pid_t pid) {
    int status = 0;
    bool signalled = false;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
        if (capture_stop_requested && !signalled) {
            kill(pid, SIGTERM);
            signalled = true;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

std::string system_error(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + strerror(errno);
}

// Creates (empty) a part file; false when the directory refuses it.
bool create_part(const std::string& path, std::string* error, const std::string& output) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail(error, system_error("cannot write", output));
    close(fd);
    return true;
}

// Writes all of `bytes` to `fd`; false when the reader is gone or a stop was
// asked.
bool write_all(int fd, const uint8_t* bytes, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = write(fd, bytes + sent, size - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (capture_stop_requested) return false;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
    return true;
}

// The writer thread: writes the queued frames in order until the queue is
// closed and empty, or a write fails.
void write_queued_frames(VideoCapture* v) {
    VideoQueue& q = v->queue;
    size_t size = video_frame_bytes(v);
    std::unique_lock<std::mutex> hold(q.lock);
    for (;;) {
        q.changed.wait(hold, [&q] { return q.written < q.filled || q.closing; });
        if (q.written == q.filled) return;
        const uint8_t* frame = q.buffers[q.written % VIDEO_QUEUE_FRAMES].data();
        hold.unlock();
        bool ok = write_all(v->encoder_stdin, frame, size);
        hold.lock();
        if (!ok) q.failed = true;
        if (ok) ++q.written;
        q.changed.notify_all();
        if (!ok) return;
    }
}

void start_writer(VideoCapture* v) {
    for (std::vector<uint8_t>& buffer : v->queue.buffers)
        buffer.resize(video_frame_bytes(v));
    v->queue.writer = std::thread(write_queued_frames, v);
}

// Closes the queue and waits for the writer: every queued frame written,
// or the writer failed.  True when all were written.
bool stop_writer(VideoCapture* v) {
    VideoQueue& q = v->queue;
    {
        std::lock_guard<std::mutex> hold(q.lock);
        q.closing = true;
    }
    q.changed.notify_all();
    if (q.writer.joinable()) q.writer.join();
    return !q.failed;
}

bool start_encoder(VideoCapture* v, int fps, std::string* error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return fail(error, std::string("pipe: ") + strerror(errno));
    std::vector<std::string> args = {"ffmpeg"};
    add_args(args, QUIET_ARGS, sizeof QUIET_ARGS / sizeof *QUIET_ARGS);
    add_args(args, VIDEO_INPUT_ARGS, sizeof VIDEO_INPUT_ARGS / sizeof *VIDEO_INPUT_ARGS);
    args.insert(args.end(),
                {"-video_size", std::to_string(v->width) + "x" + std::to_string(v->height),
                 "-framerate", std::to_string(fps), "-i", "pipe:0", "-an"});
    add_args(args, VIDEO_UPRIGHT_ARGS, sizeof VIDEO_UPRIGHT_ARGS / sizeof *VIDEO_UPRIGHT_ARGS);
    const CaptureCodec* codec = v->codec;
    args.insert(args.end(), {"-c:v", codec->encoder});
    add_words(args, codec->encoder_args);
    if (codec->default_crf >= 0) args.insert(args.end(), {"-crf", std::to_string(v->crf)});
    args.insert(args.end(),
                {"-pix_fmt", codec->pixel_format, "-f", codec->video_format, v->video_part});
    v->encoder = spawn(v->ffmpeg, args, fds[0]);
    close(fds[0]);
    if (v->encoder < 0) {
        close(fds[1]);
        return fail(error, std::string("cannot start ffmpeg: ") + strerror(errno));
    }
    v->encoder_stdin = fds[1];
    start_writer(v);
    return true;
}

bool open_wav(VideoCapture* v, std::string* error) {
    v->wav = fopen(v->audio_part.c_str(), "wbe");
    uint8_t header[WAV_HEADER_BYTES];
    wav_header(header, v->rate, 0);
    if (!v->wav || fwrite(header, 1, sizeof header, v->wav) != sizeof header)
        return fail(error, system_error("cannot write", v->audio_part));
    return true;
}

// Silence up to the end of the span (a song without a module renders none).
bool complete_wav(VideoCapture* v) {
    static const int16_t silence[2 * 1024] = {};
    while (!v->audio_failed && v->next_sample < v->end_sample) {
        size_t count = static_cast<size_t>(std::min<int64_t>(1024, v->end_sample - v->next_sample));
        v->audio_failed = fwrite(silence, WAV_FRAME_BYTES, count, v->wav) != count;
        v->next_sample += static_cast<int64_t>(count);
    }
    uint8_t header[WAV_HEADER_BYTES];
    wav_header(header, v->rate, static_cast<uint32_t>(v->end_sample - v->first_sample));
    bool ok = !v->audio_failed && fseek(v->wav, 0, SEEK_SET) == 0 &&
              fwrite(header, 1, sizeof header, v->wav) == sizeof header;
    ok = fclose(v->wav) == 0 && ok;
    v->wav = nullptr;
    return ok;
}

// Muxes the video and audio streams that `inputs` (ffmpeg's input
// arguments) give into the finished file, the video as it is, the audio
// encoded with the codec's audio encoder (PCM for a part).
bool mux(VideoCapture* v, const std::vector<std::string>& inputs, std::string* error) {
    std::vector<std::string> args = {"ffmpeg"};
    add_args(args, QUIET_ARGS, sizeof QUIET_ARGS / sizeof *QUIET_ARGS);
    args.insert(args.end(), inputs.begin(), inputs.end());
    args.insert(args.end(), {"-c:v", "copy"});
    if (v->part_of_split) {
        args.insert(args.end(), {"-c:a", CAPTURE_PART_AUDIO, "-f", CAPTURE_PART_FORMAT, v->part});
    } else {
        args.insert(args.end(), {"-c:a", v->codec->audio_encoder});
        add_words(args, v->codec->audio_args);
        add_words(args, v->codec->format_args);
        args.insert(args.end(), {"-f", v->codec->format, v->part});
    }
    pid_t pid = spawn(v->ffmpeg, args, -1);
    if (pid < 0) return fail(error, std::string("cannot start ffmpeg: ") + strerror(errno));
    int status = wait_child(pid);
    if (capture_stop_requested) return fail(error, "interrupted");
    if (status != 0) return fail(error, "ffmpeg could not mux the video and its audio");
    return true;
}

// Runs `program` with `args` and keeps its standard output in `text`.  The
// exit status, or -1.
int run_for_output(const std::string& program, const std::vector<std::string>& args,
                   std::string* text) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    pid_t pid = spawn(program, args, -1, fds[1]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got > 0)
            text->append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR || capture_stop_requested)
            break;
    }
    close(fds[0]);
    return wait_child(pid);
}

// One "section|key=value|key=value" line of ffprobe's compact output: the
// value of `key`, or empty.
std::string probe_field(const std::string& line, const std::string& key) {
    size_t at = line.find("|" + key + "=");
    if (at == std::string::npos) return std::string();
    at += key.size() + 2;
    return line.substr(at, line.find('|', at) - at);
}

// What ffprobe found in the finished file.
struct ProbedFile {
    int video_streams = 0, audio_streams = 0;
    int video_index = -1, audio_index = -1;
    std::string video_codec, audio_codec;
    int width = 0, height = 0, sample_rate = 0, channels = 0;
    int64_t video_packets = 0;
    double video_end_s = 0, audio_end_s = 0; // end of the last packet
};

void probe_stream_line(const std::string& line, ProbedFile* f) {
    std::string type = probe_field(line, "codec_type");
    int index = std::atoi(probe_field(line, "index").c_str());
    if (type == "video") {
        ++f->video_streams;
        f->video_index = index;
        f->video_codec = probe_field(line, "codec_name");
        f->width = std::atoi(probe_field(line, "width").c_str());
        f->height = std::atoi(probe_field(line, "height").c_str());
    } else if (type == "audio") {
        ++f->audio_streams;
        f->audio_index = index;
        f->audio_codec = probe_field(line, "codec_name");
        f->sample_rate = std::atoi(probe_field(line, "sample_rate").c_str());
        f->channels = std::atoi(probe_field(line, "channels").c_str());
    }
}

void probe_packet_line(const std::string& line, ProbedFile* f) {
    int index = std::atoi(probe_field(line, "stream_index").c_str());
    double end = std::atof(probe_field(line, "pts_time").c_str()) +
                 std::atof(probe_field(line, "duration_time").c_str());
    if (index == f->video_index) {
        ++f->video_packets;
        f->video_end_s = std::max(f->video_end_s, end);
    } else if (index == f->audio_index) {
        f->audio_end_s = std::max(f->audio_end_s, end);
    }
}

// Reads the streams and every packet's timing of `path` with ffprobe (its
// output lists the packets first, the streams after them).
bool probe_file(const VideoCapture* v, const std::string& path, ProbedFile* f) {
    std::vector<std::string> args = {
        "ffprobe",
        "-v",
        "error",
        "-show_entries",
        "stream=index,codec_type,codec_name,width,height,sample_rate,channels:packet=stream_"
        "index,pts_time,duration_time",
        "-of",
        "compact",
        path};
    std::string text;
    if (run_for_output(v->ffprobe, args, &text) != 0) return false;
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    for (const std::string& line : lines)
        if (line.rfind("stream|", 0) == 0) probe_stream_line(line, f);
    for (const std::string& line : lines)
        if (line.rfind("packet|", 0) == 0) probe_packet_line(line, f);
    return true;
}

// Checks that the finished file holds what was planned: one video stream of
// the codec and size with every frame and its timing, one audio stream of the
// codec and rate that lasts as long.  ffmpeg can exit 0 having written a file
// without its index (a full disk while it writes the trailer), so its exit
// status alone does not say the file is whole.
bool verify(const VideoCapture* v, std::string* error) {
    ProbedFile f;
    if (!probe_file(v, v->part, &f))
        return fail(error, "the video ffmpeg wrote cannot be read back (see ffprobe's message "
                           "above); is the disk full?");
    int64_t frames = v->end_frame - v->first_frame;
    double span_s = static_cast<double>(frames) / v->fps;
    double slack_s = std::max(VERIFY_AUDIO_SLACK_S, 1.0 / v->fps);
    std::string found;
    if (f.video_streams != 1 || f.audio_streams != 1)
        found = std::to_string(f.video_streams) + " video and " + std::to_string(f.audio_streams) +
                " audio streams";
    else if (f.video_codec != v->codec->probe_name ||
             f.audio_codec != (v->part_of_split ? CAPTURE_PART_AUDIO : v->codec->audio_probe_name))
        found = "codecs " + f.video_codec + " and " + f.audio_codec;
    else if (f.width != v->width || f.height != v->height)
        found = "frames of " + std::to_string(f.width) + "x" + std::to_string(f.height);
    else if (f.video_packets != frames)
        found = std::to_string(f.video_packets) + " of its " + std::to_string(frames) + " frames";
    else if (std::abs(f.video_end_s - span_s) > 0.5 / v->fps)
        found = "video lasting " + std::to_string(f.video_end_s) + " s";
    else if (f.sample_rate != v->rate || f.channels != 2 ||
             std::abs(f.audio_end_s - span_s) > slack_s)
        found = "audio of " + std::to_string(f.audio_end_s) + " s at " +
                std::to_string(f.sample_rate) + " Hz";
    if (found.empty()) return true;
    return fail(error, "the video ffmpeg wrote is not complete: it holds " + found +
                           " instead of " + std::to_string(frames) + " frames and " +
                           std::to_string(span_s) + " s of audio; is the disk full?");
}

// The path of ffmpeg's program `name` (ffmpeg, ffprobe) on PATH.
bool find_ffmpeg_program(const char* name, std::string* path, std::string* error) {
    *path = capture_find_program(name);
    if (!path->empty()) return true;
    return fail(error, std::string("cannot find the ") + name +
                           " program on PATH; it comes with the Debian package \"ffmpeg\" "
                           "(apt-get install ffmpeg)");
}

// Whether ffmpeg has the encoder the codec needs (Debian's has them all; a
// build of one's own may not).
bool check_encoder(const VideoCapture* v, std::string* error) {
    std::string list;
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-encoders"};
    if (run_for_output(v->ffmpeg, args, &list) != 0)
        return fail(error, "cannot list the encoders of " + v->ffmpeg);
    for (const char* encoder : {v->codec->encoder, v->codec->audio_encoder})
        if (list.find(" " + std::string(encoder) + " ") == std::string::npos)
            return fail(error, v->ffmpeg + " has no " + encoder + " encoder, which --codec " +
                                   v->codec->name + " needs (Debian's ffmpeg package has it); " +
                                   "choose another --codec");
    return true;
}

// Flushes the finished file to the disk, so that a write the disk refuses
// late (a full file system with delayed allocation) fails here.
bool sync_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

} // namespace

void capture_catch_signals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: blocking writes and waits return EINTR
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::string capture_find_program(const char* name) {
    const char* path = getenv("PATH");
    if (!path) return std::string();
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return std::string();
}

namespace {

// The plan's settings and the paths of the part files, for a capture or a
// join; finds ffmpeg, ffprobe and the codec's encoders.
bool video_plan(VideoCapture* v, const VideoPlan& plan, std::string* error) {
    const std::string& output = plan.output;
    int fps = plan.fps, rate = plan.rate;
    int64_t first_frame = plan.first_frame, end_frame = plan.end_frame;
    v->codec = plan.codec;
    v->crf = plan.crf;
    v->part_of_split = plan.part_of_split;
    v->output = output;
    v->part = output + ".part";
    v->video_part = output + ".video.part";
    v->audio_part = output + ".audio.part";
    v->width = plan.width;
    v->height = plan.height;
    v->rate = rate;
    v->first_sample = first_frame * rate / fps;
    v->end_sample = end_frame * rate / fps;
    v->next_sample = v->first_sample;
    v->fps = fps;
    v->first_frame = first_frame;
    v->end_frame = end_frame;
    // SVT-AV1 prints its settings on the error output unless told to report
    // errors only.
    setenv("SVT_LOG", "1", 0);
    return find_ffmpeg_program("ffmpeg", &v->ffmpeg, error) &&
           find_ffmpeg_program("ffprobe", &v->ffprobe, error) && check_encoder(v, error);
}

// The finished part file read back, flushed and renamed to the output; every
// part file removed either way.
bool video_complete(VideoCapture* v, bool ok, std::string* error) {
    ok = ok && verify(v, error);
    if (ok && !sync_file(v->part)) ok = fail(error, system_error("cannot write", v->output));
    if (ok && rename(v->part.c_str(), v->output.c_str()) != 0)
        ok = fail(error, system_error("cannot write", v->output));
    video_abandon(v); // the parts are no longer needed either way
    return ok;
}

} // namespace

bool video_join(VideoCapture* v, const VideoPlan& plan, const std::string& list,
                std::string* error) {
    if (!video_plan(v, plan, error)) return false;
    bool ok =
        create_part(v->part, error, plan.output) &&
        mux(v, {"-f", "concat", "-safe", "0", "-i", list, "-map", "0:v:0", "-map", "0:a:0"}, error);
    return video_complete(v, ok, error);
}

bool video_begin(VideoCapture* v, const VideoPlan& plan, std::string* error) {
    if (!video_plan(v, plan, error)) return false;
    const std::string& output = plan.output;
    bool ok = create_part(v->part, error, output) && create_part(v->video_part, error, output) &&
              open_wav(v, error) && start_encoder(v, plan.fps, error);
    if (!ok) video_abandon(v);
    return ok;
}

void video_audio_sink(const int16_t* samples, size_t count, int64_t first_sample, void* user) {
    VideoCapture* v = static_cast<VideoCapture*>(user);
    int64_t from = std::max(first_sample, v->next_sample);
    int64_t to = std::min(first_sample + static_cast<int64_t>(count), v->end_sample);
    if (!v->wav || v->audio_failed || to <= from) return;
    size_t n = static_cast<size_t>(to - from);
    v->audio_failed =
        fwrite(samples + (from - first_sample) * WAV_CHANNELS, WAV_FRAME_BYTES, n, v->wav) != n;
    v->next_sample = to;
}

size_t video_frame_bytes(const VideoCapture* v) {
    return static_cast<size_t>(v->width) * static_cast<size_t>(v->height) * VIDEO_PIXEL_BYTES;
}

uint8_t* video_next_buffer(VideoCapture* v, std::string* error) {
    VideoQueue& q = v->queue;
    std::unique_lock<std::mutex> hold(q.lock);
    while (!q.failed && q.filled - q.written >= VIDEO_QUEUE_FRAMES && !capture_stop_requested)
        q.changed.wait_for(hold, QUEUE_POLL);
    if (capture_stop_requested) {
        fail(error, "interrupted");
        return nullptr;
    }
    if (q.failed) {
        fail(error, "ffmpeg stopped taking frames (see its message above)");
        return nullptr;
    }
    return q.buffers[q.filled % VIDEO_QUEUE_FRAMES].data();
}

void video_queue_buffer(VideoCapture* v) {
    {
        std::lock_guard<std::mutex> hold(v->queue.lock);
        ++v->queue.filled;
    }
    v->queue.changed.notify_all();
}

bool video_finish(VideoCapture* v, std::string* error) {
    bool all_written = stop_writer(v);
    close(v->encoder_stdin);
    v->encoder_stdin = -1;
    int status = wait_child(v->encoder);
    v->encoder = -1;
    bool ok = true;
    if (capture_stop_requested) {
        ok = fail(error, "interrupted");
    } else if (!all_written || status != 0) {
        ok = fail(error, "ffmpeg could not encode the video (see its message above)");
    } else if (!complete_wav(v)) {
        ok = fail(error, system_error("cannot write", v->audio_part));
    } else {
        ok = mux(v, {"-i", v->video_part, "-i", v->audio_part, "-map", "0:v:0", "-map", "1:a:0"},
                 error);
    }
    return video_complete(v, ok, error);
}

void video_abandon(VideoCapture* v) {
    // A writer blocked on a stalled encoder returns once the encoder is gone.
    if (v->queue.writer.joinable()) {
        if (v->encoder > 0) kill(v->encoder, SIGTERM);
        stop_writer(v);
    }
    if (v->encoder_stdin >= 0) close(v->encoder_stdin);
    v->encoder_stdin = -1;
    if (v->encoder > 0) {
        kill(v->encoder, SIGTERM);
        while (waitpid(v->encoder, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    v->encoder = -1;
    if (v->wav) fclose(v->wav);
    v->wav = nullptr;
    for (const std::string* path : {&v->part, &v->video_part, &v->audio_part})
        if (!path->empty()) unlink(path->c_str());
}
