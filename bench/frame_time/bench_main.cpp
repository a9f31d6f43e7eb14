// vintermoot-bench: runs the show through the frame harness and reports, per
// scene, the frame time (p50, p95, max) split into render_frame (scene code
// and the GL calls it issues) and the wait for GL to finish; the start-up
// time to the first frame; and the live song clock's error under SDL's
// dummy audio driver.  --compare runs this build and another one
// alternately and prints their ratios; --gl11 compares it with the same
// benchmark built over the GL 1.1 subset (vintermoot-bench-gl11, the browser
// build's GL on OpenGL ES 2), both on the same Mesa.
#ifndef VM_GL11
#define GL_GLEXT_PROTOTYPES
#endif
#include <GL/gl.h>
#ifndef VM_GL11
#include <GL/glext.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_seek.h"
#include "bench_stats.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/show_check.h"
#include "harness/harness.h"
#include "platform/data_dir.h"
#include "platform/sound.h"

namespace {

const char USAGE[] = "Usage: vintermoot-bench [options]\n"
                     "Runs the show headless through the frame harness, run from the directory\n"
                     "that holds data/ (or --data DIR), and prints per scene the frame time\n"
                     "(p50, p95, max) with its split into render_frame and the wait for GL,\n"
                     "the time of a step run on a few pixels (cheap, as catch-up steps run),\n"
                     "the start-up time and the live song clock's error.\n"
                     "\n"
                     "  --size WxH        frame size (default 1024x768)\n"
                     "  --fps N           frames per second of song time, 1..60 (default 60)\n"
                     "  --stride N        measure every Nth frame at full size (default 10);\n"
                     "                    the others run in the harness's tiny viewport\n"
                     "  --from T          measure from song time T ms on (default 0); the\n"
                     "                    frames before it run in the tiny viewport only\n"
                     "  --to T            stop at song time T ms (default 330000)\n"
                     "  --json FILE       also write the figures as JSON\n"
                     "  --trace FILE      also write every measured frame as a CSV line:\n"
                     "                    frame, song ms, scene, render_frame ms, GL wait ms\n"
                     "  --no-clock        skip the live clock measurement\n"
                     "  --fill            also count the fragments each scene draws, on the\n"
                     "                    frame after each measured one (drawn at full size\n"
                     "                    with an occlusion query, not timed), measure the\n"
                     "                    peak fill rate of full-view quads added onto the\n"
                     "                    frame, and print each scene's fill bound: its\n"
                     "                    fragments at that rate, and p50 over it\n"
                     "  --compare OTHER   run this benchmark and the program OTHER (another\n"
                     "                    build's vintermoot-bench) alternately, --rounds times,\n"
                     "                    with the other options, and print OTHER / this\n"
                     "  --gl11            --compare with vintermoot-bench-gl11 beside this\n"
                     "                    program: the same frames drawn through the GL 1.1\n"
                     "                    subset on OpenGL ES 2 (B) against desktop GL (A)\n"
                     "  --rounds N        rounds of --compare (default 3)\n"
                     "  --data DIR        the directory that holds data/\n"
                     "  --seek            instead: time seeks to random steps from the seek\n"
                     "                    to the target step's picture (p50, p95, max) by\n"
                     "                    kind (back into the part played, forward, from\n"
                     "                    the start into the finale) and the memory kept\n"
                     "  --seeks N         seeks to random steps (default 200)\n"
                     "  --finale-seeks N  seeks from the start into the finale (default 10)\n"
                     "  --seed N          seed of the random targets (default 25)\n";

// The benchmark over the GL 1.1 subset, beside this program.
const char GL11_BENCH[] = "vintermoot-bench-gl11";

constexpr int CLOCK_SECONDS = 3;
constexpr int CLOCK_SETTLE_MS = 300; // device start-up left out of the figure
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

struct BenchOptions {
    int width = HARNESS_DEFAULT_WIDTH, height = HARNESS_DEFAULT_HEIGHT;
    int fps = HARNESS_DEFAULT_FPS;
    int stride = 10;
    int64_t from_ms = 0; // frames before this song time run cheaply, unmeasured
    int64_t to_ms = SHOW_LENGTH_MS;
    int rounds = 3;
    bool clock = true;
    bool fill = false;
    bool seek = false;
    int seeks = 200, finale_seeks = 10;
    long seed = 25;
    std::string json, trace, compare, data;
    FILE* trace_file = nullptr;         // open while frames are measured, with --trace
    std::vector<std::string> passed_on; // options handed to --compare runs
};

bool parse_int(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    *value = strtol(text, &end, 10);
    return *text && end && !*end && *value >= low && *value <= high;
}

bool parse_options(int argc, char** argv, BenchOptions* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seek") {
            o->seek = true;
            continue;
        }
        if (arg == "--gl11") {
            o->compare = GL11_BENCH;
            continue;
        }
        if (arg == "--no-clock" || arg == "--fill") {
            if (arg == "--fill")
                o->fill = true;
            else
                o->clock = false;
            o->passed_on.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        long n = 0;
        if (arg == "--size") {
            if (sscanf(value, "%dx%d", &o->width, &o->height) != 2 || o->width < 16 ||
                o->height < 16 || o->width > 4096 || o->height > 4096)
                return false;
        } else if (arg == "--fps" && parse_int(value, 1, FRAME_STEP_RATE, &n)) {
            o->fps = static_cast<int>(n);
        } else if (arg == "--stride" && parse_int(value, 1, 100000, &n)) {
            o->stride = static_cast<int>(n);
        } else if (arg == "--from" && parse_int(value, 0, 329999, &n)) {
            o->from_ms = n;
        } else if (arg == "--to" && parse_int(value, 1, SHOW_LENGTH_MS, &n)) {
            o->to_ms = n;
        } else if (arg == "--rounds" && parse_int(value, 1, 100, &n)) {
            o->rounds = static_cast<int>(n);
            continue;
        } else if (arg == "--seeks" && parse_int(value, 0, 100000, &n)) {
            o->seeks = static_cast<int>(n);
            continue;
        } else if (arg == "--finale-seeks" && parse_int(value, 0, 1000, &n)) {
            o->finale_seeks = static_cast<int>(n);
            continue;
        } else if (arg == "--seed" && parse_int(value, 0, 2147483647, &n)) {
            o->seed = n;
            continue;
        } else if (arg == "--json") {
            o->json = value;
            continue;
        } else if (arg == "--trace") {
            o->trace = value;
            continue;
        } else if (arg == "--compare") {
            o->compare = value;
            continue;
        } else if (arg == "--data") {
            o->data = value;
        } else {
            return false;
        }
        o->passed_on.push_back(arg);
        o->passed_on.push_back(value);
    }
    return o->from_ms < o->to_ms; // an empty span measures nothing
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

#ifndef VM_GL11
// The fill peak: rounds of this many full-view quads, texture coordinates
// and corners.
constexpr int FILL_PEAK_ROUNDS = 5;
constexpr int FILL_PEAK_QUADS = 20;
constexpr float FULL_VIEW_QUAD[4][4] = {{0, 0, -1, -1}, {1, 0, 1, -1}, {1, 1, 1, 1}, {0, 1, -1, 1}};

// Runs the next frame at full size inside a GL_SAMPLES_PASSED query and
// returns how many fragments passed the depth test, in frames of pixels.
// Most layers draw with the depth test off, and llvmpipe tests depth before
// it shades, so this is close to the fragments shaded.
double counted_frame_fill(const BenchOptions& o) {
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    harness_step(true);
    glEndQuery(GL_SAMPLES_PASSED);
    GLuint samples = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
    glDeleteQueries(1, &query);
    return static_cast<double>(samples) / (static_cast<double>(o.width) * o.height);
}

// Draws a full-view textured quad added onto the frame `count` times and
// waits for GL; returns the seconds it took.
double time_full_view_quads(int count) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        glBegin(GL_QUADS);
        for (const float* c : FULL_VIEW_QUAD) {
            glTexCoord2f(c[0], c[1]);
            glVertex2f(c[2], c[3]);
        }
        glEnd();
    }
    glFinish();
    return ms_since(start) / 1000.0;
}

