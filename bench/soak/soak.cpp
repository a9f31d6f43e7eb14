// vintermoot-soak: runs the show through the frame harness for a long stretch of
// song time (the finale keeps running after 330 s, as in the player) and
// reports, at intervals, resident memory, GL errors and non-finite state,
// then frame times per scene and the memory slope after the first pass.
//
//   vintermoot-soak [--minutes N] [--report N] [--size WxH] [--stride N] [--data DIR]
//
// Exit status 0 when no GL error and no non-finite value was seen, 1 when
// one was, 2 for bad options or a show that does not start.
#include <GL/gl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_stats.h"
#include "show/demo_state.h"
#include "harness/harness.h"
#include "show/show_check.h"
#include "show/frame.h"

namespace {

constexpr int FPS = 60;
constexpr int64_t SHOW_PASS_MS = SHOW_LENGTH_MS; // the first pass: every scene once

struct SoakOptions {
    long minutes = 120;       // song time to run
    long report_minutes = 10; // song time between report lines
    int width = 1024, height = 768;
    long stride = 60; // every Nth frame drawn at full size
    const char* data = nullptr;
};

struct MemorySample {
    double minutes;
    double rss_mb;
    double heap_mb; // bytes the program holds from malloc
};

// Running totals of the soak.
struct SoakTotals {
    long gl_errors = 0;
    long non_finite_frames = 0;
    std::vector<double> drawn_ms[7]; // full-size frame times by scene
    std::vector<MemorySample> memory;
};

const char* const USAGE =
    "Usage: vintermoot-soak [--minutes N] [--report N] [--size WxH] [--stride N] [--data DIR]\n"
    "Runs the show headless for N minutes of song time (default 120), drawing every\n"
    "Nth frame (default 60) at WxH (default 1024x768), and reports memory, GL\n"
    "errors and non-finite state every --report minutes (default 10).\n";

bool parse_long(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    *value = strtol(text, &end, 10);
    return *text && !*end && *value >= low && *value <= high;
}

bool parse_options(int argc, char** argv, SoakOptions* o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* name = argv[i];
        const char* value = argv[i + 1];
        bool ok = false;
        if (!strcmp(name, "--minutes"))
            ok = parse_long(value, 1, 100000, &o->minutes);
        else if (!strcmp(name, "--report"))
            ok = parse_long(value, 1, 100000, &o->report_minutes);
        else if (!strcmp(name, "--stride"))
            ok = parse_long(value, 1, 1000000, &o->stride);
        else if (!strcmp(name, "--size"))
            ok = sscanf(value, "%dx%d", &o->width, &o->height) == 2 && o->width >= 16 &&
                 o->height >= 16 && o->width <= 4096 && o->height <= 4096;
        else if (!strcmp(name, "--data"))
            ok = (o->data = value) != nullptr;
        if (!ok) return false;
    }
    return argc % 2 == 1;
}

double heap_in_use_mb() {
    return static_cast<double>(mallinfo2().uordblks) / 1048576.0;
}

double resident_mb() {
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Least-squares slope of resident memory against song time, in MB per hour,
// over the second half of the run and never before the first pass of the
// show is over: memory still grows while the finale warms up (the allocator
// and the GL driver reach their working set), then stays flat.
double memory_slope_mb_per_hour(const std::vector<MemorySample>& samples) {
    double from = samples.empty() ? 0.0 : samples.back().minutes / 2.0;
    if (from * 60000.0 < SHOW_PASS_MS) from = SHOW_PASS_MS / 60000.0;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const MemorySample& s : samples) {
        if (s.minutes < from) continue;
        n += 1;
        sx += s.minutes;
        sy += s.rss_mb;
        sxx += s.minutes * s.minutes;
        sxy += s.minutes * s.rss_mb;
    }
    double d = n * sxx - sx * sx;
    return (n < 2 || d == 0) ? 0.0 : 60.0 * (n * sxy - sx * sy) / d;
}

void report_line(double minutes, int64_t frames, const SoakTotals& t, double wall_s) {
    printf("%8.1f min  %9lld frames  rss %7.1f MB  heap %7.1f MB  gl errors %ld  "
           "non-finite frames %ld  (%.0f s)\n",
           minutes, static_cast<long long>(frames), t.memory.back().rss_mb, t.memory.back().heap_mb,
           t.gl_errors, t.non_finite_frames, wall_s);
    fflush(stdout);
}

void final_report(const SoakTotals& t) {
    printf("scene  drawn   p50 ms   p99 ms   max ms\n");
    for (int scene = 1; scene <= 6; ++scene) {
        const std::vector<double>& ms = t.drawn_ms[scene];
        printf("%5d %6zu %8.2f %8.2f %8.2f\n", scene, ms.size(), bench_quantile(ms, 0.5),
               bench_quantile(ms, 0.99), bench_quantile(ms, 1.0));
    }
    printf("memory slope over the second half: %+.2f MB per hour of song time\n",
           memory_slope_mb_per_hour(t.memory));
    printf("gl errors: %ld, frames with non-finite state: %ld\n", t.gl_errors, t.non_finite_frames);
}

// Runs one frame and adds what it showed to the totals.
void soak_frame(int64_t frame, const SoakOptions& o, SoakTotals* t) {
    bool drawn = frame % o.stride == 0;
    auto start = std::chrono::steady_clock::now();
    if (drawn) {
        HarnessFrameTiming timing{};
        harness_step_timed(true, &timing);
    } else {
        harness_step(false);
    }
    if (drawn)
        t->drawn_ms[demo.current_scene].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    while (glGetError() != GL_NO_ERROR)
        ++t->gl_errors;
    if (!show_state_finite()) ++t->non_finite_frames;
}

} // namespace

int main(int argc, char** argv) {
    SoakOptions o;
    if (!parse_options(argc, argv, &o)) {
        fputs(USAGE, stderr);
        return 2;
    }
    if (o.data && chdir(o.data) != 0) {
        fprintf(stderr, "vintermoot-soak: cannot enter %s\n", o.data);
        return 2;
    }
    if (harness_begin(o.width, o.height, FPS) != HARNESS_OK) {
        fprintf(stderr, "vintermoot-soak: the show did not start (run it where data/ is)\n");
        return 2;
    }
    SoakTotals totals;
    auto wall_start = std::chrono::steady_clock::now();
    int64_t last = harness_first_frame_at(o.minutes * 60000, FPS);
    int64_t report_every = harness_first_frame_at(o.report_minutes * 60000, FPS);
    for (int64_t n = 0; n <= last; ++n) {
        soak_frame(n, o, &totals);
        if (n % report_every != 0 && n != last) continue;
        double minutes = static_cast<double>(harness_frame_time(n, FPS)) / 60000.0;
        totals.memory.push_back({minutes, resident_mb(), heap_in_use_mb()});
        report_line(
            minutes, n + 1, totals,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count());
    }
    harness_end();
    final_report(totals);
    return (totals.gl_errors || totals.non_finite_frames) ? 1 : 0;
}
