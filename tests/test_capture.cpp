#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/png_file.h"
#include "show_test_data.h"
#include "support/test_support.h"

namespace {

const char* const TOOL = VM_TOOL_VINTERMOOT_CAPTURE;
const std::string FARM = std::string(VM_TEST_SOURCE_DIR) + "/../scripts/capture_farm.sh";
// The span the split captures cover: 30 frames at 30 fps, in three spans of
// 9, 12 and 9 frames (500-800, 800-1200, 1200-1500 ms).
const char* const SPLIT_SPAN = " --from 500 --to 1500 --fps 30";
constexpr int W = 64;
constexpr int H = 48;
// A tmpfs this small holds the span's audio and video parts but not the
// muxed file as well: ffmpeg fails on the muxed file's trailer (its index).
const char* const FULL_DISK_SIZE = "400k";
const char* const FULL_DISK_ARGS = " --to 1500 --size 320x240";

std::string quote(const std::string& s) {
    return "'" + s + "'";
}

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// A folder with the stand-in data and an output folder beside it.
struct CaptureTest : ::testing::Test {
    std::string dir = temp_dir_make("capture");
    std::string out = dir + "/out";
    CaptureTest() {
        EXPECT_TRUE(show_test_data_write(dir));
        std::filesystem::create_directories(out);
    }
    ~CaptureTest() override { temp_dir_remove(dir); }

