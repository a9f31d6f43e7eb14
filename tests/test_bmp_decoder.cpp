#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "assets/bmp_decoder.h"
#include "bmp_builder.h"
#include "platform/msgbox.h"
#include "support/test_support.h"

namespace {

// One message box as the decoder showed it.
struct ShownBox {
    std::string text;
    std::string caption;
    MsgBoxButtons buttons;
    MsgBoxIcon icon;
    bool owned_by_focus;
};

// Boxes shown since the fixture started.
std::vector<ShownBox> shown_boxes;

MsgBoxAnswer record_box(const char* text, const char* caption, MsgBoxButtons buttons,
                        MsgBoxIcon icon, bool owned_by_focus) {
    shown_boxes.push_back({text, caption, buttons, icon, owned_by_focus});
    return MSGBOX_ANSWER_OK;
}

const char* const CONVERSION_ERROR = "Image file conversion error.";
const char* const UNKNOWN_FORMAT = "Unknown DIB file format.";

// A picture as the decoder should deliver it: red, green, blue per pixel,
// bottom row first.
using Rgb = std::vector<uint8_t>;

// A colour table of `count` distinct entries, 3 bytes (blue, green, red) each.
std::vector<uint8_t> test_table(int count) {
    std::vector<uint8_t> table;
    for (int i = 0; i < count; ++i) {
        table.push_back(static_cast<uint8_t>(17 + 7 * i));  // blue
        table.push_back(static_cast<uint8_t>(250 - 3 * i)); // green
        table.push_back(static_cast<uint8_t>(5 * i + 1));   // red
    }
    return table;
}

// A pattern of indexes below `colours` that differs along rows and columns
// and has runs for the run-length encoders.
std::vector<uint8_t> test_indexes(int width, int height, int colours) {
    std::vector<uint8_t> indexes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indexes.push_back(static_cast<uint8_t>((x / 3 * 5 + y * 3 + (x % 7 == 2)) % colours));
    return indexes;
}

Rgb expected_from_table(const std::vector<uint8_t>& indexes, const std::vector<uint8_t>& table) {
    Rgb rgb;
    for (uint8_t i : indexes)
        rgb.insert(rgb.end(), {table[3 * i + 2], table[3 * i + 1], table[3 * i]});
    return rgb;
}

BmpLayout layout_of(int width, int height, uint16_t bits) {
    return BmpLayout{width, height, bits, 0, true, false, 0, 0, 0, 0};
}

struct BmpDecoderTest : ::testing::Test {
    std::string dir = temp_dir_make("bmp");
    BmpDecoderTest() {
        shown_boxes.clear();
        msgbox_set_hook(record_box);
    }
    ~BmpDecoderTest() override {
        msgbox_set_hook(nullptr);
        temp_dir_remove(dir);
    }

    // Writes `file` and decodes it.
    RgbImage* decode(const std::vector<uint8_t>& file) {
        std::string path = dir + "/picture.bmp";
        EXPECT_TRUE(write_file(path, file.data(), file.size()));
        return decode_dib_file(path.c_str());
    }

    // Decodes `file` and expects exactly `expected`, with no box shown.
    void expect_picture(const std::vector<uint8_t>& file, int width, int height,
                        const Rgb& expected) {
        shown_boxes.clear();
        RgbImage* image = decode(file);
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(shown_boxes.empty());
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
        EXPECT_EQ(Rgb(image->pixels, image->pixels + expected.size()), expected);
        rgb_image_free(image);
    }

