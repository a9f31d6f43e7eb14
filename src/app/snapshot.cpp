#include "app/snapshot.h"

#include <GL/gl.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "app/display.h"
#include "app/main_loop.h"
#include "app/seek_keys.h"
#include "gfx/render_state.h"
#include "platform/files.h"
#include "platform/png_file.h"
#include "platform/report.h"
#include "show/frame.h"

namespace {

struct SnapshotState {
    bool asked = false; // F12 was pressed; the next present is written
    std::thread writer; // writes the last picture read (joined before the next)
};
SnapshotState snapshot;

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The writer's work: one line says where the picture went, or why not.
void write_picture(std::string dir, int64_t ms, int width, int height, std::vector<uint8_t> rgb) {
    std::string path, error = "cannot write the picture: HOME is not set";
    if (!dir.empty() && snapshot_write(dir, ms, width, height, rgb.data(), &path, &error)) {
        std::printf("vintermoot: the picture is in \"%s\"\n", path.c_str());
        std::fflush(stdout);
    } else {
        report_failure(
            error.c_str(), nullptr,
            "make room on the disk or let the folder be written "
            "(XDG_PICTURES_DIR in ~/.config/user-dirs.dirs names it); the show plays on");
    }
}

} // namespace

std::string snapshot_file_name(int64_t ms, int n) {
    char name[128];
    int64_t minutes = ms / 60000, rest = ms % 60000;
    int len = std::snprintf(name, sizeof name, "%s at %" PRId64 "m%02" PRId64 ".%03" PRId64 "s",
                            SHOW_TITLE, minutes, rest / 1000, rest % 1000);
    if (n > 1) std::snprintf(name + len, sizeof name - len, " (%d)", n);
    return std::string(name) + ".png";
}

bool snapshot_write(const std::string& dir, int64_t ms, int width, int height, const uint8_t* rgb,
                    std::string* path, std::string* error) {
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    if (made) {
        *error = "cannot make the folder \"" + dir + "\": " + made.message();
        return false;
    }
    for (int n = 1; n <= SNAPSHOT_MAX_TRIES; ++n) {
        *path = dir + "/" + snapshot_file_name(ms, n);
        int reason = png_write_rgb_new(path->c_str(), width, height, rgb);
        if (reason == 0) return true;
        if (reason == EEXIST) continue;
        *error = "cannot write the picture \"" + *path + "\": " + std::strerror(reason);
        return false;
    }
    *error = "cannot write the picture: " + std::to_string(SNAPSHOT_MAX_TRIES) +
             " pictures of this moment are already in \"" + dir + "\"";
    return false;
}

std::string snapshot_dir() {
    return files_pictures_dir(env_or_empty("HOME"), env_or_empty("XDG_CONFIG_HOME"));
}

bool snapshot_take(const WinMessage& message) {
    if (message.kind != WIN_MSG_KEYDOWN || message.code != WIN_VK_F12) return false;
    snapshot.asked = true;
    // Paused, nothing is presented until the picture is drawn again.
    seek_keys_request_redraw();
    return true;
}

void snapshot_before_present() {
    if (!snapshot.asked || !display.window_handle) return;
    snapshot.asked = false;
    int width = 0, height = 0;
    win_client_size(display.window_handle, &width, &height);
    // The show's picture, without the bars beside it.
    PictureRect rect = {0, 0, width, height};
    if (display.request.kind != DISPLAY_SHOW_MODE) rect = picture_rect(width, height);
    if (rect.width <= 0 || rect.height <= 0) return;
    size_t row = static_cast<size_t>(rect.width) * 3;
    std::vector<uint8_t> pixels(row * rect.height), rgb(row * rect.height);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(rect.x, rect.y, rect.width, rect.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    // GL's rows run bottom up.
    for (int y = 0; y < rect.height; ++y)
        std::memcpy(&rgb[row * y], &pixels[row * (rect.height - 1 - y)], row);
    int64_t ms = frame_step_time(frame_driver.last_drawn_step);
    // Compressing takes longer than a step (about 80 ms at 1024 x 768): it
    // runs beside the show, on its own copy of the picture.
    snapshot_end();
    snapshot.writer =
        std::thread(write_picture, snapshot_dir(), ms, rect.width, rect.height, std::move(rgb));
}

void snapshot_end() {
    if (snapshot.writer.joinable()) snapshot.writer.join();
}
