#include "show/seek.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "gfx/carried_state.h"
#include "platform/gl_detach.h"
#include "platform/sound.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "show/scene6_particle_finale.h"
#include "show/show_check.h"

namespace {

// One kept state: the records before `step` less the spark sets, which are
// shared with the neighbours that have the same.
struct SeekState {
    int64_t step = 0;
    std::vector<uint8_t> records;
    std::shared_ptr<const std::vector<uint8_t>> sparks;
    CarriedGlState gl = {};
    bool gl_known = false; // `gl` is GL's state before `step`
};

// The map ahead: a second run of the show, in pieces between the show's
// own steps, that keeps a state at every interval.  Between pieces it
// stands before `step` with these records and GL state.
struct SeekMap {
    bool started = false;
    bool unmappable = false; // the song's notes cannot be replayed: never maps
    int64_t step = 0;
    std::vector<uint8_t> records; // all of show_state_bytes
    CarriedGlState gl = {};
};

struct SeekStore {
    bool enabled = false;
    std::vector<SeekState> states; // by step
    int64_t spark_interval = SEEK_INTERVAL_STEPS;
    size_t bytes = 0;
    // GL's carried state follows the records: false after GL-free steps
    // until SEEK_GL_STEPS steps have run with GL again.
    bool gl_follows = true;
    int64_t gl_steps_since_free = 0;
    // The steps running belong to the map, not to the show on screen.
    bool mapping = false;
    SeekMap map;
    SeekRun run; // the seek under way
};

SeekStore seek_store;
SeekReport last_report;

// ---- the kept states --------------------------------------------------------

void recount_bytes() {
    size_t bytes = 0;
    const std::vector<uint8_t>* last = nullptr;
    for (const SeekState& s : seek_store.states) {
        bytes += s.records.size() + sizeof s;
        if (s.sparks.get() != last) bytes += s.sparks->size();
        last = s.sparks.get();
    }
    seek_store.bytes = bytes;
}

std::vector<SeekState>::iterator first_after(int64_t step) {
    return std::upper_bound(seek_store.states.begin(), seek_store.states.end(), step,
                            [](int64_t s, const SeekState& k) { return s < k.step; });
}

bool same_sparks(const SeekState& a, const SeekState& b) {
    return a.sparks == b.sparks;
}

// The one rule of thinning: a state stays when it is the first, when it
// shares its spark sets with a neighbour (it then costs little), or when
// its step is on the spark interval.
bool worth_keeping(const std::vector<SeekState>& states, size_t i) {
    const SeekState& s = states[i];
    if (i == 0 || s.step % seek_store.spark_interval == 0) return true;
    if (same_sparks(s, states[i - 1])) return true;
    return i + 1 < states.size() && same_sparks(s, states[i + 1]);
}

// Over the budget: keeps states with spark sets of their own half as often.
void thin_states() {
    while (seek_store.bytes > SEEK_MEMORY_BUDGET && seek_store.spark_interval < (1 << 20)) {
        seek_store.spark_interval *= 2;
        std::vector<SeekState> kept;
        for (size_t i = 0; i < seek_store.states.size(); ++i)
            if (worth_keeping(seek_store.states, i)) kept.push_back(seek_store.states[i]);
        seek_store.states = std::move(kept);
        recount_bytes();
    }
}

// The show's state now, before `step`, with GL's carried state when
// `gl_known`.  The spark sets are shared with `neighbours` that have the same.
SeekState capture_state(int64_t step, bool gl_known,
                        const std::vector<const SeekState*>& neighbours) {
    std::vector<uint8_t> all = show_state_bytes();
    auto split = all.end() - static_cast<std::ptrdiff_t>(sizeof finale_sparks);
    SeekState s;
    s.step = step;
    s.records.assign(all.begin(), split);
    for (const SeekState* n : neighbours)
        if (n && std::equal(split, all.end(), n->sparks->begin(), n->sparks->end()))
            s.sparks = n->sparks;
    if (!s.sparks) s.sparks = std::make_shared<const std::vector<uint8_t>>(split, all.end());
    s.gl_known = gl_known && carried_state_save(&s.gl);
    return s;
}

void keep_state(int64_t step, bool gl_known) {
    auto at = first_after(step);
    if (at != seek_store.states.begin() && (at - 1)->step == step) return;
    size_t index = static_cast<size_t>(at - seek_store.states.begin());
    const SeekState* after = index < seek_store.states.size() ? &seek_store.states[index] : nullptr;
    const SeekState* before = index > 0 ? &seek_store.states[index - 1] : nullptr;
    SeekState s = capture_state(step, gl_known, {after, before});
    seek_store.states.insert(seek_store.states.begin() + static_cast<std::ptrdiff_t>(index),
                             std::move(s));
    if (!worth_keeping(seek_store.states, index)) {
        seek_store.states.erase(seek_store.states.begin() + static_cast<std::ptrdiff_t>(index));
        return;
    }
    recount_bytes();
    thin_states();
}

void restore_state(const SeekState& s) {
    std::vector<uint8_t> all = s.records;
    all.insert(all.end(), s.sparks->begin(), s.sparks->end());
    show_state_restore(all);
    if (s.gl_known) carried_state_restore(s.gl);
    seek_store.gl_follows = s.gl_known;
    seek_store.gl_steps_since_free = 0;
}

// The last kept state at or before `target` that can be started from.
const SeekState* start_state_for(int64_t target) {
    for (auto k = first_after(target); k != seek_store.states.begin(); --k)
        if ((k - 1)->gl_known) return &*(k - 1);
    return nullptr;
}

// ---- running steps ------------------------------------------------------------

// The context let go while steps run GL-free (for seek_with_gl).
GlDetached detached_gl;

// Runs the steps through `last` with GL let go: they change the show's
// records only, at no GL cost.  Where GL cannot be let go (no context, or
// the GL 1.1 subset) they run with GL, the cheap way.
void run_gl_free(int64_t last) {
    if (!gl_detach(&detached_gl)) {
        frame_run_steps(last, 0, false);
        return;
    }
    if (gl_mode() == GL_STATE_ONLY) {
        // The GL 1.1 subset's state-only mode: nothing is drawn, but GL's
        // state follows the records all along, as with GL.
        frame_run_steps(last, 0, false);
        gl_reattach(&detached_gl);
        return;
    }
    seek_store.gl_follows = false;
    seek_store.gl_steps_since_free = 0;
    frame_run_steps(last, 0, false);
    bool still_free = gl_mode() == GL_LET_GO; // seek_with_gl may have ended it
    gl_reattach(&detached_gl);
    if (still_free) gfx_end_gl_free();
}

// Runs the steps through `last` with GL, the cheap way.  After
// SEEK_GL_STEPS of them GL's carried state follows the records again.
void run_with_gl(int64_t last) {
    int64_t before = frame_driver.next_step;
    frame_run_steps(last, 0, false);
    seek_store.gl_steps_since_free += frame_driver.next_step - before;
    if (seek_store.gl_steps_since_free >= SEEK_GL_STEPS) seek_store.gl_follows = true;
}

// The first step of GL-free running: all but the last SEEK_GL_STEPS before
// `target` (none when GL already follows and the run is that short).
int64_t gl_free_end(int64_t target) {
    int64_t from = frame_driver.next_step;
    if (seek_store.gl_follows && target - from <= SEEK_GL_STEPS) return from;
    return std::max(from, target - SEEK_GL_STEPS);
}

// Runs the steps from frame_driver.next_step up to `target` (not run):
// GL-free where it can, with GL for the last SEEK_GL_STEPS and for the last
// SEEK_SCENE_END_GL_STEPS of each scene on the way, because a scene leaves
// GL state (the texture matrix, say) that the next ones keep without
// setting it again.  Returns how many steps ran GL-free.
int64_t replay_steps(int64_t target) {
    int64_t gl_from = gl_free_end(target);
    // The first step sets up GL's texture matrix: it always runs with GL.
    if (frame_driver.next_step == 0 && gl_from > 0) run_with_gl(0);
    int64_t gl_free = 0;
    for (int scene = 2; scene <= 6 && !frame_driver.stopped; ++scene) {
        int64_t first = frame_scene_first_step(scene);
        if (first <= frame_driver.next_step || first >= gl_from) continue;
        int64_t with_gl = std::max(frame_driver.next_step, first - SEEK_SCENE_END_GL_STEPS);
        gl_free += with_gl - frame_driver.next_step;
        if (with_gl > frame_driver.next_step) run_gl_free(with_gl - 1);
        if (!frame_driver.stopped) run_with_gl(first - 1);
    }
    if (!frame_driver.stopped && gl_from > frame_driver.next_step) {
        gl_free += gl_from - frame_driver.next_step;
        run_gl_free(gl_from - 1);
    }
    if (!frame_driver.stopped) run_with_gl(target - 1);
    return gl_free;
}

// Steps replayed hear the notes a straight run delivers before each of
// them, from the song's map.  False when the song has no map to give them:
// replayed steps would then take the live song's notes, so nothing may run.
bool replay_music_begin(SndSong* song, int64_t target) {
    if (!song || target <= frame_driver.next_step) return true;
    return snd_replay_begin(song, frame_step_time(frame_driver.next_step - 1),
                            frame_step_time(target));
}

// Whether a song's notes can be replayed at all (its map can be made).
bool song_mappable(SndSong* song) {
    if (!song) return true;
    bool ok = snd_replay_begin(song, -1, 0);
    snd_replay_end(song);
    return ok;
}

// Where a seek to `target` starts: the present step when no kept state
// is nearer, else the last kept state before it, put back.  False when
// neither is known.
bool go_to_start_state(int64_t target) {
    const SeekState* kept = start_state_for(target);
    int64_t present = frame_driver.next_step;
    if (present <= target && (!kept || kept->step <= present)) return true;
    if (!kept) return false;
    restore_state(*kept);
    return true;
}

// Replays the steps up to `target` (not run) with the notes of a straight
// run and without the clock hook (the clock is the caller's to move).
// Returns how many ran GL-free.
int64_t replay_to(int64_t target, SndSong* song) {
    FrameStepHook hook = frame_driver.before_step;
    frame_driver.before_step = nullptr;
    frame_driver.stopped = false;
    replay_music_begin(song, target); // checked by seek_to_step
    int64_t gl_free = replay_steps(target);
    if (song) snd_replay_end(song);
    frame_driver.before_step = hook;
    return gl_free;
}

// Puts the music at the time of the step before `target` (before the
// song's start for the first step).
// False when the sound layer could not move it (and said why).
bool music_to(int64_t target, SndSong* song) {
    return !song || snd_seek(song, target > 0 ? frame_step_time(target - 1) : -1);
}

} // namespace

