#include "app/media_controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "app/main_loop.h"
#include "app/seek_keys.h"
#include "platform/files.h"
#include "show/frame.h"

namespace {

constexpr int MAX_REQUESTS_PER_PASS = 16;

struct MediaState {
    int64_t settles = 0; // seek_keys.settles at the last pass
    int64_t shown = -1;  // the step on screen at the last pass
};
MediaState media;

int64_t shown_step() {
    return std::max<int64_t>(0, frame_driver.next_step - 1);
}

int64_t step_at_us(int64_t us) {
    return std::max<int64_t>(0, frame_last_step_at(std::max<int64_t>(0, us) / 1000));
}

MediaMove go_to(int64_t target) {
    return target < 0 ? MediaMove{MEDIA_NONE, -1} : MediaMove{MEDIA_GO_TO, target};
}

} // namespace

MediaMove media_move(const MbusRequest& request, int64_t base, bool paused) {
    switch (request.kind) {
    case MBUS_PLAY_PAUSE:
        return {paused ? MEDIA_RESUME : MEDIA_PAUSE, -1};
    case MBUS_PLAY:
        return {paused ? MEDIA_RESUME : MEDIA_NONE, -1};
    case MBUS_PAUSE:
        return {paused ? MEDIA_NONE : MEDIA_PAUSE, -1};
    case MBUS_STOP:
        return {MEDIA_END, -1};
    case MBUS_NEXT:
        return go_to(seek_keys_target(WIN_VK_NEXT, base, paused));
    case MBUS_PREVIOUS:
        return go_to(seek_keys_target(WIN_VK_PRIOR, base, paused));
    case MBUS_SEEK:
        return go_to(step_at_us(frame_step_time(base) * 1000 + request.us));
    case MBUS_SET_POSITION:
        return go_to(step_at_us(request.us));
    }
    return {MEDIA_NONE, -1};
}

std::string media_file_url(const std::string& path) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c))
            url += static_cast<char>(c);
        else {
            url += '%';
            url += HEX[c >> 4];
            url += HEX[c & 15];
        }
    }
    return url;
}

void media_controls_begin() {
    media = MediaState{};
    MbusPlayer player;
    player.name = "vintermoot";
    player.identity = SHOW_TITLE;
    player.desktop_entry = "vintermoot";
    player.track_id = "/io/github/vintermoot/show";
    player.title = SHOW_TITLE;
    player.artist = "deer coast";
    player.length_us = MEDIA_LENGTH_US;
    char still[4096];
    std::error_code error;
    if (files_resolve(MEDIA_STILL, still, sizeof still) && std::filesystem::exists(still, error))
        player.art_url = media_file_url(std::filesystem::absolute(still, error).string());
    mbus_open(player);
    media.settles = seek_keys.settles;
    media.shown = shown_step();
}

void media_controls_pass() {
    if (!mbus_is_open()) return;
    int64_t shown = shown_step();
    int64_t position_us = frame_step_time(shown) * 1000;
    // A move the show made since the last pass (a key's, the page's, the
    // bus's own): playing, every move is a seek; paused, one that changed
    // the step (pausing draws the step on screen again).
    if (seek_keys.settles != media.settles && (!seek_keys.paused || shown != media.shown))
        mbus_seeked(position_us);
    media.settles = seek_keys.settles;
    media.shown = shown;
    mbus_publish(seek_keys.paused ? MBUS_PAUSED : MBUS_PLAYING, position_us);
    MbusRequest requests[MAX_REQUESTS_PER_PASS];
    int n = mbus_serve(requests, MAX_REQUESTS_PER_PASS);
    for (int i = 0; i < n; ++i)
        media_controls_apply(requests[i]);
}

void media_controls_apply(const MbusRequest& request) {
    MediaMove move = media_move(request, seek_keys_move_base(), seek_keys_will_pause());
    if (move.action == MEDIA_PAUSE || move.action == MEDIA_RESUME)
        seek_keys_request_pause(move.action == MEDIA_PAUSE);
    else if (move.action == MEDIA_GO_TO)
        seek_keys_request_target(move.target);
    else if (move.action == MEDIA_END)
        win_post_quit(0);
}

void media_controls_end() {
    mbus_close();
}
