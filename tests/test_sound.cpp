#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "platform/sound_internal.h"
#include "support/test_support.h"
#include "xm_writer.h"

namespace {

constexpr int RATE = 44100;
constexpr int CHANNELS = 4;
constexpr int WATCHED = 2; // the instrument whose notes the show follows
// Speed 6 at 125 BPM: 882 frames (20 ms) a tick, 120 ms a row.
constexpr int TICK_FRAMES = 882;
constexpr int ROW_MS = 120;

// A one-sample instrument with a looped square wave, so notes are audible.
XmInstrument square_instrument(const char* name) {
    XmInstrument ins;
    ins.name = name;
    XmSample s;
    s.name = name;
    for (int i = 0; i < 32; ++i)
        s.data.push_back(i < 16 ? 12000 : -12000);
    s.loop_type = XM_LOOP_FORWARD;
    s.loop_length = 32;
    ins.samples.push_back(s);
    return ins;
}

// One pattern of `rows` empty rows, three instruments, speed 6, 125 BPM.
XmModule base_module(int rows) {
    XmModule m;
    m.name = "sound test";
    m.channels = CHANNELS;
    m.orders = {0};
    m.patterns.push_back(xm_empty_pattern(rows, CHANNELS));
    for (const char* name : {"one", "two", "three"})
        m.instruments.push_back(square_instrument(name));
    return m;
}

XmCell& cell(XmModule& m, int row, int channel, int pattern = 0) {
    return xm_cell(m.patterns[pattern], m.channels, row, channel);
}

constexpr uint8_t C4 = 49;

// Song time (ms) at which each note event was delivered.
std::vector<int64_t> delivered;
int64_t clock_now = 0;

void record_note(SndSong*, int) {
    delivered.push_back(clock_now);
}

// Whole ms at which a note sounding at `frame` is first due.
int64_t due_ms(int64_t frame) {
    return (frame * 1000 + RATE - 1) / RATE;
}

struct OfflineSound : ::testing::Test {
    std::string dir = temp_dir_make("sound");
    OfflineSound() {
        delivered.clear();
        EXPECT_TRUE(snd_offline_init(RATE, 32));
    }
    ~OfflineSound() override {
        snd_close();
        temp_dir_remove(dir);
    }
    std::string write(const XmModule& m, const char* name = "m.xm") {
        std::string path = dir + "/" + name;
        EXPECT_TRUE(xm_write_file(m, path.c_str()));
        return path;
    }
};

// Plays the song offline from 0 to `end_ms` in 1 ms steps, reading the clock
// at every step as a frame would; returns the times of the notes delivered.
std::vector<int64_t> play_offline(SndSong* song, int64_t end_ms) {
    delivered.clear();
    snd_set_inst_callback(song, record_note, WATCHED);
    snd_play_song(song);
    for (int64_t ms = 0; ms <= end_ms; ++ms) {
        snd_offline_advance_to(song, ms);
        clock_now = ms;
        EXPECT_EQ(snd_get_time(song), ms);
    }
    return delivered;
}

std::vector<int64_t> play_module(OfflineSound& t, const XmModule& m, int64_t end_ms) {
    SndSong* song = snd_load_song(t.write(m).c_str());
    std::vector<int64_t> times = play_offline(song, end_ms);
    snd_free_song(song);
    return times;
}

TEST_F(OfflineSound, NotesWithAndWithoutInstrumentNumber) {
    XmModule m = base_module(16);
    cell(m, 0, 0) = {C4, WATCHED, 0, 0, 0};
    cell(m, 2, 0) = {C4, 0, 0, 0, 0};          // channel remembers instrument 2
    cell(m, 4, 0) = {C4, 1, 0, 0, 0};          // another instrument
    cell(m, 5, 0) = {C4, 0, 0, 0, 0};          // ... remembered: no note of 2
    cell(m, 3, 1) = {0, WATCHED, 0, 0, 0};     // instrument number alone
    cell(m, 6, 1) = {C4 + 3, 0, 0, 0, 0};      // note without instrument: 2
    cell(m, 6, 2) = {C4, WATCHED, 0x40, 0, 0}; // two channels, same row
    cell(m, 9, 3) = {C4, 3, 0, 0, 0};
    std::vector<int64_t> expected = {0, 2 * ROW_MS, 6 * ROW_MS, 6 * ROW_MS};
    EXPECT_EQ(play_module(*this, m, 16 * ROW_MS - 1), expected);
}

TEST_F(OfflineSound, NoNotesForPortamentoKeyOffOrOtherInstruments) {
    XmModule m = base_module(16);
    cell(m, 0, 0) = {C4, WATCHED, 0, 0, 0};
    cell(m, 1, 0) = {C4 + 5, WATCHED, 0, 0x03, 0x20}; // 3xx
    cell(m, 2, 0) = {C4 + 7, 0, 0, 0x05, 0x01};       // 5xy
    cell(m, 3, 0) = {C4 + 2, WATCHED, 0xF4, 0, 0};    // volume column Fx
    cell(m, 4, 0) = {XM_NOTE_OFF, 0, 0, 0, 0};
    cell(m, 5, 0) = {XM_NOTE_OFF, WATCHED, 0, 0, 0};
    cell(m, 6, 0) = {0, 0, 0x30, 0x0A, 0x04}; // effects only
    cell(m, 7, 1) = {C4, 1, 0, 0, 0};
    cell(m, 8, 2) = {C4, 3, 0, 0x03, 0x10};
    cell(m, 10, 0) = {C4, 0, 0, 0, 0}; // a plain note again
    std::vector<int64_t> expected = {0, 10 * ROW_MS};
    EXPECT_EQ(play_module(*this, m, 16 * ROW_MS - 1), expected);
}

TEST_F(OfflineSound, NoteDelayMovesTheNoteToItsTick) {
    XmModule m = base_module(16);
    cell(m, 1, 0) = {C4, WATCHED, 0, 0x0E, 0xD3};
    cell(m, 4, 1) = {C4, 0, 0, 0x0E, 0xD5}; // channel has no instrument yet
    cell(m, 5, 1) = {C4, WATCHED, 0, 0x0E, 0xD0};
    cell(m, 7, 2) = {C4, WATCHED, 0, 0x0E, 0xD9}; // past the row's 6 ticks
    cell(m, 9, 3) = {C4, 0, 0, 0, 0};
    cell(m, 8, 3) = {0, WATCHED, 0, 0, 0};
    cell(m, 9, 3).effect = 0x0E;
    cell(m, 9, 3).param = 0xD1;
    std::vector<int64_t> expected = {due_ms(5292 + 3 * TICK_FRAMES), 5 * ROW_MS,
                                     due_ms(9 * 5292 + TICK_FRAMES)};
    EXPECT_EQ(play_module(*this, m, 16 * ROW_MS - 1), expected);
}

// The module in `bytes` (or in the file at `path`) opened by libopenmpt
// alone, without the sound layer.
openmpt_module* module_from_bytes(const std::vector<uint8_t>& bytes) {
    return openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr);
}

