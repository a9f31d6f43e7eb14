// The show in a web browser: the page calls main on the user's click (so
// that sound may start); main opens a WebGL 1 canvas through SDL2, draws
// through the GL 1.1 subset, starts the song through the sound layer (SDL2's
// Web Audio output) and hands the loop to the browser's animation frames.
// Each animation frame reads the song clock once, runs every step that is
// due (all but the last cheaply) and draws the last; Escape stops the show,
// and a later call of main plays it again from the start on the same
// canvas.  The player's seeking keys (app/seek_keys.h) work as they do
// there, and the page's seek bar, play/pause button and start time (#t=)
// call vm_seek_ms and vm_toggle_pause.  A seek runs in slices of a few tens
// of milliseconds, one per animation frame (frame_driver.poll stops it when
// the slice is spent), its long stretches in the GL 1.1 subset's state-only
// mode, the music held meanwhile; between slices Escape, Space and another
// seek (which replaces the target; seeking keys add up from it) are
// answered, and the page shows where it goes and how far it is.  The step
// landed on is drawn with the time bar.  The page owns
// the canvas's drawing-buffer size (its displayed size times the device
// pixel ratio); the show's view follows it.  The page (index.html) is told
// of each drawn step and each note of the beat instrument, for its figures
// and for the browser test.
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/main_loop.h"
#include "app/seek_keys.h"
#include "app/sound_start.h"
#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "gfx/render_state.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "show/show_start.h"
#include "gl11/gl11_api.h"
#include "platform/gl_detach.h"
#include "platform/msgbox.h"
#include "platform/sound.h"

// Pulls in what SDL2's emscripten code needs of emscripten's library
// (sdl_support.js); does nothing.
extern "C" void vm_sdl_support();

