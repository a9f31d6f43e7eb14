// The seek map: where every row starts and every note of the watched
// instrument sounds in a straight run of a song from its start.
//
// libopenmpt cannot say at which of our song frames a row starts (our ticks
// are whole frames, its clock is not), and its module state cannot be saved.
// So a muted copy of the module is rendered through the same renderer as the
// song, which logs each row start and queues the notes exactly as the song's
// own rendering does; with every channel muted libopenmpt mixes nothing and
// a whole song takes a few tens of milliseconds.  The map grows on demand.
//
// A seek then puts libopenmpt at the row start at or before the target (its
// own seek rebuilds the channels, and with "seek.sync_samples" the sample
// positions), gives the renderer the instrument memory it had there, and
// renders silently from that row to the target.  Main thread only.
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_ext.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/sound_internal.h"

struct SndSeekMap {
    openmpt_module_ext* ext = nullptr;
    SndSong walker; // the muted copy, rendered by snd_render
    std::vector<SndRowStart> rows;
    std::vector<int64_t> notes; // song frames, in order
    int instrument = 0;         // watched when the map was made
    std::vector<float> scratch;
    // Mapping ahead on a thread of its own (snd_seek_map_prepare): it alone
    // touches the map until it is joined.
    std::thread worker;
    std::atomic<bool> stop{false};   // the song is going: the thread ends early
    std::atomic<bool> walked{false}; // the thread has finished its walk
};

