#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
