#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "show/demo_state.h"
#include "show/frame.h"
#include "harness/harness.h"
#include "platform/offscreen.h"
#include "show_test_data.h"
#include "support/test_support.h"

namespace {

constexpr int W = 64;
constexpr int H = 48;
constexpr int FPS = 60;

// A working directory holding the stand-in data for the whole test.
struct HarnessTest : ::testing::Test {
    std::string dir = temp_dir_make("harness");
    WorkingDirGuard guard;
    HarnessTest() {
        EXPECT_TRUE(show_test_data_write(dir));
        guard = working_dir_enter(dir);
    }
    ~HarnessTest() override {
        harness_end();
        working_dir_leave(guard);
        temp_dir_remove(dir);
    }
};

// Runs frames 0..last, drawing those in `drawn`; returns the pixels of each
// drawn frame in order.
std::vector<std::vector<uint8_t>> run_show(int width, int height, int64_t last,
                                           const std::vector<int64_t>& drawn) {
    std::vector<std::vector<uint8_t>> pictures;
    EXPECT_EQ(harness_begin(width, height, FPS), HARNESS_OK);
    for (int64_t n = 0; n <= last; ++n) {
        bool draw = false;
        for (int64_t d : drawn)
            draw = draw || d == n;
        harness_step(draw);
        if (draw) pictures.push_back(harness_read_rgb());
    }
    harness_end();
    return pictures;
}

bool has_colour(const std::vector<uint8_t>& rgb) {
    for (uint8_t v : rgb)
        if (v != 0) return true;
    return false;
}

TEST(HarnessClock, FrameTimesAreWholeMillisecondsRoundedDown) {
    EXPECT_EQ(harness_frame_time(0, 60), 0);
    EXPECT_EQ(harness_frame_time(1, 60), 16);
    EXPECT_EQ(harness_frame_time(2, 60), 33);
    EXPECT_EQ(harness_frame_time(60, 60), 1000);
    EXPECT_EQ(harness_frame_time(19800, 60), 330000);
    EXPECT_EQ(harness_frame_time(1, 24), 41);
    EXPECT_EQ(harness_frame_time(7, 30), 233);
}

TEST(HarnessClock, FirstFrameAtOrAfterATime) {
    for (int fps : {24, 25, 30, 50, 60, 75}) {
        for (int64_t t = 0; t <= 3000; ++t) {
            int64_t n = harness_first_frame_at(t, fps);
            ASSERT_GE(harness_frame_time(n, fps), t) << fps << " " << t;
            if (n > 0) {
                ASSERT_LT(harness_frame_time(n - 1, fps), t) << fps << " " << t;
            }
        }
    }
    EXPECT_EQ(harness_first_frame_at(17, 60), 2);
    EXPECT_EQ(harness_first_frame_at(1000, 60), 60);
}

// At 50 frames a second a frame shows the last step of the show due by its
// time: every step runs once, so frames are 1 or 2 steps apart.
TEST_F(HarnessTest, EachFrameShowsTheLastStepDueByItsTime) {
    ASSERT_EQ(harness_begin(W, H, 50), HARNESS_OK);
    int64_t steps = 0;
    for (int64_t n = 0; n < 40; ++n) {
        EXPECT_EQ(harness_next_frame(), n);
        harness_step(false);
        double frame_ms = static_cast<double>(n * 1000 / 50);
        EXPECT_LE(demo.song_time_ms, frame_ms);
        EXPECT_GT(demo.song_time_ms, frame_ms - 1000.0 / FRAME_STEP_RATE);
        steps = frame_driver.next_step;
    }
    EXPECT_EQ(steps, frame_last_step_at(39 * 1000 / 50) + 1);
    for (int fps : {0, FRAME_STEP_RATE + 1})
        EXPECT_EQ(harness_begin(W, H, fps), HARNESS_BAD_RATE);
}

TEST_F(HarnessTest, TwoRunsDrawTheSameFrames) {
    std::vector<int64_t> drawn = {0, 45, 119};
    std::vector<std::vector<uint8_t>> first = run_show(W, H, 119, drawn);
    std::vector<std::vector<uint8_t>> second = run_show(W, H, 119, drawn);
    ASSERT_EQ(first.size(), drawn.size());
    ASSERT_EQ(second.size(), drawn.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(first[i].size(), static_cast<size_t>(W * H * 3));
        EXPECT_TRUE(has_colour(first[i])) << "frame " << drawn[i] << " is black";
        EXPECT_EQ(first[i], second[i]) << "frame " << drawn[i];
    }
}

TEST_F(HarnessTest, PixelsComeTopRowFirst) {
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    for (int n = 0; n < 30; ++n)
        harness_step(n == 29);
    std::vector<uint8_t> rgb = harness_read_rgb();
    EXPECT_EQ(rgb, offscreen_read_rgb(W, H));
    // The frame is not the same upside down, so the order is checked.
    std::vector<uint8_t> flipped;
    for (int y = H - 1; y >= 0; --y)
        flipped.insert(flipped.end(), rgb.begin() + y * W * 3, rgb.begin() + (y + 1) * W * 3);
    EXPECT_NE(rgb, flipped);
}

TEST_F(HarnessTest, CheapFramesLeadToTheSamePicture) {
    std::vector<int64_t> every;
    for (int64_t n = 0; n <= 90; ++n)
        every.push_back(n);
    std::vector<std::vector<uint8_t>> all = run_show(W, H, 90, every);
    std::vector<std::vector<uint8_t>> last_only = run_show(W, H, 90, {90});
    ASSERT_EQ(all.size(), every.size());
    ASSERT_EQ(last_only.size(), 1u);
    EXPECT_EQ(all.back(), last_only[0]);
}

TEST_F(HarnessTest, WideFramesKeepTheFourByThreePictureCentred) {
    constexpr int WIDE_W = 96;
    std::vector<uint8_t> wide = run_show(WIDE_W, H, 10, {10})[0];
    std::vector<uint8_t> square = run_show(W, H, 10, {10})[0];
    int band = (WIDE_W - W) / 2;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < WIDE_W; ++x) {
            const uint8_t* p = &wide[(static_cast<size_t>(y) * WIDE_W + x) * 3];
            if (x < band || x >= band + W) {
                ASSERT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
            } else {
                const uint8_t* q = &square[(static_cast<size_t>(y) * W + (x - band)) * 3];
                ASSERT_EQ(p[0], q[0]) << x << "," << y;
                ASSERT_EQ(p[1], q[1]) << x << "," << y;
                ASSERT_EQ(p[2], q[2]) << x << "," << y;
            }
        }
    }
}

