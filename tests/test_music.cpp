// The show's module as the build writes it: it loads, its sections begin at
// the times the timeline expects, its beat instrument plays at the rate the
// scenes need, its mix does not clip or fall silent, it loops into its outro
// and the composer writes the same bytes every time.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music.h"
#include "platform/sound.h"
#include "support/test_support.h"

namespace {

constexpr int RATE = MUSIC_MIX_RATE;
constexpr int64_t SHOW_END_MS = 300000;
constexpr int64_t FIRST_PASS_MS = 329083; // 300 s + 64 beats at 132 BPM
constexpr int64_t BOUNDARY_TOLERANCE_MS = 10;
constexpr int64_t BEAT_FROM_MS = 20000; // the pictures follow the beat from here on
constexpr double PEAK_LIMIT_DBFS = -1.0;
constexpr int64_t LONGEST_SILENCE_MS = 2000;
constexpr int BLOCK_MS = 100;         // audio is measured in blocks of this length
constexpr double SILENT_DBFS = -60.0; // a block whose peak stays below this is silent

std::string module_path() {
    return std::string(VM_DATA_DIR) + "/Kvadrat2.xm";
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f),
                                std::istreambuf_iterator<char>());
}

double dbfs(double linear) {
    return 20.0 * std::log10(std::max(linear, 1e-12));
}

// ---- one offline pass through the sound layer, shared by the tests --------

std::vector<int64_t> beat_times; // ms at which each instrument-2 note was delivered
int64_t clock_ms = 0;

void on_beat(SndSong*, int) {
    beat_times.push_back(clock_ms);
}

struct AudioBlock {
    double peak = 0.0; // 0..1
    double sum_squares = 0.0;
    int64_t samples = 0;
    double left_squares = 0.0, right_squares = 0.0, cross = 0.0; // stereo image
};

struct OfflinePass {
    bool done = false;
    std::vector<int64_t> beats;
    std::vector<AudioBlock> blocks; // BLOCK_MS each
};

OfflinePass pass;

// Plays the module offline to `end_ms` in 5 ms steps, as frames read the
// clock, collecting the beat notes and the mixed audio's levels.
const OfflinePass& offline_pass() {
    constexpr int64_t END_MS = FIRST_PASS_MS + 20000; // well into the second pass
    constexpr int64_t STEP_MS = 5;
    if (pass.done) return pass;
    pass.done = true;
    EXPECT_TRUE(snd_offline_init(RATE, 32));
    SndSong* song = snd_load_song(module_path().c_str());
    beat_times.clear();
    snd_set_inst_callback(song, on_beat, MUSIC_BEAT_INSTRUMENT);
    snd_play_song(song);
    std::vector<int16_t> buffer(2 * 4096);
    int64_t frame = 0;
    for (int64_t ms = 0; ms <= END_MS; ms += STEP_MS) {
        snd_offline_advance_to(song, ms);
        clock_ms = ms;
        snd_get_time(song);
        size_t got;
        while ((got = snd_offline_take_audio(song, buffer.data(), 4096)) > 0) {
            for (size_t i = 0; i < got; ++i, ++frame) {
                size_t block = static_cast<size_t>(frame * 1000 / RATE / BLOCK_MS);
                if (pass.blocks.size() <= block) pass.blocks.resize(block + 1);
                AudioBlock& b = pass.blocks[block];
                double left = buffer[2 * i] / 32768.0, right = buffer[2 * i + 1] / 32768.0;
                b.peak = std::max({b.peak, std::fabs(left), std::fabs(right)});
                b.sum_squares += left * left + right * right;
                b.samples += 2;
                b.left_squares += left * left;
                b.right_squares += right * right;
                b.cross += left * right;
            }
        }
    }
    snd_free_song(song);
    snd_close();
    pass.beats = beat_times;
    return pass;
}

int beats_between(const std::vector<int64_t>& beats, int64_t from, int64_t to) {
    return static_cast<int>(
        std::count_if(beats.begin(), beats.end(), [&](int64_t t) { return t >= from && t < to; }));
}