openmpt_module* module_from_file(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> bytes(1 << 16);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    return module_from_bytes(bytes);
}

// Frame at which each row starts, found by mixing one frame at a time with
// libopenmpt alone.
std::vector<int64_t> row_start_frames(const std::string& path, int rows) {
    openmpt_module* mod = module_from_file(path);
    std::vector<int64_t> starts;
    int last_row = -1;
    float frame[2];
    for (int64_t i = 0; static_cast<int>(starts.size()) < rows; ++i) {
        if (openmpt_module_read_interleaved_float_stereo(mod, RATE, 1, frame) == 0) break;
        int row = openmpt_module_get_current_row(mod);
        if (row != last_row) starts.push_back(i);
        last_row = row;
    }
    openmpt_module_destroy(mod);
    return starts;
}

TEST_F(OfflineSound, SpeedTempoAndPatternDelayFollowTheLibrary) {
    XmModule m = base_module(12);
    for (int row = 0; row < 12; ++row)
        cell(m, row, 0) = {C4, WATCHED, 0, 0, 0};
    cell(m, 1, 1) = {0, 0, 0, 0x0F, 0x03}; // speed 3
    cell(m, 3, 1) = {0, 0, 0, 0x0F, 0x61}; // 97 BPM: ticks of 1136.6 frames
    cell(m, 5, 1) = {0, 0, 0, 0x0E, 0xE2}; // row 5 lasts three times as long
    cell(m, 7, 1) = {0, 0, 0, 0x0F, 0xFF}; // 255 BPM: the shortest tick
    cell(m, 9, 1) = {0, 0, 0, 0x0F, 0x20}; // 32 BPM: the longest tick
    std::string path = write(m);
    std::vector<int64_t> starts = row_start_frames(path, 12);
    ASSERT_EQ(starts.size(), 12u);
    EXPECT_EQ(starts[6] - starts[5], 9 * snd_tick_frames(RATE, 97));
    std::vector<int64_t> expected;
    for (int64_t frame : starts)
        expected.push_back(due_ms(frame));
    SndSong* song = snd_load_song(path.c_str());
    EXPECT_EQ(play_offline(song, due_ms(starts[11])), expected);
    snd_free_song(song);
}

