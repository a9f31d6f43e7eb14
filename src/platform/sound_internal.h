// Inner records of the sound layer, shared by its two sources: sound.cpp
// (device, clock, offline mode, public calls) and sound_render.cpp
// (rendering and note detection).  Tests include this header to check the
// pattern codes against modules they write.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound.h"

struct openmpt_module;

// Pattern values as libopenmpt reports them through
// openmpt_module_get_pattern_row_channel_command.  These are its internal
// numbers, not the bytes of the XM file: notes are one octave higher (XM C-4
// is 61), effects and volume-column commands use its own enumerations.
constexpr int SND_NOTE_NONE = 0;
constexpr int SND_NOTE_FIRST = 1;  // lowest playable note
constexpr int SND_NOTE_LAST = 120; // highest playable note
constexpr int SND_NOTE_KEY_OFF = 255;
constexpr int SND_NOTE_OCTAVE_SHIFT = 12;      // XM note n reads as n + 12
constexpr int SND_CMD_TONE_PORTAMENTO = 4;     // XM 3xx
constexpr int SND_CMD_TONE_PORTA_VOLUME = 6;   // XM 5xy
constexpr int SND_CMD_EXTENDED = 19;           // XM Exy
constexpr int SND_CMD_SPEED = 16;              // XM Fxx below 0x20
constexpr int SND_CMD_TEMPO = 17;              // XM Fxx from 0x20
constexpr int SND_VOLCMD_TONE_PORTAMENTO = 11; // XM volume column Fx
constexpr int SND_EXT_NOTE_DELAY = 0xD;        // high nibble of Exy: EDx
constexpr int SND_EXT_PATTERN_DELAY = 0xE;     // high nibble of Exy: EEx

// Channels whose notes the renderer follows (XM has at most 32).
constexpr int SND_MAX_CHANNELS = 64;

// Note events waiting for the clock; a power of two.
constexpr uint32_t SND_EVENT_CAPACITY = 4096;

// Single-producer/single-consumer ring of note times (song frames).  The
// producer is whoever renders the song (the audio thread in live mode), the
// consumer is snd_get_time.  Neither side allocates or waits.
struct SndEventQueue {
    int64_t frames[SND_EVENT_CAPACITY] = {};
    std::atomic<uint32_t> head{0};    // next slot to read; written by the consumer
    std::atomic<uint32_t> tail{0};    // next slot to write; written by the producer
    std::atomic<uint32_t> dropped{0}; // events lost to a full ring
};

// What the renderer knows about the song's position in ticks and rows, and
// each channel's note memory.  Touched only by the renderer.
struct SndTracker {
    int64_t frame = 0;    // song frames rendered since playback started
    int64_t tick_end = 0; // frame at which the current tick ends
    int tick_frames = 0;  // length of the current tick
    bool started = false; // a first tick has been seen
    int order = -1;       // position of the current row
    int row = -1;
    int tick_in_row = 0;    // index of the current tick within its row
    int row_ticks = 1;      // ticks the current row lasts
    int channels = 0;       // channels followed (at most SND_MAX_CHANNELS)
    int64_t end_frame = -1; // where a module told to stop at its end did; -1 playing
    uint8_t last_instrument[SND_MAX_CHANNELS] = {};
    int8_t pending_tick[SND_MAX_CHANNELS] = {}; // delayed note's tick, -1 none
};

// Frames of float scratch used by the offline renderer.
constexpr int SND_OFFLINE_CHUNK = 4096;

// A row as a straight run from the song's start meets it: the song frame it
// starts at, its place in the order list and the instrument each channel
// last named before it.  What the renderer needs to pick the song up there.
struct SndRowStart {
    int64_t frame;
    int order, row;
    uint8_t last_instrument[SND_MAX_CHANNELS];
};

struct SndSeekMap;

