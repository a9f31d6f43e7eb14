// Seeking: after any sequence of seeks (back, forward past what was played,
// across every scene change, into the finale's reset window and the end
// pictures, one step at a time), the show's whole state and its picture
// equal a straight run's at the target; the music after a seek renders the
// same samples and delivers the same notes at the same times as a straight
// run from the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/carried_state.h"
#include "harness/harness.h"
#include "platform/sound.h"
#include "show/frame.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "show/show_start.h"
#include "seek_schedule.h"

namespace {

constexpr int W = 64;
constexpr int H = 48;
constexpr int FPS = 60;

int64_t step_at(int64_t ms) {
    return frame_last_step_at(ms);
}

// Steps the seeks land on: each scene's first step and the one before it,
// the finale's reset window (260000..260009 ms) and the step after it, the
// end pictures, the show's start and a few past its end, and random ones
// from a fixed seed.
std::vector<int64_t> chosen_targets() {
    std::vector<int64_t> t = {0, 1, 2};
    for (int64_t ms : {77000, 102500, 121800, 159760, 260000}) {
        int64_t first = step_at(ms - 1) + 1;
        t.push_back(first - 1);
        t.push_back(first);
    }
    t.push_back(step_at(260009));
    t.push_back(step_at(260009) + 1);
    for (int64_t ms : {294000, 296500, 299990, 300000, 306000})
        t.push_back(step_at(ms));
    std::mt19937 random(25);
    std::uniform_int_distribution<int64_t> any(0, step_at(306000));
    for (int i = 0; i < 14; ++i)
        t.push_back(any(random));
    return t;
}

struct Seen {
    std::vector<uint8_t> state;
    std::vector<uint8_t> rgb;
};

// The seek sequence: every target once in a shuffled order (so seeks go
// back and forward, near and far), and around some of them the paused
// steps: one back, then one forward again.
std::vector<int64_t> seek_sequence(const std::vector<int64_t>& targets) {
    std::vector<int64_t> order = targets;
    std::mt19937 random(2002);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<int64_t> seq;
    for (size_t i = 0; i < order.size(); ++i) {
        seq.push_back(order[i]);
        if (i % 4 == 0 && order[i] > 0) {
            seq.push_back(order[i] - 1);
            seq.push_back(order[i]);
            seq.push_back(order[i] + 1);
        }
    }
    return seq;
}

// The picture and the whole state after the step just drawn equal the
// straight run's at `seen`.
void expect_straight(const Seen& seen) {
    EXPECT_TRUE(show_state_bytes() == seen.state);
    std::vector<uint8_t> rgb = harness_read_rgb();
    ASSERT_EQ(rgb.size(), seen.rgb.size());
    int differ = 0, most = 0;
    for (size_t k = 0; k < rgb.size(); ++k) {
        int d = std::abs(rgb[k] - seen.rgb[k]);
        differ += d != 0;
        most = std::max(most, d);
    }
    // Equal, but for GL rounding a colour level apart at a few pixels of
    // the opening scene, whose texture matrix GL builds up over thousands
    // of turns (seen: 2 values of one frame in this run).
    EXPECT_LE(most, 1);
    EXPECT_LE(differ, 8);
}

// The seeks run twice: without the map ahead (long GL-free replays), and
// with the map built between the steps played (as the player does) and
// completed: then no seek replays more than one interval.
TEST(Seek, AnySequenceOfSeeksGivesTheStraightRunsStateAndPicture) {
    const int64_t played = step_at(100000);
    std::vector<int64_t> targets = chosen_targets();
    std::vector<int64_t> seq = seek_sequence(targets);
    std::vector<int64_t> wanted = seq;
    wanted.push_back(played);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    auto straight_at = [&](int64_t step) {
        return static_cast<size_t>(std::lower_bound(wanted.begin(), wanted.end(), step) -
                                   wanted.begin());
    };

    // The straight run, drawing only the wanted steps.
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    std::vector<Seen> straight(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        while (harness_next_frame() < wanted[i])
            harness_step(false);
        harness_step(true);
        straight[i] = {show_state_bytes(), harness_read_rgb()};
    }
    harness_end();

    for (bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "with the map ahead" : "without the map");
        // Plays the first part of the show (mapping between the steps),
        // then seeks.
        ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
        seek_enable(true);
        while (harness_next_frame() < played) {
            harness_step(false);
            if (mapped) seek_map_run(harness_song(), 1.0);
        }
        if (mapped) seek_map_all(harness_song());
        harness_step(true);
        expect_straight(straight[straight_at(played)]);
        EXPECT_EQ(seek_map_complete(), mapped);
        for (int64_t target : seq) {
            SCOPED_TRACE("seek to step " + std::to_string(target));
            ASSERT_TRUE(harness_seek(target));
            if (mapped) {
                // One interval; in the finale, where the budget spaces the
                // states with spark sets of their own wider, one of those.
                bool finale = target >= step_at(260000);
                EXPECT_LE(seek_last_report().steps,
                          finale ? seek_spark_interval() : SEEK_INTERVAL_STEPS);
            }
            harness_step(true);
            expect_straight(straight[straight_at(target)]);
        }
        EXPECT_LE(seek_memory_bytes(), SEEK_MEMORY_BUDGET);
        EXPECT_GT(seek_state_count(), 0u);
        EXPECT_LE(seek_spark_interval(), 2 * SEEK_INTERVAL_STEPS);
        harness_end();
    }
}