// RMS level (dBFS) of the blocks in [from_ms, to_ms).
double rms_dbfs(const std::vector<AudioBlock>& blocks, int64_t from_ms, int64_t to_ms) {
    double sum = 0.0;
    int64_t n = 0;
    for (int64_t b = from_ms / BLOCK_MS; b < to_ms / BLOCK_MS && b < (int64_t)blocks.size(); ++b) {
        sum += blocks[b].sum_squares;
        n += blocks[b].samples;
    }
    return n ? dbfs(std::sqrt(sum / n)) : -200.0;
}

int64_t section_end_ms(int s) {
    return s + 1 < MUSIC_SECTION_COUNT ? MUSIC_SECTION_START_MS[s + 1] : FIRST_PASS_MS;
}

// ---- rendering through libopenmpt alone -----------------------------------

openmpt_module* load_module(const std::vector<uint8_t>& bytes) {
    return openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr);
}

// Renders the module in small chunks and records, for every order, the
// first frame at which libopenmpt reports it (within one chunk).
struct OrderTimes {
    std::vector<int64_t> first_frame; // -1 = never reached
    int64_t wrap_frame = -1;          // first return to an earlier order
    int wrap_order = -1;
};

OrderTimes render_order_times(openmpt_module* mod, int64_t end_frame) {
    constexpr int CHUNK = 16;
    OrderTimes times;
    times.first_frame.assign(openmpt_module_get_num_orders(mod), -1);
    std::vector<float> buffer(2 * CHUNK);
    int last = -1;
    for (int64_t frame = 0; frame < end_frame; frame += CHUNK) {
        size_t got = openmpt_module_read_interleaved_float_stereo(mod, RATE, CHUNK, buffer.data());
        if (got == 0) break;
        int order = openmpt_module_get_current_order(mod);
        if (order != last && order >= 0 && order < (int)times.first_frame.size()) {
            // The order began somewhere in this chunk; take its end.
            if (times.first_frame[order] < 0) times.first_frame[order] = frame + CHUNK;
            if (order < last && times.wrap_frame < 0) {
                times.wrap_frame = frame + CHUNK;
                times.wrap_order = order;
            }
            last = order;
        }
    }
    return times;
}

double frame_ms(int64_t frame) {
    return frame * 1000.0 / RATE;
}

} // namespace

TEST(Music, ModuleLoadsWithItsSectionsInOrder) {
    std::vector<uint8_t> bytes = read_bytes(module_path());
    ASSERT_FALSE(bytes.empty()) << module_path();
    openmpt_module* mod = load_module(bytes);
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(openmpt_module_get_num_channels(mod), MUSIC_CHANNELS);
    EXPECT_GE(openmpt_module_get_num_instruments(mod), MUSIC_BEAT_INSTRUMENT);
    double seconds = openmpt_module_get_duration_seconds(mod);
    EXPECT_NEAR(seconds, 330.0, 3.0);
    openmpt_module_destroy(mod);
}

TEST(Music, SectionsBeginWhereTheScenesChange) {
    MusicLayout layout;
    music_compose(&layout);
    openmpt_module* mod = load_module(read_bytes(module_path()));
    ASSERT_NE(mod, nullptr);
    openmpt_module_set_repeat_count(mod, -1);
    OrderTimes times = render_order_times(mod, (FIRST_PASS_MS + 5000) * RATE / 1000);
    for (int s = 0; s < MUSIC_SECTION_COUNT; ++s) {
        int64_t frame = times.first_frame[layout.section_first_order[s]];
        // Order 0 is current from the very first chunk.
        if (s == 0) frame = 0;
        ASSERT_GE(frame, 0) << "section " << s << " never played";
        double error = frame_ms(frame) - static_cast<double>(MUSIC_SECTION_START_MS[s]);
        EXPECT_LE(std::fabs(error), BOUNDARY_TOLERANCE_MS) << "section " << s;
        std::printf("section %d starts at %.2f ms (%+.2f ms)\n", s, frame_ms(frame), error);
    }
    // At the end of the first pass the module goes back to the outro.
    ASSERT_GE(times.wrap_frame, 0);
    EXPECT_EQ(times.wrap_order, layout.section_first_order[MUSIC_OUTRO]);
    EXPECT_NEAR(frame_ms(times.wrap_frame), FIRST_PASS_MS, BOUNDARY_TOLERANCE_MS);
    openmpt_module_destroy(mod);
}

