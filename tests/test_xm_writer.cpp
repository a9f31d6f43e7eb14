#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstring>
#include <string>

#include "support/test_support.h"
#include "xm_writer.h"

namespace {

constexpr int CHANNELS = 4;

// A short looped sine wave of `frames` frames.
XmSample sine_sample(const char* name, int frames, bool eight_bit) {
    XmSample s;
    s.name = name;
    s.eight_bit = eight_bit;
    for (int i = 0; i < frames; ++i)
        s.data.push_back(static_cast<int16_t>(20000.0 * std::sin(i * 2.0 * M_PI / frames)));
    s.loop_type = XM_LOOP_FORWARD;
    s.loop_start = 0;
    s.loop_length = static_cast<uint32_t>(frames);
    return s;
}

XmInstrument instrument(const char* name, bool eight_bit) {
    XmInstrument ins;
    ins.name = name;
    ins.samples.push_back(sine_sample(name, 64, eight_bit));
    ins.volume_envelope.points = {{0, 64}, {10, 40}, {40, 0}};
    ins.volume_envelope.enabled = true;
    ins.volume_envelope.sustain = true;
    ins.volume_envelope.sustain_point = 1;
    ins.panning_envelope.points = {{0, 0}, {20, 64}};
    ins.panning_envelope.enabled = true;
    ins.panning_envelope.loop = true;
    ins.panning_envelope.loop_start = 0;
    ins.panning_envelope.loop_end = 1;
    ins.fadeout = 512;
    return ins;
}

// Two patterns of 32 and 16 rows played in the order 0, 1, 0.
XmModule two_pattern_module() {
    XmModule m;
    m.name = "writer test";
    m.channels = CHANNELS;
    m.speed = 6;
    m.tempo = 125;
    m.orders = {0, 1, 0};
    m.restart_position = 1;
    m.patterns.push_back(xm_empty_pattern(32, CHANNELS));
    m.patterns.push_back(xm_empty_pattern(16, CHANNELS));
    xm_cell(m.patterns[0], CHANNELS, 0, 0) = {49, 1, 0x40, 0, 0};
    xm_cell(m.patterns[0], CHANNELS, 4, 3) = {61, 2, 0, 0x0E, 0xD3};
    xm_cell(m.patterns[1], CHANNELS, 8, 1) = {XM_NOTE_OFF, 0, 0, 0, 0};
    m.instruments.push_back(instrument("lead eight", true));
    m.instruments.push_back(instrument("bass sixteen", false));
    return m;
}

// Messages libopenmpt logged while loading the last module.
std::string load_log;

void log_message(const char* message, void*) {
    load_log += message;
    load_log += "\n";
}

openmpt_module* load(const std::vector<uint8_t>& bytes) {
    load_log.clear();
    return openmpt_module_create_from_memory2(bytes.data(), bytes.size(), log_message, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::string instrument_name(openmpt_module* mod, int index) {
    const char* name = openmpt_module_get_instrument_name(mod, index);
    std::string s = name ? name : "";
    openmpt_free_string(name);
    return s;
}

uint8_t command(openmpt_module* mod, int pattern, int row, int channel, int what) {
    return openmpt_module_get_pattern_row_channel_command(mod, pattern, row, channel, what);
}

TEST(XmWriter, LibopenmptLoadsTheModuleAsWritten) {
    std::vector<uint8_t> bytes = xm_write_memory(two_pattern_module());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(0, std::memcmp(bytes.data(), "Extended Module: writer test", 28));
    openmpt_module* mod = load(bytes);
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(load_log, "");
    EXPECT_EQ(openmpt_module_get_num_channels(mod), CHANNELS);
    EXPECT_EQ(openmpt_module_get_num_patterns(mod), 2);
    EXPECT_EQ(openmpt_module_get_num_orders(mod), 3);
    EXPECT_EQ(openmpt_module_get_order_pattern(mod, 1), 1);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 0), 32);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod, 1), 16);
    EXPECT_EQ(openmpt_module_get_num_instruments(mod), 2);
    EXPECT_EQ(instrument_name(mod, 0), "lead eight");
    EXPECT_EQ(instrument_name(mod, 1), "bass sixteen");
    // 80 rows of 6 ticks at 125 BPM (20 ms a tick).
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod), 80 * 0.12, 1e-6);
    EXPECT_EQ(openmpt_module_get_current_speed(mod), 6);
    EXPECT_EQ(openmpt_module_get_current_tempo(mod), 125);
    openmpt_module_destroy(mod);
}

