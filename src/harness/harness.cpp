#include "harness/harness.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "gfx/render_state.h"
#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/scenes.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "show/show_start.h"
#include "gfx/effects.h"
#include "platform/offscreen.h"
#include "platform/sound.h"

namespace {

// Stereo frames moved from the song per call when draining audio.
constexpr size_t AUDIO_CHUNK = 4096;

struct HarnessState {
    bool running = false;
    int width = 0, height = 0; // size drawn: the frame size times the scale
    int scale = 1;
    int fps = HARNESS_DEFAULT_FPS;
    int view_x = 0, view_y = 0, view_w = 0, view_h = 0; // the 4:3 picture
    int64_t next_frame = 0;
    int64_t audio_samples = 0; // song samples drained from the song so far
    SndSong* song = nullptr;
    HarnessStartup startup = {};
    HarnessAudioSink audio_sink = nullptr;
    void* audio_user = nullptr;
    HarnessNoteSink note_sink = nullptr;
    void* note_user = nullptr;
    int64_t note_frame = 0; // frame whose steps deliver notes now
    double audio_ms = 0.0;  // time spent moving the clock in the current frame
};

// The harness's one run; set by harness_begin and harness_end, the sinks by
// their setters, the frame counter by harness_step.
HarnessState harness;

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The largest 4:3 rectangle centred in the frame, as the player places it;
// drawn at a scale, exactly that many times the rectangle of the frame.
void place_picture() {
    int s = harness.scale;
    PictureRect r = picture_rect(harness.width / s, harness.height / s);
    harness.view_x = r.x * s;
    harness.view_y = r.y * s;
    harness.view_w = r.width * s;
    harness.view_h = r.height * s;
}

// Whether GL can draw a viewport of the whole frame: a driver clamps a
// larger one, which would draw part of the picture without a word.
bool viewport_fits() {
#ifdef GL_MAX_VIEWPORT_DIMS
    GLint dims[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    if (dims[0] > 0 && (harness.width > dims[0] || harness.height > dims[1])) return false;
#endif
    return true;
}

bool start_song() {
    if (!snd_offline_init(SHOW_MIX_RATE, SHOW_CHANNELS)) return false;
    harness.song = snd_load_song(SHOW_MODULE_PATH);
    if (!harness.song) {
        snd_close();
        return false;
    }
    snd_play_song(harness.song);
    song_module = harness.song;
    return true;
}

void release_render_state() {
    release_outline_font();
    render_state_release();
    if (texture_slots[0] != 0) glDeleteTextures(TEXTURE_COUNT, texture_slots);
    std::fill(texture_slots, texture_slots + TEXTURE_COUNT, 0u);
}

void drain_audio() {
    int16_t buffer[2 * AUDIO_CHUNK];
    size_t got;
    while ((got = snd_offline_take_audio(harness.song, buffer, AUDIO_CHUNK)) > 0) {
        if (harness.audio_sink)
            harness.audio_sink(buffer, got, harness.audio_samples, harness.audio_user);
        harness.audio_samples += static_cast<int64_t>(got);
    }
}

// Stands in for the beat callback while notes are observed: tells the note
// sink, then runs the show's callback.
void observed_beat(SndSong* song, int param) {
    if (harness.note_sink)
        harness.note_sink(snd_note_time_ms(song), harness.note_frame, harness.note_user);
    beat_callback(song, param);
}

// Before each step: the offline clock moves to the step's time (rendering
// the audio up to it, so its notes are known), and from the second step on
// the notes can be watched on their way to the beat callback, which
// render_frame registers at the end of each step.
void before_step(int64_t step, int64_t step_ms, void*) {
    auto start = std::chrono::steady_clock::now();
    snd_offline_advance_to(harness.song, step_ms);
    if (harness.note_sink && step > 0)
        snd_set_inst_callback(harness.song, observed_beat, BEAT_INSTRUMENT);
    drain_audio();
    harness.audio_ms += ms_since(start);
}

} // namespace

HarnessFailure harness_begin(int width, int height, int fps) {
    return harness_begin_scaled(width, height, fps, 1);
}

HarnessFailure harness_begin_scaled(int width, int height, int fps, int scale) {
    if (harness.running) harness_end();
    if (fps < 1 || fps > FRAME_STEP_RATE) return HARNESS_BAD_RATE;
    if (scale < 1) return HARNESS_BAD_SCALE;
    auto start = std::chrono::steady_clock::now();
    harness = HarnessState{};
    harness.width = width * scale;
    harness.height = height * scale;
    harness.scale = scale;
    harness.fps = fps;
    place_picture();
    show_state_reset();
    frame_driver_reset();
    seek_enable(false);
    frame_driver.before_step = before_step;
    if (!offscreen_begin(harness.width, harness.height)) return HARNESS_NO_CONTEXT;
    if (!viewport_fits()) {
        offscreen_end();
        return HARNESS_NO_CONTEXT;
    }
    resize_view(harness.view_w, harness.view_h);
    glViewport(harness.view_x, harness.view_y, harness.view_w, harness.view_h);
    if (!show_start_up()) {
        offscreen_end();
        return HARNESS_NO_TEXTURES;
    }
    auto song_start = std::chrono::steady_clock::now();
    if (!start_song()) {
        release_render_state();
        offscreen_end();
        return HARNESS_NO_SOUND;
    }
    harness.startup.module_ms = ms_since(song_start);
    harness.startup.textures_ms = show_startup_times.textures_ms;
    harness.startup.font_ms = show_startup_times.font_ms;
    harness.startup.total_ms = ms_since(start);
    harness.startup.rest_ms = harness.startup.total_ms - harness.startup.textures_ms -
                              harness.startup.font_ms - harness.startup.module_ms;
    harness.running = true;
    return HARNESS_OK;
}

void harness_end() {
    if (!harness.running) return;
    frame_driver_reset();
    song_module = nullptr;
    snd_free_song(harness.song);
    snd_close();
    release_render_state();
    offscreen_end();
    harness = HarnessState{};
}

HarnessStartup harness_startup() {
    return harness.startup;
}

SndSong* harness_song() {
    return harness.song;
}

int64_t harness_frame_time(int64_t frame, int fps) {
    return frame * 1000 / fps;
}

int64_t harness_first_frame_at(int64_t time_ms, int fps) {
    if (time_ms <= 0) return 0;
    return (time_ms * fps + 999) / 1000;
}

int64_t harness_next_frame() {
    return harness.next_frame;
}

void harness_step(bool drawn) {
    harness_step_timed(drawn, nullptr);
}

void harness_step_timed(bool drawn, HarnessFrameTiming* timing) {
    if (!harness.running) return;
    auto start = std::chrono::steady_clock::now();
    int64_t frame = harness.next_frame++;
    harness.note_frame = frame;
    harness.audio_ms = 0.0;
    frame_run_steps(frame_last_step_at(harness_frame_time(frame, harness.fps)), 0, drawn);
    if (!timing) return;
    auto finish_start = std::chrono::steady_clock::now();
    glFinish();
    timing->audio_ms = harness.audio_ms;
    timing->render_ms =
        std::chrono::duration<double, std::milli>(finish_start - start).count() - harness.audio_ms;
    timing->finish_ms = ms_since(finish_start);
}

bool harness_seek(int64_t frame) {
    if (!harness.running || frame < 0) return false;
    // The engine's seek, to the end in one call.
    seek_ask(frame_last_step_at(harness_frame_time(frame, harness.fps)));
    SeekOutcome outcome = seek_carry_on(harness.song);
    return outcome == SEEK_THERE && harness_land(frame);
}

bool harness_land(int64_t frame) {
    int64_t target = frame_last_step_at(harness_frame_time(frame, harness.fps));
    if (!harness.running || seek_asked() != target || !seek_run().there) return false;
    // The harness's own step hook runs the target step: the engine lands nothing.
    seek_cancel();
    drain_audio(); // nothing: the seek dropped what was rendered
    int64_t ms = target > 0 ? frame_step_time(target - 1) : -1;
    harness.audio_samples = ms < 0 ? 0 : ms * SHOW_MIX_RATE / 1000 + 1;
    harness.next_frame = frame;
    return true;
}

std::vector<uint8_t> harness_read_rgb() {
    size_t stride = static_cast<size_t>(harness.width) * 3;
    std::vector<uint8_t> bottom_first(stride * static_cast<size_t>(harness.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, harness.width, harness.height, GL_RGB, GL_UNSIGNED_BYTE,
                 bottom_first.data());
    // GL gives the bottom row first; whole rows are copied in reverse.
    std::vector<uint8_t> rows(bottom_first.size());
    for (int y = 0; y < harness.height; ++y)
        memcpy(&rows[static_cast<size_t>(y) * stride],
               &bottom_first[static_cast<size_t>(harness.height - 1 - y) * stride], stride);
    return rows;
}

void harness_set_audio_sink(HarnessAudioSink sink, void* user) {
    harness.audio_sink = sink;
    harness.audio_user = user;
}

void harness_render_audio_to(int64_t end_sample) {
    if (!harness.running) return;
    // The clock at ms renders through the sample that sounds at ms.
    int64_t ms = ((end_sample - 1) * 1000 + SHOW_MIX_RATE - 1) / SHOW_MIX_RATE;
    snd_offline_advance_to(harness.song, std::max<int64_t>(ms, 0));
    drain_audio();
}

void harness_set_note_sink(HarnessNoteSink sink, void* user) {
    harness.note_sink = sink;
    harness.note_user = user;
}
