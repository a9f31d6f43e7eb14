// Figures of a benchmark run and their text and JSON forms.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

constexpr int BENCH_SCENES = 6;

// Frame samples of one scene (milliseconds).
struct SceneSamples {
    std::vector<double> total, render, finish;
    std::vector<double> cheap; // whole time of steps run on a few pixels (catch-up steps)
    std::vector<double> hash;  // show_state_hash after a measured frame's step
    std::vector<double> fill;  // fragments drawn per frame, in whole frames of pixels
};

// Summary of one scene.
struct SceneFigures {
    int frames;
    double p50_ms, p95_ms, max_ms;
    double cpu_ms;   // median time in render_frame: scene code and GL calls
    double gl_ms;    // median wait for GL to finish the frame
    double cheap_ms; // median whole time of a step run on a few pixels
    double hash_ms;  // median time of the state checksum after a step
    double fill;     // median fragments per frame over the frame's pixel count (0: not measured)
};

struct BenchFigures {
    SceneFigures scenes[BENCH_SCENES];
    bool fill_measured;
    double frame_pixels; // width * height of the measured frames
    // Fragments per microsecond of full-view textured quads added onto the
    // frame (the fastest layer the scenes draw): what bounds any scene.
    double fill_peak;
    double startup_textures_ms, startup_font_ms, startup_module_ms, startup_total_ms;
    // The first frame's share of startup_total_ms: mostly the driver compiling
    // the shaders of the first frame's states (software GL caches them on disk).
    double startup_first_frame_ms;
    bool clock_measured;
    double clock_error_ms;   // 95th percentile deviation of the live clock from a steady line
    double clock_latency_ms; // that line's offset behind the wall clock
    double clock_rate;       // its slope: song ms per wall ms
};

// The q-quantile (0..1) of the values, nearest rank; 0 for none.
double bench_quantile(std::vector<double> values, double q);

SceneFigures bench_scene_figures(const SceneSamples& samples);

// Fragments per microsecond (millions per second) of GL's wait: a scene's
// fill over its median gl_ms.  0 when nothing was waited for.
double bench_fill_rate(const SceneFigures& figures, double frame_pixels);

// The time a scene's fill takes at the peak rate (ms): its fill bound.
double bench_fill_bound_ms(const SceneFigures& figures, const BenchFigures& bench);

void bench_print_table(FILE* out, const BenchFigures& figures);

bool bench_write_json(const char* path, const BenchFigures& figures);

// Reads back what bench_write_json wrote (the times of each scene and the
// start-up total are enough for comparisons; a figure an older build did
// not write reads as 0).
bool bench_read_json(const char* path, BenchFigures* figures);
