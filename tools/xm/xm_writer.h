// Writes FastTracker II extended modules (XM, version 0x0104).  Used by the
// soundtrack composer and by tests that need modules with known notes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint8_t XM_NOTE_NONE = 0;
constexpr uint8_t XM_NOTE_OFF = 97; // key-off
constexpr int XM_MAX_CHANNELS = 32;

// One pattern cell.  note: 1..96 (1 = C-0), XM_NOTE_OFF or XM_NOTE_NONE;
// instrument: 1-based, 0 = none; volume: the volume-column byte (0 = empty,
// 0x10..0x50 set volume, 0xF0.. tone portamento, ...); effect and param as
// in the XM effect column (effect 0x0E with param 0xDx is a note delay).
struct XmCell {
    uint8_t note = XM_NOTE_NONE;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;             // 1..256
    std::vector<XmCell> cells; // rows x channels, row-major
};

struct XmEnvelopePoint {
    uint16_t tick = 0;
    uint16_t value = 0; // 0..64
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // at most 12
    bool enabled = false;
    bool sustain = false;
    bool loop = false;
    uint8_t sustain_point = 0;
    uint8_t loop_start = 0;
    uint8_t loop_end = 0;
};

constexpr uint8_t XM_LOOP_NONE = 0;
constexpr uint8_t XM_LOOP_FORWARD = 1;
constexpr uint8_t XM_LOOP_PINGPONG = 2;

struct XmSample {
    std::string name;
    std::vector<int16_t> data; // PCM; written as 16-bit unless eight_bit
    bool eight_bit = false;    // write as 8-bit (each value >> 8)
    uint32_t loop_start = 0;   // in sample frames
    uint32_t loop_length = 0;  // in sample frames; 0 = no loop
    uint8_t loop_type = XM_LOOP_NONE;
    uint8_t volume = 64;   // 0..64
    int8_t finetune = 0;   // -128..127
    uint8_t panning = 128; // 0..255
    int8_t relative_note = 0;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples; // at most 16; empty = silent instrument
    uint8_t note_sample[96] = {};  // sample index for each note
    XmEnvelope volume_envelope;
    XmEnvelope panning_envelope;
    uint16_t fadeout = 0;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
};

struct XmModule {
    std::string name;
    std::string tracker = "Vintermoot XM writer";
    int channels = 8; // even, 2..32
    int restart_position = 0;
    bool linear_frequencies = true;
    int speed = 6;  // ticks per row
    int tempo = 125; // BPM
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// A pattern of `rows` empty rows for `channels` channels.
XmPattern xm_empty_pattern(int rows, int channels);

// Cell at (row, channel) of a pattern of a module with `channels` channels.
XmCell& xm_cell(XmPattern& pattern, int channels, int row, int channel);

// Serialises the module.  Returns an empty vector when it is invalid (no
// orders, a bad pattern size, too many channels or instruments).
std::vector<uint8_t> xm_write_memory(const XmModule& module);

// Writes the module to a file; false on an invalid module or an I/O error.
bool xm_write_file(const XmModule& module, const char* path);