TEST(Music, BeatInstrumentIsAShortHitOnBeatRowsOnly) {
    // A percussive sample: short and not looped.
    std::vector<XmInstrument> instruments = music_instruments();
    ASSERT_GE(instruments.size(), static_cast<size_t>(MUSIC_BEAT_INSTRUMENT));
    const XmInstrument& beat = instruments[MUSIC_BEAT_INSTRUMENT - 1];
    ASSERT_EQ(beat.samples.size(), 1u);
    EXPECT_EQ(beat.samples[0].loop_type, XM_LOOP_NONE);
    EXPECT_LT(beat.samples[0].data.size(), static_cast<size_t>(RATE / 2));
    // In the written module every instrument-2 cell sits on a beat row (all
    // patterns start on a beat) and carries a note.
    openmpt_module* mod = load_module(read_bytes(module_path()));
    ASSERT_NE(mod, nullptr);
    int cells = 0;
    for (int pattern = 0; pattern < openmpt_module_get_num_patterns(mod); ++pattern)
        for (int row = 0; row < openmpt_module_get_pattern_num_rows(mod, pattern); ++row)
            for (int c = 0; c < openmpt_module_get_num_channels(mod); ++c) {
                int instrument = openmpt_module_get_pattern_row_channel_command(
                    mod, pattern, row, c, OPENMPT_MODULE_COMMAND_INSTRUMENT);
                if (instrument != MUSIC_BEAT_INSTRUMENT) continue;
                ++cells;
                EXPECT_EQ(row % MUSIC_ROWS_PER_BEAT, 0) << "pattern " << pattern << " row " << row;
                EXPECT_GT(openmpt_module_get_pattern_row_channel_command(
                              mod, pattern, row, c, OPENMPT_MODULE_COMMAND_NOTE),
                          0);
            }
    EXPECT_GT(cells, 500);
    openmpt_module_destroy(mod);
}

TEST(Music, BeatInstrumentPlaysAtTheRateTheScenesNeed) {
    const std::vector<int64_t>& beats = offline_pass().beats;
    ASSERT_FALSE(beats.empty());
    // The beat enters shortly before the dots of the opening appear.
    EXPECT_GE(beats.front(), 15000);
    EXPECT_LE(beats.front(), BEAT_FROM_MS);
    for (int s = 0; s < MUSIC_SECTION_COUNT; ++s) {
        int64_t from = std::max(MUSIC_SECTION_START_MS[s], BEAT_FROM_MS);
        int64_t to = section_end_ms(s);
        double rate = beats_between(beats, from, to) * 1000.0 / static_cast<double>(to - from);
        EXPECT_GE(rate, 1.5) << "section " << s;
        EXPECT_LE(rate, 2.5) << "section " << s;
        std::printf("section %d: %d notes, %.2f a second\n", s, beats_between(beats, from, to),
                    rate);
    }
    // Sphere greetings: each of the ten greetings at least twice.
    EXPECT_GE(beats_between(beats, 102500, 121800), 20);
    // Finale: the note count (starting at 1) reaches 20 within about 10 s
    // and 40 within about 20 s.
    EXPECT_GE(beats_between(beats, 260000, 270000), 19);
    EXPECT_GE(beats_between(beats, 260000, 280000), 39);
    // On the beat: no gap longer than a second, and neighbouring gaps equal
    // within a few ms (the tempo is steady, no stumbles).
    for (size_t i = 1; i < beats.size(); ++i) {
        int64_t gap = beats[i] - beats[i - 1];
        EXPECT_LE(gap, 1000) << "at " << beats[i];
        EXPECT_GE(gap, 400) << "at " << beats[i];
        if (i >= 2) {
            EXPECT_LE(std::llabs(gap - (beats[i - 1] - beats[i - 2])), 15) << "at " << beats[i];
        }
    }
}