TEST_F(OfflineSound, LoopingKeepsTheClockRisingAndNotesComing) {
    // Two orders, 8 rows each; the song restarts at order 1.
    XmModule m = base_module(8);
    m.patterns.push_back(xm_empty_pattern(8, CHANNELS));
    m.orders = {0, 1};
    m.restart_position = 1;
    cell(m, 0, 0) = {C4, WATCHED, 0, 0, 0};
    cell(m, 4, 0, 1) = {C4, 0, 0, 0, 0}; // instrument remembered across the loop
    std::vector<int64_t> times = play_module(*this, m, 6000);
    // Order 0 once (0 ms), then order 1 (960 ms into each pass) over and over.
    std::vector<int64_t> expected = {0};
    for (int64_t t = 12 * ROW_MS; t <= 6000; t += 8 * ROW_MS)
        expected.push_back(t);
    EXPECT_EQ(times, expected);
}

TEST_F(OfflineSound, RunsAreRepeatableAndTheClockReadsTheCaptureTime) {
    XmModule m = base_module(16);
    for (int row = 0; row < 16; row += 3)
        cell(m, row, row % CHANNELS) = {C4, WATCHED, 0, 0, 0};
    std::string path = write(m);
    std::vector<int64_t> runs_times[2];
    std::vector<int16_t> runs_audio[2];
    for (int run = 0; run < 2; ++run) {
        delivered.clear();
        SndSong* song = snd_load_song(path.c_str());
        snd_set_inst_callback(song, record_note, WATCHED);
        snd_play_song(song);
        for (int n = 0; n < 180; ++n) { // three seconds of a 60 fps capture
            int64_t ms = n * 1000 / 60;
            snd_offline_advance_to(song, ms);
            clock_now = ms;
            ASSERT_EQ(snd_get_time(song), ms);
            int16_t buffer[2 * 2048];
            size_t got;
            while ((got = snd_offline_take_audio(song, buffer, 2048)) > 0)
                runs_audio[run].insert(runs_audio[run].end(), buffer, buffer + 2 * got);
            // The audio taken so far ends with the frame heard at `ms`.
            ASSERT_EQ(static_cast<int64_t>(runs_audio[run].size() / 2), ms * RATE / 1000 + 1);
        }
        runs_times[run] = delivered;
        snd_free_song(song);
    }
    EXPECT_EQ(runs_times[0].size(), 9u); // six in the first pass, three after the loop
    EXPECT_EQ(runs_times[0], runs_times[1]);
    EXPECT_TRUE(runs_audio[0] == runs_audio[1]);
    int peak = 0;
    for (int16_t v : runs_audio[0])
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GT(peak, 1000); // a module that loads plays
}

TEST_F(OfflineSound, UnreadableModuleGivesASilentClockAndOneLine) {
    std::string path = dir + "/broken.xm";
    ASSERT_TRUE(write_file(path, "not a module", 12));
    testing::internal::CaptureStderr();
    SndSong* song = snd_load_song(path.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(song, nullptr);
    EXPECT_NE(err.find(path), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_TRUE(play_offline(song, 500).empty());
    int16_t buffer[64];
    EXPECT_EQ(snd_offline_take_audio(song, buffer, 32), 0u);
    snd_free_song(song);
}

TEST_F(OfflineSound, WavFileHoldsTheRequestedRange) {
    XmModule m = base_module(16);
    cell(m, 0, 0) = {C4, WATCHED, 0, 0, 0};
    std::string module_path = write(m);
    std::string wav = dir + "/out.wav";
    ASSERT_TRUE(snd_render_wav(module_path.c_str(), wav.c_str(), 100, 600));
    FILE* f = std::fopen(wav.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(1 << 20);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    const uint32_t frames = 600 * 441 / 10 - 100 * 441 / 10;
    ASSERT_EQ(bytes.size(), 44 + 4 * frames);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 36, "data", 4));
    uint32_t data_size;
    std::memcpy(&data_size, bytes.data() + 40, 4);
    EXPECT_EQ(data_size, 4 * frames);
    // The same frames as offline mode hands out for that stretch.
    SndSong* song = snd_load_song(module_path.c_str());
    snd_play_song(song);
    snd_offline_advance_to(song, 600);
    std::vector<int16_t> all(2 * 30000);
    all.resize(2 * snd_offline_take_audio(song, all.data(), 30000));
    snd_free_song(song);
    ASSERT_GE(all.size(), 2u * 26460u);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 44, all.data() + 2 * 4410, 4 * frames));
    EXPECT_FALSE(snd_render_wav((dir + "/missing.xm").c_str(), wav.c_str(), 0, 100));
}

