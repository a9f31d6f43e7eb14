#include "show_test_data.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "assets/texture_set.h"
#include "bmp_builder.h"
#include "xm_writer.h"

namespace {

constexpr int PICTURE_SIZE = 32; // every stand-in picture is 32 x 32, 24 bits

// The module: one pattern of 64 rows, instrument 1 a soft pad on every
// eighth row, instrument 2 (the beat instrument) a short square note on
// every fourth row.  Speed 6 at 125 BPM: 120 ms a row, 7.68 s a pattern.
constexpr int MODULE_CHANNELS = 4;
constexpr int MODULE_ROWS = 64;
constexpr int BEAT_EVERY = 4;
constexpr int PAD_EVERY = 8;
constexpr uint8_t NOTE_C4 = 49;
constexpr int SAMPLE_FRAMES = 64;
constexpr int16_t SAMPLE_LEVEL = 12000;

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A diagonal gradient between two colours taken from the slot number, with a
// bright cross so that motion shows.
std::vector<uint8_t> picture_for_slot(int slot) {
    std::vector<uint32_t> values;
    uint32_t a = (static_cast<uint32_t>(slot) * 2654435761u) & 0xFFFFFF;
    uint32_t b = ~a & 0xFFFFFF;
    for (int y = 0; y < PICTURE_SIZE; ++y) {
        for (int x = 0; x < PICTURE_SIZE; ++x) {
            uint32_t value = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
                int c = ca + (cb - ca) * (x + y) / (2 * PICTURE_SIZE - 2);
                value |= static_cast<uint32_t>(c) << shift;
            }
            if (x == PICTURE_SIZE / 2 || y == PICTURE_SIZE / 2) value = 0xFFFFFF;
            values.push_back(value);
        }
    }
    BmpLayout layout{PICTURE_SIZE, PICTURE_SIZE, 24, 0, true, false, 0, 0, 0, 0};
    return bmp_build(layout, {}, bmp_pack_direct(24, PICTURE_SIZE, PICTURE_SIZE, values));
}

XmInstrument instrument(const char* name, bool square) {
    XmInstrument ins;
    ins.name = name;
    XmSample sample;
    sample.name = name;
    for (int i = 0; i < SAMPLE_FRAMES; ++i) {
        double phase = 2.0 * M_PI * i / SAMPLE_FRAMES;
        double v = square ? (i < SAMPLE_FRAMES / 2 ? 1.0 : -1.0) : std::sin(phase);
        sample.data.push_back(static_cast<int16_t>(v * SAMPLE_LEVEL));
    }
    sample.loop_start = 0;
    sample.loop_length = SAMPLE_FRAMES;
    sample.loop_type = XM_LOOP_FORWARD;
    ins.samples.push_back(sample);
    ins.volume_envelope.enabled = true;
    ins.volume_envelope.points = {{0, 64}, {square ? uint16_t(8) : uint16_t(40), 0}};
    return ins;
}

XmModule stand_in_module() {
    XmModule m;
    m.name = "stand-in";
    m.channels = MODULE_CHANNELS;
    m.orders = {0};
    m.patterns.push_back(xm_empty_pattern(MODULE_ROWS, MODULE_CHANNELS));
    m.instruments = {instrument("pad", false), instrument("beat", true)};
    for (int row = 0; row < MODULE_ROWS; ++row) {
        if (row % PAD_EVERY == 0)
            xm_cell(m.patterns[0], m.channels, row,
                    0) = {static_cast<uint8_t>(NOTE_C4 - 12 + (row / PAD_EVERY) % 5), 1, 0, 0, 0};
        if (row % BEAT_EVERY == 0)
            xm_cell(m.patterns[0], m.channels, row, 1) = {NOTE_C4, 2, 0, 0, 0};
    }
    return m;
}

std::string data_dir(const std::string& dir) {
    std::string path = dir + "/data";
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return path;
}

} // namespace

std::string show_test_picture_path(const std::string& dir, int slot) {
    // The table names "Data/..."; the directory on disk is "data".
    return dir + "/data/" + std::string(TEXTURE_FILES[slot]).substr(5);
}

bool show_test_pictures_write(const std::string& dir) {
    data_dir(dir);
    bool ok = true;
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot)
        ok = write_bytes(show_test_picture_path(dir, slot), picture_for_slot(slot)) && ok;
    return ok;
}

bool show_test_module_write(const std::string& dir) {
    std::string path = data_dir(dir) + "/Kvadrat2.xm";
    return xm_write_file(stand_in_module(), path.c_str());
}

bool show_test_data_write(const std::string& dir) {
    return show_test_pictures_write(dir) && show_test_module_write(dir);
}
