// The player's command line: every option in both spellings, song times in
// ms and m:ss, bad values and unknown options; and the program itself: exit
// 2 with a one-line message and the usage line, --help and --version.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"

namespace {

struct Parsed {
    OptionsParse result;
    PlayerOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "vintermoot");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    Parsed p;
    p.result = options_parse(static_cast<int>(argv.size()), argv.data(), &p.options, &p.error);
    return p;
}

TEST(Options, NoneGiveTheShowsOwnStart) {
    Parsed p = parse({});
    ASSERT_EQ(p.result, OPTIONS_OK);
    EXPECT_EQ(p.options.display, OPTIONS_DISPLAY_SHOW);
    EXPECT_EQ(p.options.from_ms, 0);
    EXPECT_TRUE(p.options.data_dir.empty());
    EXPECT_TRUE(p.options.vsync);
    EXPECT_EQ(p.options.audio_delay_ms, 0);
}

TEST(Options, AudioDelayTakesSignedWholeMilliseconds) {
    const std::pair<std::vector<std::string>, int64_t> cases[] = {
        {{"--audio-delay", "200"}, 200},
        {{"--audio-delay=-45"}, -45},
        {{"--audio-delay", "-5000"}, -5000},
        {{"--audio-delay=+5000"}, 5000},
        {{"--audio-delay=0"}, 0},
        {{"--audio-delay=1", "--audio-delay=2"}, 2},
    };
    for (const auto& c : cases) {
        Parsed p = parse(c.first);
        SCOPED_TRACE(c.first[0]);
        ASSERT_EQ(p.result, OPTIONS_OK) << p.error;
        EXPECT_EQ(p.options.audio_delay_ms, c.second);
    }
}

struct GoodCase {
    std::vector<std::string> args;
    OptionsDisplay display;
    int width, height;
    int64_t from_ms;
    const char* data_dir;
    bool vsync;
};

