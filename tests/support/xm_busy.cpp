#include "xm_busy.h"

namespace {

// Small deterministic generator for the cells.
uint32_t next_random(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// A sawtooth of `period` frames, four periods long, looped over the middle
// two (when looped at all).
XmSample wave_sample(bool eight_bit, uint8_t loop_type, int period) {
    XmSample s;
    s.name = "wave";
    for (int i = 0; i < 4 * period; ++i)
        s.data.push_back(static_cast<int16_t>((i % period) * 50000 / period - 25000));
    s.eight_bit = eight_bit;
    s.loop_type = loop_type;
    if (loop_type != XM_LOOP_NONE) {
        s.loop_start = static_cast<uint32_t>(period);
        s.loop_length = static_cast<uint32_t>(2 * period);
    }
    return s;
}

XmEnvelope busy_envelope(bool sustain, bool loop) {
    XmEnvelope e;
    e.points = {{0, 64}, {10, 20}, {30, 50}, {60, 0}};
    e.enabled = true;
    e.sustain = sustain;
    e.sustain_point = 1;
    e.loop = loop;
    e.loop_start = 1;
    e.loop_end = 2;
    return e;
}

const uint8_t LOOP_KINDS[] = {XM_LOOP_FORWARD, XM_LOOP_PINGPONG, XM_LOOP_NONE};
constexpr int LOOP_KIND_COUNT = sizeof LOOP_KINDS / sizeof LOOP_KINDS[0];

// Instrument `i`: two samples split at C-4, envelopes, fadeout, vibrato.
XmInstrument busy_instrument(int i) {
    XmInstrument ins;
    ins.name = "busy";
    ins.samples.push_back(wave_sample(i % 2 == 1, LOOP_KINDS[i % LOOP_KIND_COUNT], 16 + 8 * i));
    ins.samples.push_back(wave_sample(i % 2 == 0, XM_LOOP_PINGPONG, 40));
    for (int n = 48; n < 96; ++n)
        ins.note_sample[n] = 1;
    ins.volume_envelope = busy_envelope(i % 3 != 2, i % 4 >= 1);
    ins.panning_envelope = busy_envelope(i % 4 == 3, i % 4 == 2);
    ins.fadeout = static_cast<uint16_t>(300 * (i % 4));
    ins.vibrato_type = static_cast<uint8_t>(i % 4);
    ins.vibrato_depth = 6;
    ins.vibrato_rate = 10;
    return ins;
}

// Volume-column and effect-column entries the cells draw from: arpeggio,
// portamento, tone portamento, vibrato, tremolo, panning, sample offset,
// volume slide, retrigger, note delay, note cut, speed, tempo, global
// volume and its slide, key off, panning slide, multi retrigger, tremor,
// and volume-column portamento, volume, vibrato and panning.
const XmCell EFFECT_CELLS[] = {
    {0, 0, 0, 0x00, 0x37}, {0, 0, 0, 0x01, 0x08}, {0, 0, 0, 0x02, 0x08}, {0, 0, 0, 0x03, 0x20},
    {0, 0, 0, 0x04, 0x46}, {0, 0, 0, 0x07, 0x48}, {0, 0, 0, 0x08, 0x80}, {0, 0, 0, 0x09, 0x02},
    {0, 0, 0, 0x0A, 0x0F}, {0, 0, 0, 0x0E, 0x93}, {0, 0, 0, 0x0E, 0xD2}, {0, 0, 0, 0x0E, 0xC3},
    {0, 0, 0, 0x0F, 0x04}, {0, 0, 0, 0x0F, 0x8C}, {0, 0, 0, 0x10, 0x30}, {0, 0, 0, 0x11, 0x11},
    {0, 0, 0, 0x14, 0x03}, {0, 0, 0, 0x19, 0x28}, {0, 0, 0, 0x1B, 0x32}, {0, 0, 0, 0x1D, 0x21},
    {0, 0, 0xF4, 0, 0},    {0, 0, 0x68, 0, 0},    {0, 0, 0xB4, 0, 0},    {0, 0, 0xC8, 0, 0},
    {0, 0, 0, 0x0E, 0xE2}, {0, 0, 0, 0x0E, 0x62}, {0, 0, 0, 0x0E, 0x60},
};
constexpr uint32_t EFFECT_CELL_COUNT = sizeof EFFECT_CELLS / sizeof EFFECT_CELLS[0];

void fill_cell(XmCell& cell, uint32_t r, int instruments) {
    if (r % 3 != 0) {
        cell.note = static_cast<uint8_t>(37 + r % 48);
        cell.instrument = static_cast<uint8_t>(1 + (r >> 6) % static_cast<uint32_t>(instruments));
    } else if (r % 7 == 0) {
        cell.note = XM_NOTE_OFF;
    }
    if ((r >> 10) % 2 == 0) {
        const XmCell& fx = EFFECT_CELLS[(r >> 12) % EFFECT_CELL_COUNT];
        cell.volume = fx.volume;
        cell.effect = fx.effect;
        cell.param = fx.param;
    }
}

} // namespace

XmModule xm_busy_module(const XmBusyLayout& layout) {
    XmModule m;
    m.name = "busy";
    m.channels = layout.channels;
    m.tempo = layout.tempo;
    m.speed = layout.speed;
    m.linear_frequencies = layout.linear_frequencies;
    for (int i = 0; i < layout.instruments; ++i)
        m.instruments.push_back(busy_instrument(i));
    uint32_t state = layout.seed;
    for (int p = 0; p < layout.patterns; ++p) {
        XmPattern pattern = xm_empty_pattern(layout.rows, layout.channels);
        for (int row = 0; row < layout.rows; ++row)
            for (int c = 0; c < layout.channels; ++c)
                fill_cell(xm_cell(pattern, layout.channels, row, c), next_random(state),
                          layout.instruments);
        m.patterns.push_back(pattern);
        m.orders.push_back(static_cast<uint8_t>(p));
    }
    // The last pattern ends half way with a jump back to the second order,
    // so a pass plays the first pattern once and then loops.
    int last = layout.patterns - 1;
    int jump_to = layout.patterns > 1 ? 1 : 0;
    xm_cell(m.patterns[last], layout.channels, layout.rows / 2,
            0) = {0, 0, 0, 0x0B, static_cast<uint8_t>(jump_to)};
    m.restart_position = jump_to;
    return m;
}
