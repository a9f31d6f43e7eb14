#include "bench_seek.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "bench_stats.h"
#include "harness/harness.h"
#include "platform/sound.h"
#include "show/beat.h"
#include "show/frame.h"
#include "show/seek.h"

namespace {

// Seeks land anywhere from the show's start to a little past its end.
constexpr int64_t SEEK_SPAN_MS = 306000;
constexpr int64_t SEEK_MAP_MS = 330000; // as the player maps ahead
constexpr double BACK_TARGET_MS = 100.0;
constexpr double ANY_TARGET_MS = 250.0;

// The viewer watches this much of the show from its start before seeking,
// and this many steps after each seek.
constexpr int64_t FIRST_WATCH_MS = 60000;
constexpr int64_t WATCH_STEPS = 60;

enum SeekKind { SEEK_BACK, SEEK_FORWARD, SEEK_START_TO_FINALE, SEEK_KINDS };
const char* const KIND_NAMES[SEEK_KINDS] = {"back into played", "elsewhere", "start to finale"};

// Stretches of steps the viewer has watched, [first, last].
struct Watched {
    int64_t first, last;
};

bool was_watched(const std::vector<Watched>& watched, int64_t step) {
    for (const Watched& w : watched)
        if (step >= w.first && step <= w.last) return true;
    return false;
}

struct SeekFigures {
    std::vector<double> ms[SEEK_KINDS];
    std::vector<double> all;
    int64_t replayed[SEEK_KINDS] = {};
    int64_t gl_free[SEEK_KINDS] = {};
};

// One timed seek: the seek, the target step drawn, GL finished.
double timed_seek(int64_t step, SeekReport* report) {
    auto start = std::chrono::steady_clock::now();
    harness_seek(step);
    harness_step(true);
    glFinish();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    *report = seek_last_report();
    return ms;
}

void add(SeekFigures& f, SeekKind kind, double ms, const SeekReport& r) {
    f.ms[kind].push_back(ms);
    f.all.push_back(ms);
    f.replayed[kind] += r.steps;
    f.gl_free[kind] += r.gl_free_steps;
}

void print_row(const char* name, const std::vector<double>& v, int64_t replayed, int64_t gl_free) {
    if (v.empty()) {
        printf("%-18s %5d\n", name, 0);
        return;
    }
    printf("%-18s %5zu %8.1f %8.1f %8.1f %9.0f %9.0f\n", name, v.size(), bench_quantile(v, 0.5),
           bench_quantile(v, 0.95), bench_quantile(v, 1.0),
           static_cast<double>(replayed) / static_cast<double>(v.size()),
           static_cast<double>(gl_free) / static_cast<double>(v.size()));
}

} // namespace

bool bench_seek_run(int width, int height, int seeks, int finale_seeks, uint32_t seed) {
    SeekFigures f;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int64_t> anywhere(0, frame_last_step_at(SEEK_SPAN_MS));
    std::uniform_int_distribution<int64_t> in_finale(frame_scene_first_step(6),
                                                     frame_last_step_at(SEEK_SPAN_MS));
    SeekReport report;
    for (int i = 0; i < finale_seeks; ++i) {
        if (harness_begin(width, height, FRAME_STEP_RATE) != HARNESS_OK) return false;
        seek_enable(true);
        // As the player does when its loop begins.
        snd_seek_map_prepare(harness_song(), BEAT_INSTRUMENT, SEEK_MAP_MS);
        harness_step(true); // the show's first picture, then straight on
        double ms = timed_seek(in_finale(random), &report);
        add(f, SEEK_START_TO_FINALE, ms, report);
        harness_end();
    }
    if (harness_begin(width, height, FRAME_STEP_RATE) != HARNESS_OK) return false;
    seek_enable(true);
    snd_seek_map_prepare(harness_song(), BEAT_INSTRUMENT, SEEK_MAP_MS);
    std::vector<Watched> watched;
    while (harness_next_frame() <= frame_last_step_at(FIRST_WATCH_MS))
        harness_step(false);
    watched.push_back({0, harness_next_frame() - 1});
    for (int i = 0; i < seeks; ++i) {
        int64_t step = anywhere(random);
        SeekKind kind = was_watched(watched, step) ? SEEK_BACK : SEEK_FORWARD;
        double ms = timed_seek(step, &report);
        add(f, kind, ms, report);
        for (int k = 0; k < WATCH_STEPS; ++k)
            harness_step(false);
        watched.push_back({step, harness_next_frame() - 1});
    }
    printf("%dx%d, %d seeks to random steps (seed %u) after watching the first %lld s, each\n"
           "followed by %lld steps of watching; %d seeks from the start into the finale\n",
           width, height, seeks, seed, static_cast<long long>(FIRST_WATCH_MS / 1000),
           static_cast<long long>(WATCH_STEPS), finale_seeks);
    printf("time from the seek to the target step's picture (ms), steps replayed and of them\n"
           "GL-free (mean per seek)\n");
    printf("%-18s %5s %8s %8s %8s %9s %9s\n", "kind", "seeks", "p50", "p95", "max", "steps",
           "gl-free");
    for (int k = 0; k < SEEK_KINDS; ++k)
        print_row(KIND_NAMES[k], f.ms[k], f.replayed[k], f.gl_free[k]);
    print_row("all", f.all, f.replayed[0] + f.replayed[1] + f.replayed[2],
              f.gl_free[0] + f.gl_free[1] + f.gl_free[2]);
    printf("memory kept for seeking: %.1f MB in %zu states (budget %.0f MB)\n",
           static_cast<double>(seek_memory_bytes()) / (1 << 20), seek_state_count(),
           static_cast<double>(SEEK_MEMORY_BUDGET) / (1 << 20));
    double back95 = f.ms[SEEK_BACK].empty() ? 0.0 : bench_quantile(f.ms[SEEK_BACK], 0.95);
    double all95 = f.all.empty() ? 0.0 : bench_quantile(f.all, 0.95);
    printf("targets: p95 <= %.0f ms overall %s; p95 <= %.0f ms back into played %s\n",
           ANY_TARGET_MS, all95 <= ANY_TARGET_MS ? "met" : "NOT met", BACK_TARGET_MS,
           back95 <= BACK_TARGET_MS ? "met" : "NOT met");
    harness_end();
    return true;
}
