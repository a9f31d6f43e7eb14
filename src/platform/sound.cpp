// The sound layer's public calls: output device, songs, the song clock and
// note delivery, offline mode and WAV rendering.  Rendering and note
// detection live in sound_render.cpp.
//
// Live clock: the audio callback renders the buffer SDL asks for and
// publishes which song frame that buffer starts with and when it was handed
// over.  The output plays the start of that buffer now; the rest of it is
// still queued.  Between callbacks the position advances with the monotonic
// clock, but never past the end of what was handed over.  The listener
// hears that position later by the output's latency (reported by the sound
// server, sound_latency.cpp, plus the manual correction): the clock is the
// position less the latency, and never goes backwards.
#include "platform/sound.h"

#include <SDL2/SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/report.h"
#include "platform/sound_internal.h"

namespace {

enum SndMode { SND_MODE_NONE, SND_MODE_LIVE, SND_MODE_OFFLINE };

// Frames per device buffer requested from SDL (23 ms at 44100 Hz).
constexpr int SND_DEVICE_BUFFER_FRAMES = 1024;
constexpr int SND_DEFAULT_RATE = 44100;
constexpr int64_t NS_PER_SECOND = 1000000000;
constexpr int64_t MS_PER_SECOND = 1000;
constexpr int64_t US_PER_SECOND = 1000000;
constexpr double US_PER_MS = 1000.0;
// A seek picks the song up this long before its target and renders the way
// there silently: libopenmpt's own seek rebuilds the channels of notes still
// sounding only roughly, and what differs has died away by the target.
constexpr int64_t SND_SEEK_PREROLL_MS = 8000;

struct SndState {
    SndMode mode = SND_MODE_NONE;
    int mix_rate = SND_DEFAULT_RATE;
    int max_channels = 32; // requested voice count (libopenmpt mixes all voices)
    SDL_AudioDeviceID device = 0;
    // The song the audio callback renders; changed by the main thread only
    // while it holds the device lock.
    std::atomic<SndSong*> playing{nullptr};
    // The manual latency correction (µs), kept across snd_init/snd_close.
    int64_t audio_delay_us = 0;
    SndSeekCounts seek_counts = {}; // kept across snd_init/snd_close
    // The output plays nothing (snd_play_silently): live songs run on the
    // wall clock, rendered as it passes, until snd_close or snd_play_aloud.
    bool silent = false;
    // Meanwhile the song the output would play (main thread only).
    SndSong* silent_song = nullptr;
};

} // namespace

std::atomic<int64_t> snd_callback_ns{0};

