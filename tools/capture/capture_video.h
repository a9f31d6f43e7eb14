// Video output of vintermoot-capture: raw frames are piped into ffmpeg,
// which encodes them (codecs.h) into a video-only part file, while the
// song's audio for the same span goes into a WAV part file; at the end
// ffmpeg muxes both (the codec's audio) into a part file that is read back
// and renamed to the output only when everything succeeded.  Any failure or
// interruption removes every part.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "codecs.h"

// Set by the tool's signal handler (SIGINT, SIGTERM, SIGHUP); the frame loop
// and the waits for ffmpeg stop when it is set.
extern volatile sig_atomic_t capture_stop_requested;

// Catches the stop signals (no restart, so blocking calls return early) and
// ignores SIGPIPE (a dead ffmpeg shows up as a write error).
void capture_catch_signals();

// The path of an executable `name` on PATH; empty when there is none.
std::string capture_find_program(const char* name);

// Frames filled by the frame loop wait here while a thread of their own
// writes them to ffmpeg's input, so that the show goes on drawing while
// ffmpeg converts and encodes.
constexpr int VIDEO_QUEUE_FRAMES = 4;

struct VideoQueue {
    std::vector<uint8_t> buffers[VIDEO_QUEUE_FRAMES];
    int64_t filled = 0;   // frames handed to the writer
    int64_t written = 0;  // frames the writer has written
    bool closing = false; // no more frames come
    bool failed = false;  // the writer could not write (ffmpeg gone, or a stop)
    std::mutex lock;
    std::condition_variable changed;
    std::thread writer;
};

struct VideoCapture {
    std::string output;     // the file asked for
    std::string part;       // muxed file, renamed to output at the end
    std::string video_part; // H.264 stream from the encoder
    std::string audio_part; // WAV of the span's audio
    std::string ffmpeg;     // the ffmpeg program
    std::string ffprobe;    // reads the finished file back
    const CaptureCodec* codec = nullptr;
    int crf = 0;
    bool part_of_split = false; // a part: the audio stays PCM (codecs.h)
    int fps = 60;
    int64_t first_frame = 0, end_frame = 0; // the span's frames
    pid_t encoder = -1;                     // ffmpeg encoding the frames
    int encoder_stdin = -1;                 // where the frames go
    FILE* wav = nullptr;
    int rate = 44100;
    int64_t first_sample = 0; // song sample at the first frame
    int64_t end_sample = 0;   // song sample just after the last frame
    int64_t next_sample = 0;  // next song sample the WAV expects
    bool audio_failed = false;
    int width = 0, height = 0;
    VideoQueue queue;
};

// What to write: frames [first_frame, end_frame) at `fps`, the audio at
// `rate`, encoded with `codec` at `crf` (lossy codecs).
struct VideoPlan {
    std::string output;
    int width = 0, height = 0, fps = 60, rate = 44100;
    int64_t first_frame = 0, end_frame = 0;
    const CaptureCodec* codec = nullptr;
    int crf = 0;
    bool part_of_split = false;
};

// Checks ffmpeg, its encoder for the codec and the output, creates the part
// files and starts the encoder.
bool video_begin(VideoCapture* video, const VideoPlan& plan, std::string* error);

// Joins the parts of a split capture (each written with plan.part_of_split
// for its own span) that `list` names, as ffmpeg's concat demuxer reads it,
// into plan.output: the video streams as they are, the audio encoded once as
// a single run encodes it.  The result is checked against the plan's whole
// span as a capture's is; on failure nothing is left.
bool video_join(VideoCapture* video, const VideoPlan& plan, const std::string& list,
                std::string* error);

// The harness's audio sink: keeps the samples of the span.
void video_audio_sink(const int16_t* samples, size_t count, int64_t first_sample, void* user);

// Bytes of one frame as the encoder takes it: width * height * 4 (BGRA,
// bottom row first, as GL reads it back; ffmpeg turns it upright).
size_t video_frame_bytes(const VideoCapture* video);

// The buffer to fill with the next frame, once the queue has room; null
// (with `error`) when the encoder stopped taking frames or a stop was asked.
uint8_t* video_next_buffer(VideoCapture* video, std::string* error);

// Queues the buffer video_next_buffer gave, now filled, for the encoder.
void video_queue_buffer(VideoCapture* video);

// Writes the queued frames, ends the encoder, completes the audio (silence where the song gave
// none), muxes, reads the result back with ffprobe (every frame, the audio's length) and
// renames.  On failure everything is removed.
bool video_finish(VideoCapture* video, std::string* error);

// Stops the encoder and removes every part file.
void video_abandon(VideoCapture* video);
