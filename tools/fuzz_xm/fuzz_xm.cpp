// libFuzzer target for the sound layer.  Each input is a module file: it is
// loaded through snd_load_song (from an in-memory file), played offline for
// a few seconds of song time in the steps a 60 Hz capture takes, with a note
// callback registered, its audio taken as it is rendered; then the song is
// restarted and its first moments played again.  Besides the sanitizers'
// checks it asserts the layer's contract:
// - loading never fails outright (an unreadable module is a silent song);
// - the clock reads exactly the time it was moved to;
// - a module that plays hands out exactly the frames up to the one heard at
//   the clock, a silent song none and no notes;
// - a restarted song delivers the same notes at the same clock readings as
//   the first time.  (Its audio may differ: formats with random waveforms
//   draw from libopenmpt's own random generator.)
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/sound.h"
#include "platform/sound_internal.h"

namespace {

constexpr int FUZZ_RATE = 44100;
constexpr int64_t FUZZ_PLAY_MS = 3000;    // song time played per input
constexpr int64_t FUZZ_REPLAY_MS = 300;   // song time played again after a restart
constexpr int64_t FUZZ_STEPS_PER_S = 60;  // clock readings per second of song time
constexpr size_t FUZZ_TAKE_FRAMES = 2048; // frames taken per call
constexpr int FUZZ_INSTRUMENTS = 4;       // the watched instrument cycles through these

// Clock reading at which each note of the current run was delivered; reset
// per run.  clock_ms is the reading being delivered.
std::vector<int64_t> notes_delivered;
int64_t clock_ms = 0;

void record_note(SndSong*, int) {
    notes_delivered.push_back(clock_ms);
}

// A file descriptor holding the input, reachable by path.
int memory_file(const uint8_t* data, size_t size, char* path, size_t path_size) {
    int fd = memfd_create("fuzz_xm", 0);
    if (fd < 0) abort();
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) abort();
        done += static_cast<size_t>(n);
    }
    std::snprintf(path, path_size, "/proc/self/fd/%d", fd);
    return fd;
}

// Takes all rendered audio; returns the frames taken.
int64_t take_all(SndSong* song) {
    static int16_t buffer[2 * FUZZ_TAKE_FRAMES];
    int64_t frames = 0;
    size_t got;
    while ((got = snd_offline_take_audio(song, buffer, FUZZ_TAKE_FRAMES)) > 0) {
        if (got > FUZZ_TAKE_FRAMES) abort();
        frames += static_cast<int64_t>(got);
    }
    return frames;
}

// Plays the song from its start to `end_ms`; returns how many frames it
// rendered and sets the notes delivered.
int64_t play(SndSong* song, int64_t end_ms, std::vector<int64_t>* notes) {
    bool sounds = song->module != nullptr;
    notes_delivered.clear();
    if (!snd_play_song(song)) abort();
    int64_t frames = 0;
    for (int64_t step = 0;; ++step) {
        int64_t ms = step * 1000 / FUZZ_STEPS_PER_S;
        if (ms > end_ms) break;
        snd_offline_advance_to(song, ms);
        clock_ms = ms;
        if (snd_get_time(song) != ms) abort();
        frames += take_all(song);
        // Everything through the frame that sounds at `ms`; nothing from a
        // silent song.
        if (frames != (sounds ? ms * FUZZ_RATE / 1000 + 1 : 0)) abort();
    }
    *notes = notes_delivered;
    if (!sounds && !notes->empty()) abort();
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!snd_offline_init(FUZZ_RATE, 32)) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char path[64];
    int fd = memory_file(data, size, path, sizeof path);
    SndSong* song = snd_load_song(path);
    close(fd);
    if (!song) abort();
    int instrument = 1 + static_cast<int>(size % FUZZ_INSTRUMENTS);
    if (!snd_set_inst_callback(song, record_note, instrument)) abort();

    std::vector<int64_t> notes, replay_notes;
    play(song, FUZZ_PLAY_MS, &notes);
    play(song, FUZZ_REPLAY_MS, &replay_notes);
    // The restart gives the first run's notes up to where it stops.
    size_t early = 0;
    while (early < notes.size() && notes[early] <= FUZZ_REPLAY_MS)
        ++early;
    if (replay_notes.size() != early ||
        !std::equal(replay_notes.begin(), replay_notes.end(), notes.begin()))
        abort();
    snd_free_song(song);
    return 0;
}
