#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

constexpr int BAR_WIDTH = 30;
constexpr double REDRAW_SECONDS = 0.2;

double seconds_between(std::chrono::steady_clock::time_point a,
                       std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

void progress_begin(Progress* progress, int64_t total_frames) {
    progress->terminal = isatty(STDERR_FILENO) != 0;
    progress->total_frames = total_frames > 0 ? total_frames : 1;
    progress->start = std::chrono::steady_clock::now();
    progress->last_draw = progress->start;
    progress->drawn = false;
}

void progress_update(Progress* progress, int64_t done, int64_t song_ms) {
    if (!progress->terminal) return;
    auto now = std::chrono::steady_clock::now();
    if (done < progress->total_frames && seconds_between(progress->last_draw, now) < REDRAW_SECONDS)
        return;
    progress->last_draw = now;
    double elapsed = seconds_between(progress->start, now);
    double fps = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
    double left = fps > 0 ? static_cast<double>(progress->total_frames - done) / fps : 0.0;
    int filled = static_cast<int>(BAR_WIDTH * done / progress->total_frames);
    char bar[BAR_WIDTH + 1];
    for (int i = 0; i < BAR_WIDTH; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[BAR_WIDTH] = '\0';
    int left_s = static_cast<int>(left + 0.5);
    fprintf(stderr, "\r[%s] %lld/%lld frames  song %lld.%03lld s  %.1f fps  %d:%02d left\033[K",
            bar, static_cast<long long>(done), static_cast<long long>(progress->total_frames),
            static_cast<long long>(song_ms / 1000), static_cast<long long>(song_ms % 1000), fps,
            left_s / 60, left_s % 60);
    fflush(stderr);
    progress->drawn = true;
}

void progress_finish(Progress* progress, int64_t done, const char* what, const char* detail) {
    progress_clear(progress);
    double elapsed = progress_seconds(progress);
    fprintf(stderr, "%s: %lld frames in %.1f s (%.1f fps)%s%s\n", what,
            static_cast<long long>(done), elapsed,
            elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0, *detail ? "; " : "", detail);
}

void progress_clear(Progress* progress) {
    if (progress->drawn) fprintf(stderr, "\r\033[K");
    progress->drawn = false;
}

double progress_seconds(const Progress* progress) {
    return seconds_between(progress->start, std::chrono::steady_clock::now());
}