    // Runs the tool with `args` (and `env` before it); returns its exit
    // status and keeps its standard error and output.
    int run(const std::string& args, const std::string& env = "") {
        std::string command = env + " " + quote(TOOL) + " --data " + quote(dir) + " " + args +
                              " >" + quote(dir + "/stdout") + " 2>" + quote(dir + "/stderr");
        int status = std::system(command.c_str());
        errors = read_text(dir + "/stderr");
        output = read_text(dir + "/stdout");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs scripts/capture_farm.sh with this tool and data, as run() does.
    int farm(const std::string& args, const std::string& env = "", const std::string& tool = TOOL) {
        std::string command = env + " bash " + quote(FARM) + " --tool " + quote(tool) + " --data " +
                              quote(dir) + " " + args + " >" + quote(dir + "/stdout") + " 2>" +
                              quote(dir + "/stderr");
        int status = std::system(command.c_str());
        errors = read_text(dir + "/stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string size() const { return " --size " + std::to_string(W) + "x" + std::to_string(H); }
    std::string errors, output;
};

// Output of a command, or empty.
std::string command_output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[512];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    pclose(pipe);
    return text;
}

TEST_F(CaptureTest, HelpPrintsTheUsageAndVersionTheVersion) {
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(output.rfind("Usage: vintermoot-capture", 0), 0u);
    EXPECT_NE(output.find("--contact-sheet"), std::string::npos);
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(output, std::string("vintermoot-capture (Vintermoot 2002) ") + VM_VERSION + "\n");
}

// Song times as the player takes them: ms, or m:ss with up to three decimals.
TEST_F(CaptureTest, TimesTakeMinutesAndSecondsAsThePlayerDoes) {
    ASSERT_EQ(run("--frames " + quote(out) + " --at 0:01.7,1700,0:01.700" + size()), 0) << errors;
    std::vector<std::string> names = listing(out);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>{"1700.png"});
    ASSERT_EQ(run("--frames " + quote(out + "/span") + " --from 0:00.5 --to 0:00.55" + size()), 0);
    EXPECT_EQ(listing(out + "/span").size(), 4u); // 500, 516, 533 and 550 ms
    for (const char* bad : {"--at 1:7", "--at 0:60", "--at 1:07.1234", "--from 5:31 --to 5:32"})
        EXPECT_EQ(run(std::string("--frames x ") + bad), 2) << bad;
}

TEST_F(CaptureTest, BadOptionsGiveTheUsageAndExitTwo) {
    const char* const bad[] = {
        "--bogus",
        "",                                          // nothing to write
        "--frames x",                                // no times
        "--frames x --at 1,,2",                      // empty time
        "--frames x --at -5",                        // negative time
        "--frames x --at 400000",                    // after the song
        "--frames x --at 100 --from 0 --to 10",      // both ways at once
        "--frames x --from 2000 --to 1000",          // empty range
        "--contact-sheet s.png",                     // no times
        "--contact-sheet s.png --at 1 --every 2",    // every without a range
        "--video v.mp4 --at 100",                    // video takes a range
        "--video v.mp4 --from 331000",               // outside the song
        "--video v.mp4 --size 65x48",                // odd width
        "--frames x --at 1 --fps 0",                 // no frame rate
        "--frames x --at 1 --size 1024",             // no height
        "--frames x --at 1 --size 8x8",              // too small
        "--frames x --at 1 --fps",                   // missing value
        "--frames x --at 1 --video v.mp4",           // two outputs
        "--video v.mp4 --fps 1 --from 100 --to 200", // no frame in the span
        "--frames x --fps 1 --from 100 --to 200",    // no frame in the span
        "--frames x --at 1 --data ''",               // empty data directory
        "--frames x --at 1 --sync-log ''",           // empty sync log path
        "--frames x --at 1 --supersample 0",         // no samples
        "--frames x --at 1 --supersample 5",         // more than 4
        "--frames x --at 1 --supersample 2x",        // not a number
        "--video v.mkv --codec vp9",                 // no such codec
        "--video v.mkv --codec ffv1 --crf 10",       // lossless has no quality
        "--video v.mp4 --crf 52",                    // beyond H.264's range
        "--frames x --at 1 --codec ffv1",            // codecs are for video
        "--video v.mp4 --join l.txt --sync-log s",   // a join draws nothing
        "--state-hashes h --at 1",                   // checksums take a range
        "--state-hashes h --fps 30",                 // checksums are per step
        "--state-hashes ''",                         // empty path
        "--video v.mp4 --join l --state-hashes h",   // a join runs no step
    };
    // Size presets are taken: the run fails on the option after them.
    for (const char* preset : {"768p", "1080p", "2160p", "4k"}) {
        EXPECT_EQ(run(std::string("--frames x --at 1 --size ") + preset + " --every 2"), 2);
        EXPECT_NE(errors.find("--every belongs"), std::string::npos) << preset << errors;
    }
    // One line that says what is wrong, then the usage line.
    for (const char* args : bad) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(errors.rfind("vintermoot-capture: ", 0), 0u) << args;
        size_t second = errors.find('\n') + 1;
        EXPECT_EQ(errors.find("Usage: vintermoot-capture", second), second) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
    }
    EXPECT_TRUE(listing(out).empty());
}

TEST_F(CaptureTest, MissingDataIsAClearFailure) {
    std::string empty = dir + "/empty";
    std::filesystem::create_directories(empty);
    std::string command = quote(TOOL) + " --data " + quote(empty) + " --frames " + quote(out) +
                          " --at 0 2>" + quote(dir + "/stderr");
    int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(read_text(dir + "/stderr").find("no data/ directory"), std::string::npos);
}

TEST_F(CaptureTest, DataIsFoundInTheWorkingDirectoryOrNamedEitherWay) {
    std::string from_here = "cd " + quote(dir) + " && " + quote(TOOL) + " --frames " +
                            quote(out + "/here") + " --at 0" + size() + " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(from_here.c_str())), 0);
    std::string named = quote(TOOL) + " --data " + quote(dir + "/data/") + " --frames " +
                        quote(out + "/named") + " --at 0" + size() + " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(named.c_str())), 0);
    EXPECT_EQ(read_bytes(out + "/here/0.png"), read_bytes(out + "/named/0.png"));
    EXPECT_FALSE(read_bytes(out + "/here/0.png").empty());
}

TEST_F(CaptureTest, TwoRunsWriteIdenticalFrames) {
    ASSERT_EQ(run("--frames " + quote(out + "/a") + " --at 0,500,1700" + size()), 0) << errors;
    ASSERT_EQ(run("--frames " + quote(out + "/b") + " --at 1700,500,0" + size()), 0) << errors;
    for (const char* name : {"0.png", "500.png", "1700.png"}) {
        std::vector<uint8_t> a = read_bytes(out + "/a/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, read_bytes(out + "/b/" + name)) << name;
    }
    EXPECT_NE(read_bytes(out + "/a/0.png"), read_bytes(out + "/a/1700.png"));
}

TEST_F(CaptureTest, AFrameAtATimeIsTheFirstFrameAtOrAfterIt) {
    // At 60 fps frame 1 is at 16 ms and frame 2 at 33 ms: 17 ms gives frame 2.
    ASSERT_EQ(run("--frames " + quote(out) + " --at 17" + size()), 0) << errors;
    ASSERT_EQ(run("--frames " + quote(out) + " --from 0 --to 40" + size()), 0) << errors;
    std::vector<std::string> names = listing(out);
    EXPECT_EQ(names.size(), 4u); // 17.png and frames 0, 1, 2 (0, 16, 33 ms)
    std::vector<uint8_t> at_17 = read_bytes(out + "/17.png");
    EXPECT_EQ(at_17, read_bytes(out + "/frame_000002.png"));
    EXPECT_NE(at_17, read_bytes(out + "/frame_000001.png"));
    // At 25 fps frames are 40 ms apart: every second frame of 0..200 ms.
    std::string seq = out + "/seq";
    ASSERT_EQ(run("--frames " + quote(seq) + " --from 0 --to 200 --every 2 --fps 25" + size()), 0);
    std::vector<std::string> expected = {"frame_000000.png", "frame_000002.png",
                                         "frame_000004.png"};
    std::vector<std::string> written = listing(seq);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, expected);
}

TEST_F(CaptureTest, ContactSheetHoldsTheFramesInOrderWithLabels) {
    ASSERT_EQ(run("--frames " + quote(out) + " --at 0,1700" + size()), 0) << errors;
    std::string sheet = out + "/sheet.png";
    ASSERT_EQ(run("--contact-sheet " + quote(sheet) + " --at 1700,0" + size()), 0) << errors;
    int sw = 0, sh = 0, fw = 0, fh = 0;
    std::vector<uint8_t> s, f;
    ASSERT_TRUE(png_read_rgb(sheet.c_str(), &sw, &sh, &s));
    // Two cells side by side: a gap of 8, then cells as wide as the widest
    // label ("1700 ms", 7 glyphs of 12 pixels) plus a gap; thumbnails of
    // the frame's own size (smaller than 256) with a 20-pixel label band.
    int inner = 7 * 12, cell = inner + 8;
    EXPECT_EQ(sw, 8 + 2 * cell);
    EXPECT_EQ(sh, 8 + H + 20 + 8);
    // Cell 0 is the frame at 1700 ms, cell 1 the one at 0, pixel for pixel.
    const char* order[] = {"/1700.png", "/0.png"};
    for (int c = 0; c < 2; ++c) {
        ASSERT_TRUE(png_read_rgb((out + order[c]).c_str(), &fw, &fh, &f));
        int x0 = 8 + c * cell + (inner - W) / 2, y0 = 8;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W * 3; ++x)
                ASSERT_EQ(s[(static_cast<size_t>(y0 + y) * sw + x0) * 3 + x],
                          f[static_cast<size_t>(y) * W * 3 + x])
                    << "cell " << c << " at " << x / 3 << "," << y;
    }
    // The label band holds light text on the dark background.
    int light = 0;
    for (int y = 8 + H; y < 8 + H + 20; ++y)
        for (int x = 8; x < 8 + inner; ++x)
            light += s[(static_cast<size_t>(y) * sw + x) * 3] > 200;
    EXPECT_GT(light, 50);
}