// ---- seeking ----------------------------------------------------------------

void seek_enable(bool on) {
    seek_store = SeekStore{};
    seek_store.enabled = on;
}

void seek_step_passing(int64_t step) {
    if (!seek_store.enabled || seek_store.mapping || step % SEEK_INTERVAL_STEPS != 0) return;
    if (!seek_store.gl_follows && seek_store.gl_steps_since_free >= SEEK_GL_STEPS)
        seek_store.gl_follows = true;
    // A state without GL's could not be started from: none is kept.
    if (seek_store.gl_follows) keep_state(step, true);
}

SeekReport seek_to_step(int64_t target, SndSong* song) {
    target = std::max<int64_t>(target, 0);
    SeekReport report = {};
    if (!song_mappable(song)) {
        report.unmappable = true; // nothing changed: the show plays on
        last_report = report;
        return report;
    }
    if (!go_to_start_state(target)) return report; // nothing known before the target
    report.done = true;
    report.from_step = frame_driver.next_step;
    report.steps = target - report.from_step;
    report.gl_free_steps = replay_to(target, song);
    report.stopped = frame_driver.stopped;
    // A stopped seek leaves the music where it was.
    if (!report.stopped) report.music_failed = !music_to(target, song);
    last_report = report;
    return report;
}

void seek_with_gl(void (*work)(void*), void* user) {
    if (!detached_gl.detached) {
        work(user);
        return;
    }
    bool let_go = gl_mode() == GL_LET_GO;
    gl_reattach(&detached_gl);
    if (let_go) gfx_end_gl_free();
    work(user);
    // The rest of the stretch runs with GL when GL cannot be let go again.
    gl_detach(&detached_gl);
}