namespace {

const char* const INIT_FAILED_TEXT = "Initialization Failed.";
const char* const INIT_FAILED_CAPTION = "ERROR";
const char* const NO_WEBGL_TEXT = "This browser cannot draw with WebGL.";
const char* const SOUND_TOO_OLD_TEXT =
    "The show's sound library is older than the one it was built with.";
const char* const NO_BENCH_SONG_TEXT = "The benchmark could not start the show's music.";
const char* const CANVAS = "#canvas";

// The benchmark (main's argument "--bench"): one song time per scene; the
// show runs cheaply up to each, then draws BENCH_FRAMES steps, one per
// animation frame, on the offline clock (no sound device).
const int64_t BENCH_TIMES[] = {20000, 90000, 110000, 140000, 200000, 280000};
constexpr int BENCH_SCENES = sizeof BENCH_TIMES / sizeof BENCH_TIMES[0];
constexpr int BENCH_FRAMES = 120;
// Stereo frames taken from the offline song per call (and discarded).
constexpr size_t BENCH_AUDIO_CHUNK = 4096;

// A seek runs at most about this long per animation frame (plus the last
// few steps it was in when the time ran out, and the drawing of the target).
constexpr double SEEK_SLICE_MS = 40.0;
// Behind the song clock by more than this many steps, the player catches up
// in the subset's state-only mode (drawing none of the steps it passes):
// cheap steps through WebGL would take the audio's time.
constexpr int64_t CATCH_UP_DRAWN_STEPS = 2;
// The song's seek map is walked in pieces of this much song time (a few
// milliseconds each), as far as a seek needs it, and ahead, through
// SONG_MAP_MS.
constexpr int64_t MAP_PIECE_MS = 2000;
constexpr int64_t SONG_MAP_MS = SHOW_LENGTH_MS;

// Before the viewer's click the page prepares the show in slices of about
// this much per animation frame: the canvas, the pictures, the song and
// its map, then the show's own map (its kept states for seeking).
constexpr double PREPARE_SLICE_MS = 30.0;
// While the show plays, it is mapped on this long after each frame (longer
// while paused: nothing else runs then).
constexpr double SHOW_MAP_AHEAD_MS = 4.0;
constexpr double SHOW_MAP_PAUSED_MS = 20.0;

// What the page has prepared of the show, in order.
enum PrepareStage : int {
    PREPARE_CANVAS,   // the WebGL canvas and its context
    PREPARE_REOPEN,   // (after a play) what the show made on it let go
    PREPARE_SUBSET,   // the GL 1.1 subset on the context (its programs)
    PREPARE_PICTURES, // the show's records, textures, fixed GL state and font
    PREPARE_SONG,     // the module, loaded for the output the click opens
    PREPARE_SONG_MAP, // the song's seek map, walked in pieces
    PREPARE_SHOW_MAP, // the show's kept states, mapped in pieces
    PREPARE_DONE,
};
// What went wrong while preparing: said on the viewer's next click.
enum PrepareFailure : int { PREPARE_OK, PREPARE_NO_WEBGL, PREPARE_INIT_FAILED };

// The page's one show.
struct WebShow {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool running = false;     // the viewer started it (main ran), until Escape
    bool started = false;     // it plays: prepared far enough and begun
    bool loop_set = false;    // animation_frame runs at every animation frame
    bool subset_open = false; // the subset has begun on the context
    int prepare_stage = PREPARE_CANVAS;
    int prepare_failure = PREPARE_OK;
    double start_ms = 0; // the page's start time (#t=) for this play
    bool bench = false;
    int bench_scene = 0;
    int bench_frame = 0;
    int view_width = 0; // the drawing-buffer size the view was last set for
    int view_height = 0;
    // The seek under way is the engine's (show/seek.h), carried on in
    // slices at each animation frame; the page only holds the music.
    bool music_held = false; // the song is cued (silent) until the seek lands
};
WebShow web;

// The seeking keys: SDL's key symbols and the player's virtual-key codes.
struct WebKey {
    SDL_Keycode sdl;
    int vk;
};
const WebKey WEB_KEYS[] = {
    {SDLK_SPACE, WIN_VK_SPACE},   {SDLK_PAGEUP, WIN_VK_PRIOR}, {SDLK_PAGEDOWN, WIN_VK_NEXT},
    {SDLK_HOME, WIN_VK_HOME},     {SDLK_LEFT, WIN_VK_LEFT},    {SDLK_UP, WIN_VK_UP},
    {SDLK_RIGHT, WIN_VK_RIGHT},   {SDLK_DOWN, WIN_VK_DOWN},    {SDLK_COMMA, WIN_VK_COMMA},
    {SDLK_PERIOD, WIN_VK_PERIOD},
};

int web_virtual_key(SDL_Keycode sym) {
    for (const WebKey& key : WEB_KEYS)
        if (key.sdl == sym) return key.vk;
    return 0;
}

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
    // (The sound output's part of SDL starts with the output, on the click.)
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // SDL gives the canvas the window's size: the size the page chose.
    int width = 0, height = 0;
    canvas_size(&width, &height);
    // (Once: a start whose context failed tries again on the same window.)
    if (!web.window)
        web.window = SDL_CreateWindow(SHOW_TITLE, 0, 0, width, height, SDL_WINDOW_OPENGL);
    if (!web.window) return false;
    web.context = SDL_GL_CreateContext(web.window);
    return web.context != nullptr;
}

// What the show made on the canvas's context let go and the subset ended,
// so that the next play begins on it as the first did.
void release_canvas() {
    if (!web.subset_open) return;
    release_outline_font();
    render_state_release();
    if (texture_slots[0] != 0) glDeleteTextures(TEXTURE_COUNT, texture_slots);
    std::fill(texture_slots, texture_slots + TEXTURE_COUNT, 0u);
    gl11_context_end();
    web.subset_open = false;
}

// A failure before the show runs: the page says so and offers the start
// again.
int page_failure(const char* text, int status) {
    EM_ASM({ Module.vmShowMessage("", UTF8ToString($0)); }, text);
    return status;
}

// The play ends (Escape, or a failure after the click); the page prepares
// the next one meanwhile.
void end_play() {
    frame_driver.poll = nullptr;
    web.running = false;
    web.started = false;
    web.prepare_stage = web.context ? PREPARE_REOPEN : PREPARE_CANVAS;
    web.prepare_failure = PREPARE_OK;
    web.music_held = false;
    seek_keys = SeekKeysState{};
    seek_cancel();
    seek_enable(false);
    snd_free_song(song_module);
    song_module = nullptr;
    snd_close();
}

void stop_show() {
    end_play();
    EM_ASM({ Module.vmStopped(); });
}

// What the keys queued since the last animation frame did: whether Escape
// was among them, whether a seeking key was taken (a move or a pause).
struct WebKeys {
    bool escape = false;
    bool moved = false;
};

int64_t shown_step() {
    return std::max<int64_t>(0, frame_driver.next_step - 1);
}

