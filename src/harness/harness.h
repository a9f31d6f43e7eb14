// The frame harness: runs the show headless (offscreen context) at a fixed
// frame rate, with the sound layer's offline clock, so that frame n always
// shows the same picture.  Frame n shows song time floor(n * 1000 / fps) ms:
// the frame driver runs every step of the show up to that time (frame.h),
// the notes of the beat instrument reaching the steps exactly as in the
// player, and draws the last of them.  Steps nobody looks at are drawn into
// a tiny viewport with the same projection, which is much cheaper.
//
// The frame rate is at most the show's step rate, so every frame shows a
// step of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "show/show_start.h"

struct SndSong;

constexpr int HARNESS_DEFAULT_FPS = 60;
// The show's own size; its module and mixing (SHOW_MODULE_PATH,
// SHOW_MIX_RATE, SHOW_CHANNELS) are those of the player.
constexpr int HARNESS_DEFAULT_WIDTH = SHOW_WIDTH;
constexpr int HARNESS_DEFAULT_HEIGHT = SHOW_HEIGHT;

// Where start-up time went, in milliseconds.  rest_ms is everything else:
// the context, the fixed GL state, the spark sets and the quadric.
struct HarnessStartup {
    double textures_ms;
    double font_ms;
    double module_ms;
    double rest_ms;
    double total_ms;
};

// Why harness_begin failed.
enum HarnessFailure {
    HARNESS_OK,
    HARNESS_NO_CONTEXT,
    HARNESS_NO_TEXTURES,
    HARNESS_NO_SOUND,
    HARNESS_BAD_RATE, // the frame rate is not 1..FRAME_STEP_RATE
    HARNESS_BAD_SCALE // the scale is below 1
};

// Receives rendered audio: `count` interleaved 16-bit stereo frames whose
// first is song sample `first_sample` (counted from song time 0).
typedef void (*HarnessAudioSink)(const int16_t* samples, size_t count, int64_t first_sample,
                                 void* user);

// Receives each note of the beat instrument as a frame hands it to the beat
// callback: the song time the note sounds at (ms, fractional) and the frame.
typedef void (*HarnessNoteSink)(double note_ms, int64_t frame, void* user);

// Starts the show from the working directory's data at a frame size (the
// picture keeps the show's 4:3 projection, centred, black around it) and a
// frame rate of 1..FRAME_STEP_RATE.  Puts every piece of demo state back to
// its initial value.
HarnessFailure harness_begin(int width, int height, int fps);

// harness_begin that draws every frame at `scale` (1 or more) times the
// size, the picture at exactly `scale` times its place in a width x height
// frame, for a caller that filters the frames down to width x height (the
// black bars stay whole pixels of black).  harness_read_rgb gives the frame
// as drawn.
HarnessFailure harness_begin_scaled(int width, int height, int fps, int scale);

// Releases everything harness_begin made.
void harness_end();

// Start-up times of the last harness_begin.
HarnessStartup harness_startup();

// The playing song (offline).
SndSong* harness_song();

// Song time of frame n: floor(n * 1000 / fps).
int64_t harness_frame_time(int64_t frame, int fps);

// The first frame whose song time is at or after `time_ms`.
int64_t harness_first_frame_at(int64_t time_ms, int fps);

// The frame harness_step runs next (0 after harness_begin).
int64_t harness_next_frame();

// Runs the next frame: every step up to its time, the offline clock moved to
// each step's time before it.  `drawn`: the last step at the full frame size
// (then harness_read_rgb gives its pixels); otherwise into the tiny viewport.
void harness_step(bool drawn);

// Where the time of one frame went (milliseconds): moving the offline
// clock (rendering the song's audio), render_frame itself (the scene code
// and the GL calls it issues), and waiting for GL to finish drawing.
struct HarnessFrameTiming {
    double audio_ms;
    double render_ms;
    double finish_ms;
};

// harness_step that also waits for GL to finish and says where the time
// went.
void harness_step_timed(bool drawn, HarnessFrameTiming* timing);

// Puts the run just before frame `frame` (>= 0, back or forward), in the
// state a straight run has there, the song with it: the next harness_step
// runs that frame.  States are kept for seeking from the first step on
// once seek_enable(true) (show/seek.h) was called after harness_begin.
// False when nothing before it is known (then nothing changed).
bool harness_seek(int64_t frame);

// After the seek engine arrived before frame `frame` (seek_ask and
// seek_carry_on in slices, show/seek.h): the run and its song stand there,
// the next harness_step runs that frame.  False when the engine is not
// there.
bool harness_land(int64_t frame);

// Pixels of the last drawn frame: width * height RGB (times the scale in
// each direction), top row first.
std::vector<uint8_t> harness_read_rgb();

// Sets where the audio rendered by each step goes (null: discarded).
void harness_set_audio_sink(HarnessAudioSink sink, void* user);

// Renders audio until at least `end_sample` song samples exist and passes it
// to the audio sink.  Called after the last frame, so that the audio covers
// it; the clock moves on with it, so frames run afterwards would see it.
void harness_render_audio_to(int64_t end_sample);

// Sets who hears of each note (null: nobody).
void harness_set_note_sink(HarnessNoteSink sink, void* user);
