#include "support/show_data.h"

#include <cstring>
#include <filesystem>
#include <vector>

#include "assets/texture_set.h"
#include "bmp_builder.h"
#include "support/test_support.h"
#include "xm_writer.h"

namespace {

constexpr int PICTURE_SIZE = 16;
constexpr int CHECK_SIZE = 4;
constexpr int MODULE_CHANNELS = 4;
constexpr int MODULE_ROWS = 64;
constexpr int ROWS_PER_BEAT = 4; // 120 ms a row at speed 6, 125 BPM
constexpr uint8_t NOTE_C4 = 49;
// The beat: 25 periods of 16 samples, about 48 ms at C-4 (8363 Hz).
constexpr int BEAT_PERIOD = 16;
constexpr int BEAT_PERIODS = 25;

// Two colours per slot, spread over the colour cube so that slots differ.
uint32_t slot_colour(int slot, int which) {
    uint32_t r = static_cast<uint32_t>((slot * 67 + which * 128) & 0xFF);
    uint32_t g = static_cast<uint32_t>((slot * 151 + 40) & 0xFF);
    uint32_t b = static_cast<uint32_t>((slot * 29 + which * 90 + 100) & 0xFF);
    return (r << 16) | (g << 8) | b;
}

std::vector<uint8_t> picture(int slot) {
    BmpLayout layout = {};
    layout.width = PICTURE_SIZE;
    layout.height = PICTURE_SIZE;
    layout.bits = 24;
    layout.file_header = true;
    std::vector<uint32_t> values;
    for (int y = 0; y < PICTURE_SIZE; ++y)
        for (int x = 0; x < PICTURE_SIZE; ++x)
            values.push_back(slot_colour(slot, (x / CHECK_SIZE + y / CHECK_SIZE) % 2));
    return bmp_build(layout, {}, bmp_pack_direct(24, PICTURE_SIZE, PICTURE_SIZE, values));
}

// A square wave: looped for the quiet bass, a short burst for the beat, so
// that each beat starts after silence and its onset shows in the audio.
XmInstrument square(const char* name, int period, int periods, bool looped) {
    XmInstrument ins;
    ins.name = name;
    XmSample s;
    s.name = name;
    for (int i = 0; i < period * periods; ++i)
        s.data.push_back(i % period < period / 2 ? 9000 : -9000);
    if (looped) {
        s.loop_type = XM_LOOP_FORWARD;
        s.loop_length = static_cast<uint32_t>(period);
    }
    ins.samples.push_back(s);
    return ins;
}

// Instrument 2 alone, on every fourth row; instrument 1 exists but stays
// silent, so that instrument 2 is the second.
XmModule module() {
    XmModule m;
    m.name = "stand-in";
    m.channels = MODULE_CHANNELS;
    m.orders = {0};
    m.patterns.push_back(xm_empty_pattern(MODULE_ROWS, MODULE_CHANNELS));
    m.instruments.push_back(square("bass", 64, 1, true));
    m.instruments.push_back(square("beat", BEAT_PERIOD, BEAT_PERIODS, false));
    for (int row = 0; row < MODULE_ROWS; row += ROWS_PER_BEAT) {
        XmCell& cell = xm_cell(m.patterns[0], MODULE_CHANNELS, row, 0);
        cell.note = NOTE_C4;
        cell.instrument = 2;
    }
    return m;
}

} // namespace

bool show_data_write(const std::string& dir) {
    std::string data = dir + "/data";
    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (error) return false;
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        const char* name = strchr(TEXTURE_FILES[slot], '/') + 1;
        std::vector<uint8_t> bytes = picture(slot);
        if (!write_file(data + "/" + name, bytes.data(), bytes.size())) return false;
    }
    return xm_write_file(module(), (data + "/Kvadrat2.xm").c_str());
}
