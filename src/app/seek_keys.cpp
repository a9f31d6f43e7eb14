#include "app/seek_keys.h"

#include <algorithm>

#include "app/time_bar.h"
#include "platform/sound.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "show/seek.h"

SeekKeysState seek_keys;

namespace {

constexpr int SCENE_COUNT = 6;
// The song is mapped for seeking this far ahead from the start (the first
// pass of the song is 329 s); seeks beyond map on as they go.
constexpr int64_t SEEK_KEYS_MAP_MS = 330000;

void cue_before_step(int64_t, int64_t step_ms, void*) {
    snd_cue_advance_to(song_module, step_ms);
}

int64_t shown_step() {
    return std::max<int64_t>(0, frame_driver.next_step - 1);
}

// The first step of the scene before `step`'s own start (or of its own
// scene when `step` lies after that start).
int64_t previous_scene_start(int64_t step) {
    int64_t best = -1;
    for (int scene = 1; scene <= SCENE_COUNT; ++scene) {
        int64_t first = frame_scene_first_step(scene);
        if (first < step) best = std::max(best, first);
    }
    return best;
}

int64_t next_scene_start(int64_t step) {
    for (int scene = 1; scene <= SCENE_COUNT; ++scene) {
        int64_t first = frame_scene_first_step(scene);
        if (first > step) return first;
    }
    return -1;
}

// Puts the show on `target` and draws it; the music follows, cued there and
// playing unless paused: one seek of each.  False when nothing was drawn
// (frame_driver.poll stopped the seek: the show is ending).
bool move_to(int64_t target) {
    int64_t failed = snd_seek_counts().failed;
    SeekReport report = seek_to_step(target, song_module);
    if (report.stopped) return false;
    if (snd_seek_counts().failed != failed) {
        // The music could not move (the sound layer said why): it plays on
        // where it was, and the show goes there instead of waiting for it.
        seek_keys.paused = false;
        target = std::max<int64_t>(0, frame_last_step_at(snd_peek_time(song_module)));
        if (seek_to_step(target, song_module).stopped) return false;
    }
    FrameStepHook hook = frame_driver.before_step;
    frame_driver.before_step = cue_before_step;
    frame_run_steps(target, 0, true);
    frame_driver.before_step = hook;
    if (!seek_keys.paused) snd_play_cued(song_module);
    frame_pacer = FramePacer{};
    return frame_driver.last_drawn_step == target;
}

void resume() {
    snd_play_cued(song_module);
    frame_pacer = FramePacer{};
}

// The pending move, begun with the show as it is when no key waits yet.
SeekKeysPending& pending_begin() {
    SeekKeysPending& p = seek_keys.pending;
    if (!p.any) p = SeekKeysPending{true, -1, seek_keys.paused, false, 0};
    return p;
}

// Where the next key moves from: the target the keys before it reached,
// else the target of the seek under way, else the step on screen.
int64_t move_base() {
    if (seek_keys.pending.any && seek_keys.pending.target >= 0) return seek_keys.pending.target;
    if (seek_keys.going_to >= 0) return seek_keys.going_to;
    return shown_step();
}

} // namespace

void seek_keys_begin() {
    seek_keys = SeekKeysState{};
    seek_enable(true);
    snd_seek_map_prepare(song_module, BEAT_INSTRUMENT, SEEK_KEYS_MAP_MS);
}

void seek_keys_begin_mapped() {
    seek_keys = SeekKeysState{};
    snd_seek_map_prepare(song_module, BEAT_INSTRUMENT, SEEK_KEYS_MAP_MS);
}