// Every state the map keeps carries the GL state a straight run has there:
// the steps it runs with GL before each bring all of it along.
TEST(Seek, TheMapKeepsTheStraightRunsGlStateAtEveryInterval) {
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    std::vector<CarriedGlState> straight;
    while (harness_next_frame() < SEEK_MAP_LAST_STEP) {
        if (harness_next_frame() % SEEK_INTERVAL_STEPS == 0) {
            straight.emplace_back();
            carried_state_save(&straight.back());
        }
        harness_step(false);
    }
    harness_end();

    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    seek_enable(true);
    harness_step(true);
    seek_map_all(harness_song());
    ASSERT_TRUE(seek_map_complete());
    int compared = 0;
    for (size_t i = 0; i < straight.size(); ++i) {
        CarriedGlState kept;
        int64_t step = static_cast<int64_t>(i) * SEEK_INTERVAL_STEPS;
        if (!seek_kept_gl(step, &kept)) continue; // thinned
        ++compared;
        EXPECT_EQ(std::memcmp(&kept, &straight[i], sizeof kept), 0) << "step " << step;
    }
    EXPECT_GE(compared, static_cast<int>(straight.size() * 3 / 4));
    harness_end();
}

// ---- the music ------------------------------------------------------------

std::vector<double> heard;

void on_note(SndSong* song, int) {
    heard.push_back(snd_note_time_ms(song));
}

std::vector<int16_t> take_audio(SndSong* song) {
    std::vector<int16_t> all;
    int16_t buffer[2 * 4096];
    size_t got;
    while ((got = snd_offline_take_audio(song, buffer, 4096)) > 0)
        all.insert(all.end(), buffer, buffer + 2 * got);
    return all;
}

// From `ms` to `ms` + 3 s: the samples and the notes (with their times).
struct Stretch {
    std::vector<int16_t> audio;
    std::vector<double> notes;
};

Stretch listen_on(SndSong* song, int64_t ms) {
    heard.clear();
    snd_offline_advance_to(song, ms + 3000);
    snd_get_time(song);
    return {take_audio(song), heard};
}