    // Decodes `file` and expects no picture and exactly one "Error" box
    // owned by the focused window with `text`.
    void expect_rejected(const std::vector<uint8_t>& file, const std::string& text) {
        shown_boxes.clear();
        RgbImage* image = decode(file);
        EXPECT_EQ(image, nullptr);
        rgb_image_free(image);
        ASSERT_EQ(shown_boxes.size(), 1u);
        EXPECT_EQ(shown_boxes[0].text, text);
        EXPECT_EQ(shown_boxes[0].caption, "Error");
        EXPECT_EQ(shown_boxes[0].buttons, MSGBOX_OK);
        EXPECT_EQ(shown_boxes[0].icon, MSGBOX_ICON_NONE);
        EXPECT_TRUE(shown_boxes[0].owned_by_focus);
    }
};

// Every combination of the header layouts with one image format.
struct HeaderVariant {
    bool file_header;
    bool core_header;
};
const HeaderVariant ALL_HEADERS[] = {{true, false}, {false, false}, {true, true}, {false, true}};
const HeaderVariant INFO_HEADERS[] = {{true, false}, {false, false}};
const int ODD_WIDTHS[] = {3, 127};

TEST_F(BmpDecoderTest, IndexedDepthsDecodeThroughTheFullColourTable) {
    for (int bits : {1, 4, 8}) {
        for (HeaderVariant h : ALL_HEADERS) {
            for (int width : ODD_WIDTHS) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, width " << width << ", file header "
                             << h.file_header << ", core " << h.core_header);
                const int height = 3;
                std::vector<uint8_t> table = test_table(1 << bits); // colours used 0: full table
                std::vector<uint8_t> indexes = test_indexes(width, height, 1 << bits);
                BmpLayout layout = layout_of(width, height, static_cast<uint16_t>(bits));
                layout.file_header = h.file_header;
                layout.core_header = h.core_header;
                std::vector<uint8_t> file =
                    bmp_build(layout, table, bmp_pack_indexes(bits, width, height, indexes));
                expect_picture(file, width, height, expected_from_table(indexes, table));
            }
        }
    }
}

TEST_F(BmpDecoderTest, DirectDepthsDecodeRedFirstWithoutPadding) {
    for (int bits : {16, 24, 32}) {
        for (HeaderVariant h : ALL_HEADERS) {
            if (h.core_header && bits != 24) continue; // core headers know 24 bits only
            for (int width : ODD_WIDTHS) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, width " << width << ", file header "
                             << h.file_header << ", core " << h.core_header);
                const int height = 2;
                std::vector<uint32_t> values;
                Rgb expected;
                for (int i = 0; i < width * height; ++i) {
                    uint32_t r = (i * 3) % 32, g = (i * 5 + 1) % 32, b = (i * 11 + 7) % 32;
                    if (bits == 16) {
                        values.push_back(r << 10 | g << 5 | b);
                        for (uint32_t c : {r, g, b})
                            expected.push_back(static_cast<uint8_t>(std::lround(c * 255.0 / 31.0)));
                    } else {
                        uint8_t rgb[3] = {static_cast<uint8_t>(i * 7),
                                          static_cast<uint8_t>(255 - i),
                                          static_cast<uint8_t>(i * 13 + 5)};
                        values.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
                        expected.insert(expected.end(), rgb, rgb + 3);
                    }
                }
                BmpLayout layout = layout_of(width, height, static_cast<uint16_t>(bits));
                layout.file_header = h.file_header;
                layout.core_header = h.core_header;
                std::vector<uint8_t> file =
                    bmp_build(layout, {}, bmp_pack_direct(bits, width, height, values));
                expect_picture(file, width, height, expected);
            }
        }
    }
}

TEST_F(BmpDecoderTest, SixteenBitChannelsScaleToNearestAndIgnoreTheTopBit) {
    // 1 -> 8.2, 15 -> 123.4, 16 -> 131.6, 31 -> 255; bit 15 is not a colour.
    std::vector<uint32_t> values = {0x8000 | 1 << 10 | 15 << 5 | 16, 31 << 10 | 0 << 5 | 31};
    std::vector<uint8_t> file =
        bmp_build(layout_of(2, 1, 16), {}, bmp_pack_direct(16, 2, 1, values));
    expect_picture(file, 2, 1, {8, 123, 132, 255, 0, 255});
}