// One seeking key, added to the pending move as the player's are: a move
// goes from the seek under way (the presses add up) or from the step shown;
// Space pauses or resumes.
void take_key(int vk, WebKeys* keys) {
    if (seek_keys_take(WinMessage{WIN_MSG_KEYDOWN, vk, 0, 0})) keys->moved = true;
}

// Takes the queued events; the seeking keys are handled in their order, as
// the player does, until an Escape (which stops the show at once).
WebKeys take_keys() {
    WebKeys keys;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type != SDL_KEYDOWN || keys.escape) continue;
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            keys.escape = true;
            continue;
        }
        int vk = web_virtual_key(event.key.keysym.sym);
        if (vk != 0 && web.running && !web.bench) take_key(vk, &keys);
    }
    return keys;
}

double page_now_ms() {
    return emscripten_get_now();
}

// Runs one slice of the seek under way, the slice ending at `end_ms`.  True
// when it landed: the target is drawn (with the time bar) and the music
// goes on from it unless paused.  Otherwise the page is told how far it is.
// Walks the song's map in pieces through `through_ms` until `end_ms`; true
// when it is there.
bool walk_song_map(int64_t through_ms, double end_ms) {
    while (!snd_seek_map_walk(song_module, through_ms, MAP_PIECE_MS))
        if (page_now_ms() >= end_ms) return false;
    return true;
}

bool seek_slice(double end_ms) {
    SeekKeysOutcome outcome = SEEK_KEYS_ON_THE_WAY;
    // The music's map as far as the target first (the seek would wait for it).
    if (walk_song_map(frame_step_time(seek_asked()), end_ms)) {
        // A slice already spent still runs a few steps (one poll's worth).
        SeekSlice slice = {std::max(end_ms - page_now_ms(), 0.001), 0};
        outcome = seek_keys_work(now_ns(), slice);
    }
    if (outcome == SEEK_KEYS_ON_THE_WAY) {
        // The music waits, silent, for the seek to land.
        if (!web.music_held) web.music_held = snd_cue_song(song_module);
        const SeekRun& run = seek_run();
        double span = static_cast<double>(std::max<int64_t>(1, run.target - run.from_step));
        double done = static_cast<double>(frame_driver.next_step - run.from_step) / span;
        EM_ASM({ Module.vmSeeking($0, $1, $2); }, static_cast<double>(run.target),
               std::max(0.0, std::min(1.0, done)), page_now_ms() - (end_ms - SEEK_SLICE_MS));
        return false;
    }
    bool held = web.music_held;
    web.music_held = false;
    if (outcome != SEEK_KEYS_DREW) {
        // No seek could be made: the music held goes on from where it was
        // cued, and the show with it.
        if (held && !seek_keys.paused) snd_play_cued(song_module);
        return false;
    }
    const SeekRun& run = seek_keys.landed;
    EM_ASM({ Module.vmSeekReport($0, $1, $2); }, static_cast<double>(run.from_step),
           static_cast<double>(run.steps), static_cast<double>(run.gl_free_steps));
    return true;
}

void prepared(int stage) {
    EM_ASM(
        {
            if (Module.vmPrepared) Module.vmPrepared($0, $1, $2, $3);
        },
        stage, stage == PREPARE_SHOW_MAP, static_cast<double>(seek_mapped_through()),
        static_cast<double>(seek_memory_bytes()));
}

// A slice of one stage of the preparation, ending at `end_ms` where the
// stage can be cut: true when the stage is done (or failed).
bool prepare_work(int stage, double end_ms) {
    switch (stage) {
    case PREPARE_CANVAS:
        if (!open_canvas()) web.prepare_failure = PREPARE_NO_WEBGL;
        return true;
    case PREPARE_REOPEN:
        release_canvas();
        return true;
    case PREPARE_SUBSET:
        web.subset_open = gl11_context_begin(SDL_GL_GetProcAddress);
        if (!web.subset_open) web.prepare_failure = PREPARE_NO_WEBGL;
        return true;
    case PREPARE_PICTURES:
        show_state_reset();
        web.view_width = web.view_height = 0;
        follow_canvas_size();
        if (!show_start_up()) web.prepare_failure = PREPARE_INIT_FAILED;
        return true;
    case PREPARE_SONG:
        // (The click may have loaded it already, with the output.)
        if (!song_module) song_module = snd_load_song_ahead(SHOW_MODULE_PATH, SHOW_MIX_RATE);
        frame_driver_reset();
        seek_enable(true);
        snd_seek_map_prepare(song_module, BEAT_INSTRUMENT, SONG_MAP_MS);
        return true;
    case PREPARE_SONG_MAP:
        return walk_song_map(SONG_MAP_MS, end_ms);
    case PREPARE_SHOW_MAP:
        // (The page test's ?nomap: seeks replay, as before the map.)  The
        // map draws nothing on the canvas the viewer sees, and the show on
        // screen goes on as if nothing had run.
        if (EM_ASM_INT({ return Module.vmNoMap ? 1 : 0; })) return true;
        return !seek_map_run(song_module, std::max(0.0, end_ms - page_now_ms()));
    default:
        return true;
    }
}