namespace {

// The layer's state; changed by snd_init, snd_offline_init, snd_close and
// (the playing song) snd_play_song / snd_free_song.
SndState snd_state;

int64_t snd_now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Index of the frame that sounds at song time `ms`.
int64_t snd_frame_at(const SndSong* song, int64_t ms) {
    return ms * song->mix_rate / MS_PER_SECOND;
}

int16_t snd_to_s16(float v) {
    v = std::min(1.0f, std::max(-1.0f, v));
    return static_cast<int16_t>(std::lrint(v * 32767.0f));
}

// ---- live clock ---------------------------------------------------------

void snd_clock_publish(SndSong* song, int64_t frame, int64_t time_ns, int64_t frames) {
    uint32_t seq = song->clock_seq.load(std::memory_order_relaxed);
    song->clock_seq.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    song->clock_frame.store(frame, std::memory_order_relaxed);
    song->clock_time_ns.store(time_ns, std::memory_order_relaxed);
    song->clock_frames.store(frames, std::memory_order_relaxed);
    song->clock_published.store(true, std::memory_order_relaxed);
    song->clock_seq.store(seq + 2, std::memory_order_release);
}

// Position the listener hears now, in song frames, from the last publication.
int64_t snd_clock_heard_frames(SndSong* song) {
    int64_t frame, time_ns, frames;
    bool published;
    uint32_t before, after;
    do {
        before = song->clock_seq.load(std::memory_order_acquire);
        frame = song->clock_frame.load(std::memory_order_relaxed);
        time_ns = song->clock_time_ns.load(std::memory_order_relaxed);
        frames = song->clock_frames.load(std::memory_order_relaxed);
        published = song->clock_published.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        after = song->clock_seq.load(std::memory_order_relaxed);
    } while ((before & 1) != 0 || before != after);
    if (!published) return 0;
    int64_t elapsed = std::max<int64_t>(0, snd_now_ns() - time_ns);
    int64_t advanced = elapsed * song->mix_rate / NS_PER_SECOND;
    return frame + std::min(advanced, frames);
}

// What the output holds ahead of the listener (µs): the reported latency
// plus the manual correction, never below 0.
int64_t snd_latency_total_us() {
    return std::max<int64_t>(0, snd_latency_reported() + snd_state.audio_delay_us);
}

void snd_cue_render(SndSong* song, int64_t target_frame);

int64_t snd_live_ms(SndSong* song) {
    if (!song->playing) return 0;
    if (song->cued) return song->cue_ms;
    int64_t frames;
    if (song->module && !snd_state.silent) {
        song->latency_us = snd_latency_total_us();
        frames = snd_clock_heard_frames(song) - song->latency_us * song->mix_rate / US_PER_SECOND;
    } else { // silent song or output: the wall clock since play
        frames = (snd_now_ns() - song->wall_start_ns) * song->mix_rate / NS_PER_SECOND;
        // The song moves along unheard, so that its notes come.
        if (song->module) snd_cue_render(song, frames + 1);
    }
    song->clock_floor = std::max(song->clock_floor, frames);
    return song->clock_floor * MS_PER_SECOND / song->mix_rate;
}

void snd_audio_callback(void*, Uint8* stream, int len) {
    snd_callback_ns.store(snd_now_ns(), std::memory_order_relaxed);
    SndSong* song = snd_state.playing.load(std::memory_order_acquire);
    int frames = len / static_cast<int>(2 * sizeof(float));
    if (!song || !song->module) {
        std::memset(stream, 0, static_cast<size_t>(len));
        return;
    }
    int64_t first = song->tracker.frame;
    snd_render(song, reinterpret_cast<float*>(stream), frames);
    snd_clock_publish(song, first, snd_now_ns(), frames);
}

// Stops the audio callback from touching `song`.
void snd_detach(SndSong* song) {
    if (snd_state.silent_song == song) snd_state.silent_song = nullptr;
    if (snd_state.playing.load(std::memory_order_relaxed) != song) return;
    if (snd_state.device != 0) SDL_LockAudioDevice(snd_state.device);
    snd_state.playing.store(nullptr, std::memory_order_release);
    if (snd_state.device != 0) SDL_UnlockAudioDevice(snd_state.device);
}

void snd_attach(SndSong* song) {
    if (snd_state.silent) snd_state.silent_song = song;
    if (snd_state.device == 0 || snd_state.silent) return;
    SDL_LockAudioDevice(snd_state.device);
    snd_state.playing.store(song, std::memory_order_release);
    SDL_UnlockAudioDevice(snd_state.device);
}

// ---- songs --------------------------------------------------------------

openmpt_module* snd_module_create(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return nullptr;
    openmpt_module* mod = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, nullptr, nullptr, nullptr);
    if (mod) {
        openmpt_module_set_repeat_count(mod, -1); // loop from the restart position
        // A seek rebuilds the sample positions of notes still sounding too.
        openmpt_module_ctl_set_boolean(mod, "seek.sync_samples", 1);
    }
    return mod;
}