namespace {

constexpr int WALK_CHUNK = 8192;
constexpr int64_t MS_PER_SECOND = 1000;

SndSeekMap* map_create(SndSong* song, int instrument) {
    openmpt_module_ext* ext = openmpt_module_ext_create_from_memory(
        song->file.data(), song->file.size(), openmpt_log_func_silent, nullptr,
        openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    if (!ext) return nullptr;
    openmpt_module_ext_interface_interactive interactive = {};
    if (!openmpt_module_ext_get_interface(ext, LIBOPENMPT_EXT_C_INTERFACE_INTERACTIVE, &interactive,
                                          sizeof interactive)) {
        openmpt_module_ext_destroy(ext);
        return nullptr;
    }
    SndSeekMap* map = new SndSeekMap();
    map->ext = ext;
    SndSong& w = map->walker;
    w.module = openmpt_module_ext_get_module(ext);
    openmpt_module_set_repeat_count(w.module, -1); // loops as the song does
    int channels = openmpt_module_get_num_channels(w.module);
    for (int c = 0; c < channels; ++c)
        interactive.set_channel_mute_status(ext, c, 1);
    w.mix_rate = song->mix_rate;
    w.offline = true;
    map->instrument = instrument;
    w.instrument.store(map->instrument, std::memory_order_relaxed);
    w.row_log = &map->rows;
    snd_tracker_reset(w.tracker, channels);
    map->scratch.resize(2 * WALK_CHUNK);
    return map;
}

// Waits for a mapping thread to finish; the map is the caller's again.
void map_join(SndSeekMap* map) {
    if (map && map->worker.joinable()) map->worker.join();
}

void map_destroy(SndSeekMap* map) {
    if (!map) return;
    map->stop.store(true, std::memory_order_relaxed);
    map_join(map);
    map->walker.module = nullptr; // owned by ext
    openmpt_module_ext_destroy(map->ext);
    delete map;
}

// Renders the muted copy until it has passed `frame`, collecting the notes.
void map_walk_through(SndSeekMap* map, int64_t frame) {
    SndSong& w = map->walker;
    while (w.tracker.frame <= frame && !map->stop.load(std::memory_order_relaxed)) {
        snd_render(&w, map->scratch.data(), WALK_CHUNK);
        int64_t note;
        while (snd_queue_peek(w.events, &note)) {
            map->notes.push_back(note);
            snd_queue_pop(w.events);
        }
    }
}

// The map of `song`, made (again, when the watched instrument changed) and
// walked through `frame`.  Null for a song without a module.
SndSeekMap* map_through(SndSong* song, int64_t frame) {
    if (!song->module || song->file.empty()) return nullptr;
    int instrument = song->instrument.load(std::memory_order_relaxed);
    map_join(song->seek_map);
    if (song->seek_map && song->seek_map->instrument != instrument) snd_seek_map_free(song);
    if (!song->seek_map) song->seek_map = map_create(song, instrument);
    if (song->seek_map) map_walk_through(song->seek_map, frame);
    return song->seek_map;
}

bool sounds_by(const SndSong* song, int64_t frame, int64_t ms) {
    return frame * MS_PER_SECOND <= ms * song->mix_rate;
}

} // namespace

void snd_seek_map_prepare(SndSong* song, int instrument, int64_t through_ms) {
    if (!song || !song->module || song->file.empty() || song->seek_map) return;
    SndSeekMap* map = map_create(song, instrument);
    if (!map) return;
    song->seek_map = map;
    int64_t frame = through_ms * song->mix_rate / MS_PER_SECOND;
#if defined(__EMSCRIPTEN__)
    (void)frame; // no threads there: the first seek maps as far as it needs
#else
    map->worker = std::thread([map, frame] {
        map_walk_through(map, frame);
        map->walked.store(true, std::memory_order_release);
    });
#endif
}

bool snd_seek_map_ready(const SndSong* song) {
    const SndSeekMap* map = song ? song->seek_map : nullptr;
    return !map || !map->worker.joinable() || map->walked.load(std::memory_order_acquire);
}

bool snd_seek_map_walk(SndSong* song, int64_t through_ms, int64_t max_ms) {
    SndSeekMap* map = song ? song->seek_map : nullptr;
    if (!map || map->worker.joinable()) return true;
    int64_t frame = through_ms * song->mix_rate / MS_PER_SECOND;
    int64_t step = std::max<int64_t>(1, max_ms * song->mix_rate / MS_PER_SECOND);
    map_walk_through(map, std::min(frame, map->walker.tracker.frame + step));
    return map->walker.tracker.frame > frame;
}

void snd_seek_map_free(SndSong* song) {
    map_destroy(song->seek_map);
    song->seek_map = nullptr;
}

bool snd_seek_mapped(SndSong* song, int64_t frame) {
    SndSeekMap* map = map_through(song, frame);
    return map && !map->rows.empty();
}

bool snd_seek_position(SndSong* song, int64_t frame) {
    SndSeekMap* map = map_through(song, frame);
    if (!map || map->rows.empty()) return false;
    auto after = std::upper_bound(map->rows.begin(), map->rows.end(), frame,
                                  [](int64_t f, const SndRowStart& r) { return f < r.frame; });
    const SndRowStart& start = after == map->rows.begin() ? map->rows.front() : *(after - 1);
    openmpt_module_set_position_order_row(song->module, start.order, start.row);
    SndTracker& t = song->tracker;
    snd_tracker_reset(t, t.channels);
    t.frame = start.frame;
    t.tick_end = start.frame; // a tick, and with it the row, starts here
    std::copy(start.last_instrument, start.last_instrument + SND_MAX_CHANNELS, t.last_instrument);
    snd_queue_clear(song->events);
    return true;
}

bool snd_replay_begin(SndSong* song, int64_t after_ms, int64_t through_ms) {
    if (!song) return false;
    SndSeekMap* map = map_through(song, through_ms * song->mix_rate / MS_PER_SECOND);
    if (!map) return false;
    int64_t i = 0;
    while (i < static_cast<int64_t>(map->notes.size()) && sounds_by(song, map->notes[i], after_ms))
        ++i;
    song->replay_note = i;
    return true;
}

void snd_replay_end(SndSong* song) {
    if (song) song->replay_note = -1;
}

bool snd_seek_deliver_replayed(SndSong* song, int64_t ms) {
    if (song->replay_note < 0) return false;
    SndSeekMap* map = map_through(song, ms * song->mix_rate / MS_PER_SECOND);
    if (!map) return true;
    while (song->replay_note < static_cast<int64_t>(map->notes.size()) &&
           sounds_by(song, map->notes[song->replay_note], ms)) {
        song->delivering_frame = map->notes[song->replay_note++];
        if (song->callback) song->callback(song, 0);
        song->delivering_frame = -1;
    }
    return true;
}
