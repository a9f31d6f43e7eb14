#include "show/seek.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gfx/carried_state.h"
#include "gfx/effects.h"
#include "platform/gl_detach.h"
#include "platform/sound.h"
#include "show/frame.h"
#include "show/scene6_particle_finale.h"
#include "show/show_check.h"

namespace {

// One kept state: the records before `step` less the spark sets, which are
// shared with the neighbours that have the same.
struct SeekState {
    int64_t step;
    std::vector<uint8_t> records;
    std::shared_ptr<const std::vector<uint8_t>> sparks;
    CarriedGlState gl;
    bool gl_known; // `gl` is GL's state before `step`
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
};

SeekStore seek_store;
SeekReport last_report;

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

// Over the budget: keeps every other state among those with spark sets of
// their own, as if they had been kept half as often.
void thin_states() {
    while (seek_store.bytes > SEEK_MEMORY_BUDGET && seek_store.spark_interval < (1 << 20)) {
        seek_store.spark_interval *= 2;
        std::vector<SeekState> kept;
        for (SeekState& s : seek_store.states) {
            bool own_sparks = kept.empty() || kept.back().sparks != s.sparks;
            if (own_sparks && s.step % seek_store.spark_interval != 0 && !kept.empty()) continue;
            kept.push_back(std::move(s));
        }
        seek_store.states = std::move(kept);
        recount_bytes();
    }
}

std::vector<SeekState>::iterator first_after(int64_t step) {
    return std::upper_bound(seek_store.states.begin(), seek_store.states.end(), step,
                            [](int64_t s, const SeekState& k) { return s < k.step; });
}

void keep_state(int64_t step) {
    auto at = first_after(step);
    if (at != seek_store.states.begin() && (at - 1)->step == step) return;
    std::vector<uint8_t> all = show_state_bytes();
    size_t split = all.size() - sizeof finale_sparks;
    SeekState s;
    s.step = step;
    s.records.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(split));
    // Shares the spark sets of a neighbour that has the same.
    // (By index: the one before the first state does not exist, and an
    // iterator to it may not even be formed.)
    size_t index = static_cast<size_t>(at - seek_store.states.begin());
    for (size_t n : {index, index - 1}) {
        if (n >= seek_store.states.size()) continue; // index - 1 wraps past the end at 0
        const SeekState& neighbour = seek_store.states[n];
        if (std::equal(all.begin() + static_cast<std::ptrdiff_t>(split), all.end(),
                       neighbour.sparks->begin(), neighbour.sparks->end()))
            s.sparks = neighbour.sparks;
    }
    if (!s.sparks && step % seek_store.spark_interval != 0 && at != seek_store.states.begin())
        return; // thinned out
    if (!s.sparks)
        s.sparks = std::make_shared<const std::vector<uint8_t>>(
            all.begin() + static_cast<std::ptrdiff_t>(split), all.end());
    s.gl_known = carried_state_save(&s.gl);
    seek_store.states.insert(at, std::move(s));
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

// Runs the steps before `last` + 1 GL-free (as cheap steps when GL cannot
// be let go).
void run_gl_free(int64_t last) {
    GlDetached gl;
    bool detached = gl_detach(&gl);
    // Over a GL that kept its state (the subset's state-only mode) the steps
    // run as with GL: its state follows the records all along.
    bool lost = detached && !gl.state_kept;
    if (lost) {
        seek_store.gl_follows = false;
        seek_store.gl_steps_since_free = 0;
    }
    quadric_shapes_idle = lost;
    carried_rotations_held = lost;
    frame_run_steps(last, 0, false);
    quadric_shapes_idle = false;
    carried_rotations_held = false;
    gl_reattach(&gl);
    carried_rotations_apply();
}

void run_with_gl(int64_t last) {
    int64_t before = frame_driver.next_step;
    frame_run_steps(last, 0, false);
    seek_store.gl_steps_since_free += frame_driver.next_step - before;
    if (seek_store.gl_steps_since_free >= SEEK_GL_STEPS) seek_store.gl_follows = true;
}

} // namespace

void seek_enable(bool on) {
    seek_store = SeekStore{};
    seek_store.enabled = on;
}

void seek_step_passing(int64_t step) {
    if (!seek_store.enabled || step % SEEK_INTERVAL_STEPS != 0) return;
    if (!seek_store.gl_follows && seek_store.gl_steps_since_free >= SEEK_GL_STEPS)
        seek_store.gl_follows = true;
    // A state without GL's could not be started from: none is kept.
    if (seek_store.gl_follows) keep_state(step);
}

SeekReport seek_to_step(int64_t target, SndSong* song) {
    if (target < 0) target = 0;
    SeekReport report = {};
    // The last kept state before the target whose GL state is known.
    const SeekState* kept = nullptr;
    for (auto k = first_after(target); k != seek_store.states.begin(); --k) {
        const SeekState& s = *(k - 1);
        if (s.gl_known) {
            kept = &s;
            break;
        }
    }
    int64_t present = frame_driver.next_step;
    bool from_present = present <= target && (!kept || kept->step <= present);
    if (!from_present && !kept) return report; // nothing known before the target
    if (!from_present) restore_state(*kept);
    report.done = true;
    report.from_step = frame_driver.next_step;
    report.steps = target - frame_driver.next_step;
    FrameStepHook hook = frame_driver.before_step;
    frame_driver.before_step = nullptr;
    frame_driver.stopped = false;
    if (song && report.steps > 0)
        snd_replay_begin(song, frame_step_time(frame_driver.next_step - 1),
                         frame_step_time(target));
    bool gl_ready = seek_store.gl_follows && report.steps <= SEEK_GL_STEPS;
    int64_t gl_from = gl_ready ? frame_driver.next_step
                               : std::max(frame_driver.next_step, target - SEEK_GL_STEPS);
    if (frame_driver.next_step == 0 && gl_from > 0) {
        // The first step sets up GL's texture matrix (its matrix calls act
        // on it): it always runs with GL.
        run_with_gl(0);
    }
    report.gl_free_steps = gl_from - frame_driver.next_step;
    // GL-free up to a few steps before each scene change on the way, then
    // those steps with GL: a scene leaves GL state (the texture matrix,
    // say) that the next ones keep without setting it again.
    for (int scene = 2; scene <= 6 && !frame_driver.stopped; ++scene) {
        int64_t first = frame_scene_first_step(scene);
        if (first <= frame_driver.next_step || first >= gl_from) continue;
        int64_t with_gl = std::max(frame_driver.next_step, first - SEEK_SCENE_END_GL_STEPS);
        if (with_gl > frame_driver.next_step) run_gl_free(with_gl - 1);
        if (!frame_driver.stopped) run_with_gl(first - 1);
        report.gl_free_steps -= first - with_gl;
    }
    if (!frame_driver.stopped && gl_from > frame_driver.next_step) run_gl_free(gl_from - 1);
    if (!frame_driver.stopped) run_with_gl(target - 1);
    report.stopped = frame_driver.stopped;
    if (song) {
        snd_replay_end(song);
        if (!report.stopped) snd_seek(song, target > 0 ? frame_step_time(target - 1) : -1);
    }
    frame_driver.before_step = hook;
    last_report = report;
    return report;
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