struct SndSong {
    std::vector<uint8_t> file;        // module bytes, kept to restart cleanly
    openmpt_module* module = nullptr; // null: a silent song on the wall clock
    bool offline = false;             // rendered by snd_offline_advance_to
    int mix_rate = 44100;
    bool playing = false;               // snd_play_song was called
    bool played_before = false;         // the module has advanced; reload on play
    std::atomic<int> instrument{0};     // watched instrument (1-based), 0 none
    SndInstCallback callback = nullptr; // called on the main thread
    int64_t delivering_frame = -1;      // frame of the note in the callback
    SndTracker tracker;
    SndEventQueue events;
    // Set only on the muted copy that maps a song for seeking: every row
    // start the renderer meets is appended (main thread, never live).
    std::vector<SndRowStart>* row_log = nullptr;
    // Row starts and note times of a straight run, for seeking (made on the
    // first seek; sound_seek.cpp).  Main thread only.
    SndSeekMap* seek_map = nullptr;
    // While steps are replayed without the music: notes come from the map
    // from this index on instead of the queue (-1: not replaying).
    int64_t replay_note = -1;

    // Live clock, published by the audio callback as a seqlock: the first
    // song frame of the buffer just handed to the device, when it was
    // handed (monotonic ns) and how many frames it holds.
    std::atomic<uint32_t> clock_seq{0};
    std::atomic<int64_t> clock_frame{0};
    std::atomic<int64_t> clock_time_ns{0};
    std::atomic<int64_t> clock_frames{0};
    std::atomic<bool> clock_published{false};
    int64_t clock_floor = 0;        // highest frame position returned so far
    int64_t wall_start_ns = 0;      // silent live song: when play started (less the cued time)
    bool cued = false;              // live song cued, not yet handed to the output
    int64_t latency_us = 0;         // latency the clock applied at its last live reading
    int64_t cue_ms = 0;             // the cued song's clock
    bool seek_failure_said = false; // the line on a failed seek was printed

    // Offline mode.
    int64_t offline_ms = 0;             // clock reading after the last advance
    std::vector<int16_t> offline_audio; // rendered stereo frames not yet taken
    size_t offline_taken = 0;           // samples of offline_audio already taken
    std::vector<float> offline_scratch;
};

// Renders `frames` stereo float frames of the song into `out`, following
// ticks and rows and queueing note events of the watched instrument.  Never
// allocates or blocks.
void snd_render(SndSong* song, float* out, int frames);

// Puts the renderer back to the start of a fresh module.
void snd_tracker_reset(SndTracker& tracker, int channels);

// Length in frames of a tick at `tempo` BPM, as libopenmpt mixes it for XM.
int snd_tick_frames(int mix_rate, int tempo);

// Seeking (sound_seek.cpp): delivers due notes from the map while replaying
// (true), and releases the map with its song.
bool snd_seek_deliver_replayed(SndSong* song, int64_t ms);
// Puts the song's module and renderer at the last row start at or before
// song frame `frame` of a straight run, the event queue empty; false when
// the song cannot be mapped.
bool snd_seek_position(SndSong* song, int64_t frame);
// True when the song's map can place it at song frame `frame`: checked
// before the song is taken from the output, so a failure leaves it alone.
bool snd_seek_mapped(SndSong* song, int64_t frame);
void snd_seek_map_free(SndSong* song);

// Event ring.
bool snd_queue_push(SndEventQueue& queue, int64_t frame);
bool snd_queue_peek(SndEventQueue& queue, int64_t* frame);
void snd_queue_pop(SndEventQueue& queue);
void snd_queue_clear(SndEventQueue& queue);

// The output's latency as its sound server reports it (sound_latency.cpp).
// snd_latency_start watches it for the SDL audio driver named (nothing for
// drivers that report none), whose device buffer lasts `buffer_ns`;
// snd_latency_stop ends the watch.
void snd_latency_start(const char* driver, int64_t buffer_ns);
void snd_latency_stop();
// When the audio callback last started (monotonic ns; 0 before the first).
extern std::atomic<int64_t> snd_callback_ns;
// The latest reported figure in µs (0: none).
int64_t snd_latency_reported();
// How often the watcher has tried to reach a sound server since the process
// started (each try after the first follows a failure by a second).
int snd_latency_server_tries();

// Reading the kernel's ALSA status files: the "delay" of a RUNNING playback
// substream owned by `pid` (its "status" file), and the "rate" of its
// "hw_params" file.  False when the text does not say so.
bool snd_alsa_parse_status(const char* text, long pid, int64_t* delay_frames);
bool snd_alsa_parse_rate(const char* text, int64_t* rate);
// A small text file's contents (at most 64 KiB); empty when unreadable.
std::string snd_read_small_file(const char* path);