TEST(XmWriter, PackedCellsKeepNotesInstrumentsAndEffects) {
    openmpt_module* mod = load(xm_write_memory(two_pattern_module()));
    ASSERT_NE(mod, nullptr);
    // The library numbers notes one octave above the file (C-4 of the file
    // reads as C-5) and keeps instruments as written.
    EXPECT_EQ(command(mod, 0, 0, 0, OPENMPT_MODULE_COMMAND_NOTE), 49 + 12);
    EXPECT_EQ(command(mod, 0, 0, 0, OPENMPT_MODULE_COMMAND_INSTRUMENT), 1);
    EXPECT_EQ(command(mod, 0, 0, 0, OPENMPT_MODULE_COMMAND_VOLUME), 0x30);
    EXPECT_EQ(command(mod, 0, 4, 3, OPENMPT_MODULE_COMMAND_NOTE), 61 + 12);
    EXPECT_EQ(command(mod, 0, 4, 3, OPENMPT_MODULE_COMMAND_INSTRUMENT), 2);
    EXPECT_EQ(command(mod, 0, 4, 3, OPENMPT_MODULE_COMMAND_PARAMETER), 0xD3);
    EXPECT_EQ(command(mod, 0, 1, 0, OPENMPT_MODULE_COMMAND_NOTE), 0);
    EXPECT_EQ(command(mod, 1, 8, 2, OPENMPT_MODULE_COMMAND_NOTE), 0);
    EXPECT_NE(command(mod, 1, 8, 1, OPENMPT_MODULE_COMMAND_NOTE), 0);
    openmpt_module_destroy(mod);
}

TEST(XmWriter, ModuleRestartsFromItsRestartPosition) {
    openmpt_module* mod = load(xm_write_memory(two_pattern_module()));
    ASSERT_NE(mod, nullptr);
    openmpt_module_set_repeat_count(mod, -1);
    std::vector<int16_t> buffer(2 * 4410);
    // Play through the whole module (9.6 s) and 0.5 s more.
    for (int i = 0; i < 101; ++i)
        openmpt_module_read_interleaved_stereo(mod, 44100, 4410, buffer.data());
    EXPECT_EQ(openmpt_module_get_current_order(mod), 1);
    openmpt_module_destroy(mod);
}

TEST(XmWriter, SampleDataIsDeltaCoded) {
    XmModule m = two_pattern_module();
    XmSample& s16 = m.instruments[1].samples[0];
    s16.data = {100, -200, 32767, -32768, 0};
    s16.loop_type = XM_LOOP_NONE;
    std::vector<uint8_t> bytes = xm_write_memory(m);
    ASSERT_GE(bytes.size(), 10u);
    // The last sample's data ends the file: decode its deltas back.
    const uint8_t* p = bytes.data() + bytes.size() - 10;
    int16_t value = 0;
    for (size_t i = 0; i < s16.data.size(); ++i) {
        uint16_t delta = static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        value = static_cast<int16_t>(static_cast<uint16_t>(value) + delta);
        EXPECT_EQ(value, s16.data[i]) << i;
    }
    // Eight-bit data keeps the high byte of each value, also as deltas.
    m.instruments.pop_back();
    XmSample& s8 = m.instruments[0].samples[0];
    s8.data = {0x1000, -0x2000, 0x7F00, -0x8000};
    s8.loop_type = XM_LOOP_NONE;
    bytes = xm_write_memory(m);
    p = bytes.data() + bytes.size() - 4;
    int8_t v8 = 0;
    for (size_t i = 0; i < s8.data.size(); ++i) {
        v8 = static_cast<int8_t>(v8 + static_cast<int8_t>(p[i]));
        EXPECT_EQ(v8, s8.data[i] >> 8) << i;
    }
}

TEST(XmWriter, RenderedNotesAreAudible) {
    openmpt_module* mod = load(xm_write_memory(two_pattern_module()));
    ASSERT_NE(mod, nullptr);
    std::vector<int16_t> buffer(2 * 4410);
    openmpt_module_read_interleaved_stereo(mod, 44100, 4410, buffer.data());
    int peak = 0;
    for (int16_t v : buffer)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GT(peak, 1000);
    openmpt_module_destroy(mod);
}

TEST(XmWriter, InvalidModulesAreRefused) {
    XmModule m = two_pattern_module();
    m.orders.clear();
    EXPECT_TRUE(xm_write_memory(m).empty());
    m = two_pattern_module();
    m.orders.push_back(7); // no such pattern
    EXPECT_TRUE(xm_write_memory(m).empty());
    m = two_pattern_module();
    m.channels = 34;
    EXPECT_TRUE(xm_write_memory(m).empty());
    m = two_pattern_module();
    m.patterns[1].cells.pop_back();
    EXPECT_TRUE(xm_write_memory(m).empty());
    m = two_pattern_module();
    m.restart_position = 3;
    EXPECT_TRUE(xm_write_memory(m).empty());
    m = two_pattern_module();
    m.instruments[0].volume_envelope.points.assign(13, XmEnvelopePoint{});
    EXPECT_TRUE(xm_write_memory(m).empty());
    EXPECT_FALSE(xm_write_file(m, "/nonexistent-dir/x.xm"));
}

TEST(XmWriter, FileMatchesMemoryImage) {
    std::string dir = temp_dir_make("xm_writer");
    std::string path = dir + "/t.xm";
    XmModule m = two_pattern_module();
    ASSERT_TRUE(xm_write_file(m, path.c_str()));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> read(1 << 16);
    read.resize(std::fread(read.data(), 1, read.size(), f));
    std::fclose(f);
    EXPECT_EQ(read, xm_write_memory(m));
    temp_dir_remove(dir);
}

} // namespace