SeekReport seek_last_report() {
    return last_report;
}

size_t seek_memory_bytes() {
    return seek_store.bytes;
}

size_t seek_state_count() {
    return seek_store.states.size();
}

int64_t seek_spark_interval() {
    return seek_store.spark_interval;
}

// ---- the map ahead ------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

// What the show on screen has that the map's steps change, put aside
// meanwhile.
struct LiveAside {
    std::vector<uint8_t> records;
    FrameDriver driver;
    bool gl_follows;
    int64_t gl_steps_since_free;
    CarriedGlAside gl;
};

LiveAside put_live_aside() {
    LiveAside live = {show_state_bytes(),
                      frame_driver,
                      seek_store.gl_follows,
                      seek_store.gl_steps_since_free,
                      {}};
    carried_state_put_aside(&live.gl);
    return live;
}

void put_live_back(const LiveAside& live) {
    show_state_restore(live.records);
    frame_driver = live.driver;
    seek_store.gl_follows = live.gl_follows;
    seek_store.gl_steps_since_free = live.gl_steps_since_free;
    carried_state_put_back(live.gl);
}

bool map_complete() {
    return seek_store.map.started && seek_store.map.step >= SEEK_MAP_LAST_STEP;
}

bool map_start() {
    // A show that stands before its first step (a start later in the song)
    // keeps that state now.
    if (frame_driver.next_step == 0 && seek_store.gl_follows) keep_state(0, true);
    const SeekState* first = start_state_for(0);
    if (!first) return false;
    SeekMap& map = seek_store.map;
    map.started = true;
    map.step = first->step;
    map.records = first->records;
    map.records.insert(map.records.end(), first->sparks->begin(), first->sparks->end());
    map.gl = first->gl;
    return true;
}