// Frame at which a looping module first goes back to an earlier order,
// found by mixing one frame at a time with libopenmpt alone; -1 when it
// does not within `max_frames`.
int64_t loop_frame(const std::string& path, int64_t max_frames) {
    openmpt_module* mod = module_from_file(path);
    openmpt_module_set_repeat_count(mod, -1);
    int64_t found = -1;
    int last_order = -1;
    float frame[2];
    for (int64_t i = 0; i < max_frames && found < 0; ++i) {
        openmpt_module_read_interleaved_float_stereo(mod, RATE, 1, frame);
        int order = openmpt_module_get_current_order(mod);
        if (order < last_order) found = i;
        last_order = order;
    }
    openmpt_module_destroy(mod);
    return found;
}

// Without an end the WAV file holds the first pass as the show's clock plays
// it: up to the frame at which the song loops at the mixing rate, not to
// libopenmpt's duration estimate (made at another rate).
TEST_F(OfflineSound, WavFileWithoutAnEndStopsWhereTheSongLoops) {
    // Three orders at 131 BPM (ticks of 841.6 frames, mixed as 841), a
    // pattern delay, a tempo change; the song restarts at order 1.
    XmModule m = base_module(16);
    m.tempo = 131;
    m.speed = 5;
    m.patterns.push_back(xm_empty_pattern(16, CHANNELS));
    m.patterns.push_back(xm_empty_pattern(12, CHANNELS));
    m.orders = {0, 1, 2};
    m.restart_position = 1;
    for (int p = 0; p < 3; ++p)
        cell(m, 0, 0, p) = {C4, WATCHED, 0, 0, 0};
    cell(m, 6, 1, 1) = {0, 0, 0, 0x0E, 0xE3}; // row 6 of order 1 lasts four times as long
    cell(m, 2, 1, 2) = {0, 0, 0, 0x0F, 0x59}; // 89 BPM from order 2
    std::string module_path = write(m);
    int64_t end = loop_frame(module_path, 30 * RATE);
    ASSERT_GT(end, 0);
    std::string wav = dir + "/pass.wav";
    ASSERT_TRUE(snd_render_wav(module_path.c_str(), wav.c_str(), 0, -1));
    FILE* f = std::fopen(wav.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(1 << 22);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    ASSERT_EQ(static_cast<int64_t>(bytes.size()), 44 + 4 * end);
    uint32_t data_size;
    std::memcpy(&data_size, bytes.data() + 40, 4);
    EXPECT_EQ(data_size, 4 * end);
    // The same frames as the looping song plays through offline mode, up to
    // the end of the pass and no further.
    SndSong* song = snd_load_song(module_path.c_str());
    snd_play_song(song);
    snd_offline_advance_to(song, end * 1000 / RATE + 100);
    std::vector<int16_t> all(2 * end);
    all.resize(2 * snd_offline_take_audio(song, all.data(), end));
    snd_free_song(song);
    ASSERT_EQ(static_cast<int64_t>(all.size()), 2 * end);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 44, all.data(), 4 * end));
    // A start within the pass keeps the same end.
    ASSERT_TRUE(snd_render_wav(module_path.c_str(), wav.c_str(), 1000, -1));
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(wav)), 44 + 4 * (end - RATE));
}

