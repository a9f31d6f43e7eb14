#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

constexpr int BAR_WIDTH = 30;
constexpr double REDRAW_SECONDS = 0.2;
// Without a terminal a line is printed each time this many tenths of the run
// are done.
constexpr int64_t LINE_TENTHS = 1;

double seconds_between(std::chrono::steady_clock::time_point a,
                       std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Frames per second so far and seconds left at that rate.
struct Rate {
    double fps, left_s;
};

Rate rate_at(const Progress* progress, int64_t done, std::chrono::steady_clock::time_point now) {
    double elapsed = seconds_between(progress->start, now);
    double fps = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
    double left = fps > 0 ? static_cast<double>(progress->total_frames - done) / fps : 0.0;
    return {fps, left};
}

// The first count of frames done, above `done`, that ends a tenth of the run.
int64_t next_line_at(const Progress* progress, int64_t done) {
    int64_t total = progress->total_frames;
    int64_t tenths = done * 10 / total + LINE_TENTHS;
    return (tenths * total + 9) / 10;
}

} // namespace

void progress_begin(Progress* progress, int64_t total_frames) {
    progress->terminal = isatty(STDERR_FILENO) != 0;
    progress->total_frames = total_frames > 0 ? total_frames : 1;
    progress->start = std::chrono::steady_clock::now();
    progress->last_draw = progress->start;
    progress->drawn = false;
    progress->next_line = next_line_at(progress, 0);
}

void progress_update(Progress* progress, int64_t done, int64_t song_ms) {
    if (!progress->terminal) {
        if (done < progress->next_line) return;
        progress->next_line = next_line_at(progress, done);
        Rate rate = rate_at(progress, done, std::chrono::steady_clock::now());
        int left_s = static_cast<int>(rate.left_s + 0.5);
        fprintf(stderr, "%3d %%  %lld/%lld frames  song %lld.%03lld s  %.1f fps  %d:%02d left\n",
                static_cast<int>(100 * done / progress->total_frames), static_cast<long long>(done),
                static_cast<long long>(progress->total_frames),
                static_cast<long long>(song_ms / 1000), static_cast<long long>(song_ms % 1000),
                rate.fps, left_s / 60, left_s % 60);
        fflush(stderr);
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (done < progress->total_frames && seconds_between(progress->last_draw, now) < REDRAW_SECONDS)
        return;
    progress->last_draw = now;
    Rate rate = rate_at(progress, done, now);
    double fps = rate.fps, left = rate.left_s;
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