// The peak fill rate of the simplest layer the scenes draw (textured,
// coloured, added onto the frame, no depth test, light or fog), in
// fragments per microsecond: the best of a few rounds of full-view quads.
// Run after the show, as it leaves GL's state changed.
double measure_fill_peak(const BenchOptions& o) {
    glViewport(0, 0, o.width, o.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (GLenum cap :
         {GL_DEPTH_TEST, GL_LIGHTING, GL_FOG, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_SCISSOR_TEST})
        glDisable(cap);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(0.01f, 0.01f, 0.01f, 1.0f);
    time_full_view_quads(FILL_PEAK_QUADS); // the state's shaders compiled
    double best = 0.0;
    for (int round = 0; round < FILL_PEAK_ROUNDS; ++round) {
        double seconds = time_full_view_quads(FILL_PEAK_QUADS);
        double rate = FILL_PEAK_QUADS * static_cast<double>(o.width) * o.height / seconds / 1e6;
        best = std::max(best, rate);
    }
    return best;
}

#else
// The subset has no occlusion queries: --fill is refused in this build.
double counted_frame_fill(const BenchOptions&) {
    return 0.0;
}
double measure_fill_peak(const BenchOptions&) {
    return 0.0;
}
#endif

// Runs every frame up to `to_ms`, measuring every stride-th at full size
// (and with --fill counting the fragments of the frame after it).
bool measure_frames(const BenchOptions& o, BenchFigures* figures) {
    if (harness_begin(o.width, o.height, o.fps) != HARNESS_OK) {
        fprintf(stderr, "vintermoot-bench: cannot start the show (no context or no data/)\n");
        return false;
    }
    HarnessStartup startup = harness_startup();
    SceneSamples samples[BENCH_SCENES];
    int64_t end = harness_first_frame_at(o.to_ms, o.fps);
    int64_t first = harness_first_frame_at(o.from_ms, o.fps);
    for (int64_t n = 0; n < end; ++n) {
        if (n > 0 && n < first) {
            harness_step(false);
            continue;
        }
        if (o.fill && o.stride > 1 && n % o.stride == 1) {
            double fill = counted_frame_fill(o);
            if (demo.current_scene >= 1 && demo.current_scene <= BENCH_SCENES)
                samples[demo.current_scene - 1].fill.push_back(fill);
            continue;
        }
        bool drawn = n % o.stride == 0;
        HarnessFrameTiming timing{};
        harness_step_timed(drawn, &timing);
        if (n == 0) {
            figures->startup_first_frame_ms = timing.render_ms + timing.finish_ms;
            startup.total_ms += figures->startup_first_frame_ms;
        }
        // Frame 0 is timed for the start-up figure even before the span.
        if (n < first || demo.current_scene < 1 || demo.current_scene > BENCH_SCENES) continue;
        if (!drawn) {
            samples[demo.current_scene - 1].cheap.push_back(timing.render_ms + timing.finish_ms);
            continue;
        }
        if (o.trace_file)
            fprintf(o.trace_file, "%lld,%lld,%d,%.3f,%.3f\n", static_cast<long long>(n),
                    static_cast<long long>(harness_frame_time(n, o.fps)), demo.current_scene,
                    timing.render_ms, timing.finish_ms);
        SceneSamples& s = samples[demo.current_scene - 1];
        auto hash_start = std::chrono::steady_clock::now();
        volatile uint64_t hash = show_state_hash();
        static_cast<void>(hash);
        s.hash.push_back(ms_since(hash_start));
        s.total.push_back(timing.render_ms + timing.finish_ms);
        s.render.push_back(timing.render_ms);
        s.finish.push_back(timing.finish_ms);
    }
    if (o.fill) figures->fill_peak = measure_fill_peak(o);
    harness_end();
    for (int i = 0; i < BENCH_SCENES; ++i)
        figures->scenes[i] = bench_scene_figures(samples[i]);
    figures->startup_textures_ms = startup.textures_ms;
    figures->startup_font_ms = startup.font_ms;
    figures->startup_module_ms = startup.module_ms;
    figures->startup_total_ms = startup.total_ms;
    figures->fill_measured = o.fill && o.stride > 1;
    figures->frame_pixels = static_cast<double>(o.width) * o.height;
    return true;
}

// Plays the module live on SDL's dummy audio driver and compares the song
// clock with the wall clock.  The dummy device does not consume audio at
// exactly the nominal rate, so the clock is compared with the straight line
// that fits it best (the device's steady playback): the error is how far
// single readings stray from that line, the latency the line's offset
// behind the wall clock, the rate its slope.
void measure_clock(BenchFigures* figures) {
    figures->clock_measured = false;
    if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, 0)) return;
    SndSong* song = snd_load_song(SHOW_MODULE_PATH);
    snd_play_song(song);
    auto start = std::chrono::steady_clock::now();
    std::vector<double> walls, clocks;
    double wall;
    while ((wall = ms_since(start)) < CLOCK_SECONDS * 1000.0) {
        double clock = static_cast<double>(snd_get_time(song));
        if (wall >= CLOCK_SETTLE_MS) {
            walls.push_back(wall);
            clocks.push_back(clock);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(700));
    }
    snd_free_song(song);
    snd_close();
    size_t n = walls.size();
    if (n < 2) return;
    double mean_w = 0, mean_c = 0;
    for (size_t i = 0; i < n; ++i) {
        mean_w += walls[i] / static_cast<double>(n);
        mean_c += clocks[i] / static_cast<double>(n);
    }
    double sww = 0, swc = 0;
    for (size_t i = 0; i < n; ++i) {
        sww += (walls[i] - mean_w) * (walls[i] - mean_w);
        swc += (walls[i] - mean_w) * (clocks[i] - mean_c);
    }
    double rate = swc / sww, offset = mean_c - rate * mean_w;
    std::vector<double> errors;
    for (size_t i = 0; i < n; ++i)
        errors.push_back(std::fabs(clocks[i] - (offset + rate * walls[i])));
    figures->clock_measured = true;
    figures->clock_rate = rate;
    figures->clock_latency_ms = -offset;
    figures->clock_error_ms = bench_quantile(errors, 0.95);
}