TEST(SoundCodes, PatternValuesMatchWhatTheLibraryReports) {
    XmModule m = base_module(8);
    cell(m, 0, 0) = {C4, 2, 0xF3, 0x03, 0x10};
    cell(m, 1, 0) = {XM_NOTE_OFF, 0, 0, 0x05, 0x01};
    cell(m, 2, 0) = {1, 0, 0, 0x0E, 0xD4};
    cell(m, 3, 0) = {96, 0, 0, 0x0F, 0x06};
    cell(m, 4, 0) = {0, 0, 0, 0x0F, 0x80};
    std::vector<uint8_t> bytes = xm_write_memory(m);
    openmpt_module* mod = module_from_bytes(bytes);
    ASSERT_NE(mod, nullptr);
    auto value = [mod](int row, int what) {
        return static_cast<int>(
            openmpt_module_get_pattern_row_channel_command(mod, 0, row, 0, what));
    };
    EXPECT_EQ(value(0, OPENMPT_MODULE_COMMAND_NOTE), C4 + SND_NOTE_OCTAVE_SHIFT);
    EXPECT_EQ(value(0, OPENMPT_MODULE_COMMAND_VOLUMEEFFECT), SND_VOLCMD_TONE_PORTAMENTO);
    EXPECT_EQ(value(0, OPENMPT_MODULE_COMMAND_EFFECT), SND_CMD_TONE_PORTAMENTO);
    EXPECT_EQ(value(1, OPENMPT_MODULE_COMMAND_NOTE), SND_NOTE_KEY_OFF);
    EXPECT_EQ(value(1, OPENMPT_MODULE_COMMAND_EFFECT), SND_CMD_TONE_PORTA_VOLUME);
    EXPECT_EQ(value(2, OPENMPT_MODULE_COMMAND_NOTE), SND_NOTE_FIRST + SND_NOTE_OCTAVE_SHIFT);
    EXPECT_EQ(value(2, OPENMPT_MODULE_COMMAND_EFFECT), SND_CMD_EXTENDED);
    EXPECT_EQ(value(2, OPENMPT_MODULE_COMMAND_PARAMETER), 0xD4);
    EXPECT_EQ(value(3, OPENMPT_MODULE_COMMAND_NOTE), 96 + SND_NOTE_OCTAVE_SHIFT);
    EXPECT_LE(96 + SND_NOTE_OCTAVE_SHIFT, SND_NOTE_LAST);
    EXPECT_EQ(value(3, OPENMPT_MODULE_COMMAND_EFFECT), SND_CMD_SPEED);
    EXPECT_EQ(value(4, OPENMPT_MODULE_COMMAND_EFFECT), SND_CMD_TEMPO);
    openmpt_module_destroy(mod);
}

TEST(SoundEvents, RingKeepsOrderAcrossItsEndAndRefusesWhenFull) {
    static SndEventQueue queue;
    snd_queue_clear(queue);
    int64_t frame = 0;
    for (int64_t round = 0; round < 3; ++round) {
        for (uint32_t i = 0; i < SND_EVENT_CAPACITY; ++i)
            ASSERT_TRUE(snd_queue_push(queue, i));
        EXPECT_FALSE(snd_queue_push(queue, -1));
        for (uint32_t i = 0; i < SND_EVENT_CAPACITY / 2; ++i) {
            ASSERT_TRUE(snd_queue_peek(queue, &frame));
            EXPECT_EQ(frame, static_cast<int64_t>(i));
            snd_queue_pop(queue);
        }
        for (uint32_t i = SND_EVENT_CAPACITY / 2; i < SND_EVENT_CAPACITY; ++i) {
            ASSERT_TRUE(snd_queue_peek(queue, &frame));
            snd_queue_pop(queue);
        }
        EXPECT_FALSE(snd_queue_peek(queue, &frame));
    }
    EXPECT_EQ(queue.dropped.load(), 3u);
}

TEST(SoundVersion, OlderLibraryIsRefused) {
    EXPECT_TRUE(snd_library_older(0x00060008, "0.6.9+release.autotools"));
    EXPECT_TRUE(snd_library_older(0x00050010, "0.6.9"));
    EXPECT_FALSE(snd_library_older(0x00060009, "0.6.9+release.autotools"));
    EXPECT_FALSE(snd_library_older(0x00070000, "0.6.9"));
    EXPECT_FALSE(snd_library_older(0x0006000A, "0.6.9"));
    EXPECT_FLOAT_EQ(snd_get_version(), SND_INTERFACE_VERSION);
}

// Live mode under SDL's dummy audio driver.
struct LiveSound : ::testing::Test {
    std::string dir = temp_dir_make("sound_live");
    LiveSound() { delivered.clear(); }
    ~LiveSound() override {
        snd_close();
        snd_set_audio_delay(0.0);
        temp_dir_remove(dir);
    }
    // Starts the output and loads a module of 64 rows with a watched note
    // on every row, written as `name` in the test's folder (null on failure).
    // `ahead`: loaded before the output opens, which is left closed.
    SndSong* load_watched_song(const char* name, bool ahead = false) {
        if (!ahead && !snd_init(RATE, 32, 2)) return nullptr;
        XmModule m = base_module(64);
        for (int row = 0; row < 64; ++row)
            cell(m, row, 0) = {C4, WATCHED, 0, 0, 0};
        std::string path = dir + "/" + name;
        if (!xm_write_file(m, path.c_str())) return nullptr;
        return ahead ? snd_load_song_ahead(path.c_str(), RATE) : snd_load_song(path.c_str());
    }
};

