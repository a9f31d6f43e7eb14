// Times the outline font's start-up work on a headless context: the face
// lookup and the 255 glyph lists, and prints the face and triangle count.
// Usage: vintermoot-bench-font [runs]
#include <GL/gl.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "assets/outline_font.h"
#include "platform/offscreen.h"
#include "platform/outline.h"

namespace {

// Default number of timed builds after the first.
constexpr int DEFAULT_RUNS = 5;
// Chord deviations compared by the table.
const float DEVIATIONS[] = {0.0005f, 0.001f, 0.0015f, 0.002f, 0.003f, 0.005f};

double now_ms() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Triangle count and list build time of the glyph lists for several chord
// deviations (em units), to weigh smoothness against geometry.
void print_deviation_table() {
    OutlineFace face{};
    if (!outline_find_face("Arial", true, &face)) return;
    OutlineGlyphMetrics metrics[255];
    GLuint base = glGenLists(255);
    for (float deviation : DEVIATIONS) {
        outline_build_lists(&face, 0, 255, base, deviation, 0.2f, metrics);
        OutlineStats stats = outline_stats();
        printf("deviation %.4f em: %ld triangles, %.1f ms\n", deviation, stats.triangle_count,
               stats.build_ms);
    }
    glDeleteLists(base, 255);
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : DEFAULT_RUNS;
    if (!offscreen_begin(64, 64)) return 1;
    double start = now_ms();
    bool built = build_outline_font();
    double first = now_ms() - start;
    OutlineStats stats = outline_stats();
    printf("face: %s (%s)\n", stats.face_name, built ? "built" : "FAILED");
    printf("triangles: %ld\n", stats.triangle_count);
    printf("first build: %.1f ms (lists %.1f ms)\n", first, stats.build_ms);
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        release_outline_font();
        start = now_ms();
        build_outline_font();
        glFinish();
        double took = now_ms() - start;
        if (took < best) best = took;
    }
    if (runs > 0) printf("best rebuild of %d: %.1f ms\n", runs, best);
    print_deviation_table();
    offscreen_end();
    return built ? 0 : 1;
}
