#include "xm_writer.h"

#include <cstdio>
#include <cstring>

// Layout of an XM 1.04 file: a fixed module header, the order table, the
// packed patterns, then each instrument followed by its sample headers and
// its delta-coded sample data.

namespace {

constexpr char XM_ID_TEXT[] = "Extended Module: ";
constexpr int XM_ID_LENGTH = 17;
constexpr int XM_NAME_LENGTH = 20;
constexpr int XM_INSTRUMENT_NAME_LENGTH = 22;
constexpr int XM_SAMPLE_NAME_LENGTH = 22;
constexpr uint16_t XM_VERSION = 0x0104;
constexpr uint32_t XM_HEADER_SIZE = 276; // from the size field to the end of the order table
constexpr int XM_ORDER_TABLE_SIZE = 256;
constexpr uint32_t XM_PATTERN_HEADER_SIZE = 9;
constexpr uint32_t XM_INSTRUMENT_HEADER_SIZE = 263;
constexpr uint32_t XM_SAMPLE_HEADER_SIZE = 40;
constexpr int XM_MAX_PATTERNS = 256;
constexpr int XM_MAX_INSTRUMENTS = 128;
constexpr int XM_MAX_SAMPLES = 16;
constexpr int XM_MAX_ENVELOPE_POINTS = 12;
constexpr int XM_MAX_ROWS = 256;
constexpr int XM_NOTE_COUNT = 96;
constexpr uint16_t XM_FLAG_LINEAR = 1;

// Packed-cell flags: the first byte of a packed cell says which fields follow.
constexpr uint8_t XM_PACK_FLAG = 0x80;
constexpr uint8_t XM_PACK_NOTE = 0x01;
constexpr uint8_t XM_PACK_INSTRUMENT = 0x02;
constexpr uint8_t XM_PACK_VOLUME = 0x04;
constexpr uint8_t XM_PACK_EFFECT = 0x08;
constexpr uint8_t XM_PACK_PARAM = 0x10;

// Envelope type bits and the sample type bit for 16-bit data.
constexpr uint8_t XM_ENVELOPE_ON = 1;
constexpr uint8_t XM_ENVELOPE_SUSTAIN = 2;
constexpr uint8_t XM_ENVELOPE_LOOP = 4;
constexpr uint8_t XM_SAMPLE_16BIT = 0x10;

typedef std::vector<uint8_t> Bytes;

void put_u8(Bytes& out, uint8_t v) {
    out.push_back(v);
}

void put_u16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void set_u16(Bytes& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A text field of fixed length, cut or padded with zero bytes.
void put_text(Bytes& out, const std::string& text, int length) {
    for (int i = 0; i < length; ++i)
        out.push_back(i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[i]) : 0);
}

void put_zeros(Bytes& out, size_t count) {
    out.insert(out.end(), count, 0);
}

bool envelope_valid(const XmEnvelope& env) {
    int n = static_cast<int>(env.points.size());
    if (n > XM_MAX_ENVELOPE_POINTS) return false;
    for (int i = 0; i < n; ++i) {
        if (env.points[i].value > 64) return false;
        if (i > 0 && env.points[i].tick <= env.points[i - 1].tick) return false;
    }
    if (!env.enabled) return true;
    if (n == 0) return false;
    if (env.sustain && env.sustain_point >= n) return false;
    if (env.loop && (env.loop_start > env.loop_end || env.loop_end >= n)) return false;
    return true;
}

bool sample_valid(const XmSample& s) {
    if (s.volume > 64 || s.loop_type > XM_LOOP_PINGPONG) return false;
    if (s.loop_type != XM_LOOP_NONE &&
        static_cast<uint64_t>(s.loop_start) + s.loop_length > s.data.size())
        return false;
    return true;
}

bool instrument_valid(const XmInstrument& ins) {
    int n = static_cast<int>(ins.samples.size());
    if (n > XM_MAX_SAMPLES) return false;
    for (int i = 0; i < XM_NOTE_COUNT && n > 0; ++i)
        if (ins.note_sample[i] >= n) return false;
    for (const XmSample& s : ins.samples)
        if (!sample_valid(s)) return false;
    return envelope_valid(ins.volume_envelope) && envelope_valid(ins.panning_envelope);
}

bool pattern_valid(const XmPattern& p, int channels) {
    if (p.rows < 1 || p.rows > XM_MAX_ROWS) return false;
    if (p.cells.size() != static_cast<size_t>(p.rows) * static_cast<size_t>(channels)) return false;
    for (const XmCell& c : p.cells)
        if (c.note > XM_NOTE_OFF) return false;
    return true;
}

bool module_valid(const XmModule& m) {
    if (m.channels < 2 || m.channels > XM_MAX_CHANNELS || m.channels % 2 != 0) return false;
    if (m.orders.empty() || m.orders.size() > XM_ORDER_TABLE_SIZE) return false;
    if (m.patterns.empty() || m.patterns.size() > XM_MAX_PATTERNS) return false;
    if (m.instruments.size() > XM_MAX_INSTRUMENTS) return false;
    if (m.restart_position < 0 || m.restart_position >= static_cast<int>(m.orders.size()))
        return false;
    if (m.speed < 1 || m.speed > 31 || m.tempo < 32 || m.tempo > 255) return false;
    for (uint8_t order : m.orders)
        if (order >= m.patterns.size()) return false;
    for (const XmPattern& p : m.patterns)
        if (!pattern_valid(p, m.channels)) return false;
    for (const XmInstrument& ins : m.instruments)
        if (!instrument_valid(ins)) return false;
    return true;
}

void write_module_header(Bytes& out, const XmModule& m) {
    put_text(out, XM_ID_TEXT, XM_ID_LENGTH);
    put_text(out, m.name, XM_NAME_LENGTH);
    put_u8(out, 0x1A);
    put_text(out, m.tracker, XM_NAME_LENGTH);
    put_u16(out, XM_VERSION);
    put_u32(out, XM_HEADER_SIZE);
    put_u16(out, static_cast<uint16_t>(m.orders.size()));
    put_u16(out, static_cast<uint16_t>(m.restart_position));
    put_u16(out, static_cast<uint16_t>(m.channels));
    put_u16(out, static_cast<uint16_t>(m.patterns.size()));
    put_u16(out, static_cast<uint16_t>(m.instruments.size()));
    put_u16(out, m.linear_frequencies ? XM_FLAG_LINEAR : 0);
    put_u16(out, static_cast<uint16_t>(m.speed));
    put_u16(out, static_cast<uint16_t>(m.tempo));
    for (int i = 0; i < XM_ORDER_TABLE_SIZE; ++i)
        put_u8(out, i < static_cast<int>(m.orders.size()) ? m.orders[i] : 0);
}

// One cell in packed form: a flag byte naming the non-zero fields, then
// those fields.  An empty cell is the lone flag byte 0x80.
void write_packed_cell(Bytes& out, const XmCell& c) {
    uint8_t flags = XM_PACK_FLAG;
    if (c.note) flags |= XM_PACK_NOTE;
    if (c.instrument) flags |= XM_PACK_INSTRUMENT;
    if (c.volume) flags |= XM_PACK_VOLUME;
    if (c.effect) flags |= XM_PACK_EFFECT;
    if (c.param) flags |= XM_PACK_PARAM;
    put_u8(out, flags);
    if (c.note) put_u8(out, c.note);
    if (c.instrument) put_u8(out, c.instrument);
    if (c.volume) put_u8(out, c.volume);
    if (c.effect) put_u8(out, c.effect);
    if (c.param) put_u8(out, c.param);
}

void write_pattern(Bytes& out, const XmPattern& p) {
    put_u32(out, XM_PATTERN_HEADER_SIZE);
    put_u8(out, 0); // packing type
    put_u16(out, static_cast<uint16_t>(p.rows));
    size_t size_at = out.size();
    put_u16(out, 0);
    size_t data_start = out.size();
    for (const XmCell& c : p.cells)
        write_packed_cell(out, c);
    set_u16(out, size_at, static_cast<uint16_t>(out.size() - data_start));
}

void write_envelope_points(Bytes& out, const XmEnvelope& env) {
    for (int i = 0; i < XM_MAX_ENVELOPE_POINTS; ++i) {
        bool used = i < static_cast<int>(env.points.size());
        put_u16(out, used ? env.points[i].tick : 0);
        put_u16(out, used ? env.points[i].value : 0);
    }
}

uint8_t envelope_type(const XmEnvelope& env) {
    uint8_t type = 0;
    if (env.enabled) type |= XM_ENVELOPE_ON;
    if (env.sustain) type |= XM_ENVELOPE_SUSTAIN;
    if (env.loop) type |= XM_ENVELOPE_LOOP;
    return type;
}

size_t sample_bytes_per_frame(const XmSample& s) {
    return s.eight_bit ? 1 : 2;
}

void write_sample_header(Bytes& out, const XmSample& s) {
    uint32_t unit = static_cast<uint32_t>(sample_bytes_per_frame(s));
    bool looped = s.loop_type != XM_LOOP_NONE && s.loop_length > 0;
    put_u32(out, static_cast<uint32_t>(s.data.size()) * unit);
    put_u32(out, looped ? s.loop_start * unit : 0);
    put_u32(out, looped ? s.loop_length * unit : 0);
    put_u8(out, s.volume);
    put_u8(out, static_cast<uint8_t>(s.finetune));
    put_u8(out, static_cast<uint8_t>((looped ? s.loop_type : XM_LOOP_NONE) |
                                     (s.eight_bit ? 0 : XM_SAMPLE_16BIT)));
    put_u8(out, s.panning);
    put_u8(out, static_cast<uint8_t>(s.relative_note));
    put_u8(out, 0); // delta packing
    put_text(out, s.name, XM_SAMPLE_NAME_LENGTH);
}

// Sample data is stored as differences between successive values.
void write_sample_data(Bytes& out, const XmSample& s) {
    if (s.eight_bit) {
        int8_t previous = 0;
        for (int16_t v : s.data) {
            int8_t value = static_cast<int8_t>(v >> 8);
            put_u8(out, static_cast<uint8_t>(value - previous));
            previous = value;
        }
        return;
    }
    int16_t previous = 0;
    for (int16_t v : s.data) {
        put_u16(out,
                static_cast<uint16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(previous)));
        previous = v;
    }
}