// Reads the clock every millisecond for `ms` of wall time; fails if it ever
// goes backwards.  Returns the last reading.
int64_t watch_clock(SndSong* song, int ms, int64_t previous) {
    for (int i = 0; i < ms; ++i) {
        int64_t now = snd_get_time(song);
        EXPECT_GE(now, previous);
        previous = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return previous;
}

// Reads the clock every millisecond until it reaches `ms`, as watch_clock
// does; the limit only ends a clock that never gets there (a stuck output:
// a busy machine may be slow, never that slow).  Returns the last reading.
int64_t clock_reaches(SndSong* song, int64_t ms, int64_t previous) {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (previous < ms && std::chrono::steady_clock::now() < give_up)
        previous = watch_clock(song, 1, previous);
    EXPECT_GE(previous, ms) << "the clock stood";
    return previous;
}

TEST_F(LiveSound, ClockRisesNotesArriveAndASecondInitChangesNothing) {
    SndSong* song = load_watched_song("live.xm");
    ASSERT_NE(song, nullptr);
    snd_set_inst_callback(song, record_note, WATCHED);
    ASSERT_TRUE(snd_play_song(song));
    int64_t t = clock_reaches(song, 1, 0);
    EXPECT_TRUE(snd_init(RATE, 32, 0)); // the show's second call
    t = clock_reaches(song, t + 150, t);
    // A note every row: one per 120 ms heard so far, the first at 0.
    EXPECT_EQ(static_cast<int64_t>(delivered.size()), t / ROW_MS + 1);
    EXPECT_TRUE(snd_free_song(song));
}

// A seek whose map cannot be made leaves the song playing where it was, its
// clock running on, and says so once; a good seek still works afterwards
// once the song can be mapped again.
// The page loads the song and walks its seek map before the viewer's click
// opens the output; then it plays from its start.
TEST_F(LiveSound, ASongLoadedAheadMapsItsNotesThenPlaysOnceTheOutputOpens) {
    SndSong* song = load_watched_song("ahead.xm", true);
    ASSERT_NE(song, nullptr);
    snd_set_inst_callback(song, record_note, WATCHED);
    snd_seek_map_prepare(song, WATCHED, 2000);
    while (!snd_seek_map_walk(song, 2000, 500)) {
    }
    ASSERT_TRUE(snd_replay_begin(song, -1, 1000));
    snd_deliver_notes(song, 1000);
    snd_replay_end(song);
    EXPECT_EQ(static_cast<int64_t>(delivered.size()), 1000 / ROW_MS + 1);
    delivered.clear();
    ASSERT_TRUE(snd_init(RATE, 32, 2));
    ASSERT_TRUE(snd_play_song(song));
    int64_t t = clock_reaches(song, 1, 0);
    EXPECT_EQ(static_cast<int64_t>(delivered.size()), t / ROW_MS + 1);
    snd_free_song(song);
}

TEST_F(LiveSound, AFailedSeekLeavesTheSongPlayingAndSaysSoOnce) {
    ASSERT_TRUE(snd_init(RATE, 32, 2));
    std::string path = dir + "/live.xm";
    ASSERT_TRUE(xm_write_file(base_module(64), path.c_str()));
    SndSong* song = snd_load_song(path.c_str());
    ASSERT_TRUE(snd_play_song(song));
    int64_t t = watch_clock(song, 100, 0);
    std::vector<uint8_t> file = song->file;
    song->file.assign(64, 0); // no map can be made of it
    SndSeekCounts before = snd_seek_counts();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(snd_seek(song, 2000));
    EXPECT_FALSE(snd_seek(song, 3000));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("cannot move the music"), std::string::npos) << err;
    EXPECT_EQ(snd_seek_counts().seeks - before.seeks, 2);
    EXPECT_EQ(snd_seek_counts().failed - before.failed, 2);
    clock_reaches(song, t + 100, t); // still playing, not cued
    EXPECT_FALSE(snd_play_cued(song));
    song->file = file;
    EXPECT_TRUE(snd_seek(song, 2000));
    EXPECT_EQ(snd_peek_time(song), 2000);
    EXPECT_TRUE(snd_free_song(song));
}

