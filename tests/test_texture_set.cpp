#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

#include "assets/texture_set.h"
#include "bmp_builder.h"
#include "platform/msgbox.h"
#include "platform/offscreen.h"
#include "support/test_support.h"

namespace {

// Boxes shown since the fixture started, as "caption: text".
std::vector<std::string> shown_boxes;

MsgBoxAnswer record_box(const char* text, const char* caption, MsgBoxButtons, MsgBoxIcon,
                        bool owned_by_focus) {
    shown_boxes.push_back(std::string(caption) + ": " + text +
                          (owned_by_focus ? "" : " (unowned)"));
    return MSGBOX_ANSWER_OK;
}

// The test pictures are 4 x 2: a bottom row in the file's colour, a top row
// in its inverse, so that every file and the row order can be told apart.
constexpr int PICTURE_WIDTH = 4;
constexpr int PICTURE_HEIGHT = 2;

// The file name without "Data/".
std::string base_name(const char* path) {
    return std::string(path).substr(5);
}

uint32_t colour_of(const std::string& name) {
    uint32_t h = 2166136261u;
    for (char c : name)
        h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h & 0xFFFFFF;
}

// Red, green, blue rows as the texture should hold them, bottom row first.
std::vector<uint8_t> picture_rgb(const std::string& name) {
    uint32_t c = colour_of(name);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        uint32_t v = y == 0 ? c : (~c & 0xFFFFFF);
        for (int x = 0; x < PICTURE_WIDTH; ++x)
            rgb.insert(rgb.end(), {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                   static_cast<uint8_t>(v)});
    }
    return rgb;
}

std::vector<uint8_t> picture_file(const std::string& name) {
    uint32_t c = colour_of(name);
    std::vector<uint32_t> values(PICTURE_WIDTH, c);
    values.resize(PICTURE_WIDTH * PICTURE_HEIGHT, ~c & 0xFFFFFF);
    BmpLayout layout{PICTURE_WIDTH, PICTURE_HEIGHT, 24, 0, true, false, 0, 0, 0, 0};
    return bmp_build(layout, {}, bmp_pack_direct(24, PICTURE_WIDTH, PICTURE_HEIGHT, values));
}

// Pixels of the texture bound to `name`, rows from t = 0.
std::vector<uint8_t> texture_rgb(uint32_t name) {
    std::vector<uint8_t> rgb(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

struct TextureSetTest : ::testing::Test {
    std::string dir = temp_dir_make("textures");
    WorkingDirGuard guard = working_dir_enter(dir);
    int watch = -1; // inotify descriptor reporting opens in data/

    TextureSetTest() {
        shown_boxes.clear();
        msgbox_set_hook(record_box);
        memset(texture_slots, 0, sizeof texture_slots);
        // The show names "Data/"; the directory on disk is lower case.
        std::filesystem::create_directory("data");
        for (const char* path : TEXTURE_FILES) {
            std::vector<uint8_t> file = picture_file(base_name(path));
            EXPECT_TRUE(write_file("data/" + base_name(path), file.data(), file.size()));
        }
        EXPECT_TRUE(offscreen_begin(64, 64));
    }
    ~TextureSetTest() override {
        offscreen_end();
        if (watch >= 0) close(watch);
        msgbox_set_hook(nullptr);
        working_dir_leave(guard);
        temp_dir_remove(dir);
    }

    void watch_opens() {
        watch = inotify_init1(IN_NONBLOCK);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, "data", IN_OPEN), 0);
    }

    // Names of the files in data/ opened since watch_opens.
    std::set<std::string> opened_files() {
        std::set<std::string> names;
        alignas(inotify_event) char buffer[65536];
        ssize_t got;
        while ((got = read(watch, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + got;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len) names.insert(event->name);
                p += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

    // The next texture name GL hands out; a load that made textures in
    // between would have used the names after `probe`.
    static uint32_t next_texture_name() {
        GLuint name = 0;
        glGenTextures(1, &name);
        return name;
    }

    void expect_no_textures(uint32_t probe) {
        for (uint32_t name : texture_slots)
            EXPECT_EQ(name, 0u);
        EXPECT_EQ(next_texture_name(), probe + 1);
    }
};

TEST_F(TextureSetTest, FileTableListsTheGreetingsTwiceAndTheEndPicturesOutOfOrder) {
    EXPECT_STREQ(TEXTURE_FILES[SLOT_BIN2], "Data/bin2.bmp");
    EXPECT_STREQ(TEXTURE_FILES[SLOT_COMP], "Data/comp.bmp");
    EXPECT_STREQ(TEXTURE_FILES[SLOT_S4_SCROLLER2], "Data/s4_scroller2.bmp");
    EXPECT_STREQ(TEXTURE_FILES[SLOT_DOOR], "Data/door.bmp");
    EXPECT_STREQ(TEXTURE_FILES[SLOT_WIRE], "Data/wire.bmp");
    for (int k = 0; k < 3; ++k)
        EXPECT_STREQ(TEXTURE_FILES[20 + k], TEXTURE_FILES[SLOT_GREETZ1 + 2 + k]);
    const char* const ends[] = {"end1", "end2", "end3", "end6", "end4", "end5"};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(TEXTURE_FILES[SLOT_END1 + k], std::string("Data/") + ends[k] + ".bmp");
    std::set<std::string> distinct(TEXTURE_FILES, TEXTURE_FILES + TEXTURE_COUNT);
    EXPECT_EQ(distinct.size(), 60u);
}

TEST_F(TextureSetTest, AllFilesPresentMakeSixtyThreeTexturesInSlotOrder) {
    // The upload sets its own row alignment and puts this one back.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    ASSERT_EQ(load_texture_set(), 1);
    EXPECT_TRUE(shown_boxes.empty());
    std::set<uint32_t> names(texture_slots, texture_slots + TEXTURE_COUNT);
    EXPECT_EQ(names.size(), 63u);
    EXPECT_EQ(names.count(0u), 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[SLOT_END5]);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8); // as the test set it before the load
    for (int k = 0; k < TEXTURE_COUNT; ++k) {
        SCOPED_TRACE(TEXTURE_FILES[k]);
        EXPECT_EQ(texture_rgb(texture_slots[k]), picture_rgb(base_name(TEXTURE_FILES[k])));
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
        EXPECT_EQ(value, GL_REPEAT);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, PICTURE_WIDTH);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &value);
        EXPECT_EQ(value, 0);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
        EXPECT_EQ(value, 3);
    }
    // The greetings listed twice are separate textures with the same picture.
    EXPECT_NE(texture_slots[20], texture_slots[45]);
    EXPECT_EQ(texture_rgb(texture_slots[22]), texture_rgb(texture_slots[47]));
    EXPECT_EQ(texture_rgb(texture_slots[60]), picture_rgb("end6.bmp"));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Rows of 3, 9, 15 and 381 bytes are not a multiple of 4: the decoder packs
// them without padding, and the texture must hold exactly those pixels.
TEST_F(TextureSetTest, OddWidthsUploadEveryRowExactly) {
    constexpr int HEIGHT = 3;
    for (int width : {1, 3, 5, 127}) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::vector<uint32_t> values;
        std::vector<uint8_t> expected; // red, green, blue, bottom row first
        for (int i = 0; i < width * HEIGHT; ++i) {
            uint32_t v = colour_of(std::to_string(i));
            values.push_back(v);
            expected.insert(expected.end(),
                            {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                             static_cast<uint8_t>(v)});
        }
        BmpLayout layout{width, HEIGHT, 24, 0, true, false, 0, 0, 0, 0};
        std::vector<uint8_t> file =
            bmp_build(layout, {}, bmp_pack_direct(24, width, HEIGHT, values));
        ASSERT_TRUE(write_file("data/bin2.bmp", file.data(), file.size()));
        ASSERT_EQ(load_texture_set(), 1);
        std::vector<uint8_t> rgb(expected.size());
        glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BIN2]);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        EXPECT_EQ(rgb, expected);
        GLint alignment = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        EXPECT_EQ(alignment, 4); // GL's default, as the load found it
        glDeleteTextures(TEXTURE_COUNT, texture_slots);
    }
}