TEST(Options, EveryOptionInEverySpelling) {
    const GoodCase cases[] = {
        {{"--window"}, OPTIONS_DISPLAY_WINDOW, 1024, 768, 0, "", true},
        {{"--window=1280x720"}, OPTIONS_DISPLAY_WINDOW, 1280, 720, 0, "", true},
        {{"--window=64x16384"}, OPTIONS_DISPLAY_WINDOW, 64, 16384, 0, "", true},
        {{"--fullscreen"}, OPTIONS_DISPLAY_FULLSCREEN, 1024, 768, 0, "", true},
        {{"--from", "260000"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 260000, "", true},
        {{"--from=4:20"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 260000, "", true},
        {{"--from", "1:17.5"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 77500, "", true},
        {{"--from=0:00.025"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 25, "", true},
        {{"--from=5:30"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 330000, "", true},
        {{"--data", "/opt/show"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 0, "/opt/show", true},
        {{"--data=rel/dir"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 0, "rel/dir", true},
        {{"--no-vsync"}, OPTIONS_DISPLAY_SHOW, 1024, 768, 0, "", false},
        {{"--fullscreen", "--from", "2:00", "--no-vsync", "--data", "d"},
         OPTIONS_DISPLAY_FULLSCREEN,
         1024,
         768,
         120000,
         "d",
         false},
        {{"--window=800x800", "--window=800x800"}, OPTIONS_DISPLAY_WINDOW, 800, 800, 0, "", true},
    };
    for (const GoodCase& c : cases) {
        Parsed p = parse(c.args);
        SCOPED_TRACE(c.args[0]);
        ASSERT_EQ(p.result, OPTIONS_OK) << p.error;
        EXPECT_EQ(p.options.display, c.display);
        EXPECT_EQ(p.options.width, c.width);
        EXPECT_EQ(p.options.height, c.height);
        EXPECT_EQ(p.options.from_ms, c.from_ms);
        EXPECT_EQ(p.options.data_dir, c.data_dir);
        EXPECT_EQ(p.options.vsync, c.vsync);
    }
}

TEST(Options, HelpAndVersionWinOverWhatFollows) {
    EXPECT_EQ(parse({"--help"}).result, OPTIONS_HELP);
    EXPECT_EQ(parse({"-h"}).result, OPTIONS_HELP);
    EXPECT_EQ(parse({"--window", "--help", "--bogus"}).result, OPTIONS_HELP);
    EXPECT_EQ(parse({"--version"}).result, OPTIONS_VERSION);
    EXPECT_EQ(std::string(options_help()).rfind(options_usage(), 0), 0u);
    for (const char* name :
         {"--window", "--fullscreen", "--from", "--data", "--audio-delay", "--no-vsync"})
        EXPECT_NE(std::string(options_help()).find(name), std::string::npos) << name;
}

struct BadCase {
    std::vector<std::string> args;
    const char* message; // the whole one-line error
};

TEST(Options, BadOptionsSayWhichAndWhy) {
    const BadCase cases[] = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"-x"}, "unknown option \"-x\""},
        {{"extra"}, "unexpected argument \"extra\""},
        {{"--from"}, "option --from needs a value"},
        {{"--data"}, "option --data needs a value"},
        {{"--data="}, "--data needs a directory"},
        {{"--from", "abc"}, "--from takes a song time in ms or as m:ss, not \"abc\""},
        {{"--from=-5"}, "--from takes a song time in ms or as m:ss, not \"-5\""},
        {{"--from=4:2"}, "--from takes a song time in ms or as m:ss, not \"4:2\""},
        {{"--from=4:60"}, "--from takes a song time in ms or as m:ss, not \"4:60\""},
        {{"--from=4:20.1234"}, "--from takes a song time in ms or as m:ss, not \"4:20.1234\""},
        {{"--from=4:20."}, "--from takes a song time in ms or as m:ss, not \"4:20.\""},
        {{"--from=:20"}, "--from takes a song time in ms or as m:ss, not \":20\""},
        {{"--from=330001"}, "--from 330001 lies after the end of the show (330000 ms)"},
        {{"--from=6:00"}, "--from 6:00 lies after the end of the show (330000 ms)"},
        {{"--window=800"}, "--window takes WIDTHxHEIGHT, each from 64 to 16384, not \"800\""},
        {{"--window=63x600"}, "--window takes WIDTHxHEIGHT, each from 64 to 16384, not \"63x600\""},
        {{"--window=800x16385"},
         "--window takes WIDTHxHEIGHT, each from 64 to 16384, not \"800x16385\""},
        {{"--window="}, "--window takes WIDTHxHEIGHT, each from 64 to 16384, not \"\""},
        {{"--window", "--fullscreen"}, "give only one of --window and --fullscreen"},
        {{"--fullscreen", "--window=800x600"}, "give only one of --window and --fullscreen"},
        {{"--fullscreen=yes"}, "option --fullscreen takes no value"},
        {{"--no-vsync=1"}, "option --no-vsync takes no value"},
        {{"--help=me"}, "option --help takes no value"},
        {{"--audio-delay"}, "option --audio-delay needs a value"},
        {{"--audio-delay=5001"},
         "--audio-delay takes whole milliseconds from -5000 to 5000, not "
         "\"5001\""},
        {{"--audio-delay", "-5001"},
         "--audio-delay takes whole milliseconds from -5000 to 5000, "
         "not \"-5001\""},
        {{"--audio-delay=12.5"},
         "--audio-delay takes whole milliseconds from -5000 to 5000, not "
         "\"12.5\""},
        {{"--audio-delay=-"},
         "--audio-delay takes whole milliseconds from -5000 to 5000, not "
         "\"-\""},
        {{"--audio-delay=--5"},
         "--audio-delay takes whole milliseconds from -5000 to 5000, not "
         "\"--5\""},
        {{"--audio-delay="},
         "--audio-delay takes whole milliseconds from -5000 to 5000, not "
         "\"\""},
    };
    for (const BadCase& c : cases) {
        Parsed p = parse(c.args);
        SCOPED_TRACE(c.args[0]);
        EXPECT_EQ(p.result, OPTIONS_BAD);
        EXPECT_EQ(p.error, c.message);
    }
}

// Runs the player with `args`; its exit status and everything it printed.
int run_player(const std::string& args, std::string* output) {
    std::string command = std::string(VM_TOOL_VINTERMOOT) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t got;
    output->clear();
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output->append(buffer, got);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OptionsProgram, BadOptionExitsTwoWithTheMessageAndTheUsageLine) {
    std::string out;
    EXPECT_EQ(run_player("--frobnicate", &out), 2);
    EXPECT_EQ(out, std::string("vintermoot: unknown option \"--frobnicate\"\n") + options_usage());
    EXPECT_EQ(run_player("--from 7:99", &out), 2);
    EXPECT_EQ(out, std::string("vintermoot: --from takes a song time in ms or as m:ss, not "
                               "\"7:99\"\n") +
                       options_usage());
    EXPECT_EQ(run_player("--audio-delay 20ms", &out), 2);
    EXPECT_EQ(out, std::string("vintermoot: --audio-delay takes whole milliseconds from -5000 to "
                               "5000, not \"20ms\"\n") +
                       options_usage());
}

TEST(OptionsProgram, HelpVersionAndAMissingDataDirectory) {
    std::string out;
    EXPECT_EQ(run_player("--help", &out), 0);
    EXPECT_EQ(out, options_help());
    EXPECT_EQ(run_player("--version", &out), 0);
    EXPECT_EQ(out, options_version());
    EXPECT_NE(out.find(VM_VERSION), std::string::npos);
    EXPECT_EQ(run_player("--data /nonexistent/vintermoot", &out), 1);
    EXPECT_EQ(out, "vintermoot: no data/ directory in /nonexistent/vintermoot\n");
}

} // namespace
