// Times the soundtrack composer (instrument synthesis, score, serialisation)
// and the sound layer's offline mixing of the first pass, and prints the
// module's size and the mixing speed in multiples of real time.
// Usage: vintermoot-bench-music [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music.h"
#include "platform/sound.h"

namespace {

// Default number of timed compositions.
constexpr int DEFAULT_RUNS = 5;
// Where the benchmark writes the module it mixes.
constexpr const char* BENCH_MODULE_PATH = "/tmp/vintermoot-bench-music.xm";

double now_ms() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Mixes the module offline from 0 to `end_ms` in steps of one 60 Hz frame,
// discarding the audio; returns the wall time in ms.
double time_offline_mix(int64_t end_ms) {
    if (!snd_offline_init(MUSIC_MIX_RATE, 32)) return -1.0;
    SndSong* song = snd_load_song(BENCH_MODULE_PATH);
    snd_play_song(song);
    std::vector<int16_t> sink(2 * 4096);
    double start = now_ms();
    for (int64_t ms = 0; ms <= end_ms; ms += 16) {
        snd_offline_advance_to(song, ms);
        snd_get_time(song);
        while (snd_offline_take_audio(song, sink.data(), 4096) > 0) {
        }
    }
    double took = now_ms() - start;
    snd_free_song(song);
    snd_close();
    return took;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : DEFAULT_RUNS;
    double best = 1e9;
    MusicLayout layout;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < runs; ++i) {
        double start = now_ms();
        bytes = xm_write_memory(music_compose(&layout));
        best = std::min(best, now_ms() - start);
    }
    std::printf("module: %zu bytes, %d rows, %zu instruments\n", bytes.size(), layout.total_rows,
                music_instruments().size());
    std::printf("compose + serialise: best of %d: %.1f ms\n", runs, best);
    FILE* f = std::fopen(BENCH_MODULE_PATH, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return 1;
    std::fclose(f);
    int64_t end_ms = layout.end_frame * 1000 / MUSIC_MIX_RATE;
    double mix_ms = time_offline_mix(end_ms);
    std::printf("offline mix of %.1f s: %.0f ms (%.0fx real time)\n", end_ms / 1000.0, mix_ms,
                end_ms / mix_ms);
    std::remove(BENCH_MODULE_PATH);
    return 0;
}
