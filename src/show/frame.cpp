#include "show/frame.h"

#include <GL/gl.h>

#include "assets/texture_set.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame_pacer.h"
#include "show/scenes.h"
#include "show/seek.h"
#include "platform/sound.h"

// Stored by the entry point (or the harness) after loading the module; read
// here only.
SndSong* song_module = nullptr;

// Clock source of the player's passes; only tests change it.
FrameClock frame_clock = frame_clock_song;

// The driver's steps; advanced by frame_run_steps, reset by the harness.
FrameDriver frame_driver;

namespace {

// What a timeline row does when the song time falls in its window.
enum TimelineAction { SHOW_SCENE, RESET_ENDING };

// One row of the timeline: [from, to) or [from, to] when to_inclusive.
struct TimelineRow {
    double from;
    double to;
    bool to_inclusive;
    TimelineAction action;
    int32_t scene;
};

// Tested in this order every frame; a later match overwrites an earlier one,
// so 77000 belongs to scene 2 although row 1 includes it.
const TimelineRow TIMELINE[] = {
    {0.0, 77000.0, true, SHOW_SCENE, 1},        {77000.0, 102500.0, false, SHOW_SCENE, 2},
    {102500.0, 121800.0, false, SHOW_SCENE, 3}, {121800.0, 159760.0, false, SHOW_SCENE, 4},
    {159760.0, 260000.0, false, SHOW_SCENE, 5}, {260000.0, 260010.0, false, RESET_ENDING, 0},
    {260000.0, 300000.0, false, SHOW_SCENE, 6},
};

// Entry point of each scene, index = scene - 1.
void (*const SCENES[6])() = {run_opening_scene, run_bit_tunnel, run_sphere_greetings,
                             run_flying_words,  run_landscape,  run_particle_finale};

// The overlay bars: both are this quad, placed at y = +Y and y = -Y.
struct BarVertex {
    float s, t, x, y;
};
const BarVertex BAR_QUAD[4] = {
    {0.0f, 0.0f, -10.8f, -1.5f},
    {10.0f, 0.0f, 10.8f, -1.5f},
    {10.0f, 5.0f, 10.8f, 1.5f},
    {0.0f, 5.0f, -10.8f, 1.5f},
};
constexpr float BAR_Z = -10.0f;
constexpr float NEAR_BAR_Y = 4.0f; // bar_mode 1: letterbox bands
constexpr float FAR_BAR_Y = 8.0f;  // bar_mode 2: outside the view
// Where the tail leaves the modelview matrix (x is drift).
constexpr float TAIL_Y = -3.5f;
constexpr float TAIL_Z = -9.5f;
// Steps nobody sees are drawn into this many pixels at the picture's corner.
constexpr int CHEAP_W = 4;
constexpr int CHEAP_H = 3;

bool in_window(const TimelineRow& row, double t) {
    if (t < row.from) return false;
    return row.to_inclusive ? t <= row.to : t < row.to;
}

void run_scene(int32_t scene) {
    if (scene >= 1 && scene <= 6) SCENES[scene - 1]();
}

void draw_bar(float y) {
    glLoadIdentity();
    glTranslatef(0.0f, y, BAR_Z);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_COMP]);
    glBegin(GL_QUADS);
    for (const BarVertex& v : BAR_QUAD) {
        glTexCoord2f(v.s, v.t);
        glVertex3f(v.x, v.y, 0.0f);
    }
    glEnd();
}

// The overlay: two bars, then the state the next frame's scene starts from
// (logo2 bound, blending, lighting and depth test off).
void draw_overlay() {
    float bar_y;
    if (demo.bar_mode == 1) {
        bar_y = NEAR_BAR_Y;
    } else if (demo.bar_mode == 2) {
        bar_y = FAR_BAR_Y;
    } else {
        return;
    }
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw_bar(bar_y);
    draw_bar(-bar_y);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glTranslatef(demo.drift, TAIL_Y, TAIL_Z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO2]);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
}

// The viewport of the steps that are drawn, kept while cheap steps run in a
// corner of it.
struct CheapViewport {
    int saved[4];
    bool active;
};

// Switches to the few pixels cheap steps draw into, the clear limited to them.
void cheap_viewport_begin(CheapViewport& v) {
    if (v.active) return;
    glGetIntegerv(GL_VIEWPORT, v.saved);
    glEnable(GL_SCISSOR_TEST);
    glScissor(v.saved[0], v.saved[1], CHEAP_W, CHEAP_H);
    glViewport(v.saved[0], v.saved[1], CHEAP_W, CHEAP_H);
    v.active = true;
}