TEST_F(BmpDecoderTest, RunLengthPicturesDecodeWithAndWithoutFileHeader) {
    for (int bits : {8, 4}) {
        for (HeaderVariant h : INFO_HEADERS) {
            for (int width : ODD_WIDTHS) {
                SCOPED_TRACE(testing::Message() << "RLE" << bits << ", width " << width
                                                << ", file header " << h.file_header);
                const int height = 4;
                std::vector<uint8_t> table = test_table(1 << bits);
                std::vector<uint8_t> indexes = test_indexes(width, height, 1 << bits);
                BmpLayout layout = layout_of(width, height, static_cast<uint16_t>(bits));
                layout.compression = bits == 8 ? 1 : 2;
                layout.file_header = h.file_header;
                std::vector<uint8_t> rle = bmp_rle_encode(bits, width, height, indexes);
                layout.image_size = static_cast<uint32_t>(rle.size());
                expect_picture(bmp_build(layout, table, rle), width, height,
                               expected_from_table(indexes, table));
            }
        }
    }
}

// A 4 x 3 run-length picture over a two-colour table (index 1 white).
std::vector<uint8_t> rle_picture(int bits, const std::vector<uint8_t>& codes) {
    BmpLayout layout = layout_of(4, 3, static_cast<uint16_t>(bits));
    layout.compression = bits == 8 ? 1 : 2;
    layout.colours_used = 2;
    return bmp_build(layout, {0, 0, 0, 255, 255, 255}, codes);
}

// Expected picture of rle_picture from rows of 0 (black) and 1 (white), bottom first.
Rgb black_white(const std::vector<int>& pixels) {
    Rgb rgb;
    for (int p : pixels)
        rgb.insert(rgb.end(), 3, static_cast<uint8_t>(p ? 255 : 0));
    return rgb;
}

TEST_F(BmpDecoderTest, RunLengthEscapesMoveTheDrawingPosition) {
    // RLE8: run of 2, delta (+1, +1), absolute run of 3 (padded), end of
    // line, run of 1, end of bitmap.  Pixels never drawn stay black.
    expect_picture(rle_picture(8, {2, 1, 0, 2, 1, 1, 0, 3, 1, 0, 1, 0, 0, 0, 1, 1, 0, 1}), 4, 3,
                   black_white({1, 1, 0, 0, /**/ 0, 0, 0, 1, /**/ 1, 0, 0, 0}));
    // The same moves in RLE4: a run alternates the two nibbles, an odd
    // absolute run is padded to whole 16-bit words.
    expect_picture(
        rle_picture(4, {3, 0x10, 0, 0, 0, 5, 0x01, 0x10, 0x10, 0, 0, 0, 0, 2, 3, 0, 1, 0x11, 0, 1}),
        4, 3, black_white({1, 0, 1, 0, /**/ 0, 1, 1, 0, /**/ 0, 0, 0, 1}));
}

TEST_F(BmpDecoderTest, RunsAndDeltasOutsideThePictureDrawNothingThere) {
    // A run of 200 on the bottom row fills that row only; a delta far past
    // the row end, then a run, draws nothing; an absolute run past the row
    // end is cut.
    expect_picture(rle_picture(8, {200, 1, 0, 2, 250, 1, 3, 1, 0, 0, 0, 0, 0, 1}), 4, 3,
                   black_white({1, 1, 1, 1, /**/ 0, 0, 0, 0, /**/ 0, 0, 0, 0}));
    expect_picture(rle_picture(8, {0, 0, 0, 2, 2, 0, 0, 5, 1, 1, 1, 1, 1, 0, 0, 1}), 4, 3,
                   black_white({0, 0, 0, 0, /**/ 0, 0, 1, 1, /**/ 0, 0, 0, 0}));
    // Deltas and end-of-line codes past the last row, then runs.
    expect_picture(rle_picture(8, {1, 1, 0, 2, 0, 255, 9, 1, 0, 0, 0, 0, 0, 0, 4, 1, 0, 1}), 4, 3,
                   black_white({1, 0, 0, 0, /**/ 0, 0, 0, 0, /**/ 0, 0, 0, 0}));
    expect_picture(rle_picture(4, {255, 0x11, 0, 2, 0, 200, 255, 0x11, 0, 1}), 4, 3,
                   black_white({1, 1, 1, 1, /**/ 0, 0, 0, 0, /**/ 0, 0, 0, 0}));
}

