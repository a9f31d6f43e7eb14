// What the user sees when the show cannot start or has no music: missing,
// empty, truncated and random pictures, a missing data folder, a missing or
// corrupt module, no audio device.  Each run goes through the whole start-up
// and leaves nothing open behind it.
#include <algorithm>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "assets/texture_set.h"
#include "shell_fixture.h"

namespace {

struct ShowFaults : ShellTest {
    // Nothing of the show is left running: no window, no context, no video or
    // audio subsystem, no song, a visible cursor.
    void expect_nothing_left() {
        EXPECT_EQ(display.window_handle, nullptr);
        EXPECT_EQ(display.render_context, nullptr);
        EXPECT_FALSE(display.device_context);
        EXPECT_EQ(song_module, nullptr);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0u);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    }

    // The last box is "Initialization Failed.", shown after the display went.
    void expect_initialization_failed() {
        ASSERT_FALSE(shell_record.boxes.empty());
        const ShownBox& box = shell_record.boxes.back();
        EXPECT_EQ(box.text, "Initialization Failed.");
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.icon, MSGBOX_ICON_EXCLAMATION);
        EXPECT_FALSE(box.window_existed);
        ASSERT_GE(box.trace_at, 1u);
        EXPECT_EQ(shell_record.trace[box.trace_at - 1], "unregister");
        EXPECT_FALSE(trace_has("free_song")); // the sound never started
        // One line on stderr names the picture and how to mend it.
        expect_failure_line({"cannot load the picture \"Data/", "--data"});
    }

    void start_round() {
        shell_record.boxes.clear();
        shell_record.trace.clear();
        shell_record.frames = 0;
        display.fullscreen = true;
    }
};

TEST_F(ShowFaults, EachMissingPictureFailsInitialisationAfterTeardown) {
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        SCOPED_TRACE(TEXTURE_FILES[slot]);
        start_round();
        std::string path = show_test_picture_path(dir, slot);
        std::string aside = path + ".aside";
        std::filesystem::rename(path, aside);
        EXPECT_EQ(run_show_reporting(), 1);
        std::filesystem::rename(aside, path);
        // The question (answered Yes), then the failure; a missing file has
        // no box of its own, but the line names it.
        ASSERT_EQ(shell_record.boxes.size(), 2u);
        expect_initialization_failed();
        expect_failure_line({TEXTURE_FILES[slot], "missing"});
        EXPECT_EQ(shell_record.frames, 0);
        expect_nothing_left();
    }
}

// A bad picture: the decoder's own "Error" box comes first.
void expect_decoder_box_then_failure(ShowFaults& test) {
    ASSERT_EQ(shell_record.boxes.size(), 3u);
    EXPECT_EQ(shell_record.boxes[1].caption, "Error");
    EXPECT_TRUE(shell_record.boxes[1].owned_by_focus);
    EXPECT_TRUE(shell_record.boxes[1].window_existed);
    test.expect_initialization_failed();
    test.expect_nothing_left();
    expect_failure_line({"not a bitmap the show can read"});
}

TEST_F(ShowFaults, EmptyPictureShowsTheDecoderMessageFirst) {
    ASSERT_TRUE(write_file(show_test_picture_path(dir, 7), "", 0));
    EXPECT_EQ(run_show_reporting(), 1);
    expect_decoder_box_then_failure(*this);
}

TEST_F(ShowFaults, TruncatedPictureShowsTheDecoderMessageFirst) {
    std::string path = show_test_picture_path(dir, 30);
    std::filesystem::resize_file(path, 40);
    EXPECT_EQ(run_show_reporting(), 1);
    expect_decoder_box_then_failure(*this);
}

TEST_F(ShowFaults, RandomBytesPictureShowsTheDecoderMessageFirst) {
    std::mt19937 random(2002);
    std::vector<uint8_t> bytes(3000);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    ASSERT_TRUE(write_file(show_test_picture_path(dir, 62), bytes.data(), bytes.size()));
    EXPECT_EQ(run_show_reporting(), 1);
    expect_decoder_box_then_failure(*this);
}