struct NoteLog {
    std::vector<double> note_ms;
    std::vector<int64_t> frames;
};

void log_note(double note_ms, int64_t frame, void* user) {
    NoteLog* log = static_cast<NoteLog*>(user);
    log->note_ms.push_back(note_ms);
    log->frames.push_back(frame);
}

TEST_F(HarnessTest, NotesReachTheFirstFrameAtOrAfterThem) {
    NoteLog log;
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    harness_set_note_sink(log_note, &log);
    int32_t first_picture = demo.picture_index;
    for (int64_t n = 0; n <= harness_first_frame_at(2000, FPS); ++n)
        harness_step(false);
    // The note at 0 sounds before the first frame has registered the
    // callback; the next four are heard.
    std::vector<double> expected = {480, 960, 1440, 1920};
    ASSERT_EQ(log.note_ms.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_DOUBLE_EQ(log.note_ms[i], expected[i]);
        int64_t frame = log.frames[i];
        EXPECT_GE(harness_frame_time(frame, FPS), log.note_ms[i]);
        EXPECT_LT(harness_frame_time(frame - 1, FPS), log.note_ms[i]);
    }
    EXPECT_EQ(demo.picture_index, first_picture + static_cast<int32_t>(expected.size()));
}

struct AudioLog {
    int64_t next_sample = 0;
    bool contiguous = true;
    bool sound = false;
};

void log_audio(const int16_t* samples, size_t count, int64_t first_sample, void* user) {
    AudioLog* log = static_cast<AudioLog*>(user);
    log->contiguous = log->contiguous && first_sample == log->next_sample;
    log->next_sample = first_sample + static_cast<int64_t>(count);
    for (size_t i = 0; i < 2 * count; ++i)
        log->sound = log->sound || samples[i] != 0;
}

TEST_F(HarnessTest, AudioArrivesInOrderAndCoversTheFrames) {
    AudioLog log;
    ASSERT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
    harness_set_audio_sink(log_audio, &log);
    for (int n = 0; n < 30; ++n)
        harness_step(false);
    // Frame 29 is at 483 ms: the audio reaches the sample that sounds then.
    EXPECT_GE(log.next_sample, 483 * SHOW_MIX_RATE / 1000);
    harness_render_audio_to(30 * SHOW_MIX_RATE / FPS);
    EXPECT_GE(log.next_sample, 30 * SHOW_MIX_RATE / FPS);
    EXPECT_TRUE(log.contiguous);
    EXPECT_TRUE(log.sound);
}

TEST_F(HarnessTest, MissingPicturesStopStartUp) {
    std::remove((dir + "/data/comp.bmp").c_str());
    EXPECT_EQ(harness_begin(W, H, FPS), HARNESS_NO_TEXTURES);
    // A later start with the pictures back works.
    EXPECT_TRUE(show_test_data_write(dir));
    EXPECT_EQ(harness_begin(W, H, FPS), HARNESS_OK);
}

} // namespace