TEST_F(BmpDecoderTest, IndexesBeyondTheColourTableAreBlack) {
    BmpLayout layout = layout_of(4, 1, 8);
    layout.colours_used = 2;
    std::vector<uint8_t> table = {10, 20, 30, 40, 50, 60};
    expect_picture(bmp_build(layout, table, {1, 2, 255, 0}), 4, 1,
                   {60, 50, 40, 0, 0, 0, 0, 0, 0, 30, 20, 10});
    layout.compression = 1;
    expect_picture(bmp_build(layout, table, {2, 1, 2, 7, 0, 1}), 4, 1,
                   {60, 50, 40, 60, 50, 40, 0, 0, 0, 0, 0, 0});
}

TEST_F(BmpDecoderTest, ColourCountFollowsColoursUsedOrTheBitDepth) {
    struct Case {
        uint32_t header_size;
        uint16_t bits;
        uint32_t colours_used;
        uint16_t count;
    };
    const Case cases[] = {
        {40, 1, 0, 2},    {40, 4, 0, 16}, {40, 8, 0, 256},
        {40, 24, 0, 0},   {40, 16, 0, 0}, {40, 2, 0, 0},
        {40, 24, 5, 5},   {40, 8, 3, 3},  {40, 1, 0x12341234, 0x1234},
        {12, 8, 99, 256}, {12, 1, 0, 2},  {12, 24, 0, 0},
    };
    for (const Case& c : cases) {
        BmpLayout layout = layout_of(1, 1, c.bits);
        layout.file_header = false;
        layout.core_header = c.header_size == 12;
        layout.colours_used = c.colours_used;
        std::vector<uint8_t> header = bmp_build(layout, {}, {});
        header.resize(40, 0xFF); // a core header is followed by other bytes
        EXPECT_EQ(dib_colour_count(header.data()), c.count)
            << c.header_size << "-byte header, " << c.bits << " bits, used " << c.colours_used;
    }
}

TEST_F(BmpDecoderTest, TwentyFourBitPictureWithColoursUsedSkipsThatManyEntries) {
    BmpLayout layout = layout_of(3, 1, 24);
    layout.file_header = false;
    layout.colours_used = 5;
    std::vector<uint8_t> file =
        bmp_build(layout, test_table(5), bmp_pack_direct(24, 3, 1, {0x010203, 0x040506, 0x070809}));
    ASSERT_EQ(file.size(), 40u + 5 * 4 + 12);
    expect_picture(file, 3, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9});
}

TEST_F(BmpDecoderTest, CoreHeaderPixelsFollowItsThreeByteEntries) {
    BmpLayout layout = layout_of(3, 1, 1);
    layout.file_header = false;
    layout.core_header = true;
    std::vector<uint8_t> file = bmp_build(layout, {1, 2, 3, 4, 5, 6}, {0xA0, 0, 0, 0});
    ASSERT_EQ(file.size(), 12u + 2 * 3 + 4);
    expect_picture(file, 3, 1, {6, 5, 4, 3, 2, 1, 6, 5, 4});
}