// Runs `program` with `args` and --json `json`; true when it succeeded.
bool run_program(const std::string& program, const std::vector<std::string>& args,
                 const std::string& json) {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), {"--json", json});
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string self_path() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    buffer[n] = '\0';
    return buffer;
}

// Which figure of a scene a comparison reads.
enum SceneFigure { FIGURE_P50, FIGURE_P95, FIGURE_CPU, FIGURE_CHEAP };

double figure_of(const SceneFigures& f, SceneFigure which) {
    switch (which) {
    case FIGURE_P50:
        return f.p50_ms;
    case FIGURE_P95:
        return f.p95_ms;
    case FIGURE_CPU:
        return f.cpu_ms;
    default:
        return f.cheap_ms;
    }
}

double median_of(const std::vector<BenchFigures>& runs, int scene, SceneFigure which) {
    std::vector<double> values;
    for (const BenchFigures& b : runs)
        values.push_back(figure_of(b.scenes[scene], which));
    return bench_quantile(values, 0.5);
}

// This build (A) and OTHER (B), alternately, each round in the other order;
// prints B / A per scene.
int compare(const BenchOptions& o) {
    std::string programs[2] = {self_path(), o.compare};
    std::vector<BenchFigures> runs[2];
    std::string json = "/tmp/vintermoot-bench-" + std::to_string(getpid()) + ".json";
    for (int round = 0; round < o.rounds; ++round) {
        // A B, then B A, ...: a drift of the machine's speed over the run
        // falls on both programs alike.
        for (int k = 0; k < 2; ++k) {
            int which = round % 2 == 0 ? k : 1 - k;
            fprintf(stderr, "round %d/%d: %s\n", round + 1, o.rounds, programs[which].c_str());
            BenchFigures figures;
            if (!run_program(programs[which], o.passed_on, json) ||
                !bench_read_json(json.c_str(), &figures)) {
                fprintf(stderr, "vintermoot-bench: %s failed\n", programs[which].c_str());
                unlink(json.c_str());
                return EXIT_FAILED;
            }
            runs[which].push_back(figures);
        }
    }
    unlink(json.c_str());
    printf("A = %s\nB = %s\nmedians of %d rounds\n", programs[0].c_str(), programs[1].c_str(),
           o.rounds);
    printf("scene    A p50    B p50  B/A p50    A p95    B p95  B/A p95    A cpu    B cpu  B/A cpu"
           "  A cheap  B cheap B/A cheap\n");
    for (int i = 0; i < BENCH_SCENES; ++i) {
        printf("%5d", i + 1);
        for (SceneFigure which : {FIGURE_P50, FIGURE_P95, FIGURE_CPU, FIGURE_CHEAP}) {
            double a = median_of(runs[0], i, which), b = median_of(runs[1], i, which);
            printf("  %7.2f  %7.2f  %7.3f", a, b, a > 0 ? b / a : 0.0);
        }
        printf("\n");
    }
    std::vector<double> start[2];
    for (int which = 0; which < 2; ++which)
        for (const BenchFigures& b : runs[which])
            start[which].push_back(b.startup_total_ms);
    double sa = bench_quantile(start[0], 0.5), sb = bench_quantile(start[1], 0.5);
    printf("start-up  %7.1f  %7.1f  %7.3f\n", sa, sb, sa > 0 ? sb / sa : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions o;
    if (argc > 1 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (!parse_options(argc, argv, &o)) {
        fprintf(stderr, "vintermoot-bench: bad options\n\n%s", USAGE);
        return EXIT_USAGE;
    }
#ifdef VM_GL11
    if (o.fill) {
        fprintf(stderr, "vintermoot-bench: --fill needs desktop GL's occlusion queries\n");
        return EXIT_USAGE;
    }
#endif
    if (o.compare == GL11_BENCH) {
        std::string self = self_path();
        o.compare = self.substr(0, self.rfind('/') + 1) + GL11_BENCH;
        if (access(o.compare.c_str(), X_OK) != 0) {
            fprintf(stderr, "vintermoot-bench: no %s (build the target vintermoot-bench-gl11)\n",
                    o.compare.c_str());
            return EXIT_FAILED;
        }
    }
    if (!o.compare.empty()) return compare(o);
    // Opened before the data directory is entered, so that a relative name
    // means the directory the benchmark was started in.
    if (!o.trace.empty()) {
        o.trace_file = fopen(o.trace.c_str(), "w");
        if (!o.trace_file) {
            fprintf(stderr, "vintermoot-bench: cannot write %s\n", o.trace.c_str());
            return EXIT_FAILED;
        }
        fprintf(o.trace_file, "frame,song_ms,scene,render_ms,gl_ms\n");
    }
    if (!o.json.empty() && o.json[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) o.json = std::string(cwd) + "/" + o.json;
    }
    std::string error;
    if (!data_dir_enter(o.data, &error)) {
        fprintf(stderr, "vintermoot-bench: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    if (o.seek)
        return bench_seek_run(o.width, o.height, o.seeks, o.finale_seeks,
                              static_cast<uint32_t>(o.seed))
                   ? 0
                   : EXIT_FAILED;
    BenchFigures figures{};
    bool measured = measure_frames(o, &figures);
    if (o.trace_file && fclose(o.trace_file) != 0) {
        fprintf(stderr, "vintermoot-bench: cannot write %s\n", o.trace.c_str());
        return EXIT_FAILED;
    }
    if (!measured) return EXIT_FAILED;
    if (o.clock) measure_clock(&figures);
    printf("%dx%d, %d fps, every %d frames measured, song time %lld to %lld ms\n", o.width,
           o.height, o.fps, o.stride, static_cast<long long>(o.from_ms),
           static_cast<long long>(o.to_ms));
    bench_print_table(stdout, figures);
    if (!o.json.empty() && !bench_write_json(o.json.c_str(), figures)) {
        fprintf(stderr, "vintermoot-bench: cannot write %s\n", o.json.c_str());
        return EXIT_FAILED;
    }
    return 0;
}