// Prepares on, stage by stage, until `end_ms` (at least one slice) or until
// stage `through` is done.  True when it is (and nothing failed).
bool prepare_through(int through, double end_ms) {
    while (web.prepare_stage <= through && web.prepare_failure == PREPARE_OK) {
        int stage = web.prepare_stage;
        if (!prepare_work(stage, end_ms)) return false;
        web.prepare_stage = stage == PREPARE_CANVAS ? PREPARE_SUBSET : stage + 1;
        prepared(stage);
        if (page_now_ms() >= end_ms) break;
    }
    return web.prepare_stage > through && web.prepare_failure == PREPARE_OK;
}

// Far behind the song clock (after a stall), the steps up to the last few
// run in the state-only mode, so that catching up costs the audio little.
void quiet_catch_up() {
    if (seek_keys.paused) return;
    int64_t due = frame_last_step_at(frame_clock());
    if (due - frame_driver.next_step <= CATCH_UP_DRAWN_STEPS) return;
    GlDetached quiet;
    gl_detach(&quiet);
    frame_run_steps(due - CATCH_UP_DRAWN_STEPS, FRAME_MAX_STEPS_PER_PASS, false);
    gl_reattach(&quiet);
}

// `seeked`: the step was drawn by a seek (key, bar or start time), `bar`:
// the time bar is over it.  The checksum of the show's state after the step
// (0.5 ms in the browser: taken only for the test figures) goes as its two
// 32-bit halves (a JavaScript number holds no 64 bits).
void report_frame(double work_ms, bool seeked, bool bar) {
    uint64_t hash = EM_ASM_INT({ return Module.vmStateHashes ? 1 : 0; }) ? show_state_hash() : 0;
    EM_ASM({ Module.vmFrame($0, $1, $2, $3, $4, $5, $6, $7, $8, $9); },
           static_cast<double>(frame_driver.last_drawn_step),
           static_cast<double>(frame_driver.clock_ms), demo.current_scene, work_ms,
           snd_latency_ms(song_module), seeked, bar, seek_keys.paused,
           static_cast<double>(hash >> 32), static_cast<double>(hash & 0xffffffffu));
}

// While a seek runs, the step it goes to is the one the page shows.
void report_paused() {
    int64_t step = seek_asked() >= 0 ? seek_asked() : shown_step();
    EM_ASM({ Module.vmPaused($0, $1); }, seek_keys.paused, static_cast<double>(step));
}

// The page measures what Web Audio holds ahead of the listener (the
// processing buffer, the base and the output latency; the output latency
// changes as the browser learns it), and the sound layer takes it off the
// clock: read before every clock reading.
void take_output_latency() {
    snd_report_output_latency(
        EM_ASM_DOUBLE({ return Module.vmOutputLatencyMs ? Module.vmOutputLatencyMs() : 0; }));
}

void animation_frame();

void keep_animation_frames() {
    if (web.loop_set) return;
    web.loop_set = true;
    emscripten_set_main_loop(animation_frame, 0, 0);
}

void drop_animation_frames() {
    emscripten_cancel_main_loop();
    web.loop_set = false;
}

// One animation frame of the benchmark: the first of each scene catches up
// cheaply, the others draw one step each.
void bench_frame() {
    if (web.bench_scene == BENCH_SCENES) {
        drop_animation_frames();
        EM_ASM({ Module.vmBenchDone(); });
        return;
    }
    if (web.bench_frame == 0)
        frame_run_steps(frame_last_step_at(BENCH_TIMES[web.bench_scene]) - 1, 0, false);
    auto start = std::chrono::steady_clock::now();
    frame_run_steps(frame_driver.next_step, 1, true);
    frame_driver.clock_ms = frame_driver.step_ms;
    report_frame(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
        false, false);
    if (++web.bench_frame == BENCH_FRAMES) {
        web.bench_frame = 0;
        ++web.bench_scene;
    }
}