int64_t seek_keys_target(int vk, int64_t shown, bool paused) {
    switch (vk) {
    case WIN_VK_LEFT:
        return std::max<int64_t>(0, shown - SEEK_KEYS_JUMP_STEPS);
    case WIN_VK_RIGHT:
        return shown + SEEK_KEYS_JUMP_STEPS;
    case WIN_VK_PRIOR:
    case WIN_VK_UP:
    case WIN_VK_MEDIA_PREV_TRACK:
        return previous_scene_start(shown);
    case WIN_VK_NEXT:
    case WIN_VK_DOWN:
    case WIN_VK_MEDIA_NEXT_TRACK:
        return next_scene_start(shown);
    case WIN_VK_HOME:
        return 0;
    case WIN_VK_PERIOD:
        return paused ? shown + 1 : -1;
    case WIN_VK_COMMA:
        return paused && shown > 0 ? shown - 1 : -1;
    default:
        return -1;
    }
}

bool seek_keys_take(const WinMessage& message) {
    if (!song_module) return false;
    bool paused = seek_keys.pending.any ? seek_keys.pending.paused : seek_keys.paused;
    if (message.kind == WIN_MSG_SIZE || message.kind == WIN_MSG_RESTORE) {
        if (paused) pending_begin().redraw = true;
        return false;
    }
    if (message.kind != WIN_MSG_KEYDOWN) return false;
    if (message.code == WIN_VK_SPACE || message.code == WIN_VK_MEDIA_PLAY_PAUSE) {
        SeekKeysPending& p = pending_begin();
        p.paused = !p.paused;
        ++p.keys;
        return true;
    }
    int64_t target = seek_keys_target(message.code, move_base(), paused);
    if (target < 0) return false;
    SeekKeysPending& p = pending_begin();
    p.target = target;
    ++p.keys;
    return true;
}

bool seek_keys_settle(int64_t now_ns) {
    if (!seek_keys.pending.any || !song_module) return false;
    SeekKeysPending p = seek_keys.pending;
    seek_keys.pending = SeekKeysPending{};
    bool was_paused = seek_keys.paused;
    seek_keys.paused = p.paused;
    seek_keys.moves += p.keys;
    if (p.keys > 0) seek_keys.bar_until_ns = now_ns + SEEK_KEYS_BAR_NS;
    int64_t target = p.target;
    // Pausing (or a new size while paused) draws the picture on screen
    // again, with the bar over it; the music seeks there once.
    if (target < 0 && p.paused && (!was_paused || p.redraw)) target = shown_step();
    if (target < 0) {
        if (was_paused && !p.paused) resume(); // the pictures that follow carry the bar
        return false;
    }
    seek_keys.going_to = target;
    bool drew = move_to(target);
    seek_keys.going_to = -1;
    ++seek_keys.settles;
    if (!drew) return false;
    ++seek_keys.draws;
    seek_keys_overlay(now_ns);
    return true;
}

bool seek_keys_handle(const WinMessage& message, int64_t now_ns) {
    seek_keys_take(message);
    return seek_keys_settle(now_ns);
}

void seek_keys_go_to(int64_t target, int64_t now_ns) {
    if (!song_module) return;
    SeekKeysPending& p = pending_begin();
    p.target = std::max<int64_t>(0, target);
    ++p.keys;
    seek_keys_settle(now_ns);
}

int64_t seek_keys_move_base() {
    return move_base();
}

bool seek_keys_will_pause() {
    return seek_keys.pending.any ? seek_keys.pending.paused : seek_keys.paused;
}

void seek_keys_request_target(int64_t target) {
    if (!song_module) return;
    SeekKeysPending& p = pending_begin();
    p.target = std::max<int64_t>(0, target);
    ++p.keys;
}

void seek_keys_request_pause(bool paused) {
    if (!song_module || seek_keys_will_pause() == paused) return;
    SeekKeysPending& p = pending_begin();
    p.paused = paused;
    ++p.keys;
}

void seek_keys_request_redraw() {
    if (song_module && seek_keys_will_pause()) pending_begin().redraw = true;
}

bool seek_keys_overlay(int64_t now_ns) {
    if (!seek_keys.paused && now_ns >= seek_keys.bar_until_ns) return false;
    time_bar_draw(frame_step_time(shown_step()), demo.current_scene);
    return true;
}
