// The player as the desktop's media player (platform/media_bus.h): the
// desktop's play, pause, stop, next, previous and seek act as the keys do,
// through the seek keys' pending move (app/seek_keys.h), so that the pass
// that takes them carries them out together with the keys in one seek.
// Stop ends the show as Escape does.  The bus learns the playback state and
// the position of the step on screen each pass, and hears of every move the
// show made (Seeked), whoever asked for it.  Without a session bus nothing
// of this runs, and nothing is said.
#pragma once

#include <cstdint>

#include "platform/media_bus.h"
#include "show/frame.h"

// The show as one track: its length (330 s) and the name of its still.
constexpr int64_t MEDIA_LENGTH_US = SHOW_LENGTH_MS * 1000;
constexpr const char* MEDIA_STILL = "data/still.png";

// What a request does, from the step the next move starts from (`base`),
// paused or not there.
enum MediaAction { MEDIA_NONE, MEDIA_PAUSE, MEDIA_RESUME, MEDIA_GO_TO, MEDIA_END };
struct MediaMove {
    MediaAction action;
    int64_t target; // MEDIA_GO_TO: the step
};
MediaMove media_move(const MbusRequest& request, int64_t base, bool paused);

// A path as a file:// address, every byte but letters, digits, "/-._~"
// written as %XX.
std::string media_file_url(const std::string& path);

// Joins the session bus, when there is one (the show's data folder is the
// working directory: its still is the track's picture).
void media_controls_begin();

// Once per pass, before its messages: tells the bus the state of the show,
// takes its requests (without waiting) and adds them to the pending move,
// or posts the quit message for Stop.
void media_controls_pass();

// One request carried into the pending move (or the quit message posted).
void media_controls_apply(const MbusRequest& request);

// Leaves the bus.
void media_controls_end();