// Stream facts that ffprobe reports, one "key=value" a line.
std::string probe(const std::string& file, const char* stream, const char* entries) {
    return command_output("ffprobe -v error -count_frames -select_streams " + std::string(stream) +
                          " -show_entries stream=" + entries + " -of default=nw=1 " + quote(file));
}

double probe_value(const std::string& facts, const std::string& key) {
    size_t at = facts.find(key + "=");
    return at == std::string::npos ? -1.0 : std::atof(facts.c_str() + at + key.size() + 1);
}

// Mean absolute difference per channel of two PNGs of the same size.
double mean_difference(const std::string& a_path, const std::string& b_path) {
    int aw = 0, ah = 0, bw = 0, bh = 0;
    std::vector<uint8_t> a, b;
    if (!png_read_rgb(a_path.c_str(), &aw, &ah, &a) || !png_read_rgb(b_path.c_str(), &bw, &bh, &b))
        return 1e9;
    if (a.size() != b.size()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    return sum / static_cast<double>(a.size());
}

// Onsets (ms) of the bursts in mono 16-bit audio: the first loud sample
// after at least 100 ms of quiet.
std::vector<double> onsets(const std::vector<uint8_t>& raw, int rate) {
    std::vector<double> found;
    int quiet = rate; // the start counts as after silence
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        int16_t v = static_cast<int16_t>(raw[i] | (raw[i + 1] << 8));
        if (std::abs(v) > 1000) {
            if (quiet >= rate / 10) found.push_back(static_cast<double>(i / 2) * 1000.0 / rate);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return found;
}

TEST_F(CaptureTest, ShortVideoHasItsFramesAndItsAudio) {
    std::string video = out + "/v.mp4", log = out + "/sync.txt";
    ASSERT_EQ(run("--video " + quote(video) + " --from 500 --to 2500 --fps 30 --sync-log " +
                  quote(log) + size()),
              0)
        << errors;
    std::string v = probe(video, "v:0", "codec_name,width,height,r_frame_rate,nb_read_frames");
    EXPECT_NE(v.find("codec_name=h264"), std::string::npos) << v;
    EXPECT_NE(v.find("r_frame_rate=30/1"), std::string::npos) << v;
    EXPECT_EQ(probe_value(v, "width"), W);
    EXPECT_EQ(probe_value(v, "height"), H);
    EXPECT_EQ(probe_value(v, "nb_read_frames"), 60); // 500 .. 2499 ms at 30 fps
    std::string a = probe(video, "a:0", "codec_name,sample_rate,duration");
    EXPECT_NE(a.find("codec_name=aac"), std::string::npos) << a;
    EXPECT_NEAR(probe_value(a, "duration"), 2.0, 0.03) << a;
    EXPECT_EQ(listing(out).size(), 2u); // no part files left

    // Without a terminal the progress comes as one line per tenth of the 60
    // frames written (the 15 frames of lead-in before 500 ms are not counted).
    std::istringstream progress(errors);
    std::string progress_line;
    int tenths = 0;
    while (std::getline(progress, progress_line))
        if (progress_line.find(" frames  song ") != std::string::npos &&
            progress_line.find(" fps ") != std::string::npos &&
            progress_line.find(" left") != std::string::npos) {
            ++tenths;
            EXPECT_NE(progress_line.find(std::to_string(tenths * 10) + " %  " +
                                         std::to_string(tenths * 6) + "/60 frames"),
                      std::string::npos)
                << progress_line;
        }
    EXPECT_EQ(tenths, 10) << errors;
    EXPECT_NE(errors.find("vintermoot-capture: 60 frames in "), std::string::npos) << errors;

    // The video's first frame is the harness's frame at 500 ms, within the
    // codec's loss, and nearer to it than to the next frame.
    ASSERT_EQ(run("--frames " + quote(out) + " --at 500,533 --fps 30" + size()), 0) << errors;
    std::string extracted = out + "/first.png";
    command_output("ffmpeg -v error -i " + quote(video) + " -frames:v 1 " + quote(extracted));
    double own = mean_difference(extracted, out + "/500.png");
    EXPECT_LT(own, 12.0);
    EXPECT_LT(own, mean_difference(extracted, out + "/533.png"));

    // The log covers the video's frames, numbered from its first; each note
    // sounds in the audio within one frame of the frame that first shows it.
    std::string raw = out + "/audio.raw";
    command_output("ffmpeg -v error -i " + quote(video) + " -vn -ac 1 -ar 44100 -f s16le " +
                   quote(raw));
    std::vector<double> heard = onsets(read_bytes(raw), 44100);
    std::istringstream lines(read_text(log));
    std::string line;
    int notes = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        double note_ms = 0, frame_ms = 0;
        long long frame = 0;
        ASSERT_EQ(sscanf(line.c_str(), "%lf %lld %lf", &note_ms, &frame, &frame_ms), 3) << line;
        EXPECT_DOUBLE_EQ(std::fmod(note_ms, SHOW_TEST_BEAT_MS), 0.0) << line;
        EXPECT_TRUE(frame >= 0 && frame < 60) << line;
        EXPECT_EQ(frame_ms, static_cast<double>((frame + 15) * 1000 / 30)) << line;
        ++notes;
        if (note_ms < 500) continue; // sounds just before the video, shown by its first frame
        bool matched = false;
        for (double t : heard)
            matched = matched || std::abs(t + 500 - frame_ms) <= 1000.0 / 30;
        EXPECT_TRUE(matched) << "no onset near " << line;
    }
    EXPECT_EQ(notes, 5); // 480 (shown first at 500 ms), 960, 1440, 1920 and 2400
}

TEST_F(CaptureTest, MissingFfmpegIsNamedAndLeavesNothing) {
    EXPECT_EQ(run("--video " + quote(out + "/v.mp4") + " --to 500" + size(), "PATH=/nonexistent"),
              1);
    EXPECT_NE(errors.find("ffmpeg"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Debian package"), std::string::npos) << errors;
    EXPECT_TRUE(listing(out).empty());
}

TEST_F(CaptureTest, UnwritableOutputFails) {
    std::string file = out + "/plain";
    ASSERT_TRUE(write_file(file, "x", 1));
    EXPECT_EQ(run("--video " + quote(file + "/v.mp4") + " --to 500" + size()), 1);
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
    EXPECT_EQ(run("--contact-sheet " + quote(file + "/s.png") + " --at 0" + size()), 1);
    EXPECT_EQ(run("--state-hashes " + quote(file + "/h.txt") + " --to 500" + size()), 1);
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
    EXPECT_EQ(listing(out).size(), 1u);
}

// Every step's checksum of the span, the same whether frames are drawn
// beside it or not; the frames asked for are written as usual.
TEST_F(CaptureTest, StateHashesGiveEveryStepOfTheSpan) {
    std::string alone = out + "/alone.txt", beside = out + "/beside.txt";
    ASSERT_EQ(run("--state-hashes " + quote(alone) + " --from 0:00.5 --to 1000" + size()), 0)
        << errors;
    EXPECT_NE(errors.find("31 state checksums in " + alone), std::string::npos) << errors;
    std::istringstream lines(read_text(alone));
    std::vector<std::string> hashes(61);
    std::string line;
    int64_t step = 30; // the first step at or after 500 ms, through 1000 ms
    for (; std::getline(lines, line); ++step) {
        char hex[17] = {};
        long long n = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lld %16[0-9a-f]", &n, hex), 2) << line;
        EXPECT_EQ(n, step);
        EXPECT_EQ(std::strlen(hex), 16u) << line;
        hashes[static_cast<size_t>(step)] = hex;
    }
    EXPECT_EQ(step, 61);
    ASSERT_TRUE(write_file(beside, "old", 3)); // replaced, as every output is
    ASSERT_EQ(run("--frames " + quote(out + "/f") + " --from 700 --to 800 --state-hashes " +
                  quote(beside) + size()),
              0)
        << errors;
    EXPECT_EQ(listing(out + "/f").size(), 7u); // 700 to 800 ms: seven frames
    std::string expected;
    for (size_t n = 42; n <= 48; ++n)
        expected += std::to_string(n) + " " + hashes[n] + "\n";
    EXPECT_EQ(read_text(beside), expected);
    EXPECT_NE(hashes[42], hashes[43]);
}

// A frame W x H at 2 x 2 supersampling is the frame drawn at 2W x 2H with
// each 2 x 2 block averaged (rounded to nearest); the 4:3 picture keeps
// whole-pixel black bars in frames of other shapes.  Supersampling 1 is the
// plain frame.
TEST_F(CaptureTest, SupersampledFrameIsTheLargerFrameBoxFiltered) {
    struct Shape {
        int w, h;      // frame
        int bar, side; // bar width and where: 1 left and right, 2 top and bottom
    };
    const Shape shapes[] = {{70, 48, 3, 1}, {64, 58, 5, 2}};
    for (const Shape& shape : shapes) {
        std::string tag = std::to_string(shape.w) + "x" + std::to_string(shape.h);
        std::string large = std::to_string(2 * shape.w) + "x" + std::to_string(2 * shape.h);
        ASSERT_EQ(run("--frames " + quote(out + "/ss" + tag) +
                      " --at 1700 --supersample 2 --size " + tag),
                  0)
            << errors;
        ASSERT_EQ(run("--frames " + quote(out + "/large" + tag) + " --at 1700 --size " + large), 0);
        int sw = 0, sh = 0, lw = 0, lh = 0;
        std::vector<uint8_t> s, l;
        ASSERT_TRUE(png_read_rgb((out + "/ss" + tag + "/1700.png").c_str(), &sw, &sh, &s));
        ASSERT_TRUE(png_read_rgb((out + "/large" + tag + "/1700.png").c_str(), &lw, &lh, &l));
        ASSERT_EQ(sw, shape.w);
        ASSERT_EQ(lw, 2 * shape.w);
        std::vector<uint8_t> expected(s.size());
        for (int y = 0; y < shape.h; ++y)
            for (int x = 0; x < shape.w; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            sum += l[((2 * y + dy) * static_cast<size_t>(lw) + 2 * x + dx) * 3 + c];
                    expected[(static_cast<size_t>(y) * shape.w + x) * 3 + c] =
                        static_cast<uint8_t>((sum + 2) / 4);
                }
        EXPECT_EQ(s, expected) << tag;
        int bar_sum = 0, lit = 0;
        for (int y = 0; y < shape.h; ++y)
            for (int x = 0; x < shape.w; ++x) {
                int along = shape.side == 1 ? x : y, size = shape.side == 1 ? shape.w : shape.h;
                bool in_bar = along < shape.bar || along >= size - shape.bar;
                for (int c = 0; c < 3; ++c) {
                    uint8_t v = s[(static_cast<size_t>(y) * shape.w + x) * 3 + c];
                    if (in_bar) bar_sum += v;
                    if (!in_bar && (along == shape.bar || along == size - shape.bar - 1))
                        lit += v > 0;
                }
            }
        EXPECT_EQ(bar_sum, 0) << tag;
        EXPECT_GT(lit, 0) << tag; // the picture reaches the bar's edge
    }
    ASSERT_EQ(run("--frames " + quote(out + "/one") + " --at 1700 --supersample 1" + size()), 0);
    ASSERT_EQ(run("--frames " + quote(out + "/plain") + " --at 1700" + size()), 0);
    EXPECT_EQ(read_bytes(out + "/one/1700.png"), read_bytes(out + "/plain/1700.png"));
}

// The lossless master holds exactly the frames the harness draws (here
// supersampled, through the video path's read-back and filter).
TEST_F(CaptureTest, LosslessVideoDecodesToExactlyTheHarnessFrames) {
    std::string video = out + "/v.mkv", raw = out + "/v.rgb";
    ASSERT_EQ(run("--video " + quote(video) +
                  " --codec ffv1 --supersample 2 --from 500 --to 700 --fps 30" + size()),
              0)
        << errors;
    std::string v = probe(video, "v:0", "codec_name,nb_read_frames");
    EXPECT_NE(v.find("codec_name=ffv1"), std::string::npos) << v;
    EXPECT_NE(probe(video, "a:0", "codec_name").find("codec_name=flac"), std::string::npos);
    command_output("ffmpeg -v error -i " + quote(video) + " -f rawvideo -pix_fmt rgb24 " +
                   quote(raw));
    std::vector<uint8_t> decoded = read_bytes(raw);
    std::string frames = out + "/frames";
    ASSERT_EQ(
        run("--frames " + quote(frames) + " --supersample 2 --from 500 --to 666 --fps 30" + size()),
        0)
        << errors;
    size_t frame_bytes = static_cast<size_t>(W) * H * 3;
    ASSERT_EQ(decoded.size(), 6 * frame_bytes); // 500, 533, ... 666 ms
    for (int i = 0; i < 6; ++i) {
        char name[32];
        snprintf(name, sizeof name, "/frame_%06d.png", 15 + i);
        int w = 0, h = 0;
        std::vector<uint8_t> png;
        ASSERT_TRUE(png_read_rgb((frames + name).c_str(), &w, &h, &png)) << name;
        EXPECT_TRUE(std::equal(png.begin(), png.end(), decoded.begin() + i * frame_bytes)) << name;
    }
}

// A codec whose encoder this ffmpeg lacks is named before anything is drawn.
TEST_F(CaptureTest, MissingEncoderIsNamed) {
    std::string bin = dir + "/bin";
    std::filesystem::create_directories(bin);
    const char script[] = "#!/bin/sh\necho ' V....D libx264   H.264'\necho ' A....D aac   AAC'\n";
    ASSERT_TRUE(write_file(bin + "/ffmpeg", script, sizeof script - 1));
    chmod((bin + "/ffmpeg").c_str(), 0755);
    std::error_code linked;
    std::filesystem::create_symlink(command_output("command -v ffprobe | tr -d '\\n'"),
                                    bin + "/ffprobe", linked);
    EXPECT_EQ(
        run("--video " + quote(out + "/v.mp4") + " --codec hevc --to 500" + size(), "PATH=" + bin),
        1);
    EXPECT_NE(errors.find("has no libx265 encoder, which --codec hevc needs"), std::string::npos)
        << errors;
    EXPECT_TRUE(listing(out).empty());
}

// Outputs that exist and are not regular files are refused before anything
// is drawn, and stay as they were.
TEST_F(CaptureTest, OutputsThatAreNotFilesAreRefused) {
    std::string device = out + "/device", frames = out + "/frames";
    std::filesystem::create_directories(frames);
    for (const std::string& path : {device, frames + "/0.png"})
        ASSERT_EQ(mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << strerror(errno);
    const std::string cases[] = {
        "--video " + quote(device) + " --to 100",
        "--contact-sheet " + quote(device) + " --at 0",
        "--frames " + quote(frames) + " --at 0",
        "--frames " + quote(out + "/other") + " --at 0 --sync-log " + quote(device),
        "--state-hashes " + quote(device) + " --to 100",
        "--video " + quote(out) + " --to 100", // a directory
    };
    for (const std::string& args : cases) {
        EXPECT_EQ(run(args + size()), 2) << args;
        EXPECT_NE(errors.find("is not a regular file"), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    struct stat info;
    for (const std::string& path : {device, frames + "/0.png"})
        EXPECT_TRUE(stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) << path;
    EXPECT_EQ(listing(out).size(), 2u);
    EXPECT_EQ(listing(frames).size(), 1u);
}

// A disk that fills up while ffmpeg writes: a small tmpfs of its own in a
// private mount namespace holds the output.  ffmpeg may exit 0 with a file
// that has no index; the capture must see that, fail and leave nothing.
TEST_F(CaptureTest, FullDiskFailsAndLeavesNothing) {
    std::string disk = dir + "/disk", script = dir + "/full_disk.sh";
    std::filesystem::create_directories(disk);
    std::string probe_mount =
        "unshare -m sh -c 'mount -t tmpfs -o size=" + std::string(FULL_DISK_SIZE) + " tmpfs " +
        disk + "' 2>/dev/null";
    if (std::system(probe_mount.c_str()) != 0)
        GTEST_SKIP() << "a private tmpfs (unshare -m, mount -t tmpfs) is not permitted here: the "
                        "full-disk case is not tried";
    std::string text = "mount -t tmpfs -o size=" + std::string(FULL_DISK_SIZE) + " tmpfs " +
                       quote(disk) + " || exit 99\n" + quote(TOOL) + " --data " + quote(dir) +
                       " --video " + quote(disk + "/v.mp4") + " --sync-log " +
                       quote(disk + "/sync.txt") + FULL_DISK_ARGS + " 2>" + quote(dir + "/stderr") +
                       "\necho $? >" + quote(dir + "/status") + "\nls -A " + quote(disk) + " >" +
                       quote(dir + "/left") + "\n";
    ASSERT_TRUE(write_file(script, text.data(), text.size()));
    ASSERT_EQ(WEXITSTATUS(std::system(("unshare -m sh " + quote(script)).c_str())), 0);
    errors = read_text(dir + "/stderr");
    EXPECT_EQ(read_text(dir + "/status"), "1\n") << errors;
    EXPECT_EQ(read_text(dir + "/left"), "") << errors;
    EXPECT_EQ(errors.find(" frames in "), std::string::npos) << errors; // the success line
}

TEST_F(CaptureTest, FailingEncoderLeavesNoPartialFile) {
    std::string bin = dir + "/bin";
    std::filesystem::create_directories(bin);
    const char script[] = "#!/bin/sh\necho 'ffmpeg: broken on purpose' >&2\nexit 1\n";
    ASSERT_TRUE(write_file(bin + "/ffmpeg", script, sizeof script - 1));
    chmod((bin + "/ffmpeg").c_str(), 0755);
    std::error_code linked; // the real ffprobe beside it: the run gets as far as the encoder
    std::filesystem::create_symlink(command_output("command -v ffprobe | tr -d '\\n'"),
                                    bin + "/ffprobe", linked);
    EXPECT_EQ(run("--video " + quote(out + "/v.mp4") + " --to 2000" + size(), "PATH=" + bin), 1);
    EXPECT_NE(errors.find("broken on purpose"), std::string::npos) << errors;
    EXPECT_TRUE(listing(out).empty());
}

TEST_F(CaptureTest, InterruptedRunLeavesNoPartialFile) {
    std::string video = out + "/v.mp4";
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stderr)) _exit(126);
        execl(TOOL, TOOL, "--data", dir.c_str(), "--video", video.c_str(), "--size", "64x48",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Wait until the capture is under way (its part files exist); a loaded
    // machine may take many seconds to get there.
    for (int i = 0; i < 6000 && !exists(video + ".video.part"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(exists(video + ".video.part"));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(listing(out).empty());
}

} // namespace

namespace {

// ffmpeg's framemd5 of every decoded frame, video and audio, with its time.
std::string framemd5(const std::string& file) {
    return command_output("ffmpeg -v error -i " + quote(file) + " -f framemd5 -");
}

// The first field of each line of ffprobe's CSV output for `entries`.
std::vector<std::string> probe_column(const std::string& file, const std::string& entries) {
    std::istringstream lines(command_output("ffprobe -v error -select_streams v:0 -show_entries " +
                                            entries + " -of csv=p=0 " + quote(file)));
    std::vector<std::string> column;
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty()) column.push_back(line.substr(0, line.find(',')));
    return column;
}

// The decoded video of `file` as raw 8-bit YUV 4:2:0, or its audio as 16-bit
// samples.
std::vector<uint8_t> decoded(const std::string& file, const std::string& dir, bool audio) {
    std::string raw = dir + "/decoded.raw";
    command_output("ffmpeg -v error -y -i " + quote(file) +
                   (audio ? " -vn -f s16le " : " -f rawvideo -pix_fmt yuv420p ") + quote(raw));
    std::vector<uint8_t> bytes = read_bytes(raw);
    unlink(raw.c_str());
    return bytes;
}

// PSNR (dB) of one frame against its source; 99 when equal.
double psnr(const uint8_t* a, const uint8_t* b, size_t size) {
    double sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(size) / sum);
}

} // namespace

// A lossless capture split in three spans over two local jobs is the video of
// one run, frame for frame and sample for sample with their times.  A span
// that fails leaves no output and keeps the others; the same command again
// captures only the missing span.
TEST_F(CaptureTest, SplitLosslessCaptureEqualsOneRun) {
    std::string one = out + "/one.mkv", split = out + "/split.mkv";
    ASSERT_EQ(run("--video " + quote(one) + " --codec ffv1" + SPLIT_SPAN + size()), 0) << errors;
    std::string farm_args =
        "--spans 3 --jobs 2 --output " + quote(split) + " --codec ffv1" + SPLIT_SPAN + size();
    std::string failing = dir + "/failing_tool";
    std::string script = "#!/bin/sh\ncase \" $* \" in *\" --from 800 \"*) echo 'span broken on "
                         "purpose' >&2; exit 1;; esac\nexec " +
                         quote(TOOL) + " \"$@\"\n";
    ASSERT_TRUE(write_file(failing, script.data(), script.size()));
    chmod(failing.c_str(), 0755);
    EXPECT_EQ(farm(farm_args, "", failing), 1);
    EXPECT_NE(errors.find("span broken on purpose"), std::string::npos) << errors;
    EXPECT_NE(errors.find("span(s) 1 of 3 failed"), std::string::npos) << errors;
    EXPECT_FALSE(exists(split));
    EXPECT_TRUE(exists(split + ".parts/span_0.mov") && exists(split + ".parts/span_2.mov"));
    EXPECT_FALSE(exists(split + ".parts/span_1.mov"));

    ASSERT_EQ(farm(farm_args), 0) << errors;
    EXPECT_NE(errors.find("capturing 1 of 3 spans"), std::string::npos) << errors;
    std::string expected = framemd5(one);
    EXPECT_NE(expected.find("\n0,"), std::string::npos) << expected; // video frames
    EXPECT_NE(expected.find("\n1,"), std::string::npos) << expected; // audio frames
    EXPECT_EQ(framemd5(split), expected);
    EXPECT_FALSE(exists(split + ".parts"));
}

// Without --tool the farm takes the tool on the PATH, else the one built
// beside its own project, else the one in the current folder, and names
// what it tried when none is there.  A copy of the script in a project of
// the test's own and a stand-in tool that names itself and fails.
TEST_F(CaptureTest, FarmFindsTheToolBesideItsProjectOrHere) {
    if (!command_output("PATH=/usr/bin:/bin command -v vintermoot-capture").empty())
        GTEST_SKIP() << "a capture tool is installed on the PATH: the other places are not tried";
    std::string project = dir + "/project", here = dir + "/here";
    std::filesystem::create_directories(project + "/scripts");
    std::filesystem::create_directories(project + "/build");
    std::filesystem::create_directories(here);
    std::filesystem::copy_file(FARM, project + "/scripts/capture_farm.sh");
    const std::string stub = "#!/bin/sh\necho \"stand-in tool $0\" >&2\nexit 1\n";
    auto farm_here = [&] {
        std::string command = "cd " + quote(here) + " && PATH=/usr/bin:/bin bash " +
                              quote(project + "/scripts/capture_farm.sh") + " --spans 1 --jobs 1 " +
                              "--output " + quote(out + "/found.mkv") + " --to 100 --fps 30 2>" +
                              quote(dir + "/stderr");
        int status = std::system(command.c_str());
        errors = read_text(dir + "/stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(farm_here(), 1);
    EXPECT_NE(errors.find("tried vintermoot-capture on the PATH, " + project +
                          "/build/vintermoot-capture and " + here + "/vintermoot-capture"),
              std::string::npos)
        << errors;
    for (const std::string& place : {project + "/build", here}) {
        std::string tool = place + "/vintermoot-capture";
        ASSERT_TRUE(write_file(tool, stub.data(), stub.size()));
        chmod(tool.c_str(), 0755);
        EXPECT_EQ(farm_here(), 1);
        std::string found = std::filesystem::canonical(tool).string();
        EXPECT_NE(errors.find("with " + found), std::string::npos) << errors;
        EXPECT_NE(errors.find("stand-in tool " + found), std::string::npos) << errors;
        std::filesystem::remove(tool);
    }
}

// An H.264 capture split in three: the frames at the same times, the audio
// equal sample for sample, and every frame within the codec's loss of the
// frame one run encodes (its source, in the encoder's YUV 4:2:0).
TEST_F(CaptureTest, SplitH264CaptureMatchesOneRun) {
    std::string source = out + "/source.mkv", one = out + "/one.mp4", split = out + "/split.mp4";
    // A high quality, so that the floor tells a right frame from a wrong one.
    std::string quality = " --crf 4";
    ASSERT_EQ(run("--video " + quote(source) + " --codec ffv1" + SPLIT_SPAN + size()), 0) << errors;
    ASSERT_EQ(run("--video " + quote(one) + quality + SPLIT_SPAN + size()), 0) << errors;
    ASSERT_EQ(farm("--spans 3 --jobs 2 --output " + quote(split) + quality + SPLIT_SPAN + size()),
              0)
        << errors;
    std::vector<std::string> times = probe_column(one, "frame=pts");
    EXPECT_EQ(times.size(), 30u);
    EXPECT_EQ(probe_column(split, "frame=pts"), times);
    std::vector<uint8_t> sound = decoded(one, dir, true);
    EXPECT_GT(sound.size(), 44100u * 4 * 99 / 100);
    EXPECT_EQ(decoded(split, dir, true), sound);
    std::vector<uint8_t> reference = decoded(source, dir, false),
                         frames = decoded(split, dir, false);
    size_t frame_bytes = static_cast<size_t>(W) * H * 3 / 2;
    ASSERT_EQ(reference.size(), 30 * frame_bytes);
    ASSERT_EQ(frames.size(), reference.size());
    for (size_t i = 0; i < 30; ++i)
        EXPECT_GE(psnr(&frames[i * frame_bytes], &reference[i * frame_bytes], frame_bytes), 45.0)
            << "frame " << i;
}

namespace {

// An ssh server of the test's own on 127.0.0.1 (host and user keys in
// `dir`), for the split capture over ssh.  `ssh` is the client command that
// reaches it; empty when no server could be started here.
struct TestSshServer {
    pid_t pid = -1;
    std::string ssh;
};

TestSshServer ssh_server_start(const std::string& dir) {
    TestSshServer server;
    std::string sshd = command_output("command -v sshd || ls /usr/sbin/sshd 2>/dev/null");
    sshd = sshd.substr(0, sshd.find('\n'));
    if (sshd.empty() || command_output("command -v ssh").empty()) return server;
    int port = 20000 + static_cast<int>(getpid() % 20000);
    std::string keys = "ssh-keygen -q -t ed25519 -N '' -f " + quote(dir + "/host_key") +
                       " && ssh-keygen -q -t ed25519 -N '' -f " + quote(dir + "/user_key") +
                       " && cp " + quote(dir + "/user_key.pub") + " " +
                       quote(dir + "/authorized_keys") + " && mkdir -p /run/sshd";
    if (std::system(keys.c_str()) != 0) return server;
    std::string config = "Port " + std::to_string(port) + "\nListenAddress 127.0.0.1\nHostKey " +
                         dir + "/host_key\nAuthorizedKeysFile " + dir +
                         "/authorized_keys\nPidFile " + dir +
                         "/sshd.pid\nStrictModes no\nUsePAM no\nPasswordAuthentication no\n"
                         "PermitRootLogin prohibit-password\n";
    std::string config_file = dir + "/sshd_config", log = dir + "/sshd.log";
    if (!write_file(config_file, config.data(), config.size())) return server;
    // In the foreground (-D), a child of the test that it stops and waits for.
    server.pid = fork();
    if (server.pid == 0) {
        execl(sshd.c_str(), sshd.c_str(), "-D", "-f", config_file.c_str(), "-E", log.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (server.pid < 0) return server;
    std::string client = "ssh -p " + std::to_string(port) + " -i " + dir +
                         "/user_key -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "
                         "-o BatchMode=yes -o LogLevel=ERROR";
    // Wait until the server answers (or has ended).
    for (int i = 0; i < 50 && server.ssh.empty(); ++i) {
        if (waitpid(server.pid, nullptr, WNOHANG) != 0) {
            server.pid = -1;
            break;
        }
        if (command_output(client + " root@127.0.0.1 echo up 2>/dev/null") == "up\n")
            server.ssh = client;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return server;
}

void ssh_server_stop(const TestSshServer& server) {
    if (server.pid <= 0) return;
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
}

} // namespace

// The same split over ssh to this machine: the spans run there and come back.
TEST_F(CaptureTest, SplitOverSshEqualsOneRun) {
    TestSshServer server = ssh_server_start(dir);
    if (server.ssh.empty()) {
        ssh_server_stop(server);
        GTEST_SKIP() << "no ssh server could be started on 127.0.0.1 here: the split over ssh "
                        "is not tried";
    }
    std::string one = out + "/one.mkv", split = out + "/split.mkv";
    ASSERT_EQ(run("--video " + quote(one) + " --codec ffv1" + SPLIT_SPAN + size()), 0) << errors;
    int status = farm("--spans 2 --jobs 2 --sshlogin 2/root@127.0.0.1 --output " + quote(split) +
                          " --codec ffv1" + SPLIT_SPAN + size(),
                      "PARALLEL_SSH=" + quote(server.ssh));
    ssh_server_stop(server);
    ASSERT_EQ(status, 0) << errors;
    EXPECT_EQ(framemd5(split), framemd5(one));
    EXPECT_FALSE(exists(split + ".parts"));
}