TEST_F(BmpDecoderTest, FileHeaderPixelOffsetIsHonouredAcrossAGap) {
    for (HeaderVariant h : {HeaderVariant{true, false}, HeaderVariant{true, true}}) {
        BmpLayout layout = layout_of(2, 2, 8);
        layout.core_header = h.core_header;
        layout.gap = 10; // bytes of 0xEE that are not pixels
        std::vector<uint8_t> table = test_table(256);
        std::vector<uint8_t> indexes = {1, 2, 3, 4};
        std::vector<uint8_t> file = bmp_build(layout, table, bmp_pack_indexes(8, 2, 2, indexes));
        expect_picture(file, 2, 2, expected_from_table(indexes, table));
    }
}

TEST_F(BmpDecoderTest, UnknownHeaderSizesAreRejected) {
    for (uint32_t size : {124u, 108u, 64u, 16u, 1u}) {
        BmpLayout layout = layout_of(4, 4, 24);
        layout.header_size = size;
        std::vector<uint8_t> file = bmp_build(layout, {}, std::vector<uint8_t>(48, 0x33));
        SCOPED_TRACE(size);
        expect_rejected(file, UNKNOWN_FORMAT);
    }
}

TEST_F(BmpDecoderTest, EmptyOrMissingFileFailsToOpenWithItsPath) {
    std::string path = dir + "/empty.bmp";
    ASSERT_TRUE(write_file(path, "", 0));
    for (const std::string& p : {path, dir + "/missing.bmp", dir}) {
        shown_boxes.clear();
        EXPECT_EQ(decode_dib_file(p.c_str()), nullptr);
        ASSERT_EQ(shown_boxes.size(), 1u);
        EXPECT_EQ(shown_boxes[0].text, "Failed to open DIB file " + p + ".\n");
        EXPECT_EQ(shown_boxes[0].caption, "Error");
    }
}

TEST_F(BmpDecoderTest, TruncatedFilesAreRejectedAtEveryLength) {
    BmpLayout indexed = layout_of(3, 2, 4);
    indexed.colours_used = 3;
    BmpLayout rle = indexed;
    rle.compression = 2;
    BmpLayout core = layout_of(3, 2, 24);
    core.file_header = false;
    core.core_header = true;
    std::vector<uint8_t> indexes = test_indexes(3, 2, 3);
    const std::vector<uint8_t> files[] = {
        bmp_build(indexed, test_table(3), bmp_pack_indexes(4, 3, 2, indexes)),
        bmp_build(rle, test_table(3), bmp_rle_encode(4, 3, 2, indexes)),
        bmp_build(core, {}, bmp_pack_direct(24, 3, 2, {1, 2, 3, 4, 5, 6})),
    };
    for (const std::vector<uint8_t>& file : files) {
        RgbImage* whole = decode(file);
        ASSERT_NE(whole, nullptr);
        rgb_image_free(whole);
        for (size_t length = 1; length < file.size(); ++length) {
            SCOPED_TRACE(length);
            expect_rejected(std::vector<uint8_t>(file.begin(), file.begin() + length),
                            CONVERSION_ERROR);
        }
    }
}