// The show begins: the song plays (or waits, cued, for the seek to the
// page's start time), the keys and the pacer start afresh; the states the
// map has kept stay.
void begin_play() {
    // The view follows a canvas resized since start-up, the matrix selected
    // kept: the first step expects the texture matrix start-up left
    // selected (the resize selects the modelview matrix).
    GLint mode = GL_TEXTURE;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    if (follow_canvas_size()) glMatrixMode(static_cast<GLenum>(mode));
    frame_driver_reset();
    frame_driver.before_step = watch_notes;
    seek_keys_begin_mapped();
    if (web.start_ms > 0) {
        web.music_held = snd_cue_song(song_module);
        seek_keys_request_target(frame_last_step_at(static_cast<int64_t>(web.start_ms)));
    } else {
        snd_play_song(song_module);
    }
    frame_pacer = FramePacer{};
    web.started = true;
}

// Tells the viewer what failed while preparing (the page offers the start
// again).
void tell_prepare_failure(int failure) {
    if (failure == PREPARE_NO_WEBGL)
        page_failure(NO_WEBGL_TEXT, EXIT_CLEAN);
    else
        msgbox_show(INIT_FAILED_TEXT, INIT_FAILED_CAPTION, MSGBOX_OK, MSGBOX_ICON_STOP, false);
}

// The preparation failed after the click: the play ends, and the viewer is
// told.
void start_failed() {
    int failure = web.prepare_failure;
    end_play();
    web.prepare_failure = failure; // tried again on the next click
    tell_prepare_failure(failure);
}

// The show's map ahead, after the frame: longer while paused.
void map_after_frame() {
    double budget = seek_keys.paused ? SHOW_MAP_PAUSED_MS : SHOW_MAP_AHEAD_MS;
    prepare_through(PREPARE_SHOW_MAP, page_now_ms() + budget);
}

// An animation frame before the click: a slice of the preparation, until
// all is prepared.
void prepare_frame() {
    if (!prepare_through(PREPARE_SHOW_MAP, page_now_ms() + PREPARE_SLICE_MS) &&
        web.prepare_stage <= PREPARE_SHOW_MAP && web.prepare_failure == PREPARE_OK)
        return;
    drop_animation_frames();
}

// One animation frame of the browser.
// Keys and the page's requests first: a seek draws the step it lands on,
// and that is the frame's picture.  Before the click it prepares; after
// it, until the show has begun, it prepares what the show needs first.
void animation_frame() {
    if (!web.running) return prepare_frame();
    if (web.bench) return bench_frame();
    auto start = std::chrono::steady_clock::now();
    double start_ms = page_now_ms();
    if (!web.started) {
        if (take_keys().escape) return stop_show();
        if (!prepare_through(PREPARE_SONG, start_ms + SEEK_SLICE_MS)) {
            if (web.prepare_failure != PREPARE_OK) start_failed();
            return;
        }
        begin_play();
    }
    WebKeys keys = take_keys();
    if (keys.escape) return stop_show();
    // A new size clears the canvas: paused, the picture is drawn again.
    if (follow_canvas_size()) seek_keys_request_redraw();
    take_output_latency();
    // The keys and the page's requests of this frame become the target of
    // the seek under way (or of a new one), and the pause.
    keys.moved = keys.moved || seek_keys.pending.keys > 0;
    seek_keys_apply(now_ns());
    if (keys.moved) report_paused();
    bool seeked = false;
    if (seek_asked() >= 0) {
        seeked = seek_slice(start_ms + SEEK_SLICE_MS);
        if (!seeked && seek_asked() >= 0) return; // on its way: the next frame goes on
    }
    if (!seeked) quiet_catch_up();
    if (!seeked && !frame_play_pass(now_ns())) return map_after_frame();
    bool bar = seeked || seek_keys_overlay(now_ns());
    report_frame(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
        seeked, bar);
    map_after_frame();
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

// The page's seek bar and start time: the show goes to the step on screen
// at song time `ms` at the next animation frame.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_seek_ms(double ms) {
    if (!web.running || web.bench) return;
    seek_keys_request_target(frame_last_step_at(static_cast<int64_t>(std::max(0.0, ms))));
}

