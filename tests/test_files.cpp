#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "support/test_support.h"

namespace {

struct FilesTest : ::testing::Test {
    std::string dir = temp_dir_make("files");
    WorkingDirGuard guard = working_dir_enter(dir);
    ~FilesTest() override {
        working_dir_leave(guard);
        temp_dir_remove(dir);
    }
};

TEST_F(FilesTest, BothSpellingsReachTheLowerCaseDirectory) {
    std::filesystem::create_directory("data");
    ASSERT_TRUE(write_file("data/a.bmp", "x", 1));
    char out[256];
    ASSERT_TRUE(files_resolve("Data/a.bmp", out, sizeof out));
    EXPECT_STREQ(out, "data/a.bmp");
    ASSERT_TRUE(files_resolve("data/a.bmp", out, sizeof out));
    EXPECT_STREQ(out, "data/a.bmp");
}

TEST_F(FilesTest, BothSpellingsReachTheCapitalisedDirectory) {
    std::filesystem::create_directory("Data");
    ASSERT_TRUE(write_file("Data/Kvadrat2.xm", "x", 1));
    char out[256];
    ASSERT_TRUE(files_resolve("data/Kvadrat2.xm", out, sizeof out));
    EXPECT_STREQ(out, "Data/Kvadrat2.xm");
    FILE* f = files_open("data/Kvadrat2.xm", "r");
    ASSERT_NE(f, nullptr);
    fclose(f);
}

TEST_F(FilesTest, MissingFileKeepsItsPathAndDoesNotOpen) {
    char out[256];
    ASSERT_TRUE(files_resolve("Data/none.bmp", out, sizeof out));
    EXPECT_STREQ(out, "Data/none.bmp");
    EXPECT_EQ(files_open("Data/none.bmp", "r"), nullptr);
}

TEST_F(FilesTest, TooSmallBufferIsRefused) {
    char out[4];
    EXPECT_FALSE(files_resolve("Data/long_name.bmp", out, sizeof out));
}

// The pictures folder: XDG_PICTURES_DIR of user-dirs.dirs (under "$HOME" or
// absolute, the last line counting), else ~/Pictures.
TEST_F(FilesTest, ThePicturesFolderFollowsTheUserDirsFile) {
    const std::string home = dir + "/home", config = dir + "/config";
    EXPECT_EQ(files_pictures_dir(home, config), home + "/Pictures"); // no file
    EXPECT_EQ(files_pictures_dir("", config), "");
    std::filesystem::create_directories(config);
    struct Case {
        std::string text, want;
    } cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", home + "/Bilder"},
        {"# XDG_PICTURES_DIR=\"/x\"\nXDG_PICTURES_DIR=\"/srv/shots\"\n", "/srv/shots"},
        {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", home + "/Pictures"},
        {"XDG_PICTURES_DIR=\"relative\"\nXDG_PICTURES_DIR=\"$HOME/Open", home + "/Pictures"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(write_file(config + "/user-dirs.dirs", c.text.data(), c.text.size()));
        EXPECT_EQ(files_pictures_dir(home, config), c.want) << c.text;
    }
    // Without XDG_CONFIG_HOME the file is read from ~/.config.
    std::filesystem::create_directories(home + "/.config");
    const std::string text = "XDG_PICTURES_DIR=\"$HOME/Shots\"\n";
    ASSERT_TRUE(write_file(home + "/.config/user-dirs.dirs", text.data(), text.size()));
    EXPECT_EQ(files_pictures_dir(home, ""), home + "/Shots");
}

} // namespace