// The map runs step k with GL when it is the first, one of the last
// SEEK_MAP_GL_STEPS of its interval (the state at the interval's end is
// kept with GL's) or one of the last SEEK_SCENE_END_GL_STEPS of its scene.
bool map_step_needs_gl(int64_t k) {
    int64_t end = (k / SEEK_INTERVAL_STEPS + 1) * SEEK_INTERVAL_STEPS;
    if (k == 0 || end - k <= SEEK_MAP_GL_STEPS) return true;
    for (int scene = 2; scene <= 6; ++scene) {
        int64_t first = frame_scene_first_step(scene);
        if (k < first && first - k <= SEEK_SCENE_END_GL_STEPS) return true;
    }
    return false;
}

// Lets GL go before a GL-free step, takes it back before a step with GL.
void map_gl_mode(bool with_gl) {
    if (with_gl && gl_mode() == GL_LET_GO) {
        gl_reattach(&detached_gl);
        gfx_end_gl_free();
    } else if (!with_gl && gl_mode() == GL_DRAWING) {
        gl_detach(&detached_gl);
    }
}

// Goes on from a state kept one interval on (by the show played or by an
// earlier piece) instead of mapping the interval again.
void map_skip_kept() {
    for (;;) {
        int64_t step = frame_driver.next_step;
        if (step % SEEK_INTERVAL_STEPS != 0) return;
        auto at = first_after(step + SEEK_INTERVAL_STEPS);
        if (at == seek_store.states.begin()) return;
        const SeekState& next = *(at - 1);
        if (next.step != step + SEEK_INTERVAL_STEPS || !next.gl_known) return;
        restore_state(next);
    }
}

