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
    if (seek_asked() >= 0) return seek_asked();
    return shown_step();
}

// The pending keys become the show's state: paused or not, and the target
// asked of the seek engine (a seek under way takes the new one).
void apply_pending(int64_t now_ns) {
    if (!seek_keys.pending.any) return;
    SeekKeysPending p = seek_keys.pending;
    seek_keys.pending = SeekKeysPending{};
    bool was_paused = seek_keys.paused;
    seek_keys.paused = p.paused;
    seek_keys.moves += p.keys;
    if (p.keys > 0) seek_keys.bar_until_ns = now_ns + SEEK_KEYS_BAR_NS;
    int64_t target = p.target;
    // Pausing (or a new size while paused) draws the picture on screen
    // again, with the bar over it; the music seeks there once.  A song
    // that cannot seek is held where it is instead.
    if (target < 0 && p.paused && (!was_paused || p.redraw) && seek_asked() < 0) {
        if (seek_unmappable() && !was_paused) snd_hold(song_module);
        if (!seek_unmappable()) target = shown_step();
    }
    if (target >= 0) {
        seek_ask(target);
        return;
    }
    // The pictures that follow carry the bar.
    if (was_paused && !p.paused && seek_asked() < 0) resume();
}

} // namespace

void seek_keys_begin() {
    seek_keys = SeekKeysState{};
    seek_cancel();
    seek_enable(true);
    snd_seek_map_prepare(song_module, BEAT_INSTRUMENT, SHOW_LENGTH_MS);
}

void seek_keys_begin_mapped() {
    seek_keys = SeekKeysState{};
    seek_cancel();
    snd_seek_map_prepare(song_module, BEAT_INSTRUMENT, SHOW_LENGTH_MS);
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

SeekKeysOutcome seek_keys_work(int64_t now_ns, SeekSlice slice) {
    if (!song_module) return SEEK_KEYS_NOTHING;
    apply_pending(now_ns);
    switch (seek_carry_on(song_module, slice)) {
    case SEEK_IDLE:
        return SEEK_KEYS_NOTHING;
    case SEEK_ON_THE_WAY:
        return SEEK_KEYS_ON_THE_WAY;
    case SEEK_ENDED:
        return SEEK_KEYS_ENDED;
    case SEEK_CANNOT: // the show plays on where it is (the sound layer said why once)
        return SEEK_KEYS_NOTHING;
    case SEEK_THERE:
        break;
    }
    ++seek_keys.settles;
    seek_keys.landed = seek_run();
    if (!seek_land(song_module, seek_keys.paused)) return SEEK_KEYS_NOTHING;
    ++seek_keys.draws;
    seek_keys_overlay(now_ns);
    return SEEK_KEYS_DREW;
}

void seek_keys_apply(int64_t now_ns) {
    if (song_module) apply_pending(now_ns);
}

bool seek_keys_settle(int64_t now_ns) {
    return seek_keys_work(now_ns, SeekSlice{}) == SEEK_KEYS_DREW;
}

bool seek_keys_handle(const WinMessage& message, int64_t now_ns) {
    seek_keys_take(message);
    return seek_keys_settle(now_ns);
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
