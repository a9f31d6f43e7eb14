// The show in a web browser: the page calls main on the user's click (so
// that sound may start); main opens a WebGL 1 canvas through SDL2, draws
// through the GL 1.1 subset, starts the song through the sound layer (SDL2's
// Web Audio output) and hands the loop to the browser's animation frames.
// Each animation frame reads the song clock once, runs every step that is
// due (all but the last cheaply) and draws the last; Escape stops the show,
// and a later call of main plays it again from the start on the same
// canvas.  The page owns the canvas's drawing-buffer size (its displayed
// size times the device pixel ratio); the show's view follows it.  The page
// (index.html) is told of each drawn step and each note of the beat
// instrument, for its figures and for the browser test.
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/main_loop.h"
#include "app/sound_start.h"
#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "gfx/render_state.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "show/show_check.h"
#include "show/show_start.h"
#include "gl11/gl11_api.h"
#include "platform/msgbox.h"
#include "platform/sound.h"

// Pulls in what SDL2's emscripten code needs of emscripten's library
// (sdl_support.js); does nothing.
extern "C" void vm_sdl_support();

namespace {

const char* const INIT_FAILED_TEXT = "Initialization Failed.";
const char* const INIT_FAILED_CAPTION = "ERROR";
const char* const NO_WEBGL_TEXT = "This browser cannot draw with WebGL.";
const char* const CANVAS = "#canvas";

// The benchmark (main's argument "--bench"): one song time per scene; the
// show runs cheaply up to each, then draws BENCH_FRAMES steps, one per
// animation frame, on the offline clock (no sound device).
const int64_t BENCH_TIMES[] = {20000, 90000, 110000, 140000, 200000, 280000};
constexpr int BENCH_SCENES = sizeof BENCH_TIMES / sizeof BENCH_TIMES[0];
constexpr int BENCH_FRAMES = 120;
// Stereo frames taken from the offline song per call (and discarded).
constexpr size_t BENCH_AUDIO_CHUNK = 4096;

// The page's one show.
struct WebShow {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool running = false;
    bool bench = false;
    int bench_scene = 0;
    int bench_frame = 0;
    int view_width = 0; // the drawing-buffer size the view was last set for
    int view_height = 0;
};
WebShow web;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Tells the page of each note as it reaches the beat callback.
void observed_beat(SndSong* song, int param) {
    EM_ASM({ Module.vmNote($0, $1); }, snd_note_time_ms(song),
           static_cast<double>(frame_driver.next_step - 1));
    beat_callback(song, param);
}

// Before each step's notes: watch them on their way to the beat callback
// (render_frame registers the show's own callback after each step).
void watch_notes(int64_t, int64_t, void*) {
    snd_set_inst_callback(song_module, observed_beat, BEAT_INSTRUMENT);
}

// Offline clock of the benchmark: the song renders up to each step, and its
// audio is thrown away.
void bench_advance(int64_t, int64_t ms, void*) {
    snd_offline_advance_to(song_module, ms);
    int16_t buffer[2 * BENCH_AUDIO_CHUNK];
    while (snd_offline_take_audio(song_module, buffer, BENCH_AUDIO_CHUNK) > 0) {
    }
}

// The canvas's drawing-buffer size, as the page set it (at least 1 x 1).
void canvas_size(int* width, int* height) {
    if (emscripten_get_canvas_element_size(CANVAS, width, height) != EMSCRIPTEN_RESULT_SUCCESS ||
        *width < 1 || *height < 1)
        *width = SHOW_WIDTH, *height = SHOW_HEIGHT;
}

// The view (viewport and projection) on the 4:3 picture centred in the
// canvas's drawing buffer when the page has changed its size, as the desktop
// player does when its window is resized.  True when it changed.
bool follow_canvas_size() {
    int width = 0, height = 0;
    canvas_size(&width, &height);
    if (width == web.view_width && height == web.view_height) return false;
    web.view_width = width;
    web.view_height = height;
    resize_view_centred(width, height);
    return true;
}

bool open_canvas() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // SDL gives the canvas the window's size: the size the page chose.
    int width = 0, height = 0;
    canvas_size(&width, &height);
    web.window = SDL_CreateWindow(SHOW_TITLE, 0, 0, width, height, SDL_WINDOW_OPENGL);
    if (!web.window) return false;
    web.context = SDL_GL_CreateContext(web.window);
    return web.context && gl11_context_begin(SDL_GL_GetProcAddress);
}

