#include "bench_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Targets on this kind of machine (llvmpipe, 2 cores, 1024 x 768).
constexpr double FRAME_TARGET_MS = 16.7;
constexpr double STARTUP_TARGET_MS = 250.0;
constexpr double CLOCK_TARGET_MS = 2.0;

const char* verdict(bool met) {
    return met ? "met" : "NOT met";
}

// The number after `key` ("key": value) from `from` on; NAN when absent.
double json_number(const std::string& text, size_t from, const char* key) {
    std::string quoted = std::string("\"") + key + "\":";
    size_t at = text.find(quoted, from);
    if (at == std::string::npos) return NAN;
    return strtod(text.c_str() + at + quoted.size(), nullptr);
}

} // namespace

double bench_quantile(std::vector<double> values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, rank > 0 ? rank - 1 : 0)];
}

SceneFigures bench_scene_figures(const SceneSamples& s) {
    SceneFigures f;
    f.frames = static_cast<int>(s.total.size());
    f.p50_ms = bench_quantile(s.total, 0.5);
    f.p95_ms = bench_quantile(s.total, 0.95);
    f.max_ms = bench_quantile(s.total, 1.0);
    f.cpu_ms = bench_quantile(s.render, 0.5);
    f.cheap_ms = bench_quantile(s.cheap, 0.5);
    f.hash_ms = bench_quantile(s.hash, 0.5);
    f.gl_ms = bench_quantile(s.finish, 0.5);
    f.fill = bench_quantile(s.fill, 0.5);
    return f;
}

double bench_fill_rate(const SceneFigures& f, double frame_pixels) {
    if (f.gl_ms <= 0.0) return 0.0;
    return f.fill * frame_pixels / (f.gl_ms * 1000.0);
}

double bench_fill_bound_ms(const SceneFigures& f, const BenchFigures& b) {
    if (b.fill_peak <= 0.0) return 0.0;
    return f.fill * b.frame_pixels / (b.fill_peak * 1000.0);
}

void bench_print_table(FILE* out, const BenchFigures& b) {
    fprintf(out, "scene  frames   p50 ms   p95 ms   max ms   cpu ms    gl ms cheap ms  hash ms%s\n",
            b.fill_measured ? "     fill  Mfrag/s bound ms  p50/bound" : "");
    bool frames_met = true;
    for (int i = 0; i < BENCH_SCENES; ++i) {
        const SceneFigures& f = b.scenes[i];
        fprintf(out, "%5d  %6d  %7.2f  %7.2f  %7.2f  %7.2f  %7.2f  %7.3f  %7.3f", i + 1, f.frames,
                f.p50_ms, f.p95_ms, f.max_ms, f.cpu_ms, f.gl_ms, f.cheap_ms, f.hash_ms);
        if (b.fill_measured) {
            double bound = bench_fill_bound_ms(f, b);
            fprintf(out, "  %7.2f  %7.0f  %7.2f  %9.2f", f.fill, bench_fill_rate(f, b.frame_pixels),
                    bound, bound > 0 ? f.p50_ms / bound : 0.0);
        }
        fputc('\n', out);
        frames_met = frames_met && f.frames > 0 && f.p95_ms <= FRAME_TARGET_MS;
    }
    fprintf(out, "cheap: a step run on a few pixels, as catch-up steps run (median, with "
                 "GL's wait); hash: the state checksum the step trace takes after a step\n");
    if (b.fill_measured)
        fprintf(out,
                "fill: fragments drawn per frame in frames of %.0f pixels; Mfrag/s: "
                "fill over the median wait for GL; bound ms: the fill at the peak rate of "
                "%.0f Mfrag/s (full-view textured quads added onto the frame)\n",
                b.frame_pixels, b.fill_peak);
    fprintf(out,
            "start-up to the first frame: %.1f ms (textures %.1f, font %.1f, module %.1f, "
            "first frame %.1f)\n",
            b.startup_total_ms, b.startup_textures_ms, b.startup_font_ms, b.startup_module_ms,
            b.startup_first_frame_ms);
    if (b.clock_measured)
        fprintf(out,
                "live song clock: error %.2f ms (95th percentile, against its steady line), "
                "%.1f ms behind the wall clock, rate %.4f\n",
                b.clock_error_ms, b.clock_latency_ms, b.clock_rate);
    else
        fprintf(out, "live song clock: not measured (no audio device)\n");
    fprintf(out,
            "targets: p95 <= %.1f ms in every scene %s; start-up < %.0f ms %s; clock within "
            "%.0f ms %s\n",
            FRAME_TARGET_MS, verdict(frames_met), STARTUP_TARGET_MS,
            verdict(b.startup_total_ms < STARTUP_TARGET_MS), CLOCK_TARGET_MS,
            b.clock_measured ? verdict(b.clock_error_ms <= CLOCK_TARGET_MS) : "not measured");
}

bool bench_write_json(const char* path, const BenchFigures& b) {
    FILE* f = fopen(path, "w");
    if (!f) return false;
    fprintf(f, "{\"scenes\": {");
    for (int i = 0; i < BENCH_SCENES; ++i) {
        const SceneFigures& s = b.scenes[i];
        fprintf(f,
                "%s\"%d\": {\"frames\": %d, \"p50_ms\": %.3f, \"p95_ms\": %.3f, \"max_ms\": %.3f, "
                "\"cpu_ms\": %.3f, \"gl_ms\": %.3f, \"cheap_ms\": %.3f, \"hash_ms\": %.4f",
                i ? ", " : "", i + 1, s.frames, s.p50_ms, s.p95_ms, s.max_ms, s.cpu_ms, s.gl_ms,
                s.cheap_ms, s.hash_ms);
        if (b.fill_measured) fprintf(f, ", \"fill\": %.3f", s.fill);
        fputc('}', f);
    }
    fprintf(f,
            "}, \"startup_ms\": {\"textures\": %.3f, \"font\": %.3f, \"module\": %.3f, "
            "\"first_frame\": %.3f, \"total\": %.3f}, ",
            b.startup_textures_ms, b.startup_font_ms, b.startup_module_ms, b.startup_first_frame_ms,
            b.startup_total_ms);
    if (b.clock_measured)
        fprintf(f, "\"clock_error_ms\": %.3f}\n", b.clock_error_ms);
    else
        fprintf(f, "\"clock_error_ms\": null}\n");
    return fclose(f) == 0;
}

bool bench_read_json(const char* path, BenchFigures* b) {
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    if (text.empty()) return false;
    *b = BenchFigures{};
    for (int i = 0; i < BENCH_SCENES; ++i) {
        std::string key = "\"" + std::to_string(i + 1) + "\": {";
        size_t at = text.find(key);
        if (at == std::string::npos) return false;
        SceneFigures& s = b->scenes[i];
        s.frames = static_cast<int>(json_number(text, at, "frames"));
        s.p50_ms = json_number(text, at, "p50_ms");
        s.p95_ms = json_number(text, at, "p95_ms");
        s.max_ms = json_number(text, at, "max_ms");
        s.cpu_ms = json_number(text, at, "cpu_ms");
        s.gl_ms = json_number(text, at, "gl_ms");
        size_t end = text.find('}', at);
        double cheap = json_number(text.substr(0, end), at, "cheap_ms");
        s.cheap_ms = std::isnan(cheap) ? 0.0 : cheap;
    }
    size_t startup = text.find("\"startup_ms\"");
    b->startup_total_ms = json_number(text, startup, "total");
    return !std::isnan(b->startup_total_ms);
}