TEST_F(LiveSound, MissingModuleRunsOnTheWallClock) {
    ASSERT_TRUE(snd_init(RATE, 32, 2));
    std::string path = dir + "/Kvadrat2.xm";
    testing::internal::CaptureStderr();
    SndSong* song = snd_load_song(path.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(song, nullptr);
    EXPECT_NE(err.find(path), std::string::npos);
    snd_set_inst_callback(song, record_note, WATCHED);
    auto start = std::chrono::steady_clock::now();
    snd_play_song(song);
    int64_t t = watch_clock(song, 100, 0);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    EXPECT_GT(t, 0);
    EXPECT_LE(t, elapsed);
    EXPECT_TRUE(delivered.empty());
    snd_free_song(song);
}

// An output that plays nothing (the browser's that never starts): the song
// plays on from where its clock read on the wall clock (its device is
// paused), with its notes, no latency applied, and seeks as before.
TEST_F(LiveSound, SilentOutputPlaysOnTheWallClockWithItsNotes) {
    SndSong* song = load_watched_song("silent.xm");
    ASSERT_NE(song, nullptr);
    snd_set_inst_callback(song, record_note, WATCHED);
    snd_set_audio_delay(200.0);
    ASSERT_TRUE(snd_play_song(song));
    int64_t t = watch_clock(song, 300, 0);
    snd_play_silently();
    t = watch_clock(song, 300, t);
    EXPECT_GT(t, 150);
    EXPECT_EQ(snd_latency_ms(song), 0.0);
    EXPECT_EQ(static_cast<int64_t>(delivered.size()), t / ROW_MS + 1);
    delivered.clear();
    const int64_t SEEK_MS = 3000;
    ASSERT_TRUE(snd_seek(song, SEEK_MS));
    ASSERT_TRUE(snd_play_cued(song));
    t = watch_clock(song, 200, SEEK_MS);
    EXPECT_GT(t, SEEK_MS);
    EXPECT_EQ(static_cast<int64_t>(delivered.size()), t / ROW_MS - SEEK_MS / ROW_MS);
    snd_free_song(song);
}

// Song times of the notes delivered live.
std::vector<double> live_note_ms;
void record_live_note(SndSong* song, int) {
    live_note_ms.push_back(snd_note_time_ms(song));
}

// The dummy driver reports no latency: the clock applies the manual
// correction alone, never less than 0, and the notes still come at their own
// song times, only later.
TEST_F(LiveSound, AudioDelayHoldsTheClockBackButNotTheNotes) {
    live_note_ms.clear();
    SndSong* song = load_watched_song("delay.xm");
    ASSERT_NE(song, nullptr);
    snd_set_inst_callback(song, record_live_note, WATCHED);
    const double DELAY_MS = 200.0;
    snd_set_audio_delay(DELAY_MS);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(snd_play_song(song));
    int64_t t = watch_clock(song, 200, 0);
    EXPECT_DOUBLE_EQ(snd_latency_ms(song), DELAY_MS);
    t = clock_reaches(song, 1, watch_clock(song, 400, t));
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    // What was handed over never runs ahead of the wall clock since play by
    // more than the readings' rounding and the clock's extrapolation from
    // the callback's own wall time (a few milliseconds).
    EXPECT_LE(t, elapsed - static_cast<int64_t>(DELAY_MS) + 5);
    EXPECT_EQ(static_cast<int64_t>(live_note_ms.size()), t / ROW_MS + 1);
    for (size_t i = 0; i < live_note_ms.size(); ++i)
        EXPECT_EQ(live_note_ms[i], static_cast<double>(i * ROW_MS)) << i;
    // Below 0 in total, the clock is not moved ahead of the audio.
    snd_set_audio_delay(-DELAY_MS);
    snd_get_time(song);
    EXPECT_EQ(snd_latency_ms(song), 0.0);
    snd_set_audio_delay(std::nan(""));
    EXPECT_EQ(snd_audio_delay(), 0.0);
    snd_free_song(song);
}

// An output that starts late (the browser's, after the page went silent):
// the music is heard from where the clock reads, the clock goes on from
// there without a jump (standing while the output's latency passes), and
// every note comes once, in order.
TEST_F(LiveSound, ALateOutputJoinsInWhereTheClockReads) {
    SndSong* song = load_watched_song("late.xm");
    ASSERT_NE(song, nullptr);
    live_note_ms.clear();
    snd_set_inst_callback(song, record_live_note, WATCHED);
    snd_set_audio_delay(50.0);
    ASSERT_TRUE(snd_play_song(song));
    snd_play_silently();
    int64_t t = clock_reaches(song, 5 * ROW_MS / 2, 0);
    auto before = std::chrono::steady_clock::now();
    t = snd_get_time(song);
    snd_play_aloud();
    int64_t joined = snd_get_time(song);
    int64_t passed = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - before)
                         .count();
    EXPECT_GE(joined, t);
    EXPECT_LE(joined, t + passed + 1);
    snd_play_aloud(); // a second call changes nothing
    // The output's own figures move the clock on (its latency applied).
    t = clock_reaches(song, joined + 1, joined);
    EXPECT_TRUE(song->clock_published.load());
    EXPECT_DOUBLE_EQ(snd_latency_ms(song), 50.0);
    t = clock_reaches(song, t + 2 * ROW_MS, t);
    ASSERT_EQ(static_cast<int64_t>(live_note_ms.size()), t / ROW_MS + 1);
    for (size_t i = 0; i < live_note_ms.size(); ++i)
        EXPECT_EQ(live_note_ms[i], static_cast<double>(i * ROW_MS)) << i;
    snd_free_song(song);
}

