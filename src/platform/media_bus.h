// The desktop's media controls: the program as an MPRIS media player on the
// session bus (through sd-bus), so that media keys, the desktop's media
// indicator and playerctl see it and control it.  It owns the bus name
// org.mpris.MediaPlayer2.<name> (or <name>.instance<pid> when another copy
// holds that), the object /org/mpris/MediaPlayer2 with the root and player
// interfaces, and answers property reads itself; the requests (PlayPause,
// Seek, ...) are queued for the program to carry out between its frames.
// Everything runs on the caller's thread: mbus_serve reads what the bus has
// sent without ever waiting for it.
#pragma once

#include <cstdint>
#include <string>

enum MbusPlayback { MBUS_STOPPED, MBUS_PLAYING, MBUS_PAUSED };

// What the desktop asked for.  Stop and the root interface's Quit are both
// MBUS_STOP.
enum MbusRequestKind {
    MBUS_PLAY_PAUSE,
    MBUS_PLAY,
    MBUS_PAUSE,
    MBUS_STOP,
    MBUS_NEXT,
    MBUS_PREVIOUS,
    MBUS_SEEK,         // us: an offset from the position (negative: back)
    MBUS_SET_POSITION, // us: a position from the start of the track
};

struct MbusRequest {
    MbusRequestKind kind;
    int64_t us;
};

// The player and its one track, as the desktop shows them.
struct MbusPlayer {
    std::string name;          // the last part of the bus name
    std::string identity;      // the player's name for people
    std::string desktop_entry; // its desktop entry, without ".desktop"
    std::string track_id;      // the track's object path
    std::string title, artist;
    std::string art_url; // a file:// address of a picture, or empty
    int64_t length_us = 0;
};

// Connects to the session bus, publishes the player and asks for its name
// (the answer comes while serving).  False, saying nothing, when there is
// no session bus.
bool mbus_open(const MbusPlayer& player);

// True between a successful mbus_open and mbus_close (or a lost bus).
bool mbus_is_open();

// The bus name owned, empty until the bus has granted it.
std::string mbus_name();

// The state the next property reads answer with; a change of playback is
// announced (PropertiesChanged).  The position is not announced: readers
// ask for it.
void mbus_publish(MbusPlayback playback, int64_t position_us);

// Announces that the position jumped to `position_us` (the Seeked signal).
void mbus_seeked(int64_t position_us);

// Takes what the bus has sent, without waiting (at most a few dozen
// messages, so a flood cannot hold the caller up): answers property reads
// and queues requests.  Writes at most `max` requests into `requests` in the
// order they came, and returns how many.  A bus that went away is closed,
// quietly.
int mbus_serve(MbusRequest* requests, int max);

// Leaves the bus (the name goes with it).
void mbus_close();