TEST(Seek, MusicAfterASeekIsTheStraightRuns) {
    ASSERT_TRUE(snd_offline_init(SHOW_MIX_RATE, SHOW_CHANNELS));
    std::string path = std::string(VM_DATA_DIR) + "/Kvadrat2.xm";
    SndSong* straight_song = snd_load_song(path.c_str());
    SndSong* song = snd_load_song(path.c_str());
    ASSERT_TRUE(straight_song && song);
    snd_set_inst_callback(straight_song, on_note, 2);
    snd_set_inst_callback(song, on_note, 2);
    snd_play_song(straight_song);
    snd_play_song(song);
    // Section starts, the finale's reset window, the song's loop into its
    // outro, and from a fixed seed; in order, for one straight pass.
    std::vector<int64_t> times = {0, 77000, 102500, 121800, 159760, 259990, 329083};
    std::mt19937 random(7);
    for (int i = 0; i < 6; ++i)
        times.push_back(std::uniform_int_distribution<int64_t>(0, 340000)(random));
    std::sort(times.begin(), times.end());
    int64_t straight_at = -1;
    for (int64_t ms : times) {
        if (ms <= straight_at) continue; // inside the stretch just heard
        SCOPED_TRACE("at " + std::to_string(ms) + " ms");
        snd_offline_advance_to(straight_song, ms);
        snd_get_time(straight_song);
        take_audio(straight_song);
        Stretch straight = listen_on(straight_song, ms);
        straight_at = ms + 3000;
        // Seek there from further on, and from before.
        for (int64_t from : {ms + 5000, ms / 2}) {
            snd_offline_advance_to(song, from);
            snd_get_time(song);
            ASSERT_TRUE(snd_seek(song, ms));
            EXPECT_EQ(snd_peek_time(song), ms);
            Stretch sought = listen_on(song, ms);
            EXPECT_EQ(sought.notes, straight.notes);
            ASSERT_EQ(sought.audio.size(), straight.audio.size());
            // libopenmpt may round a sample a step apart, nothing more.
            int differ = 0;
            for (size_t k = 0; k < sought.audio.size(); ++k)
                differ += std::abs(sought.audio[k] - straight.audio[k]) > 1;
            EXPECT_EQ(differ, 0);
        }
    }
    snd_free_song(song);
    snd_free_song(straight_song);
    snd_close();
}

// ---- stopping a long seek -------------------------------------------------

int polls = 0;
int64_t polled_at[3] = {};

bool stop_on_third_poll(void*) {
    if (polls < 3) polled_at[polls] = frame_driver.next_step;
    return ++polls >= 3;
}

TEST(Seek, APollThatAsksToStopEndsALongSeekBetweenSteps) {
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    seek_enable(true);
    harness_step(true);
    polls = 0;
    frame_driver.poll = stop_on_third_poll;
    SeekReport r = seek_to_step(step_at(280000), nullptr);
    frame_driver.poll = nullptr;
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(polls, 3);
    // Polled every FRAME_POLL_STEPS steps and stopped at the third poll.
    EXPECT_EQ(polled_at[1] - polled_at[0], FRAME_POLL_STEPS);
    EXPECT_EQ(frame_driver.next_step, polled_at[2]);
    EXPECT_LT(frame_driver.next_step, step_at(280000));
    // Without a poll the same seek goes all the way.
    r = seek_to_step(step_at(280000), nullptr);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(frame_driver.next_step, step_at(280000));
    harness_end();
}

} // namespace

// ---- random schedules -------------------------------------------------------

// Steps played, map pieces, seeks of every kind in slices with keys
// arriving between them, paused steps and --from starts, in random order
// from fixed seeds: every step drawn equals a straight run's, state and
// picture.  Seed 7 caught the map going on from a state the live show kept
// without moving its notes there (the next step heard the whole stretch).
// Under the sanitizers one seed is enough (the fuzz target's seeds run there
// too); the plain build runs four.
#if VM_SANITIZED
constexpr uint32_t SCHEDULE_SEEDS[] = {7u};
#else
constexpr uint32_t SCHEDULE_SEEDS[] = {7u, 1u, 2u, 3u};
#endif

TEST(Seek, RandomSchedulesLandOnTheStraightRun) {
    ScheduleSights sights;
    for (uint32_t seed : SCHEDULE_SEEDS) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ScheduleResult r =
            seek_schedule_play(seek_schedule_random(seed, 4000), 16, 12, 600, &sights);
        EXPECT_EQ(r.fault, "");
        EXPECT_EQ(r.operations, 600);
        EXPECT_GE(r.landings, 200);
        EXPECT_GT(r.max_step, SEEK_MAP_LAST_STEP);
    }
    int64_t compared = 0;
    EXPECT_EQ(seek_schedule_check(sights, 16, 12, &compared), "");
    EXPECT_GE(compared, 250 * static_cast<int64_t>(std::size(SCHEDULE_SEEDS)));
}
