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
// playing unless paused.
void move_to(int64_t target) {
    seek_to_step(target, song_module);
    FrameStepHook hook = frame_driver.before_step;
    frame_driver.before_step = cue_before_step;
    frame_run_steps(target, 0, true);
    frame_driver.before_step = hook;
    if (!seek_keys.paused) snd_play_cued(song_module);
    frame_pacer = FramePacer{};
}

void pause_here() {
    snd_seek(song_module, frame_step_time(shown_step()));
    seek_keys.paused = true;
}

void resume() {
    seek_keys.paused = false;
    snd_play_cued(song_module);
    frame_pacer = FramePacer{};
}

} // namespace

void seek_keys_begin() {
    seek_keys = SeekKeysState{};
    seek_enable(true);
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
        return previous_scene_start(shown);
    case WIN_VK_NEXT:
    case WIN_VK_DOWN:
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

bool seek_keys_handle(const WinMessage& message, int64_t now_ns) {
    if (message.kind != WIN_MSG_KEYDOWN || !song_module) return false;
    int64_t shown = shown_step();
    if (message.code == WIN_VK_SPACE && seek_keys.paused) {
        resume(); // the pictures that follow carry the bar for a while
        seek_keys.bar_until_ns = now_ns + SEEK_KEYS_BAR_NS;
        ++seek_keys.moves;
        return false;
    }
    if (message.code == WIN_VK_SPACE) {
        // The picture on screen again, with the bar over it.
        pause_here();
        move_to(shown);
    } else {
        int64_t target = seek_keys_target(message.code, shown, seek_keys.paused);
        if (target < 0) return false;
        move_to(target);
    }
    ++seek_keys.moves;
    seek_keys.bar_until_ns = now_ns + SEEK_KEYS_BAR_NS;
    seek_keys_overlay(now_ns);
    return true;
}

void seek_keys_go_to(int64_t target, int64_t now_ns) {
    if (!song_module) return;
    move_to(std::max<int64_t>(0, target));
    ++seek_keys.moves;
    seek_keys.bar_until_ns = now_ns + SEEK_KEYS_BAR_NS;
    seek_keys_overlay(now_ns);
}

bool seek_keys_overlay(int64_t now_ns) {
    if (!seek_keys.paused && now_ns >= seek_keys.bar_until_ns) return false;
    time_bar_draw(frame_step_time(shown_step()), demo.current_scene);
    return true;
}
