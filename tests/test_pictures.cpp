// The generated pictures of the data directory: every file of the texture
// table decodes, sizes suit the GL upload, the stored encodings cover the
// decoder's paths, masks pair with their colour pictures, additive layers
// are black where nothing shows, tiles repeat without seams, text colours
// sit in the corners, and the generator is deterministic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "assets/bmp_decoder.h"
#include "assets/texture_set.h"
#include "support/test_support.h"

namespace {

// A decoded picture with rows top first (as seen on an upright quad).
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

std::string data_path(const std::string& name) {
    return std::string(VM_DATA_DIR) + "/" + name;
}

std::string base_name(const char* table_path) {
    return strrchr(table_path, '/') + 1;
}

Picture load(const std::string& path) {
    Picture picture;
    RgbImage* image = decode_dib_file(path.c_str());
    if (!image) return picture;
    picture.width = image->width;
    picture.height = image->height;
    picture.rgb.resize(static_cast<size_t>(image->width) * image->height * 3);
    for (int y = 0; y < image->height; ++y) // decoder rows are bottom first
        memcpy(&picture.rgb[static_cast<size_t>(y) * image->width * 3],
               image->pixels + static_cast<size_t>(image->height - 1 - y) * image->width * 3,
               static_cast<size_t>(image->width) * 3);
    rgb_image_free(image);
    return picture;
}

Picture load_data(const std::string& name) {
    return load(data_path(name));
}

const uint8_t* at(const Picture& p, int x, int y) {
    return &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
}

int brightest(const Picture& p, int x, int y) {
    const uint8_t* c = at(p, x, y);
    return std::max({c[0], c[1], c[2]});
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool power_of_two(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Mean absolute difference between two columns (or rows when `rows`).
double line_difference(const Picture& p, int a, int b, bool rows) {
    double sum = 0.0;
    int count = rows ? p.width : p.height;
    for (int i = 0; i < count; ++i) {
        const uint8_t* u = rows ? at(p, i, a) : at(p, a, i);
        const uint8_t* v = rows ? at(p, i, b) : at(p, b, i);
        for (int k = 0; k < 3; ++k)
            sum += std::abs(static_cast<int>(u[k]) - static_cast<int>(v[k]));
    }
    return sum / (count * 3);
}

// Runs the generator into `dir`; true when it exits with 0.
bool run_generator(const std::string& dir) {
    std::string command = std::string(VM_TOOL_VINTERMOOT_PICTURES) + " " + dir + " > /dev/null";
    return std::system(command.c_str()) == 0;
}

// Pictures added onto the frame whose outer rim must be black.
const char* const ADDITIVE_FRAMED[] = {
    "bin.bmp",      "bin2.bmp",    "1.bmp",       "2.bmp",           "3.bmp",
    "4.bmp",        "5.bmp",       "6.bmp",       "star.bmp",        "rotstar.bmp",
    "back_s3.bmp",  "logo2.bmp",   "ufo.bmp",     "s4_scroller.bmp", "s4_scroller2.bmp",
    "code.bmp",     "gfx.bmp",     "zik.bmp",     "add1.bmp",        "add2.bmp",
    "add3.bmp",     "greetz1.bmp", "greetz2.bmp", "greetz3.bmp",     "greetz4.bmp",
    "greetz5.bmp",  "greetz6.bmp", "greetz7.bmp", "greetz8.bmp",     "greetz9.bmp",
    "greetz10.bmp", "dot.bmp",     "end1.bmp",    "end2.bmp",        "end3.bmp",
    "end4.bmp",     "end5.bmp",    "end6.bmp",
};

// Pictures drawn with repeats or as tiles.
const char* const TILES[] = {"comp.bmp",    "grass.bmp", "water.bmp", "tree2.bmp", "sand.bmp",
                             "s4_back.bmp", "wire.bmp",  "bin.bmp",   "bin2.bmp"};

// Masks (multiplied onto the frame) and the colour pictures added after them.
struct MaskPair {
    const char* mask;
    const char* colour;
};
const MaskPair MASK_PAIRS[] = {
    {"logo3.bmp", "logo2.bmp"},
    {"ufo_inv.bmp", "ufo.bmp"},
    {"s4_head.bmp", "s4_scroller.bmp"},
    {"s4_head.bmp", "s4_scroller2.bmp"},
};

// Pictures whose corner texels colour a text drawn without coordinates.
const char* const TEXT_CORNERS[] = {"logo.bmp", "logo2.bmp", "wall.bmp", "back.bmp"};

// The logo's colour picture keeps its corner texels for the "{x}" text.
bool corner_texel(const Picture& p, int x, int y) {
    return (x < 2 || x >= p.width - 2) && (y < 2 || y >= p.height - 2);
}

} // namespace

TEST(Pictures, EveryFileOfTheTableDecodesWithUploadableSize) {
    for (const char* table_path : TEXTURE_FILES) {
        SCOPED_TRACE(table_path);
        Picture p = load_data(base_name(table_path));
        ASSERT_GT(p.width, 0);
        EXPECT_TRUE(power_of_two(p.width));
        EXPECT_TRUE(power_of_two(p.height));
        EXPECT_EQ(p.width % 4, 0);
        // Not a blank picture.
        int lit = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                lit += brightest(p, x, y) > 40;
        EXPECT_GT(lit, p.width * p.height / 100);
    }
}

TEST(Pictures, StoredEncodingsCoverTheDecoderPaths) {
    std::map<std::string, int> kinds; // "bits/compression" -> files
    for (const char* table_path : TEXTURE_FILES) {
        std::vector<uint8_t> bytes = file_bytes(data_path(base_name(table_path)));
        ASSERT_GE(bytes.size(), 54u) << table_path;
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        int bits = bytes[28] | bytes[29] << 8;
        int compression = bytes[30] | bytes[31] << 8;
        kinds[std::to_string(bits) + "/" + std::to_string(compression)] += 1;
    }
    EXPECT_GT(kinds["24/0"], 30);
    EXPECT_GT(kinds["8/0"], 0);
    EXPECT_GT(kinds["8/1"], 0);
    EXPECT_GT(kinds["4/0"], 0);
}

TEST(Pictures, MasksAreWhiteAroundAndDarkUnderTheirColourPictures) {
    for (const MaskPair& pair : MASK_PAIRS) {
        SCOPED_TRACE(pair.mask);
        Picture mask = load_data(pair.mask), colour = load_data(pair.colour);
        ASSERT_GT(mask.width, 0);
        ASSERT_EQ(mask.width, colour.width);
        ASSERT_EQ(mask.height, colour.height);
        // The rim lets the frame show through.
        for (int x = 0; x < mask.width; ++x) {
            EXPECT_GE(at(mask, x, 0)[0], 240);
            EXPECT_GE(at(mask, x, mask.height - 1)[0], 240);
        }
        int dark = 0, lit_over_light = 0;
        for (int y = 0; y < mask.height; ++y)
            for (int x = 0; x < mask.width; ++x) {
                if (corner_texel(colour, x, y)) continue;
                dark += brightest(mask, x, y) < 16;
                if (brightest(colour, x, y) > 128 && brightest(mask, x, y) > 64) ++lit_over_light;
            }
        EXPECT_GT(dark, mask.width * mask.height / 20);
        EXPECT_EQ(lit_over_light, 0);
    }
}

TEST(Pictures, AdditiveLayersAreBlackAtTheirRim) {
    for (const char* name : ADDITIVE_FRAMED) {
        SCOPED_TRACE(name);
        Picture p = load_data(name);
        ASSERT_GT(p.width, 0);
        int worst = 0;
        for (int x = 0; x < p.width; ++x)
            for (int y : {0, p.height - 1})
                if (!corner_texel(p, x, y) || std::string(name) != "logo2.bmp")
                    worst = std::max(worst, brightest(p, x, y));
        for (int y = 0; y < p.height; ++y)
            for (int x : {0, p.width - 1})
                if (!corner_texel(p, x, y) || std::string(name) != "logo2.bmp")
                    worst = std::max(worst, brightest(p, x, y));
        EXPECT_LE(worst, 8);
    }
}

TEST(Pictures, TilesRepeatWithoutSeams) {
    for (const char* name : TILES) {
        SCOPED_TRACE(name);
        Picture p = load_data(name);
        ASSERT_GT(p.width, 2);
        for (bool rows : {false, true}) {
            int count = rows ? p.height : p.width;
            double inside = 0.0;
            for (int i = 0; i + 1 < count; ++i)
                inside = std::max(inside, line_difference(p, i, i + 1, rows));
            EXPECT_LE(line_difference(p, count - 1, 0, rows), inside)
                << (rows ? "rows" : "columns");
        }
    }
}

TEST(Pictures, TextColoursInTheCornersAreBright) {
    for (const char* name : TEXT_CORNERS) {
        SCOPED_TRACE(name);
        Picture p = load_data(name);
        ASSERT_GT(p.width, 0);
        int sum[3] = {0, 0, 0};
        for (int y : {0, p.height - 1})
            for (int x : {0, p.width - 1})
                for (int k = 0; k < 3; ++k)
                    sum[k] += at(p, x, y)[k];
        EXPECT_GE(std::max({sum[0], sum[1], sum[2]}) / 4, 180);
        // All four corners agree, so linear filtering averages to that colour.
        for (int y : {0, p.height - 1})
            for (int x : {0, p.width - 1})
                EXPECT_EQ(memcmp(at(p, x, y), at(p, 0, 0), 3), 0);
    }
}

// The house's side faces run the picture's width up the wall, so the wall is
// stored turned a quarter: its boards (and the gaps between them) run along
// the stored columns.  The door's face maps the picture upside down, so the
// door is stored half turned: its lit window lies in the lower rows.
TEST(Pictures, BoxFacePicturesAreStoredTurnedForTheirFaces) {
    Picture wall = load_data("wall.bmp");
    ASSERT_GT(wall.width, 0);
    // Brightness profile across the stored columns and down the stored rows:
    // the gaps between boards make the column profile swing much more.
    auto spread = [&](bool rows) {
        int count = rows ? wall.height : wall.width;
        std::vector<double> means(count, 0.0);
        for (int y = 0; y < wall.height; ++y)
            for (int x = 0; x < wall.width; ++x)
                means[rows ? y : x] += at(wall, x, y)[0];
        double swing = 0.0;
        for (int i = 0; i + 1 < count; ++i)
            swing += std::abs(means[i + 1] - means[i]) / (rows ? wall.width : wall.height);
        return swing;
    };
    EXPECT_GT(spread(false), spread(true) * 2.0);

    Picture door = load_data("door.bmp");
    ASSERT_GT(door.width, 0);
    double sum_y = 0.0;
    int lit = 0;
    for (int y = 0; y < door.height; ++y)
        for (int x = 0; x < door.width; ++x) {
            const uint8_t* c = at(door, x, y);
            if (c[0] > 200 && c[1] > 150 && c[2] < 140) { // warm window light
                sum_y += y;
                ++lit;
            }
        }
    ASSERT_GT(lit, 100);
    EXPECT_GT(sum_y / lit, door.height * 0.6);
}

// The scenes cycle through these sets on the beat: every picture of a set
// must differ from the others (one name, credit or line each).
TEST(Pictures, PicturesOfEachCycleDiffer) {
    const std::vector<std::vector<std::string>> cycles = {
        {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp", "6.bmp"},
        {"code.bmp", "gfx.bmp", "zik.bmp", "add1.bmp", "add2.bmp", "add3.bmp"},
        {"greetz1.bmp", "greetz2.bmp", "greetz3.bmp", "greetz4.bmp", "greetz5.bmp", "greetz6.bmp",
         "greetz7.bmp", "greetz8.bmp", "greetz9.bmp", "greetz10.bmp"},
        {"end1.bmp", "end2.bmp", "end3.bmp", "end6.bmp", "end4.bmp", "end5.bmp"},
        {"bin.bmp", "bin2.bmp"},
        {"s4_scroller.bmp", "s4_scroller2.bmp"},
    };
    for (const auto& cycle : cycles)
        for (size_t i = 0; i < cycle.size(); ++i)
            for (size_t j = i + 1; j < cycle.size(); ++j) {
                Picture a = load_data(cycle[i]), b = load_data(cycle[j]);
                ASSERT_EQ(a.width, b.width) << cycle[i] << " " << cycle[j];
                ASSERT_EQ(a.height, b.height) << cycle[i] << " " << cycle[j];
                size_t differing = 0;
                for (size_t k = 0; k < a.rgb.size(); ++k)
                    differing += std::abs(a.rgb[k] - b.rgb[k]) > 32;
                EXPECT_GT(differing, a.rgb.size() / 100) << cycle[i] << " " << cycle[j];
            }
}

TEST(Pictures, GeneratorGivesTheSameBytesEveryRun) {
    std::string first = temp_dir_make("pictures_a"), second = temp_dir_make("pictures_b");
    ASSERT_TRUE(run_generator(first));
    ASSERT_TRUE(run_generator(second));
    for (const char* table_path : TEXTURE_FILES) {
        SCOPED_TRACE(table_path);
        std::vector<uint8_t> a = file_bytes(first + "/" + base_name(table_path));
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a, file_bytes(second + "/" + base_name(table_path)));
        // The build's data directory holds the same pictures.
        EXPECT_EQ(a, file_bytes(data_path(base_name(table_path))));
    }
    temp_dir_remove(first);
    temp_dir_remove(second);
}
