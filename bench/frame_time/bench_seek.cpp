#include "bench_seek.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
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
constexpr double KIND_P95_TARGET_MS = 100.0;
constexpr double KIND_MAX_TARGET_MS = 250.0;
// The player's piece of mapping after each present.
constexpr double MAP_PIECE_MS = 2.0;

// The viewer watches this much of the show from its start before seeking,
// and this many steps after each seek.
constexpr int64_t FIRST_WATCH_MS = 60000;
constexpr int64_t WATCH_STEPS = 60;

enum SeekKind { SEEK_BACK, SEEK_ELSEWHERE, SEEK_START_TO_FINALE, SEEK_NEVER_PLAYED, SEEK_KINDS };
const char* const KIND_NAMES[SEEK_KINDS] = {"back into played", "elsewhere played",
                                            "start to finale", "never played"};

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
    int64_t most_replayed = 0;
    int64_t gl_free[SEEK_KINDS] = {};
};

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One timed seek: the seek, the target step drawn, GL finished.
double timed_seek(int64_t step, SeekReport* report) {
    auto start = std::chrono::steady_clock::now();
    harness_seek(step);
    harness_step(true);
    glFinish();
    double ms = ms_since(start);
    *report = seek_last_report();
    return ms;
}

void add(SeekFigures& f, SeekKind kind, double ms, const SeekReport& r) {
    f.ms[kind].push_back(ms);
    f.all.push_back(ms);
    f.replayed[kind] += r.steps;
    f.gl_free[kind] += r.gl_free_steps;
    f.most_replayed = std::max(f.most_replayed, r.steps);
}

// Maps the whole show in pieces of the player's size, one after another:
// the work until complete, and what one piece takes (how late it can make a
// frame).
void map_timed() {
    std::vector<double> pieces;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        auto piece = std::chrono::steady_clock::now();
        bool more = seek_map_run(harness_song(), MAP_PIECE_MS);
        glFinish();
        pieces.push_back(ms_since(piece));
        if (!more) break;
    }
    double work = ms_since(start);
    printf("map ahead through %.0f s: %.0f ms of work in %zu pieces of %.0f ms (each: p50\n"
           "%.2f, p95 %.2f, max %.2f ms); at one piece a frame at 60 Hz and no idle time,\n"
           "complete after %.1f s\n",
           static_cast<double>(SEEK_MAP_MS) / 1000, work, pieces.size(), MAP_PIECE_MS,
           bench_quantile(pieces, 0.5), bench_quantile(pieces, 0.95), bench_quantile(pieces, 1.0),
           static_cast<double>(pieces.size()) / FRAME_STEP_RATE);
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
    if (harness_begin(width, height, FRAME_STEP_RATE) != HARNESS_OK) return false;
    seek_enable(true);
    // As the player does when its loop begins.
    snd_seek_map_prepare(harness_song(), BEAT_INSTRUMENT, SEEK_MAP_MS);
    harness_step(true); // the show's first picture
    // As the player does, the map starts once the song's map is ready.
    while (!snd_seek_map_ready(harness_song()))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    map_timed();
    SeekReport report;
    std::vector<Watched> watched = {{0, 0}};
    for (int i = 0; i < finale_seeks; ++i) {
        timed_seek(1, &report); // back to the start, untimed
        double ms = timed_seek(in_finale(random), &report);
        add(f, SEEK_START_TO_FINALE, ms, report);
    }
    timed_seek(1, &report);
    while (harness_next_frame() <= frame_last_step_at(FIRST_WATCH_MS))
        harness_step(false);
    watched.push_back({0, harness_next_frame() - 1});
    for (int i = 0; i < seeks; ++i) {
        int64_t step = anywhere(random);
        SeekKind kind = !was_watched(watched, step)   ? SEEK_NEVER_PLAYED
                        : step < harness_next_frame() ? SEEK_BACK
                                                      : SEEK_ELSEWHERE;
        double ms = timed_seek(step, &report);
        add(f, kind, ms, report);
        for (int k = 0; k < WATCH_STEPS; ++k)
            harness_step(false);
        watched.push_back({step, harness_next_frame() - 1});
    }
    printf("%dx%d, with the map complete: %d seeks from the start into the finale, then %d\n"
           "seeks to random steps (seed %u) after watching the first %lld s, each followed by\n"
           "%lld steps of watching\n",
           width, height, finale_seeks, seeks, seed, static_cast<long long>(FIRST_WATCH_MS / 1000),
           static_cast<long long>(WATCH_STEPS));
    printf("time from the seek to the target step's picture (ms), steps replayed and of them\n"
           "GL-free (mean per seek)\n");
    printf("%-18s %5s %8s %8s %8s %9s %9s\n", "kind", "seeks", "p50", "p95", "max", "steps",
           "gl-free");
    int64_t replayed = 0, gl_free = 0;
    bool met = true;
    for (int k = 0; k < SEEK_KINDS; ++k) {
        print_row(KIND_NAMES[k], f.ms[k], f.replayed[k], f.gl_free[k]);
        replayed += f.replayed[k];
        gl_free += f.gl_free[k];
        if (f.ms[k].empty()) continue;
        met = met && bench_quantile(f.ms[k], 0.95) <= KIND_P95_TARGET_MS &&
              bench_quantile(f.ms[k], 1.0) <= KIND_MAX_TARGET_MS;
    }
    print_row("all", f.all, replayed, gl_free);
    printf("most steps one seek replayed: %lld (an interval is %lld)\n",
           static_cast<long long>(f.most_replayed), static_cast<long long>(SEEK_INTERVAL_STEPS));
    printf("memory kept for seeking: %.1f MB in %zu states (budget %.0f MB)\n",
           static_cast<double>(seek_memory_bytes()) / (1 << 20), seek_state_count(),
           static_cast<double>(SEEK_MEMORY_BUDGET) / (1 << 20));
    printf("targets: p95 <= %.0f ms and max <= %.0f ms for every kind: %s\n", KIND_P95_TARGET_MS,
           KIND_MAX_TARGET_MS, met ? "met" : "NOT met");
    harness_end();
    return true;
}