TEST(Music, LoopsIntoTheOutroWithoutAJolt) {
    const OfflinePass& p = offline_pass();
    // Beats keep coming across the end of the first pass at the same pace.
    int before = beats_between(p.beats, FIRST_PASS_MS - 10000, FIRST_PASS_MS);
    int after = beats_between(p.beats, FIRST_PASS_MS, FIRST_PASS_MS + 10000);
    EXPECT_GE(before, 20);
    EXPECT_NEAR(after, before, 1);
    // And the loop sounds like the outro it repeats.
    double outro = rms_dbfs(p.blocks, SHOW_END_MS + 2000, SHOW_END_MS + 14000);
    double again = rms_dbfs(p.blocks, FIRST_PASS_MS + 2000, FIRST_PASS_MS + 14000);
    EXPECT_NEAR(again, outro, 1.0);
}

TEST(Music, MixNeverClipsNorFallsSilent) {
    const OfflinePass& p = offline_pass();
    ASSERT_GE(p.blocks.size(), static_cast<size_t>(FIRST_PASS_MS / BLOCK_MS));
    double peak = 0.0;
    int silent_run = 0, longest_silent_run = 0;
    for (size_t b = 0; b < p.blocks.size(); ++b) {
        peak = std::max(peak, p.blocks[b].peak);
        bool silent = dbfs(p.blocks[b].peak) < SILENT_DBFS;
        silent_run = silent ? silent_run + 1 : 0;
        if (static_cast<int64_t>(b) * BLOCK_MS < SHOW_END_MS)
            longest_silent_run = std::max(longest_silent_run, silent_run);
    }
    EXPECT_LE(dbfs(peak), PEAK_LIMIT_DBFS);
    EXPECT_LE(longest_silent_run * BLOCK_MS, LONGEST_SILENCE_MS);
    std::printf("peak %.2f dBFS, longest silence %d ms\n", dbfs(peak),
                longest_silent_run * BLOCK_MS);
}

TEST(Music, LoudnessIsSteadyWithinEachSectionAndTheMixIsStereo) {
    constexpr int64_t WINDOW_MS = 2000;
    constexpr int64_t BUILD_UNTIL_MS = 30000; // the intro grows until the full drums
    constexpr double STEADY_DB = 3.0;
    const OfflinePass& p = offline_pass();
    for (int s = 0; s < MUSIC_SECTION_COUNT; ++s) {
        int64_t from = std::max(MUSIC_SECTION_START_MS[s], BUILD_UNTIL_MS);
        int64_t to = section_end_ms(s);
        double level = rms_dbfs(p.blocks, from, to);
        double low = level, high = level;
        for (int64_t t = from; t + WINDOW_MS <= to; t += WINDOW_MS) {
            double window = rms_dbfs(p.blocks, t, t + WINDOW_MS);
            low = std::min(low, window);
            high = std::max(high, window);
            EXPECT_NEAR(window, level, STEADY_DB) << "section " << s << " at " << t << " ms";
        }
        std::printf("section %d: RMS %.2f dBFS, 2 s windows %.2f to %.2f\n", s, level, low, high);
    }
    // Both sides equally loud, but not the same signal: the instruments are
    // spread across the field.
    double left = 0.0, right = 0.0, cross = 0.0;
    for (const AudioBlock& b : p.blocks) {
        left += b.left_squares;
        right += b.right_squares;
        cross += b.cross;
    }
    double correlation = cross / std::sqrt(left * right);
    EXPECT_NEAR(10.0 * std::log10(left / right), 0.0, 1.0);
    EXPECT_LT(correlation, 0.95);
    EXPECT_GT(correlation, 0.5);
    std::printf("left/right correlation %.3f\n", correlation);
}

TEST(Music, ComposerWritesTheSameBytesEveryRun) {
    std::vector<uint8_t> first = xm_write_memory(music_compose(nullptr));
    std::vector<uint8_t> second = xm_write_memory(music_compose(nullptr));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second);
    // The tool run twice gives the file the build wrote.
    std::string dir = temp_dir_make("music");
    for (const char* name : {"a.xm", "b.xm"}) {
        std::string command = std::string(VM_TOOL_VINTERMOOT_COMPOSE) + " " + dir + "/" + name;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::vector<uint8_t> a = read_bytes(dir + "/a.xm"), b = read_bytes(dir + "/b.xm");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == first);
    EXPECT_TRUE(read_bytes(module_path()) == first);
    temp_dir_remove(dir);
}
