#include "show_test_data.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "assets/texture_set.h"
#include "bmp_builder.h"
#include "xm_writer.h"

namespace {

constexpr int PICTURE_SIZE = 16; // every stand-in picture is 16 x 16, 24 bits
constexpr int CHECK_SIZE = 4;

// The module: one pattern of 64 rows at speed 6 and 125 BPM (120 ms a row),
// instrument 2 (the beat instrument) alone, a short square burst on every
// fourth row, so that each beat starts after silence and its onset shows in
// the audio; instrument 1 exists but stays silent.
constexpr int MODULE_CHANNELS = 4;
constexpr int MODULE_ROWS = 64;
constexpr int ROWS_PER_BEAT = SHOW_TEST_BEAT_MS / 120;
constexpr uint8_t NOTE_C4 = 49;
// The burst: 25 periods of 16 samples, about 48 ms at C-4 (8363 Hz).
constexpr int BEAT_PERIOD = 16;
constexpr int BEAT_PERIODS = 25;
constexpr int BASS_PERIOD = 64;
constexpr int16_t SAMPLE_LEVEL = 9000;

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Two colours per slot, spread over the colour cube so that slots differ.
uint32_t slot_colour(int slot, int which) {
    uint32_t r = static_cast<uint32_t>((slot * 67 + which * 128) & 0xFF);
    uint32_t g = static_cast<uint32_t>((slot * 151 + 40) & 0xFF);
    uint32_t b = static_cast<uint32_t>((slot * 29 + which * 90 + 100) & 0xFF);
    return (r << 16) | (g << 8) | b;
}

// A check of the slot's two colours in flat squares, so that a frame drawn
// at another offset still samples the same texels.
std::vector<uint8_t> picture_for_slot(int slot) {
    std::vector<uint32_t> values;
    for (int y = 0; y < PICTURE_SIZE; ++y)
        for (int x = 0; x < PICTURE_SIZE; ++x)
            values.push_back(slot_colour(slot, (x / CHECK_SIZE + y / CHECK_SIZE) % 2));
    BmpLayout layout{PICTURE_SIZE, PICTURE_SIZE, 24, 0, true, false, 0, 0, 0, 0};
    return bmp_build(layout, {}, bmp_pack_direct(24, PICTURE_SIZE, PICTURE_SIZE, values));
}

// A square wave: looped for the silent first instrument, a short burst for
// the beat.
XmInstrument square(const char* name, int period, int periods, bool looped) {
    XmInstrument ins;
    ins.name = name;
    XmSample sample;
    sample.name = name;
    for (int i = 0; i < period * periods; ++i)
        sample.data.push_back(i % period < period / 2 ? SAMPLE_LEVEL : -SAMPLE_LEVEL);
    if (looped) {
        sample.loop_type = XM_LOOP_FORWARD;
        sample.loop_length = static_cast<uint32_t>(period);
    }
    ins.samples.push_back(sample);
    return ins;
}

XmModule stand_in_module() {
    XmModule m;
    m.name = "stand-in";
    m.channels = MODULE_CHANNELS;
    m.orders = {0};
    m.patterns.push_back(xm_empty_pattern(MODULE_ROWS, MODULE_CHANNELS));
    m.instruments = {square("bass", BASS_PERIOD, 1, true),
                     square("beat", BEAT_PERIOD, BEAT_PERIODS, false)};
    for (int row = 0; row < MODULE_ROWS; row += ROWS_PER_BEAT)
        xm_cell(m.patterns[0], m.channels, row, 0) = {NOTE_C4, 2, 0, 0, 0};
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