TEST_F(TextureSetTest, LastFileMissingOpensAllOthersAndMakesNoTexture) {
    std::filesystem::remove("data/end5.bmp");
    uint32_t probe = next_texture_name();
    watch_opens();
    EXPECT_EQ(load_texture_set(), 0);
    EXPECT_TRUE(shown_boxes.empty());
    std::set<std::string> expected;
    for (int k = 0; k < SLOT_END5; ++k)
        expected.insert(base_name(TEXTURE_FILES[k]));
    EXPECT_EQ(opened_files(), expected);
    expect_no_textures(probe);
}

TEST_F(TextureSetTest, FirstFileMissingOpensNoOtherFile) {
    std::filesystem::remove("data/bin2.bmp");
    uint32_t probe = next_texture_name();
    watch_opens();
    EXPECT_EQ(load_texture_set(), 0);
    EXPECT_TRUE(shown_boxes.empty());
    EXPECT_TRUE(opened_files().empty());
    expect_no_textures(probe);
}

TEST_F(TextureSetTest, UndecodableFileShowsTheDecodersBoxAndStopsLoading) {
    std::vector<uint8_t> file = picture_file("wall.bmp");
    file[14] = 124; // a header version the decoder does not read
    ASSERT_TRUE(write_file("data/wall.bmp", file.data(), file.size()));
    uint32_t probe = next_texture_name();
    watch_opens();
    EXPECT_EQ(load_texture_set(), 0);
    EXPECT_EQ(shown_boxes, std::vector<std::string>{"Error: Unknown DIB file format."});
    std::set<std::string> opened = opened_files();
    EXPECT_EQ(opened.count("wall.bmp"), 1u);
    EXPECT_EQ(opened.count("sand.bmp"), 0u); // slot 31, after the broken one
    expect_no_textures(probe);
}

TEST_F(TextureSetTest, EmptyFileIsReportedByTheDecoderWithTheShowsPath) {
    ASSERT_TRUE(write_file("data/zik.bmp", "", 0));
    EXPECT_EQ(load_texture_set(), 0);
    EXPECT_EQ(shown_boxes,
              std::vector<std::string>{"Error: Failed to open DIB file Data/zik.bmp.\n"});
}

TEST_F(TextureSetTest, LoadBitmapFileTestsThePathQuietlyBeforeDecoding) {
    EXPECT_EQ(load_bitmap_file(nullptr), nullptr);
    EXPECT_EQ(load_bitmap_file("Data/nothing.bmp"), nullptr);
    EXPECT_TRUE(shown_boxes.empty());
    RgbImage* image = load_bitmap_file("Data/logo.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(
        std::vector<uint8_t>(image->pixels, image->pixels + PICTURE_WIDTH * PICTURE_HEIGHT * 3),
        picture_rgb("logo.bmp"));
    rgb_image_free(image);
}

} // namespace
