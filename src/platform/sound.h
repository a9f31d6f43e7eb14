// The sound layer: module playback over libopenmpt and SDL2 audio, with the
// song clock and per-instrument note events that drive the show.
//
// Live mode (snd_init): an SDL audio device plays the song; the clock is the
// position the listener hears now (see snd_latency_ms).  Offline mode (snd_offline_init): no
// device; the caller moves the clock and may collect the rendered audio.
// In both modes note events of the registered instrument are delivered on the
// calling thread from inside snd_get_time, once the clock has reached the
// moment the note sounds.
#pragma once

#include <cstddef>
#include <cstdint>

// Interface version of this layer (compared by the entry point against the
// lowest version it accepts).
constexpr float SND_INTERFACE_VERSION = 3.61f;

// Opaque song handle.  A song whose file could not be read is still a valid
// handle: its clock runs from the wall clock in silence and it has no notes.
struct SndSong;

// Callback for notes of one instrument: the song and a parameter (unused by
// the show).
typedef void (*SndInstCallback)(SndSong* song, int param);

// The layer's interface version, or 0 when the libopenmpt found at run time
// is older than the one the project was built against ("too old").
float snd_get_version();

// Opens the output device.  False when no device could be opened.  A second
// call while open does not disturb the running output and returns true.
bool snd_init(int mix_rate, int max_channels, unsigned flags);

// Offline mode for tools and tests: no device; songs are rendered on demand
// by snd_offline_advance_to.
bool snd_offline_init(int mix_rate, int max_channels);

// Closes the output (or ends offline mode).
void snd_close();

// For an output that plays nothing (the browser's sound output that never
// starts): from now until snd_close, live songs play on in silence on the
// wall clock from where their clocks read, rendered unheard as it passes so
// that their notes still come (as a song without its file runs, but with
// notes); no latency applies.  Cueing, seeking and playing cued work as
// before.
void snd_play_silently();

// The output plays after all (the browser's that starts late): the song
// playing silently is heard again from where its clock reads, which goes
// on from there (standing, never going back, while the output's latency
// passes) as a live song's clock does.  Nothing happens when the output was
// not silent.
void snd_play_aloud();

// Loads a module.  Never null after a successful snd_init/snd_offline_init;
// a missing or unreadable file gives a silent song and one line on stderr.
SndSong* snd_load_song(const char* path);

// Loads a module before the output opens (the browser's page may open it
// only on the viewer's click, and prepares the show while it waits): a live
// song mixed at `mix_rate`, played once snd_init has opened the output at
// that rate.  Meanwhile its seek map may be made and walked and its notes
// replayed.  Never null (a missing or unreadable file gives a silent song,
// as snd_load_song does).
SndSong* snd_load_song_ahead(const char* path, int mix_rate);

// Starts playback from the beginning; the clock starts at 0.
bool snd_play_song(SndSong* song);

// Starting later in the song.  snd_cue_song puts a live song at its start
// without handing it to the output: its clock reads 0 and stands.
// snd_cue_advance_to renders it silently until its clock reads `ms` (never
// back), queueing its notes for snd_deliver_notes as offline mode does, so a
// caller can move the show along with it step by step.  snd_play_cued hands
// it to the output from there: the clock reads the cued time at once and
// runs on from it, the listener hears the song from that time, and the notes
// come on as in any live song.  False for no song (or one not cued).
bool snd_cue_song(SndSong* song);
void snd_cue_advance_to(SndSong* song, int64_t ms);
bool snd_play_cued(SndSong* song);
// Takes a live song from the output where it is, cued there: its clock
// stands at the time it read, and snd_play_cued goes on from there (pausing
// a song that cannot be moved by snd_seek).  False when it is not playing
// live or is cued already.
bool snd_hold(SndSong* song);

// Seeking.  snd_seek puts a playing song (live, cued or offline) at song
// time `ms` as a straight run from its start would have it there: live, it
// is taken from the output and left cued at `ms` (snd_cue_advance_to and
// snd_play_cued go on from there; a paused song simply stays cued); offline,
// its clock reads `ms` and the audio rendered before is dropped.  The notes
// sounding at or before `ms` count as delivered, later ones come as the song
// moves on, each at its own time; a negative `ms` puts it back before its
// start, no note delivered (live: cued at 0).  Back or forward, any distance: the first
// seek maps the song (a muted rendering, tens of milliseconds for the whole
// song), later ones render a few seconds of audio silently (libopenmpt's
// own seek rebuilds sounding notes only roughly; from a few seconds before
// the target the rendering is the straight run's).  False for no song or
// one not playing, and for a song that cannot be mapped: then the song is
// left as it was (playing or cued where it was, its clock running on) and
// one line on stderr says so, the first time.
bool snd_seek(SndSong* song, int64_t ms);