// After the map jumped to a kept state, its notes go on from there: every
// step hears the notes a straight run delivers before it, however the map
// came to that step.
bool map_notes_from_here(SndSong* song) {
    if (song) snd_replay_end(song);
    // The song's map is walked on as the steps need it (a piece never waits
    // for the whole song to be mapped).
    return replay_music_begin(song, frame_driver.next_step + 1);
}

// Goes on from a state kept one interval on, with the notes from there.
bool map_skip(SndSong* song) {
    int64_t before = frame_driver.next_step;
    map_skip_kept();
    return frame_driver.next_step == before || map_notes_from_here(song);
}

// The map's show in place of the one on screen, where it stood.  False
// when the song's notes cannot be replayed: the map gives up for good.
bool map_resume(SndSong* song) {
    SeekMap& map = seek_store.map;
    seek_store.mapping = true;
    show_state_restore(map.records);
    carried_state_restore(map.gl);
    frame_driver.before_step = nullptr;
    frame_driver.poll = nullptr;
    frame_driver.stopped = false;
    map_skip_kept();
    return map_notes_from_here(song);
}

// Where the map's show stands, for the next piece.
void map_suspend(SndSong* song) {
    SeekMap& map = seek_store.map;
    if (song) snd_replay_end(song);
    map_gl_mode(true); // the held turns made on GL's texture matrix
    map.step = frame_driver.next_step;
    map.records = show_state_bytes();
    carried_state_save(&map.gl);
    seek_store.mapping = false;
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

bool seek_map_complete() {
    return map_complete();
}

int64_t seek_mapped_through() {
    if (!seek_store.map.started) return -1;
    return seek_store.map.step / SEEK_INTERVAL_STEPS * SEEK_INTERVAL_STEPS;
}

bool seek_kept_gl(int64_t step, CarriedGlState* out) {
    auto at = first_after(step);
    if (at == seek_store.states.begin() || (at - 1)->step != step || !(at - 1)->gl_known)
        return false;
    *out = (at - 1)->gl;
    return true;
}

// One piece of the map: at least one step, then on until `max_steps` steps
// have run or `budget_ms` is spent (0: no limit of that kind).  Where the
// piece ends changes only how far the map has come, never what it keeps.
bool map_piece(SndSong* song, int64_t max_steps, double budget_ms) {
    if (!seek_store.enabled || map_complete() || seek_store.map.unmappable) return false;
    if (!seek_store.map.started && !map_start()) return false;
    Clock::time_point start = Clock::now();
    // Over the GL 1.1 subset the map draws nothing at all (its steps with
    // GL included) and the subset's whole state comes back after it.
    GlQuiet quiet;
    gl_quiet_begin(&quiet);
    LiveAside live = put_live_aside();
    bool notes = map_resume(song);
    int64_t ran = 0;
    while (notes && frame_driver.next_step < SEEK_MAP_LAST_STEP) {
        int64_t step = frame_driver.next_step;
        map_gl_mode(map_step_needs_gl(step));
        frame_run_steps(step, 1, false);
        ++ran;
        if (frame_driver.next_step % SEEK_INTERVAL_STEPS == 0) {
            keep_state(frame_driver.next_step, true);
            notes = map_skip(song);
        }
        if (max_steps > 0 && ran >= max_steps) break;
        if (budget_ms > 0 && ms_since(start) >= budget_ms) break;
    }
    // A song whose notes cannot be replayed is never mapped: the states
    // kept would carry the live song's notes, not a straight run's.
    if (!notes) seek_store.map.unmappable = true;
    map_suspend(song);
    put_live_back(live);
    gl_quiet_end(&quiet);
    return notes && !map_complete();
}

bool seek_map_run(SndSong* song, double budget_ms) {
    return map_piece(song, 0, std::max(budget_ms, 1e-9));
}

bool seek_map_steps(SndSong* song, int64_t max_steps) {
    return map_piece(song, std::max<int64_t>(max_steps, 1), 0);
}

void seek_map_all(SndSong* song) {
    while (map_piece(song, 0, 0)) {
    }
}

bool seek_unmappable() {
    return seek_store.map.unmappable;
}

// ---- the seek engine ----------------------------------------------------------

namespace {

// The slice running: the host's own poll (the player's messages) first,
// then the slice's length.  The host's word ends the work; the slice's
// only pauses it.
struct SliceWatch {
    FramePollHook host;
    void* host_user;
    SeekSlice slice;
    Clock::time_point start;
    int64_t first_step;
    bool host_ended;
};
SliceWatch slice_watch;

bool slice_poll(void*) {
    SliceWatch& w = slice_watch;
    if (w.host && w.host(w.host_user)) {
        w.host_ended = true;
        return true;
    }
    if (w.slice.steps > 0 && frame_driver.next_step - w.first_step >= w.slice.steps) return true;
    return w.slice.ms > 0 && ms_since(w.start) >= w.slice.ms;
}

// The music could not move (the sound layer said why): it plays on where
// it was, and the show goes there instead of waiting for it.
int64_t where_the_music_is(SndSong* song) {
    return std::max<int64_t>(0, frame_last_step_at(snd_peek_time(song)));
}

void cue_before_step(int64_t, int64_t step_ms, void* song) {
    snd_cue_advance_to(static_cast<SndSong*>(song), step_ms);
}

} // namespace

void seek_ask(int64_t target) {
    SeekRun& run = seek_store.run;
    target = std::max<int64_t>(target, 0);
    if (run.target != target) run.there = false;
    if (run.target < 0) run = SeekRun{};
    run.target = target;
}

int64_t seek_asked() {
    return seek_store.run.target;
}

const SeekRun& seek_run() {
    return seek_store.run;
}

void seek_cancel() {
    seek_store.run = SeekRun{};
}

SeekOutcome seek_carry_on(SndSong* song, SeekSlice slice) {
    SeekRun& run = seek_store.run;
    if (run.target < 0) return SEEK_IDLE;
    if (run.there) return SEEK_THERE;
    if (!run.begun) {
        run.begun = true;
        run.from_step = std::max<int64_t>(0, frame_driver.next_step - 1);
    }
    ++run.slices;
    slice_watch = {frame_driver.poll, frame_driver.poll_user, slice,
                   Clock::now(),      frame_driver.next_step, false};
    frame_driver.poll = slice_poll;
    SeekReport r = seek_to_step(run.target, song);
    frame_driver.poll = slice_watch.host;
    frame_driver.poll_user = slice_watch.host_user;
    if (!r.done) {
        // Said once by the sound layer, as any seek of the music it
        // cannot make; the song plays on where it is.
        if (r.unmappable && song) snd_seek(song, frame_step_time(run.target));
        seek_cancel();
        return SEEK_CANNOT;
    }
    if (run.steps == 0 && run.slices == 1) run.from_step = r.from_step;
    int64_t ran = frame_driver.next_step - r.from_step;
    run.steps += ran;
    run.gl_free_steps += std::min(ran, r.gl_free_steps);
    if (slice_watch.host_ended) return SEEK_ENDED;
    if (r.stopped) return SEEK_ON_THE_WAY;
    if (song && r.music_failed) {
        // Once more, to where the music plays on (it is mapped, or the
        // seek above could not have been made).
        run.target = where_the_music_is(song);
        run.there = false;
        return seek_carry_on(song, slice);
    }
    run.there = true;
    return SEEK_THERE;
}

bool seek_land(SndSong* song, bool paused) {
    SeekRun& run = seek_store.run;
    if (!run.there) return false;
    int64_t target = run.target;
    FrameStepHook hook = frame_driver.before_step;
    void* hook_user = frame_driver.hook_user;
    if (song) {
        frame_driver.before_step = cue_before_step;
        frame_driver.hook_user = song;
    }
    frame_run_steps(target, 0, true);
    frame_driver.before_step = hook;
    frame_driver.hook_user = hook_user;
    if (song && !paused) snd_play_cued(song);
    frame_pacer = FramePacer{};
    seek_cancel();
    return frame_driver.last_drawn_step == target;
}