TEST_F(ShowFaults, MissingDataFolderFailsCleanly) {
    std::filesystem::remove_all(dir + "/data");
    EXPECT_EQ(run_show_reporting(), 1);
    ASSERT_EQ(shell_record.boxes.size(), 2u);
    expect_initialization_failed();
    expect_nothing_left();
}

TEST_F(ShowFaults, DataFolderThatCannotBeReadFailsCleanly) {
    // Root reads any folder whatever its permissions; a file where the folder
    // should be cannot be read as one by anybody.
    std::filesystem::remove_all(dir + "/data");
    ASSERT_TRUE(write_file(dir + "/data", "x", 1));
    EXPECT_EQ(run_show_reporting(), 1);
    ASSERT_EQ(shell_record.boxes.size(), 2u);
    expect_initialization_failed();
    expect_nothing_left();
}

TEST_F(ShowFaults, DataFolderWithoutPermissionsFailsCleanly) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any folder";
    std::filesystem::permissions(dir + "/data", std::filesystem::perms::none);
    int code = run_show_reporting();
    std::filesystem::permissions(dir + "/data", std::filesystem::perms::owner_all);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(shell_record.boxes.size(), 2u);
    expect_initialization_failed();
    expect_nothing_left();
}

// Song times the frames showed, ending the show by Escape once the clock has
// passed `until_ms`.
std::vector<int64_t> run_until(int64_t until_ms) {
    std::vector<int64_t> times;
    bool pressed = false;
    shell_record.frame_script = [&](int) -> int64_t {
        int64_t t = frame_clock_song();
        times.push_back(t);
        if (t >= until_ms && !pressed) {
            push_key(SDLK_ESCAPE, true);
            pressed = true;
        }
        return t;
    };
    EXPECT_EQ(run_show(), 0);
    shell_record.frame_script = nullptr;
    return times;
}

void expect_silent_clock(const std::vector<int64_t>& times, const std::string& errors) {
    ASSERT_GE(times.size(), 2u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i], times[i - 1]);
    EXPECT_GE(times.back(), 300);
    // One line names the module; nothing else is said.
    EXPECT_NE(errors.find("data/Kvadrat2.xm"), std::string::npos);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    EXPECT_EQ(shell_record.boxes.size(), 1u); // only the full-screen question
}

TEST_F(ShowFaults, MissingModulePlaysOnTheSilentClock) {
    std::filesystem::remove(dir + "/data/Kvadrat2.xm");
    testing::internal::CaptureStderr();
    std::vector<int64_t> times = run_until(300);
    std::string errors = testing::internal::GetCapturedStderr();
    expect_silent_clock(times, errors);
    EXPECT_EQ(trace_from("destroy_display"), WINDOWED_SHUTDOWN);
}

TEST_F(ShowFaults, CorruptModulePlaysOnTheSilentClock) {
    std::string junk = "Extended Module: but nothing after the header";
    ASSERT_TRUE(write_file(dir + "/data/Kvadrat2.xm", junk.data(), junk.size()));
    testing::internal::CaptureStderr();
    std::vector<int64_t> times = run_until(300);
    std::string errors = testing::internal::GetCapturedStderr();
    expect_silent_clock(times, errors);
    EXPECT_EQ(trace_from("destroy_display"), WINDOWED_SHUTDOWN);
}

TEST_F(ShowFaults, NoAudioDeviceShowsDamnAndExitsOne) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    int code = run_show_reporting();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(code, 1);
    ASSERT_FALSE(shell_record.boxes.empty());
    EXPECT_EQ(shell_record.boxes.back().text, "DAMN!!!");
    EXPECT_EQ(shell_record.boxes.back().caption, "Your sound device is used by an other applet");
    expect_failure_line({"sound output", "sound server"});
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    // The player ends the process here; what it leaves goes with it.
    win_end_process();
    display.window_handle = nullptr;
    display.render_context = nullptr;
    display.device_context = false;
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
}

} // namespace