// Seeks asked of the layer since the process started, and of them those
// that failed (tests and benchmarks count them).
struct SndSeekCounts {
    int64_t seeks;
    int64_t failed;
};
SndSeekCounts snd_seek_counts();

// Maps `song` for seeking ahead of the first seek, on a thread of its own
// (a muted rendering of its own copy of the module, nothing the song or
// the show touches), as the song plays: notes of `instrument`, through song
// time `through_ms`.  The first seek waits for it if it has not finished.
void snd_seek_map_prepare(SndSong* song, int instrument, int64_t through_ms);
// False while that thread is still mapping (a seek would wait for it).
bool snd_seek_map_ready(const SndSong* song);

// Where there are no threads (the browser), snd_seek_map_prepare only makes
// the map: the caller walks it in pieces, each at most `max_ms` of song
// further, so that no seek waits long for it.  True once the map reaches
// `through_ms` (and for a song without a map, or one mapped by its thread).
bool snd_seek_map_walk(SndSong* song, int64_t through_ms, int64_t max_ms);

// Replaying steps without the music: between snd_replay_begin and
// snd_replay_end, snd_deliver_notes hands over the notes of a straight run
// from the first that sounds after `after_ms`, from the song's map, and
// renders nothing (`through_ms`: how far the caller means to go, mapped at
// once).  The song's own position is left alone; snd_seek it afterwards.
bool snd_replay_begin(SndSong* song, int64_t after_ms, int64_t through_ms);
void snd_replay_end(SndSong* song);

// Song position in whole milliseconds.  Delivers the note events that have
// become due to the registered callback before returning.
int64_t snd_get_time(SndSong* song);

// Song position in whole milliseconds, delivering nothing: for a caller that
// hands the notes over itself, step by step, with snd_deliver_notes.
int64_t snd_peek_time(SndSong* song);

// Delivers to the registered callback, oldest first, every note event that
// sounds at or before song time `ms` and has not been delivered yet.  Only
// notes already rendered are known: live, the audio callback renders ahead
// of the clock; offline, up to where the clock was moved.
void snd_deliver_notes(SndSong* song, int64_t ms);

// Registers the callback for notes of `instrument` (1-based, as in the
// module).  Registering the same callback again is harmless.
bool snd_set_inst_callback(SndSong* song, SndInstCallback callback, int instrument);

// Inside the instrument callback: the song time (ms, with its fraction) at
// which the note being delivered sounds; -1 outside the callback.
double snd_note_time_ms(const SndSong* song);

// What the output still holds ahead of the listener.  Live, the clock is the
// song position of the audio handed to the output less this latency: what
// the sound server reports for the show's stream (PulseAudio, PipeWire,
// ALSA; refreshed while playing; 0 with the dummy and disk drivers), plus
// the manual correction of snd_set_audio_delay.  The total is never below 0
// (the clock never runs ahead of the audio rendered, whose notes its steps
// need).  Notes keep their song times: a later clock only hands them over
// later.  Offline and for a silent song nothing is applied.
//
// The manual correction in ms, negative or positive (kept across
// snd_init/snd_close; 0 by default).
void snd_set_audio_delay(double ms);
double snd_audio_delay();
// For an output the layer cannot ask itself (the browser's Web Audio): its
// latency in ms, as its owner measures it; replaces what was reported
// before.  Negative, NaN or above SND_MAX_LATENCY_MS count as 0.
void snd_report_output_latency(double ms);
constexpr double SND_MAX_LATENCY_MS = 10000.0;
// The latency (ms) the clock applied at its last live reading of `song`:
// the reported figure plus the manual correction, at least 0.
double snd_latency_ms(const SndSong* song);

// Stops and releases the song.
bool snd_free_song(SndSong* song);

// Offline mode: renders the song until its clock reads exactly `ms`.
void snd_offline_advance_to(SndSong* song, int64_t ms);

// Offline mode: moves up to `max_frames` rendered stereo frames (interleaved
// 16-bit) into `out`, oldest first; returns how many were moved.
size_t snd_offline_take_audio(SndSong* song, int16_t* out, size_t max_frames);

// Renders a module through offline mode into a 16-bit stereo WAV file, song
// time `ms_from` to `ms_to` (ms_to < 0: to the end of the module's first
// pass, the frame at which the song clock loops).  Works in any mode at the
// layer's mixing rate.  False when the module cannot be read or the file
// cannot be written.
bool snd_render_wav(const char* module_path, const char* wav_path, int64_t ms_from, int64_t ms_to);

// True when a libopenmpt of `runtime_version` (as openmpt_get_library_version
// reports it) is older than `build_version` ("major.minor.patch...").
bool snd_library_older(uint32_t runtime_version, const char* build_version);
