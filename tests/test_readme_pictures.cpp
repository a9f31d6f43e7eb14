// The README's pictures (docs/pictures/, kept in git) are the show as it is
// drawn now: the script the readme_pictures target runs draws them again
// into a temporary folder, and each must match the kept one within the
// tolerance of the reference frames.  When a deliberate change of the show
// moves them, refresh them with cmake --build build --target readme_pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/png_file.h"
#include "support/frame_compare.h"
#include "support/test_support.h"

namespace {

const std::string PICTURES = std::string(VM_TEST_SOURCE_DIR) + "/../docs/pictures";
const std::string SCRIPT = std::string(VM_TEST_SOURCE_DIR) + "/../tools/desktop/readme_pictures.sh";
// The pictures together, as kept in the repository.
constexpr uintmax_t MAX_TOTAL_BYTES = 1500 * 1000;
const char* const REFRESH = "; refresh with: cmake --build build --target readme_pictures";

std::vector<std::string> png_names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ReadmePictures, KeptPicturesMatchTheShowAsDrawnNow) {
    std::vector<std::string> kept = png_names(PICTURES);
    ASSERT_EQ(kept.size(), 4u) << "a contact sheet and three frames in " << PICTURES;
    uintmax_t total = 0;
    for (const std::string& name : kept)
        total += std::filesystem::file_size(PICTURES + "/" + name);
    EXPECT_LE(total, MAX_TOTAL_BYTES);

    std::string out = temp_dir_make("readme_pictures");
    std::string command = "bash '" + SCRIPT + "' '" + VM_TOOL_VINTERMOOT_CAPTURE + "' '" + out +
                          "/drawn' > '" + out + "/log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << read_text(out + "/log");
    std::string drawn_dir = out + "/drawn";
    ASSERT_EQ(png_names(drawn_dir), kept) << "the script draws another set" << REFRESH;

    for (const std::string& name : kept) {
        int kept_w = 0, kept_h = 0, drawn_w = 0, drawn_h = 0;
        std::vector<uint8_t> kept_rgb, drawn_rgb;
        ASSERT_TRUE(png_read_rgb((PICTURES + "/" + name).c_str(), &kept_w, &kept_h, &kept_rgb));
        ASSERT_TRUE(png_read_rgb((drawn_dir + "/" + name).c_str(), &drawn_w, &drawn_h, &drawn_rgb));
        ASSERT_EQ(drawn_w, kept_w) << name << REFRESH;
        ASSERT_EQ(drawn_h, kept_h) << name << REFRESH;
        FrameDifference d = frame_difference(frame_shrink(drawn_rgb, drawn_w, drawn_h),
                                             frame_shrink(kept_rgb, kept_w, kept_h));
        std::printf("%s: mean difference %.3f, %.2f%% of pixels differ\n", name.c_str(), d.mean,
                    100.0 * d.large_share);
        EXPECT_TRUE(frame_difference_within(d)) << name << " no longer shows the show" << REFRESH;
    }
    temp_dir_remove(out);
}

} // namespace
