// Figures of a benchmark run and their text and JSON forms.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

constexpr int BENCH_SCENES = 6;

// Frame samples of one scene (milliseconds).
struct SceneSamples {
    std::vector<double> total, render, finish;
};

// Summary of one scene.
struct SceneFigures {
    int frames;
    double p50_ms, p95_ms, max_ms;
    double cpu_ms; // median time in render_frame: scene code and GL calls
    double gl_ms;  // median wait for GL to finish the frame
};

struct BenchFigures {
    SceneFigures scenes[BENCH_SCENES];
    double startup_textures_ms, startup_font_ms, startup_module_ms, startup_total_ms;
    bool clock_measured;
    double clock_error_ms;   // 95th percentile deviation of the live clock from a steady line
    double clock_latency_ms; // that line's offset behind the wall clock
    double clock_rate;       // its slope: song ms per wall ms
};

// The q-quantile (0..1) of the values, nearest rank; 0 for none.
double bench_quantile(std::vector<double> values, double q);

SceneFigures bench_scene_figures(const SceneSamples& samples);

void bench_print_table(FILE* out, const BenchFigures& figures);

bool bench_write_json(const char* path, const BenchFigures& figures);

// Reads back what bench_write_json wrote (p50 and p95 of each scene and the
// start-up total are enough for comparisons).
bool bench_read_json(const char* path, BenchFigures* figures);