// What the show made on the canvas's context and the subset's GL state, back
// to a new context's, so that a second play starts as the first did.
bool reopen_canvas() {
    release_outline_font();
    render_state_release();
    if (texture_slots[0] != 0) glDeleteTextures(TEXTURE_COUNT, texture_slots);
    std::fill(texture_slots, texture_slots + TEXTURE_COUNT, 0u);
    gl11_context_end();
    return gl11_context_begin(SDL_GL_GetProcAddress);
}

void stop_show() {
    emscripten_cancel_main_loop();
    web.running = false;
    snd_free_song(song_module);
    song_module = nullptr;
    snd_close();
    EM_ASM({ Module.vmStopped(); });
}

bool escape_pressed() {
    SDL_Event event;
    bool escape = false;
    while (SDL_PollEvent(&event))
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) escape = true;
    return escape;
}

void report_frame(double work_ms) {
    EM_ASM({ Module.vmFrame($0, $1, $2, $3, $4); },
           static_cast<double>(frame_driver.last_drawn_step),
           static_cast<double>(frame_driver.clock_ms), demo.current_scene, work_ms,
           snd_latency_ms(song_module));
}

// The page measures what Web Audio holds ahead of the listener (the
// processing buffer, the base and the output latency; the output latency
// changes as the browser learns it), and the sound layer takes it off the
// clock: read before every clock reading.
void take_output_latency() {
    snd_report_output_latency(
        EM_ASM_DOUBLE({ return Module.vmOutputLatencyMs ? Module.vmOutputLatencyMs() : 0; }));
}

// One animation frame of the benchmark: the first of each scene catches up
// cheaply, the others draw one step each.
void bench_frame() {
    if (web.bench_scene == BENCH_SCENES) {
        emscripten_cancel_main_loop();
        EM_ASM({ Module.vmBenchDone(); });
        return;
    }
    if (web.bench_frame == 0)
        frame_run_steps(frame_last_step_at(BENCH_TIMES[web.bench_scene]) - 1, 0, false);
    auto start = std::chrono::steady_clock::now();
    frame_run_steps(frame_driver.next_step, 1, true);
    frame_driver.clock_ms = frame_driver.step_ms;
    report_frame(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    if (++web.bench_frame == BENCH_FRAMES) {
        web.bench_frame = 0;
        ++web.bench_scene;
    }
}

// One animation frame of the browser.
void animation_frame() {
    if (escape_pressed()) return stop_show();
    follow_canvas_size();
    auto start = std::chrono::steady_clock::now();
    take_output_latency();
    if (!frame_play_pass(now_ns())) return;
    report_frame(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
}

bool start_bench_song() {
    if (!snd_offline_init(SHOW_MIX_RATE, SHOW_CHANNELS)) return false;
    song_module = snd_load_song(SHOW_MODULE_PATH);
    snd_play_song(song_module);
    frame_driver_reset();
    frame_driver.before_step = bench_advance;
    return true;
}

} // namespace

// Called by the page on each start: the first opens the canvas, a later one
// (after Escape) puts everything back as it was before the first.
int main(int argc, char** argv) {
    vm_sdl_support();
    if (web.running) return EXIT_CLEAN;
    web.bench = argc > 1 && strcmp(argv[1], "--bench") == 0;
    if (snd_get_version() < SHOW_MIN_SOUND_VERSION) return EXIT_SOUND_REFUSED;
    if (web.window ? !reopen_canvas() : !open_canvas()) {
        EM_ASM({ Module.vmShowMessage("", UTF8ToString($0)); }, NO_WEBGL_TEXT);
        return EXIT_CLEAN;
    }
    show_state_reset();
    web.view_width = web.view_height = 0;
    follow_canvas_size();
    if (!show_start_up()) {
        msgbox_show(INIT_FAILED_TEXT, INIT_FAILED_CAPTION, MSGBOX_OK, MSGBOX_ICON_STOP, false);
        return EXIT_CLEAN;
    }
    if (web.bench) {
        if (!start_bench_song()) return EXIT_SOUND_REFUSED;
        emscripten_set_main_loop(bench_frame, 0, 0);
        return EXIT_CLEAN;
    }
    // The page's ?delay=: a correction of the viewer's own on top.
    snd_set_audio_delay(EM_ASM_DOUBLE({ return Module.vmAudioDelayMs || 0; }));
    if (!show_start_sound(true)) return EXIT_SOUND_REFUSED;
    frame_driver_reset();
    frame_driver.before_step = watch_notes;
    frame_pacer = FramePacer{};
    // Keys pressed while the show was stopped (an Escape that left full
    // screen) are not for this play.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    web.running = true;
    EM_ASM({ Module.vmStarted(); });
    emscripten_set_main_loop(animation_frame, 0, 0);
    return EXIT_CLEAN;
}