// Puts back the viewport of drawn steps.
void cheap_viewport_end(CheapViewport& v) {
    if (!v.active) return;
    glDisable(GL_SCISSOR_TEST);
    glViewport(v.saved[0], v.saved[1], v.saved[2], v.saved[3]);
    v.active = false;
}

// Runs the next step: its clock hook, its notes, then its frame.
void run_next_step(bool drawn) {
    frame_driver.step_drawn = drawn;
    seek_step_passing(frame_driver.next_step);
    int64_t step = frame_driver.next_step++;
    int64_t ms = frame_step_time(step);
    if (frame_driver.before_step) frame_driver.before_step(step, ms, frame_driver.hook_user);
    if (song_module) snd_deliver_notes(song_module, ms);
    frame_driver.step_ms = ms;
    render_frame();
}

} // namespace

int64_t frame_step_time(int64_t step) {
    return step * 1000 / FRAME_STEP_RATE;
}

int64_t frame_last_step_at(int64_t ms) {
    if (ms < 0) return -1;
    // floor(n * 1000 / rate) <= ms  <=>  n * 1000 < (ms + 1) * rate
    return ((ms + 1) * FRAME_STEP_RATE + 999) / 1000 - 1;
}

void frame_driver_reset() {
    frame_driver = FrameDriver{};
}

int64_t frame_run_steps(int64_t last, int64_t max_steps, bool draw_last) {
    int64_t count = last - frame_driver.next_step + 1;
    if (count <= 0) return 0;
    if (max_steps > 0 && count > max_steps) count = max_steps;
    CheapViewport cheap = {};
    frame_driver.stopped = false;
    for (int64_t i = 0; i < count; ++i) {
        if (i > 0 && i % FRAME_POLL_STEPS == 0 && frame_driver.poll &&
            frame_driver.poll(frame_driver.poll_user)) {
            frame_driver.stopped = true;
            count = i;
            break;
        }
        bool drawn = draw_last && i == count - 1;
        if (drawn)
            cheap_viewport_end(cheap);
        else
            cheap_viewport_begin(cheap);
        run_next_step(drawn);
        if (drawn) frame_driver.last_drawn_step = frame_driver.next_step - 1;
    }
    cheap_viewport_end(cheap);
    return count;
}

bool frame_play_pass(int64_t now_ns) {
    frame_driver.clock_ms = frame_clock();
    int64_t show = frame_pacer_choose(frame_pacer, frame_last_step_at(frame_driver.clock_ms));
    if (show < frame_driver.next_step) return false;
    frame_run_steps(show, FRAME_MAX_STEPS_PER_PASS, true);
    frame_pacer_presented(frame_pacer, frame_driver.last_drawn_step, now_ns);
    return true;
}

int64_t frame_follow_pass() {
    frame_driver.clock_ms = frame_clock();
    return frame_run_steps(frame_last_step_at(frame_driver.clock_ms), FRAME_MAX_STEPS_PER_PASS,
                           false);
}

int64_t frame_ms_to_next_step() {
    int64_t wait = frame_step_time(frame_driver.next_step) - frame_driver.clock_ms;
    return wait > 0 ? wait : 0;
}

int64_t frame_clock_song() {
    return song_module ? snd_peek_time(song_module) : 0;
}

int64_t frame_scene_start_ms(int scene) {
    int64_t start = -1;
    for (const TimelineRow& row : TIMELINE)
        if (row.action == SHOW_SCENE && row.scene == scene) start = static_cast<int64_t>(row.from);
    return start;
}

int64_t frame_scene_first_step(int scene) {
    int64_t ms = frame_scene_start_ms(scene);
    return ms < 0 ? -1 : frame_last_step_at(ms - 1) + 1;
}

void apply_timeline(double t) {
    for (const TimelineRow& row : TIMELINE) {
        if (!in_window(row, t)) continue;
        if (row.action == SHOW_SCENE) {
            demo.current_scene = row.scene;
        } else {
            demo.end_beats = 1;
            demo.end_stage = 1;
        }
    }
}

bool render_frame() {
    demo.song_time_ms = static_cast<double>(frame_driver.step_ms);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    apply_timeline(demo.song_time_ms);
    run_scene(demo.current_scene);
    draw_overlay();
    glFlush();
    if (song_module) snd_set_inst_callback(song_module, beat_callback, BEAT_INSTRUMENT);
    return true;
}