// The page's play/pause button: as Space.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_toggle_pause() {
    if (web.running && !web.bench) seek_keys_request_pause(!seek_keys_will_pause());
}

// The page's seek bar marks: the song time (ms) at which scene 1..6 begins,
// from the show's timeline (-1 for any other number).
extern "C" EMSCRIPTEN_KEEPALIVE double vm_scene_start_ms(int scene) {
    return static_cast<double>(frame_scene_start_ms(scene));
}

// The page found the browser's sound output not running: the show plays on
// in silence on the wall clock (as without its music file), notes and all.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_play_silently() {
    if (web.running && !web.bench) snd_play_silently();
}

// The page found the sound output running after all, after
// vm_play_silently (a device that woke late): the music joins in where the
// song's clock reads, and the picture goes on following that clock.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_play_aloud() {
    if (web.running && !web.bench) snd_play_aloud();
}

// Called by the page once its data is in: it prepares the show in slices,
// one per animation frame, while the viewer reads the arrival panel.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_prepare() {
    keep_animation_frames();
}

// Called by the page on each start (the viewer's click, so that sound may
// start): it opens the sound output, and the show begins at the first
// animation frame that finds it prepared far enough (its pictures and
// song); the preparation goes on meanwhile.  A later call (after Escape)
// finds the next play prepared by then, or under way.  Each failure says so
// on the page, which offers the start again.
int main(int argc, char** argv) {
    vm_sdl_support();
    if (web.running) return EXIT_CLEAN;
    web.bench = argc > 1 && strcmp(argv[1], "--bench") == 0;
    if (snd_get_version() < SHOW_MIN_SOUND_VERSION)
        return page_failure(SOUND_TOO_OLD_TEXT, EXIT_SOUND_REFUSED);
    // What failed while preparing is tried once more on this click.
    if (web.prepare_failure != PREPARE_OK) {
        web.prepare_failure = PREPARE_OK;
        web.prepare_stage = web.context ? PREPARE_REOPEN : PREPARE_CANVAS;
    }
    if (web.bench) {
        // The benchmark's own start, at once (nothing waits on it).
        if (!prepare_through(PREPARE_PICTURES, page_now_ms() + 1e9)) {
            tell_prepare_failure(web.prepare_failure);
            return EXIT_CLEAN;
        }
        if (song_module) snd_free_song(song_module);
        song_module = nullptr;
        if (!start_bench_song()) return page_failure(NO_BENCH_SONG_TEXT, EXIT_SOUND_REFUSED);
        web.running = true; // animation_frame runs the benchmark's frames now
        keep_animation_frames();
        return EXIT_CLEAN;
    }
    // The page's ?delay=: a correction of the viewer's own on top.
    snd_set_audio_delay(EM_ASM_DOUBLE({ return Module.vmAudioDelayMs || 0; }));
    // The sound output opens now; without it the show box has told the page.
    // The song (loaded ahead, or now) plays once the show begins: from its
    // start, or cued at the page's start time (#t=), which the show seeks
    // to before drawing anything.
    if (!show_start_sound(false)) return EXIT_SOUND_REFUSED;
    web.start_ms = EM_ASM_DOUBLE({ return Module.vmStartMs || 0; });
    // Keys pressed while the show was stopped (an Escape that left full
    // screen) are not for this play.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    web.running = true;
    web.started = false;
    web.music_held = false;
    EM_ASM({ Module.vmStarted(); });
    keep_animation_frames();
    return EXIT_CLEAN;
}

// The page's Stop button and the media session's stop: the show ends as on
// Escape (the page shows "Stopped" and Play again).  Called between
// animation frames.
extern "C" EMSCRIPTEN_KEEPALIVE void vm_stop() {
    if (web.running && !web.bench) stop_show();
}

// The page's slider and media session: the step a seeking key `vk` (the
// player's virtual-key codes) goes to from step `from`, as the keys do
// (scene starts for Page Up and Page Down), or -1 when it goes nowhere.
extern "C" EMSCRIPTEN_KEEPALIVE double vm_key_target_step(int vk, double from) {
    return static_cast<double>(
        seek_keys_target(vk, std::max<int64_t>(0, static_cast<int64_t>(from)), seek_keys.paused));
}
