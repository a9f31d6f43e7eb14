// The frame driver: advances the show in fixed steps of song time, each step
// applying the timeline, running the current scene and drawing the overlay
// bars.
//
// Step n belongs to song time floor(n * 1000 / 60) ms, on every machine and
// in every run: the player, the harness, capture and the benchmarks all move
// the show with frame_run_steps, so what the scenes do "per frame" happens
// once per step whatever the display manages.  Before each step the notes of
// the beat instrument due by that step's own time are handed to the beat
// callback.  Of the steps one call runs, only the last may be drawn at full
// size; the others are drawn into a few pixels of the picture, which keeps
// every piece of state (GL's included) exactly as drawing them would.
#pragma once

#include <cstdint>

struct SndSong;

// The playing song, stored by the entry point (or the harness) and read by
// the driver for the clock, the notes and the callback registration.
extern SndSong* song_module;

// Steps per second of song time.
constexpr int FRAME_STEP_RATE = 60;

// The show's length: the song's first pass (329 s) and a little more.  The
// seek maps reach this far, and media controls give it as the length.
constexpr int64_t SHOW_LENGTH_MS = 330000;

// Song time of step n: floor(n * 1000 / FRAME_STEP_RATE) ms.
int64_t frame_step_time(int64_t step);

// The last step whose time is at or before `ms` (-1 before the show).
int64_t frame_last_step_at(int64_t ms);

// Called before each step's notes are delivered, with the step and its song
// time: the harness moves its offline clock there.
typedef void (*FrameStepHook)(int64_t step, int64_t step_ms, void* user);

// Called between the steps of a long run (every FRAME_POLL_STEPS steps, and
// never before the first): true asks frame_run_steps to stop there, so
// that Escape and the close button are answered during seeks and other
// long work.  The player looks at its messages in it.
typedef bool (*FramePollHook)(void* user);

// Steps between two calls of frame_driver.poll (a few milliseconds of
// GL-free steps even in the finale).
constexpr int64_t FRAME_POLL_STEPS = 16;

// The driver's state between steps.
struct FrameDriver {
    int64_t next_step = 0;               // the first step not yet run
    int64_t step_ms = 0;                 // song time of the step running (or last run)
    int64_t last_drawn_step = -1;        // the last step drawn at full size
    int64_t clock_ms = 0;                // the song clock as the player's last pass read it
    bool step_drawn = true;              // the running step is drawn at full size (not cheap)
    FrameStepHook before_step = nullptr; // null: the clock is live
    void* hook_user = nullptr;
    FramePollHook poll = nullptr; // null: long runs are never stopped
    void* poll_user = nullptr;
    bool stopped = false; // the last frame_run_steps was stopped by poll
};
extern FrameDriver frame_driver;

// Back to the show's first step, with no hook.
void frame_driver_reset();

// Runs the steps from frame_driver.next_step through `last`, but at most
// `max_steps` of them (0 or less: no limit).  The last step run is drawn in
// the current viewport when `draw_last`; all others cheaply.  Returns how
// many steps ran.  When frame_driver.poll asks to stop, the run ends early
// with frame_driver.stopped set (nothing is drawn at full size then).
int64_t frame_run_steps(int64_t last, int64_t max_steps, bool draw_last);

// At most this many steps run in one pass of the player, so that Escape and
// the close button are answered at once after a stall (a busy machine, a
// stopped process, a restored window); the show catches up over the next
// passes, every step and every note still in order.
constexpr int64_t FRAME_MAX_STEPS_PER_PASS = 60;

// One pass of the player at wall time `now_ns`: reads frame_clock once, asks
// the pacer (frame_pacer.h) which step to show, runs the steps up to it (at
// most FRAME_MAX_STEPS_PER_PASS) and draws the last one.  False when there
// was nothing new to show: then nothing was drawn.
bool frame_play_pass(int64_t now_ns);

// One pass of the player while nothing is shown (a minimised window):
// reads frame_clock once and runs the steps due (at most
// FRAME_MAX_STEPS_PER_PASS), none drawn at full size, so that the notes
// keep reaching their own steps.  Returns how many steps ran.
int64_t frame_follow_pass();

// Milliseconds of song time from the last clock reading of frame_play_pass
// until the next step is due (0 when it is due already).
int64_t frame_ms_to_next_step();

// One step's frame at song time frame_driver.step_ms: clears, applies the
// timeline, runs the scene and the overlay, flushes and registers the beat
// callback.  Always returns true.  Called by frame_run_steps.
bool render_frame();

// The timeline: sets current_scene from the song time t (ms) and resets
// end_beats and end_stage in 260000..260009.  Times outside 0..299999 leave
// current_scene as it is.  render_frame calls it once per step.
void apply_timeline(double t);

// Song time (ms) at which scene 1..6 begins by the timeline (0 for scene
// 1); -1 for any other number.
int64_t frame_scene_start_ms(int scene);

// The first step of scene 1..6 (-1 for any other number).
int64_t frame_scene_first_step(int scene);

// Where the player reads the song clock once per pass.  By default the sound
// layer's clock of song_module, read without delivering notes (the steps
// deliver them); tests may point it at a scripted clock and must put back
// frame_clock_song.
typedef int64_t (*FrameClock)();
extern FrameClock frame_clock;
int64_t frame_clock_song();