void write_instrument(Bytes& out, const XmInstrument& ins) {
    size_t start = out.size();
    put_u32(out, XM_INSTRUMENT_HEADER_SIZE);
    put_text(out, ins.name, XM_INSTRUMENT_NAME_LENGTH);
    put_u8(out, 0); // instrument type
    put_u16(out, static_cast<uint16_t>(ins.samples.size()));
    put_u32(out, XM_SAMPLE_HEADER_SIZE);
    for (int i = 0; i < XM_NOTE_COUNT; ++i)
        put_u8(out, ins.note_sample[i]);
    write_envelope_points(out, ins.volume_envelope);
    write_envelope_points(out, ins.panning_envelope);
    put_u8(out, static_cast<uint8_t>(ins.volume_envelope.points.size()));
    put_u8(out, static_cast<uint8_t>(ins.panning_envelope.points.size()));
    for (const XmEnvelope* env : {&ins.volume_envelope, &ins.panning_envelope}) {
        put_u8(out, env->sustain_point);
        put_u8(out, env->loop_start);
        put_u8(out, env->loop_end);
    }
    put_u8(out, envelope_type(ins.volume_envelope));
    put_u8(out, envelope_type(ins.panning_envelope));
    put_u8(out, ins.vibrato_type);
    put_u8(out, ins.vibrato_sweep);
    put_u8(out, ins.vibrato_depth);
    put_u8(out, ins.vibrato_rate);
    put_u16(out, ins.fadeout);
    put_zeros(out, XM_INSTRUMENT_HEADER_SIZE - (out.size() - start));
    for (const XmSample& s : ins.samples)
        write_sample_header(out, s);
    for (const XmSample& s : ins.samples)
        write_sample_data(out, s);
}

} // namespace

XmPattern xm_empty_pattern(int rows, int channels) {
    XmPattern p;
    p.rows = rows;
    p.cells.resize(static_cast<size_t>(rows) * static_cast<size_t>(channels));
    return p;
}

XmCell& xm_cell(XmPattern& pattern, int channels, int row, int channel) {
    return pattern.cells[static_cast<size_t>(row) * static_cast<size_t>(channels) +
                         static_cast<size_t>(channel)];
}

std::vector<uint8_t> xm_write_memory(const XmModule& module) {
    Bytes out;
    if (!module_valid(module)) return out;
    write_module_header(out, module);
    for (const XmPattern& p : module.patterns)
        write_pattern(out, p);
    for (const XmInstrument& ins : module.instruments)
        write_instrument(out, ins);
    return out;
}

bool xm_write_file(const XmModule& module, const char* path) {
    Bytes bytes = xm_write_memory(module);
    if (bytes.empty()) return false;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}