TEST_F(BmpDecoderTest, HostileSizesAndFormatsAreRejected) {
    struct Case {
        const char* what;
        int32_t width;
        int32_t height;
        uint16_t bits;
        uint32_t compression;
    };
    const Case cases[] = {
        {"65536 x 65536 at 8 bits", 65536, 65536, 8, 0},
        {"65536 x 21846 RLE8", 65536, 21846, 8, 1},
        {"16384 x 16384 without its pixels", 16384, 16384, 8, 0},
        {"16384 x 16384 RLE8 without its end", 16384, 16384, 8, 1},
        {"width 16385", 16385, 1, 1, 0},
        {"height 16385", 1, 16385, 1, 0},
        {"height INT_MIN", 4, INT_MIN, 24, 0},
        {"top-down", 4, -2, 24, 0},
        {"zero height", 4, 0, 24, 0},
        {"zero width", 0, 4, 24, 0},
        {"negative width", -4, 4, 24, 0},
        {"width INT_MIN", INT_MIN, 4, 24, 0},
        {"bit fields", 4, 2, 32, 3},
        {"embedded JPEG", 4, 2, 24, 4},
        {"RLE8 at 4 bits", 4, 2, 4, 1},
        {"RLE4 at 8 bits", 4, 2, 8, 2},
        {"2 bits", 4, 2, 2, 0},
        {"no bits", 4, 2, 0, 0},
        {"48 bits", 4, 2, 48, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpLayout layout = layout_of(c.width, c.height, c.bits);
        layout.compression = c.compression;
        layout.colours_used = c.bits <= 8 ? 1 : 0;
        // Enough pixel data for a small picture and for the 16385-pixel row.
        expect_rejected(bmp_build(layout, {9, 9, 9}, std::vector<uint8_t>(4096, 0)),
                        CONVERSION_ERROR);
    }
    // The largest accepted edge, with the pixel data present.
    BmpLayout widest = layout_of(16384, 1, 1);
    expect_picture(bmp_build(widest, test_table(2), std::vector<uint8_t>(2048, 0xFF)), 16384, 1,
                   expected_from_table(std::vector<uint8_t>(16384, 1), test_table(2)));
}

// Run-length data of a single end-of-bitmap code describe a picture of any
// size, all black; the pixel count bounds what such a file may cost.
TEST_F(BmpDecoderTest, PicturesOfMoreThanSixteenMebipixelsAreRejected) {
    auto tiny_rle = [](int32_t width, int32_t height) {
        BmpLayout layout = layout_of(width, height, 8);
        layout.compression = 1;
        layout.colours_used = 1;
        return bmp_build(layout, {9, 9, 9}, {0, 1});
    };
    const int32_t too_many[][2] = {{16384, 16384}, {16384, 1025}, {4097, 4096}, {1025, 16384}};
    for (const auto& size : too_many) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        std::vector<uint8_t> file = tiny_rle(size[0], size[1]);
        EXPECT_LT(file.size(), 64u);
        expect_rejected(file, CONVERSION_ERROR);
    }
    // Exactly 4096 x 4096 pixels, in either shape, still decode.
    const int32_t most[][2] = {{4096, 4096}, {16384, 1024}};
    for (const auto& size : most) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        expect_picture(tiny_rle(size[0], size[1]), size[0], size[1],
                       Rgb(static_cast<size_t>(size[0]) * size[1] * 3, 0));
    }
}

TEST_F(BmpDecoderTest, HostileTablesAndOffsetsAreRejected) {
    std::vector<uint8_t> pixels = bmp_pack_indexes(8, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0});
    BmpLayout layout = layout_of(4, 2, 8);
    layout.colours_used = 0x12341234; // 4660 entries the file does not hold
    for (bool file_header : {true, false}) {
        layout.file_header = file_header;
        expect_rejected(bmp_build(layout, test_table(4), pixels), CONVERSION_ERROR);
    }
    // A pixel offset past the end of the file, and one that leaves too few bytes.
    std::vector<uint8_t> file = bmp_build(layout_of(4, 2, 24), {}, std::vector<uint8_t>(24, 0));
    for (uint32_t offset : {0xFFFFFFF0u, static_cast<uint32_t>(file.size()), 55u}) {
        file[10] = static_cast<uint8_t>(offset);
        file[11] = static_cast<uint8_t>(offset >> 8);
        file[12] = static_cast<uint8_t>(offset >> 16);
        file[13] = static_cast<uint8_t>(offset >> 24);
        expect_rejected(file, CONVERSION_ERROR);
    }
    // Run-length data that end without an end-of-bitmap code.
    expect_rejected(rle_picture(8, {4, 1, 0, 0, 4, 1, 0, 0, 4, 1}), CONVERSION_ERROR);
    expect_rejected(rle_picture(8, {4, 1, 0, 2, 1}), CONVERSION_ERROR); // cut delta
    expect_rejected(rle_picture(8, {0, 5, 1, 1, 1}), CONVERSION_ERROR); // cut absolute run
}

} // namespace
