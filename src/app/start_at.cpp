#include "app/start_at.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>

#include "app/display.h"
#include "app/main_loop.h"
#include "show/frame.h"
#include "show/seek.h"
#include "platform/sound.h"
#include "platform/window.h"

int64_t show_start_ms = 0;
StartAtResult start_at_result = {};

namespace {

using Clock = std::chrono::steady_clock;

// The bar: a share of the picture's width, centred, a few pixels high.
constexpr float BAR_WIDTH_SHARE = 0.5f;
constexpr int BAR_HEIGHT_DIVISOR = 48;
constexpr int BAR_MIN_HEIGHT = 4;
constexpr float TRACK_GREY = 0.25f;
constexpr float FILL_GREY = 0.85f;

// What the poll between the seek's steps needs.
struct StartAtProgress {
    Clock::time_point start;
    int64_t target;
    GLint view[4]; // the picture's viewport (the steps draw into a corner of it)
    double next_bar_ms;
    double share;
};

void clear_box(int x, int y, int w, int h, float grey) {
    glScissor(x, y, w, h);
    glClearColor(grey, grey, grey, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// A progress bar on black, drawn with clears only; the GL state the show
// keeps between steps (clear colour, scissor) is put back.
void draw_progress(void* user) {
    const StartAtProgress& p = *static_cast<const StartAtProgress*>(user);
    const GLint* view = p.view;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_ENABLE_BIT);
    glEnable(GL_SCISSOR_TEST);
    clear_box(view[0], view[1], view[2], view[3], 0.0f);
    int w = static_cast<int>(static_cast<float>(view[2]) * BAR_WIDTH_SHARE);
    int h = std::max(view[3] / BAR_HEIGHT_DIVISOR, BAR_MIN_HEIGHT);
    int x = view[0] + (view[2] - w) / 2;
    int y = view[1] + (view[3] - h) / 2;
    clear_box(x, y, w, h, TRACK_GREY);
    clear_box(x, y, static_cast<int>(w * std::min(p.share, 1.0)), h, FILL_GREY);
    glPopAttrib();
    win_swap_buffers(display.window_handle);
    ++start_at_result.bars;
}

// The player's one poll answers the window: Escape or the close button
// stop the start (the loop's first pass ends the show), seek keys wait for
// the first pass, a new size is held until then.
bool keep_going() {
    return !main_loop_poll(nullptr);
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Between the seek's steps: answers the window (true stops the seek) and
// draws the bar when the seek takes more than a moment.
bool start_at_poll(void* user) {
    StartAtProgress& p = *static_cast<StartAtProgress*>(user);
    if (!keep_going()) return true;
    double now_ms = ms_since(p.start);
    if (display.window_active && now_ms > p.next_bar_ms) {
        p.share = static_cast<double>(frame_driver.next_step) / static_cast<double>(p.target);
        seek_with_gl(draw_progress, &p);
        p.next_bar_ms = now_ms + START_AT_PROGRESS_EVERY_MS;
    }
    return false;
}

// Maps ahead up to `target` in pieces, answering the window and drawing the
// bar between them.  False when the viewer asked to stop.
bool map_up_to(int64_t target, StartAtProgress& progress) {
    while (seek_mapped_through() + SEEK_INTERVAL_STEPS <= target &&
           seek_map_run(song_module, START_AT_MAP_PIECE_MS)) {
        if (!keep_going()) return false;
        double now_ms = ms_since(progress.start);
        if (display.window_active && now_ms > progress.next_bar_ms) {
            progress.share = static_cast<double>(std::max<int64_t>(seek_mapped_through(), 0)) /
                             static_cast<double>(target);
            draw_progress(&progress);
            progress.next_bar_ms = now_ms + START_AT_PROGRESS_EVERY_MS;
        }
    }
    return true;
}

} // namespace

void start_at_run(int64_t ms) {
    start_at_result = StartAtResult{};
    StartAtProgress progress = {
        Clock::now(), frame_last_step_at(ms), {}, START_AT_PROGRESS_AFTER_MS, 0.0};
    glGetIntegerv(GL_VIEWPORT, progress.view);
    snd_cue_song(song_module);
    // Asked at once: keys pressed meanwhile move on from the start.
    seek_ask(progress.target);
    // The map reaches the start first, then the seek replays one interval
    // at most; the rest of the map follows as the show plays.
    start_at_result.interrupted = !map_up_to(progress.target, progress);
    SeekOutcome outcome = SEEK_ENDED;
    if (!start_at_result.interrupted) {
        frame_driver.poll = start_at_poll;
        frame_driver.poll_user = &progress;
        outcome = seek_carry_on(song_module);
        frame_driver.poll = nullptr;
        frame_driver.poll_user = nullptr;
        start_at_result.steps = seek_run().steps;
        start_at_result.interrupted = outcome == SEEK_ENDED;
        // The loop's first pass draws the step due; the engine lands nothing.
    }
    seek_cancel();
    // Stopped early, the show ends: the music never starts.  A song that
    // cannot seek plays from its start.
    if (outcome == SEEK_THERE) snd_cue_advance_to(song_module, ms);
    if (!start_at_result.interrupted) snd_play_cued(song_module);
    start_at_result.elapsed_ms = ms_since(progress.start);
}