TEST(SoundLatency, AlsaStatusGivesTheDelayOfOurRunningStream) {
    const char* running = "state: RUNNING\nowner_pid   : 4242\ntrigger_time: 1.5\n"
                          "delay       : 1764\navail       : 300\n";
    struct Case {
        const char* text;
        long pid;
        bool found;
        int64_t delay;
    };
    const Case cases[] = {
        {running, 4242, true, 1764},
        {running, 4243, false, 0}, // another's stream
        {"state: PREPARED\nowner_pid   : 4242\ndelay       : 10\n", 4242, false, 0}, // not playing
        {"closed\n", 4242, false, 0},
        {"state: RUNNING\nowner_pid   : 4242\n", 4242, false, 0}, // no delay line
        {"state: RUNNING\nowner_pid   : 4242\ndelay       : -3\n", 4242, false, 0},
    };
    for (const Case& c : cases) {
        int64_t delay = 0;
        EXPECT_EQ(snd_alsa_parse_status(c.text, c.pid, &delay), c.found) << c.text;
        if (c.found) {
            EXPECT_EQ(delay, c.delay);
        }
    }
    int64_t rate = 0;
    EXPECT_TRUE(snd_alsa_parse_rate("access: RW_INTERLEAVED\nformat: S16_LE\nchannels: 2\n"
                                    "rate: 48000 (48000/1)\nperiod_size: 1024\n",
                                    &rate));
    EXPECT_EQ(rate, 48000);
    EXPECT_FALSE(snd_alsa_parse_rate("closed\n", &rate));
}

TEST(SoundLatency, BrowserFiguresAreTakenAsGivenWithinReason) {
    snd_report_output_latency(65.5);
    EXPECT_EQ(snd_latency_reported(), 65500);
    for (double bad : {-1.0, std::nan(""), SND_MAX_LATENCY_MS + 1.0}) {
        snd_report_output_latency(bad);
        EXPECT_EQ(snd_latency_reported(), 0) << bad;
    }
}

// A watcher that never reaches a sound server (the address names no
// socket) says so once, not at each of its tries, and not that one went
// away; the clock applies nothing meanwhile.
TEST(SoundLatency, AWatcherThatFindsNoServerSaysSoOnce) {
    std::string dir = temp_dir_make("sound_noserver");
    const char* before = std::getenv("PULSE_SERVER");
    std::string kept = before ? before : "";
    setenv("PULSE_SERVER", ("unix:" + dir + "/none").c_str(), 1);
    int tries = snd_latency_server_tries();
    testing::internal::CaptureStderr();
    snd_latency_start("pulseaudio", 23000000);
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (snd_latency_server_tries() < tries + 3 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(snd_latency_reported(), 0);
    snd_latency_stop();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_GE(snd_latency_server_tries(), tries + 3) << "the watcher did not try again";
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("no sound server found"), std::string::npos) << err;
    EXPECT_EQ(err.find("went away"), std::string::npos) << err;
    if (before)
        setenv("PULSE_SERVER", kept.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
    temp_dir_remove(dir);
}

} // namespace
