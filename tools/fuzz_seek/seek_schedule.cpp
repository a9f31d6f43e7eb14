#include "seek_schedule.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

#include "harness/harness.h"
#include "show/frame.h"
#include "show/seek.h"
#include "show/show_check.h"

namespace {

// The bytes, read one at a time (0 past the end).
struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at;
    int next() { return at < bytes.size() ? bytes[at++] : 0; }
    int next16() { return next() << 8 | next(); }
    bool done() const { return at >= bytes.size(); }
};

struct Run {
    int w, h;
    ScheduleSights& sights;
    ScheduleResult result;
    int froms;
};

// FNV-1a over everything the show carries from step to step.
uint64_t state_checksum() {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : show_state_bytes())
        h = (h ^ b) * 1099511628211ull;
    return h;
}

int64_t shown() {
    return std::max<int64_t>(0, harness_next_frame() - 1);
}

// The step just drawn; a step seen twice must look the same both times.
void note(Run& run) {
    int64_t step = shown();
    ScheduleSight now = {state_checksum(), harness_read_rgb()};
    run.result.max_step = std::max(run.result.max_step, step);
    auto it = run.sights.by_step.find(step);
    if (it == run.sights.by_step.end()) {
        run.sights.by_step.emplace(step, std::move(now));
    } else if (it->second.state != now.state && run.result.fault.empty()) {
        run.result.fault = "step " + std::to_string(step) + " differs from an earlier sight of it";
    }
}

void play(Run& run, int steps) {
    for (int i = 1; i < steps; ++i)
        harness_step(false);
    harness_step(true);
    note(run);
}

int64_t mapped() {
    return std::max<int64_t>(seek_mapped_through(), 0);
}

// A seek target of one of the kinds that matter: back, forward, past the
// map, at a scene change, into the finale's reset window, past the end,
// and at the edge of the map's progress.
int64_t pick_target(Reader& r) {
    int kind = r.next() % 7;
    int64_t p = r.next16();
    switch (kind) {
    case 0:
        return shown() - 1 - p % 6000;
    case 1:
        return shown() + 1 + p % 6000;
    case 2:
        return mapped() + SEEK_INTERVAL_STEPS + p % 3000;
    case 3:
        return frame_scene_first_step(2 + static_cast<int>(p % 5)) + (p >> 8) % 7 - 3;
    case 4:
        return frame_last_step_at(260000) + p % 5 - 2;
    case 5:
        return SEEK_MAP_LAST_STEP + p % 700;
    default:
        return mapped() + p % 61 - 30;
    }
}

// A key's move from `from`, as the player's keys add up: 5 s either way,
// the next or the scene's start, or the show's start.
int64_t key_move(int64_t from, int key) {
    switch (key % 5) {
    case 0:
        return from + 300;
    case 1:
        return std::max<int64_t>(0, from - 300);
    case 2:
        for (int scene = 1; scene <= 6; ++scene)
            if (frame_scene_first_step(scene) > from) return frame_scene_first_step(scene);
        return from;
    case 3: {
        int64_t best = 0;
        for (int scene = 1; scene <= 6; ++scene)
            if (frame_scene_first_step(scene) < from) best = frame_scene_first_step(scene);
        return best;
    }
    default:
        return 0;
    }
}

// Carries a seek to `target` on in slices of a few polls each, more keys
// arriving between some of them (each moves the target on from where the
// keys before it reached), then lands and draws.
void seek(Run& run, Reader& r, int64_t target) {
    seek_ask(std::max<int64_t>(0, target));
    int slice_byte = r.next();
    SeekSlice slice = {0, slice_byte % 3 == 0 ? 0 : FRAME_POLL_STEPS * (1 + slice_byte % 8)};
    int keys = r.next() % 4;
    SeekOutcome outcome;
    while ((outcome = seek_carry_on(harness_song(), slice)) == SEEK_ON_THE_WAY)
        if (keys-- > 0) seek_ask(key_move(seek_asked(), r.next()));
    if (outcome != SEEK_THERE) {
        if (run.result.fault.empty()) run.result.fault = "a seek did not arrive";
        seek_cancel();
        return;
    }
    harness_land(seek_asked());
    ++run.result.landings;
    harness_step(true);
    note(run);
}

// A start later in the song, as --from does: a fresh run, the map up to
// the start in pieces, then the seek.
void from_start(Run& run, Reader& r) {
    harness_end();
    if (harness_begin(run.w, run.h, FRAME_STEP_RATE) != HARNESS_OK) {
        run.result.fault = "the harness did not start again";
        return;
    }
    seek_enable(true);
    int64_t target = r.next16() % SEEK_MAP_LAST_STEP;
    int piece = 1 + r.next() * 4;
    while (mapped() + SEEK_INTERVAL_STEPS <= target && seek_map_steps(harness_song(), piece)) {
    }
    seek(run, r, target);
}

void operation(Run& run, Reader& r) {
    int op = r.next() % 8;
    switch (op) {
    case 0:
        return play(run, 1 + r.next() % 60);
    case 1:
        seek_map_steps(harness_song(), 1 + r.next() * 4);
        return;
    case 2:
    case 3:
        return seek(run, r, pick_target(r));
    case 4: // paused: one step forward or back
        return seek(run, r, shown() + (r.next() % 2 ? 1 : -1));
    case 5: { // a burst of keys, one target
        int64_t target = shown();
        for (int keys = 1 + r.next() % 6; keys > 0; --keys)
            target = key_move(target, r.next());
        return seek(run, r, target);
    }
    case 6:
        if (run.froms < 2 && r.next() % 4 == 0) {
            ++run.froms;
            return from_start(run, r);
        }
        seek_map_steps(harness_song(), 1 + r.next() * 64);
        return;
    default:
        for (int n = 1 + r.next() % 4; n > 0; --n)
            play(run, 1);
        return;
    }
}

// Pictures equal, but for GL rounding a colour level apart at a few pixels
// of the opening scene, whose texture matrix GL builds over thousands of
// turns.
bool same_picture(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return false;
    int differ = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        int d = std::abs(a[k] - b[k]);
        if (d > 1) return false;
        differ += d != 0;
    }
    return differ <= 8;
}

} // namespace

std::vector<uint8_t> seek_schedule_random(uint32_t seed, size_t size) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

ScheduleResult seek_schedule_play(const std::vector<uint8_t>& bytes, int w, int h,
                                  int64_t max_operations, ScheduleSights* sights) {
    Run run = {w, h, *sights, {}, 0};
    if (harness_begin(w, h, FRAME_STEP_RATE) != HARNESS_OK) {
        run.result.fault = "the harness did not start";
        return run.result;
    }
    seek_enable(true);
    play(run, 1);
    Reader r = {bytes, 0};
    while (!r.done() && run.result.operations < max_operations && run.result.fault.empty()) {
        operation(run, r);
        ++run.result.operations;
    }
    harness_end();
    return run.result;
}

std::string seek_schedule_check(const ScheduleSights& sights, int w, int h, int64_t* compared) {
    *compared = 0;
    if (harness_begin(w, h, FRAME_STEP_RATE) != HARNESS_OK) return "the straight run did not start";
    std::string fault;
    for (const auto& [step, seen] : sights.by_step) {
        while (harness_next_frame() < step)
            harness_step(false);
        harness_step(true);
        ++*compared;
        bool same_state = state_checksum() == seen.state;
        if (fault.empty() && (!same_state || !same_picture(harness_read_rgb(), seen.rgb)))
            fault = "step " + std::to_string(step) + ": the " + (same_state ? "picture" : "state") +
                    " differs from a straight run's";
    }
    harness_end();
    return fault;
}