bool snd_read_file(const char* path, std::vector<uint8_t>& out) {
    FILE* f = files_open(path, "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.insert(out.end(), buffer, buffer + got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

SndSong* snd_song_load(const char* path, bool offline) {
    SndSong* song = new SndSong();
    song->offline = offline;
    song->mix_rate = snd_state.mix_rate;
    if (snd_read_file(path, song->file)) song->module = snd_module_create(song->file);
    if (!song->module) {
        std::fprintf(stderr, "sound: cannot play module \"%s\"; continuing in silence\n", path);
        song->file.clear();
    }
    return song;
}

// Puts a song back to its start: a fresh module, no events, clock at 0.
void snd_song_rewind(SndSong* song) {
    if (song->module && song->played_before) {
        openmpt_module_destroy(song->module);
        song->module = snd_module_create(song->file);
    }
    int channels = song->module ? openmpt_module_get_num_channels(song->module) : 0;
    snd_tracker_reset(song->tracker, channels);
    snd_queue_clear(song->events);
    song->clock_published.store(false, std::memory_order_relaxed);
    song->clock_floor = 0;
    song->wall_start_ns = snd_now_ns();
    song->offline_ms = 0;
    song->offline_audio.clear();
    song->offline_taken = 0;
    song->cued = false;
    song->cue_ms = 0;
    song->latency_us = 0;
    song->played_before = true;
}

void snd_deliver_events(SndSong* song, int64_t ms) {
    if (snd_seek_deliver_replayed(song, ms)) return;
    int64_t frame;
    while (snd_queue_peek(song->events, &frame) && frame * MS_PER_SECOND <= ms * song->mix_rate) {
        snd_queue_pop(song->events);
        song->delivering_frame = frame;
        if (song->callback) song->callback(song, 0);
        song->delivering_frame = -1;
    }
}

// Starts a song from its beginning (and hands it to the audio callback).
void snd_song_start(SndSong* song) {
    snd_detach(song);
    snd_song_rewind(song);
    song->playing = true;
    if (!song->offline) snd_attach(song);
}

// ---- offline ------------------------------------------------------------

void snd_offline_render(SndSong* song, int64_t target_frame) {
    if (song->offline_scratch.empty()) song->offline_scratch.resize(2 * SND_OFFLINE_CHUNK);
    while (song->tracker.frame < target_frame) {
        int frames = static_cast<int>(
            std::min<int64_t>(SND_OFFLINE_CHUNK, target_frame - song->tracker.frame));
        snd_render(song, song->offline_scratch.data(), frames);
        for (int i = 0; i < 2 * frames; ++i)
            song->offline_audio.push_back(snd_to_s16(song->offline_scratch[i]));
    }
}

// Renders a cued song up to `target_frame`, the audio thrown away.
void snd_cue_render(SndSong* song, int64_t target_frame) {
    if (song->offline_scratch.empty()) song->offline_scratch.resize(2 * SND_OFFLINE_CHUNK);
    while (song->tracker.frame < target_frame) {
        int frames = static_cast<int>(
            std::min<int64_t>(SND_OFFLINE_CHUNK, target_frame - song->tracker.frame));
        snd_render(song, song->offline_scratch.data(), frames);
    }
}

void snd_offline_discard_audio(SndSong* song) {
    song->offline_audio.clear();
    song->offline_taken = 0;
}

// ---- WAV ----------------------------------------------------------------

void snd_put_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void snd_put_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The 44-byte header of a 16-bit stereo PCM WAV file of `frames` frames.
void snd_wav_header(uint8_t* h, int rate, uint32_t frames) {
    uint32_t data_bytes = frames * 4;
    std::memcpy(h, "RIFF", 4);
    snd_put_u32(h + 4, 36 + data_bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    snd_put_u32(h + 16, 16);
    snd_put_u16(h + 20, 1); // PCM
    snd_put_u16(h + 22, 2); // channels
    snd_put_u32(h + 24, static_cast<uint32_t>(rate));
    snd_put_u32(h + 28, static_cast<uint32_t>(rate) * 4);
    snd_put_u16(h + 32, 4);  // block align
    snd_put_u16(h + 34, 16); // bits
    std::memcpy(h + 36, "data", 4);
    snd_put_u32(h + 40, data_bytes);
}

// Moves all rendered audio of the song into the file; false on a write error.
bool snd_wav_write_taken(SndSong* song, FILE* f, uint32_t* frames_written) {
    int16_t buffer[2 * 4096];
    size_t got;
    while ((got = snd_offline_take_audio(song, buffer, 4096)) > 0) {
        if (std::fwrite(buffer, 4, got, f) != got) return false;
        *frames_written += static_cast<uint32_t>(got);
    }
    return true;
}

// Where a WAV rendering ends: frame `last`, or with `last` < 0 the frame at
// which the module stopped (no end while it still plays).
int64_t snd_wav_end_frame(const SndSong* song, int64_t last) {
    if (last >= 0) return last;
    return song->tracker.end_frame >= 0 ? song->tracker.end_frame : INT64_MAX;
}

// Writes frames [first, last) of a started song; with `last` < 0, up to the
// frame at which its module stops.
bool snd_wav_render_range(SndSong* song, FILE* f, int64_t first, int64_t last) {
    uint8_t header[44];
    snd_wav_header(header, song->mix_rate, 0);
    if (std::fwrite(header, 1, sizeof header, f) != sizeof header) return false;
    int64_t frame = first;
    snd_offline_render(song, frame);
    snd_offline_discard_audio(song);
    uint32_t frames = 0;
    while (frame < snd_wav_end_frame(song, last)) {
        frame = std::min<int64_t>(frame + song->mix_rate, snd_wav_end_frame(song, last));
        snd_offline_render(song, frame);
        // The module may have stopped within this stretch (never before its
        // start): drop the silence rendered after its end.
        int64_t end = std::min(frame, snd_wav_end_frame(song, last));
        song->offline_audio.resize(song->offline_audio.size() -
                                   2 * static_cast<size_t>(frame - end));
        frame = end;
        if (!snd_wav_write_taken(song, f, &frames)) return false;
    }
    snd_wav_header(header, song->mix_rate, frames);
    return std::fseek(f, 0, SEEK_SET) == 0 &&
           std::fwrite(header, 1, sizeof header, f) == sizeof header;
}

// "0.6.9+release.autotools" in the form of openmpt_get_library_version.
uint32_t snd_parse_version(const char* text) {
    uint32_t parts[3] = {0, 0, 0};
    const char* p = text;
    for (int i = 0; i < 3 && p && *p; ++i) {
        char* end = nullptr;
        parts[i] = static_cast<uint32_t>(std::strtoul(p, &end, 10));
        p = (end && *end == '.') ? end + 1 : nullptr;
    }
    return (parts[0] << 24) | (parts[1] << 16) | parts[2];
}

} // namespace

bool snd_library_older(uint32_t runtime_version, const char* build_version) {
    return runtime_version < snd_parse_version(build_version);
}

float snd_get_version() {
    if (snd_library_older(openmpt_get_library_version(), VM_LIBOPENMPT_BUILD_VERSION)) return 0.0f;
    return SND_INTERFACE_VERSION;
}

bool snd_init(int mix_rate, int max_channels, unsigned) {
    if (snd_state.mode == SND_MODE_LIVE) return true; // already playing: leave it alone
    if (snd_state.mode != SND_MODE_NONE) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want = {};
    want.freq = mix_rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = SND_DEVICE_BUFFER_FRAMES;
    want.callback = snd_audio_callback;
    SDL_AudioSpec have = {};
    snd_state.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (snd_state.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    snd_state.mode = SND_MODE_LIVE;
    snd_state.mix_rate = mix_rate;
    snd_state.max_channels = max_channels;
    snd_latency_start(SDL_GetCurrentAudioDriver(),
                      static_cast<int64_t>(have.samples) * NS_PER_SECOND / std::max(1, have.freq));
    SDL_PauseAudioDevice(snd_state.device, 0);
    return true;
}

bool snd_offline_init(int mix_rate, int max_channels) {
    if (snd_state.mode != SND_MODE_NONE || mix_rate <= 0) return false;
    snd_state.mode = SND_MODE_OFFLINE;
    snd_state.mix_rate = mix_rate;
    snd_state.max_channels = max_channels;
    return true;
}

void snd_close() {
    if (snd_state.mode == SND_MODE_LIVE) {
        snd_latency_stop();
        SDL_CloseAudioDevice(snd_state.device);
        snd_state.device = 0;
        snd_state.playing.store(nullptr, std::memory_order_release);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    snd_state.mode = SND_MODE_NONE;
    snd_state.mix_rate = SND_DEFAULT_RATE;
    snd_state.silent = false;
    snd_state.silent_song = nullptr;
}

void snd_play_silently() {
    if (snd_state.mode != SND_MODE_LIVE || snd_state.silent) return;
    SndSong* song = snd_state.playing.load(std::memory_order_relaxed);
    int64_t ms = song ? snd_live_ms(song) : 0;
    if (song) snd_detach(song);
    snd_state.silent = true;
    snd_state.silent_song = song;
    SDL_PauseAudioDevice(snd_state.device, 1);
    if (!song) return;
    // On from the time the clock read last.
    song->wall_start_ns = snd_now_ns() - ms * (NS_PER_SECOND / MS_PER_SECOND);
    song->latency_us = 0;
}

void snd_play_aloud() {
    if (snd_state.mode != SND_MODE_LIVE || !snd_state.silent) return;
    // The song playing silently (a cued one waits for snd_play_cued), first
    // rendered unheard up to its clock: the output goes on from there.
    SndSong* song = snd_state.silent_song;
    if (song) snd_live_ms(song);
    snd_state.silent = false;
    snd_state.silent_song = nullptr;
    SDL_PauseAudioDevice(snd_state.device, 0);
    if (!song) return;
    // The clock holds its reading until the output's figures pass it.
    song->clock_published.store(false, std::memory_order_relaxed);
    snd_attach(song);
}

SndSong* snd_load_song(const char* path) {
    if (snd_state.mode == SND_MODE_NONE || !path) return nullptr;
    return snd_song_load(path, snd_state.mode == SND_MODE_OFFLINE);
}

SndSong* snd_load_song_ahead(const char* path, int mix_rate) {
    if (!path || mix_rate <= 0) return nullptr;
    SndSong* song = snd_song_load(path, false);
    song->mix_rate = mix_rate;
    return song;
}

bool snd_play_song(SndSong* song) {
    if (!song) return false;
    snd_song_start(song);
    // Offline, the frame heard at song time 0 is rendered at once, so notes
    // on the first row are due at 0.
    if (song->offline) snd_offline_advance_to(song, 0);
    return true;
}

bool snd_cue_song(SndSong* song) {
    if (!song || song->offline) return false;
    snd_detach(song);
    snd_song_rewind(song);
    song->playing = true;
    song->cued = true;
    return true;
}

void snd_cue_advance_to(SndSong* song, int64_t ms) {
    if (!song || !song->cued || ms < song->cue_ms) return;
    song->cue_ms = ms;
    // Through the frame that sounds at `ms`, as offline: every note due by
    // then is known.
    if (song->module) snd_cue_render(song, snd_frame_at(song, ms) + 1);
}

SndSeekCounts snd_seek_counts() {
    return snd_state.seek_counts;
}

bool snd_seek(SndSong* song, int64_t ms) {
    ++snd_state.seek_counts.seeks;
    if (!song || !song->playing) {
        ++snd_state.seek_counts.failed;
        return false;
    }
    // Checked before the song leaves the output: a song that cannot be
    // mapped plays on where it was, its clock with it.
    int64_t from = std::max<int64_t>(0, snd_frame_at(song, ms - SND_SEEK_PREROLL_MS));
    if (ms >= 0 && song->module && !snd_seek_mapped(song, from)) {
        ++snd_state.seek_counts.failed;
        if (!song->seek_failure_said)
            report_failure("cannot move the music to another time (its module cannot be "
                           "mapped for seeking)",
                           nullptr,
                           "the music plays on where it is and the picture follows it; start "
                           "the show again with --from to hear another time");
        song->seek_failure_said = true;
        return false;
    }
    snd_detach(song);
    if (ms < 0) { // before the start: nothing rendered, nothing delivered
        snd_song_rewind(song);
        song->cued = !song->offline;
        return true;
    }
    song->replay_note = -1;
    song->played_before = true;
    song->clock_published.store(false, std::memory_order_relaxed);
    song->clock_floor = 0;
    if (song->module) {
        snd_seek_position(song, from); // mapped above
        snd_cue_render(song, snd_frame_at(song, ms) + 1);
        // Notes up to the target count as delivered.
        int64_t frame;
        while (snd_queue_peek(song->events, &frame) && frame * MS_PER_SECOND <= ms * song->mix_rate)
            snd_queue_pop(song->events);
    }
    if (song->offline) {
        song->offline_ms = ms;
        snd_offline_discard_audio(song);
    } else {
        song->cued = true;
        song->cue_ms = ms;
    }
    return true;
}

bool snd_hold(SndSong* song) {
    if (!song || song->offline || !song->playing || song->cued) return false;
    int64_t ms = snd_live_ms(song);
    snd_detach(song);
    song->cue_ms = ms;
    song->cued = true;
    return true;
}

bool snd_play_cued(SndSong* song) {
    if (!song || !song->cued) return false;
    song->cued = false;
    // The first frame at or after the cued time, so the clock reads it.
    song->clock_floor = (song->cue_ms * song->mix_rate + MS_PER_SECOND - 1) / MS_PER_SECOND;
    song->wall_start_ns = snd_now_ns() - song->cue_ms * (NS_PER_SECOND / MS_PER_SECOND);
    snd_attach(song);
    return true;
}

int64_t snd_peek_time(SndSong* song) {
    if (!song) return 0;
    return song->offline ? song->offline_ms : snd_live_ms(song);
}

void snd_deliver_notes(SndSong* song, int64_t ms) {
    if (song) snd_deliver_events(song, ms);
}

int64_t snd_get_time(SndSong* song) {
    int64_t ms = snd_peek_time(song);
    snd_deliver_notes(song, ms);
    return ms;
}

bool snd_set_inst_callback(SndSong* song, SndInstCallback callback, int instrument) {
    if (!song) return false;
    song->callback = callback;
    song->instrument.store(instrument, std::memory_order_relaxed);
    return true;
}

double snd_note_time_ms(const SndSong* song) {
    if (!song || song->delivering_frame < 0) return -1.0;
    return static_cast<double>(song->delivering_frame) * MS_PER_SECOND / song->mix_rate;
}

void snd_set_audio_delay(double ms) {
    if (!(std::fabs(ms) <= SND_MAX_LATENCY_MS)) ms = 0.0; // NaN or absurd: none
    snd_state.audio_delay_us = std::llround(ms * US_PER_MS);
}

double snd_audio_delay() {
    return static_cast<double>(snd_state.audio_delay_us) / US_PER_MS;
}

double snd_latency_ms(const SndSong* song) {
    if (!song || song->offline) return 0.0;
    return static_cast<double>(song->latency_us) / US_PER_MS;
}

bool snd_free_song(SndSong* song) {
    if (!song) return false;
    snd_detach(song);
    snd_seek_map_free(song);
    if (song->module) openmpt_module_destroy(song->module);
    delete song;
    return true;
}

void snd_offline_advance_to(SndSong* song, int64_t ms) {
    if (!song || !song->offline || !song->playing || ms < song->offline_ms) return;
    song->offline_ms = ms;
    // Render through the frame that sounds at `ms` (the last frame starting
    // at or before it), so every note due by then is known.
    if (song->module) snd_offline_render(song, snd_frame_at(song, ms) + 1);
}

size_t snd_offline_take_audio(SndSong* song, int16_t* out, size_t max_frames) {
    if (!song) return 0;
    size_t available = (song->offline_audio.size() - song->offline_taken) / 2;
    size_t frames = std::min(available, max_frames);
    if (frames == 0) return 0; // nothing rendered: no buffer to copy from
    std::memcpy(out, song->offline_audio.data() + song->offline_taken, frames * 4);
    song->offline_taken += frames * 2;
    if (song->offline_taken == song->offline_audio.size()) snd_offline_discard_audio(song);
    return frames;
}

bool snd_render_wav(const char* module_path, const char* wav_path, int64_t ms_from, int64_t ms_to) {
    SndSong* song = snd_song_load(module_path, true);
    if (!song->module) {
        snd_free_song(song);
        return false;
    }
    snd_song_start(song);
    int64_t last = -1;
    if (ms_to >= 0) {
        last = snd_frame_at(song, ms_to);
    } else {
        // Stop where the looping song would go back to its restart position:
        // libopenmpt's own end of the first pass, met at the mixing rate
        // (its duration estimate is computed at another rate), without the
        // fade it adds after the end by default.
        openmpt_module_set_repeat_count(song->module, 0);
        openmpt_module_ctl_set_text(song->module, "play.at_end", "stop");
    }
    FILE* f = std::fopen(wav_path, "wb");
    bool ok = f && snd_wav_render_range(song, f, snd_frame_at(song, ms_from), last);
    if (f) ok = (std::fclose(f) == 0) && ok;
    snd_free_song(song);
    return ok;
}
