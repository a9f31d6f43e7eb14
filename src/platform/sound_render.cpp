// Rendering of a song through libopenmpt, with note detection.
//
// libopenmpt has no note callback and no tick counter, so the renderer keeps
// its own: it mixes tick by tick (a chunk never crosses a tick boundary),
// renders one frame at the start of every tick and then asks libopenmpt for
// the current order, row, speed and tempo.  A new row makes it read the
// row's cells and decide which channels start a note of the watched
// instrument; those notes become events stamped with the song frame of the
// tick at which they sound.
//
// Everything here may run on the audio thread: no allocation, no locks.
#include <libopenmpt/libopenmpt.h>

#include <algorithm>

#include "platform/sound_internal.h"

namespace {

// A row that starts a note of the watched instrument on a channel.
struct SndCellNote {
    bool sounds; // a note of the watched instrument starts
    int tick;    // at this tick of the row
};

int cell_value(openmpt_module* mod, int pattern, int row, int channel, int what) {
    return openmpt_module_get_pattern_row_channel_command(mod, pattern, row, channel, what);
}

bool is_tone_portamento(int effect, int volume_command) {
    return effect == SND_CMD_TONE_PORTAMENTO || effect == SND_CMD_TONE_PORTA_VOLUME ||
           volume_command == SND_VOLCMD_TONE_PORTAMENTO;
}

// Ticks by which EEx repeats the row: the largest delay on any channel.
int row_pattern_delay(openmpt_module* mod, int pattern, int row, int channels) {
    int delay = 0;
    for (int c = 0; c < channels; ++c) {
        if (cell_value(mod, pattern, row, c, OPENMPT_MODULE_COMMAND_EFFECT) != SND_CMD_EXTENDED)
            continue;
        int param = cell_value(mod, pattern, row, c, OPENMPT_MODULE_COMMAND_PARAMETER);
        if ((param >> 4) == SND_EXT_PATTERN_DELAY) delay = std::max(delay, param & 0x0F);
    }
    return delay;
}

// Reads one cell, updates the channel's instrument memory and says whether
// (and at which tick) it starts a note of `watched`.
SndCellNote read_cell(openmpt_module* mod, SndTracker& t, int pattern, int channel, int watched,
                      int speed) {
    int note = cell_value(mod, pattern, t.row, channel, OPENMPT_MODULE_COMMAND_NOTE);
    int instrument = cell_value(mod, pattern, t.row, channel, OPENMPT_MODULE_COMMAND_INSTRUMENT);
    int volume_command =
        cell_value(mod, pattern, t.row, channel, OPENMPT_MODULE_COMMAND_VOLUMEEFFECT);
    int effect = cell_value(mod, pattern, t.row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
    int param = cell_value(mod, pattern, t.row, channel, OPENMPT_MODULE_COMMAND_PARAMETER);
    if (instrument != 0) t.last_instrument[channel] = static_cast<uint8_t>(instrument);
    SndCellNote result = {false, 0};
    if (note < SND_NOTE_FIRST || note > SND_NOTE_LAST) return result;
    if (watched == 0 || t.last_instrument[channel] != watched) return result;
    if (is_tone_portamento(effect, volume_command)) return result;
    if (effect == SND_CMD_EXTENDED && (param >> 4) == SND_EXT_NOTE_DELAY) {
        result.tick = param & 0x0F;
        if (result.tick >= speed) return result; // delayed past the row: never sounds
    }
    result.sounds = true;
    return result;
}

void queue_note(SndSong* song) {
    snd_queue_push(song->events, song->tracker.frame);
}

// A new row has begun at the current frame: read its cells.
void start_row(SndSong* song, int pattern, int speed) {
    SndTracker& t = song->tracker;
    openmpt_module* mod = song->module;
    int watched = song->instrument.load(std::memory_order_relaxed);
    t.tick_in_row = 0;
    t.row_ticks = speed * (1 + row_pattern_delay(mod, pattern, t.row, t.channels));
    for (int c = 0; c < t.channels; ++c) {
        t.pending_tick[c] = -1;
        SndCellNote n = read_cell(mod, t, pattern, c, watched, speed);
        if (n.sounds) t.pending_tick[c] = static_cast<int8_t>(n.tick);
    }
}

// Records where a row starts, before its cells are read (the seek map's
// muted copy only).
void log_row_start(SndSong* song) {
    const SndTracker& t = song->tracker;
    SndRowStart start = {t.frame, t.order, t.row, {}};
    std::copy(t.last_instrument, t.last_instrument + SND_MAX_CHANNELS, start.last_instrument);
    song->row_log->push_back(start);
}

// Called once the first frame of a tick has been rendered: libopenmpt now
// reports the row, speed and tempo of this tick.
void start_tick(SndSong* song) {
    SndTracker& t = song->tracker;
    openmpt_module* mod = song->module;
    int order = openmpt_module_get_current_order(mod);
    int row = openmpt_module_get_current_row(mod);
    int speed = std::max(1, static_cast<int>(openmpt_module_get_current_speed(mod)));
    bool moved = !t.started || order != t.order || row != t.row;
    // The same row again after all its ticks: a jump or loop back onto itself.
    bool new_row = moved || t.tick_in_row + 1 >= t.row_ticks;
    t.started = true;
    t.order = order;
    t.row = row;
    if (new_row && song->row_log) log_row_start(song);
    if (new_row)
        start_row(song, openmpt_module_get_current_pattern(mod), speed);
    else
        ++t.tick_in_row;
    for (int c = 0; c < t.channels; ++c) {
        if (t.pending_tick[c] != t.tick_in_row) continue;
        queue_note(song);
        t.pending_tick[c] = -1;
    }
    t.tick_frames = snd_tick_frames(song->mix_rate, openmpt_module_get_current_tempo(mod));
    t.tick_end = t.frame + t.tick_frames;
}

// Mixes `frames` frames at the tracker's frame; a module that has stopped
// yields silence, and the first short read marks the frame where it stopped.
void mix(SndSong* song, float* out, int frames) {
    size_t got = openmpt_module_read_interleaved_float_stereo(song->module, song->mix_rate,
                                                              static_cast<size_t>(frames), out);
    std::fill(out + 2 * got, out + 2 * frames, 0.0f);
    SndTracker& t = song->tracker;
    if (got < static_cast<size_t>(frames) && t.end_frame < 0)
        t.end_frame = t.frame + static_cast<int64_t>(got);
}

// libopenmpt moved to another row in the middle of a tick the renderer
// predicted: take this chunk's start as the tick's start.
void check_alignment(SndSong* song) {
    SndTracker& t = song->tracker;
    if (openmpt_module_get_current_order(song->module) == t.order &&
        openmpt_module_get_current_row(song->module) == t.row)
        return;
    start_tick(song);
}

} // namespace

int snd_tick_frames(int mix_rate, int tempo) {
    // libopenmpt's classic tempo mode: 2.5 s / BPM per tick, truncated.
    return std::max(
        1, static_cast<int>(static_cast<int64_t>(mix_rate) * 5 / (2 * std::max(1, tempo))));
}

void snd_tracker_reset(SndTracker& tracker, int channels) {
    tracker = SndTracker();
    tracker.channels = std::min(channels, SND_MAX_CHANNELS);
    std::fill(tracker.pending_tick, tracker.pending_tick + SND_MAX_CHANNELS, -1);
}

void snd_render(SndSong* song, float* out, int frames) {
    SndTracker& t = song->tracker;
    while (frames > 0) {
        int chunk = 1;
        if (t.frame >= t.tick_end) {
            // A tick starts at this frame; its first frame tells which row.
            mix(song, out, chunk);
            start_tick(song);
        } else {
            chunk = static_cast<int>(std::min<int64_t>(frames, t.tick_end - t.frame));
            mix(song, out, chunk);
            check_alignment(song);
        }
        t.frame += chunk;
        out += 2 * chunk;
        frames -= chunk;
    }
}

bool snd_queue_push(SndEventQueue& queue, int64_t frame) {
    uint32_t tail = queue.tail.load(std::memory_order_relaxed);
    uint32_t head = queue.head.load(std::memory_order_acquire);
    if (tail - head >= SND_EVENT_CAPACITY) {
        queue.dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    queue.frames[tail & (SND_EVENT_CAPACITY - 1)] = frame;
    queue.tail.store(tail + 1, std::memory_order_release);
    return true;
}

bool snd_queue_peek(SndEventQueue& queue, int64_t* frame) {
    uint32_t head = queue.head.load(std::memory_order_relaxed);
    if (head == queue.tail.load(std::memory_order_acquire)) return false;
    *frame = queue.frames[head & (SND_EVENT_CAPACITY - 1)];
    return true;
}

void snd_queue_pop(SndEventQueue& queue) {
    queue.head.store(queue.head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void snd_queue_clear(SndEventQueue& queue) {
    queue.head.store(0, std::memory_order_relaxed);
    queue.tail.store(0, std::memory_order_relaxed);
    queue.dropped.store(0, std::memory_order_relaxed);
}
