// The viewer's keys for moving through the show while it plays: Space
// pauses and resumes (the music stops and goes on in place, the picture
// holds), Left and Right go 5 s back and forward, Page Up and Up go to the
// start of the scene (or of the one before, from a scene's first step),
// Page Down and Down to the start of the next scene, Home to the show's
// start, and while paused `.` and `,` go one step forward and back.  The
// media keys act as Space (play/pause), Page Up and Page Down (previous and
// next).  Every
// move lands exactly on the step a straight run shows there, the music with
// it (show/seek.h).  After any of these keys, and while paused, a time bar
// shows over the picture for two seconds: the song time, the scene's name
// and the six scenes along a bar.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "show/seek.h"

// Virtual-key codes of the keys.
constexpr int WIN_VK_SPACE = 0x20;
constexpr int WIN_VK_PRIOR = 0x21; // Page Up
constexpr int WIN_VK_NEXT = 0x22;  // Page Down
constexpr int WIN_VK_HOME = 0x24;
constexpr int WIN_VK_LEFT = 0x25;
constexpr int WIN_VK_UP = 0x26;
constexpr int WIN_VK_RIGHT = 0x27;
constexpr int WIN_VK_DOWN = 0x28;
constexpr int WIN_VK_COMMA = 0xBC;
constexpr int WIN_VK_PERIOD = 0xBE;

// Steps a Left or Right moves (5 s of song time).
constexpr int64_t SEEK_KEYS_JUMP_STEPS = 5 * 60;
// How long the time bar stays after a key (nanoseconds).
constexpr int64_t SEEK_KEYS_BAR_NS = 2000000000;

// The keys taken since the show last moved, added up: Left pressed three
// times goes 15 s back with one seek and one picture, however many key-downs
// (auto-repeat included) queued up meanwhile.
struct SeekKeysPending {
    bool any = false;    // keys were taken and wait for seek_keys_settle
    int64_t target = -1; // the step they add up to (-1: none)
    bool paused = false; // paused as they leave the show
    bool redraw = false; // the paused picture is drawn again (the window changed size)
    int64_t keys = 0;    // keys that moved or paused
};

struct SeekKeysState {
    bool paused = false;
    int64_t bar_until_ns = 0; // the time bar shows until then (and while paused)
    int64_t moves = 0;        // keys that moved the show or paused it
    SeekKeysPending pending;
    int64_t settles = 0; // times the keys moved the show (one seek and one picture each)
    int64_t draws = 0;   // pictures the keys drew
    SeekRun landed;      // the last seek that landed, as far as it came
};
extern SeekKeysState seek_keys;

// A fresh state; states of the show are kept for seeking from the first
// step on.  Called by main_loop_begin.
void seek_keys_begin();
// As seek_keys_begin, keeping the states seeking has kept so far (the
// page's map, made while the show stood before its first step).
void seek_keys_begin_mapped();

// The step a key moves to from the step on screen (`shown`), or -1 for a
// key that moves nothing there (or is not one of these).
int64_t seek_keys_target(int vk, int64_t shown, bool paused);

// Takes one window message: a key-down of these keys is added to the
// pending move (from the target the keys before it reached, or from the
// target of the seek under way), nothing is moved or drawn yet.  A change
// of size while paused asks for the paused picture again.  True when it
// was one of these keys.
bool seek_keys_take(const WinMessage& message);

// What seek_keys_work did.
enum SeekKeysOutcome : int {
    SEEK_KEYS_NOTHING,    // nothing to draw (no move, a resume, or no seek possible)
    SEEK_KEYS_DREW,       // the step landed on was drawn, with the time bar
    SEEK_KEYS_ON_THE_WAY, // the slice ended first: the seek goes on at the next call
    SEEK_KEYS_ENDED,      // frame_driver.poll asked to end the show
};

// Carries out the pending move at wall time `now_ns` through the seek
// engine (show/seek.h): the keys' target is asked for (replacing the
// target of a seek under way) and the seek carried on for at most `slice`.
// When it lands, the step is drawn with the time bar and the music plays on
// from it unless paused: one seek of the music and one picture however many
// keys and slices it took.
SeekKeysOutcome seek_keys_work(int64_t now_ns, SeekSlice slice);

// The pending keys become the show's state (paused or not) and the target
// asked of the seek engine; seek_keys_work does this first.
void seek_keys_apply(int64_t now_ns);

// seek_keys_work with no limit to the slice: true when a picture was drawn.
bool seek_keys_settle(int64_t now_ns);

// seek_keys_take and seek_keys_settle for a single message.
bool seek_keys_handle(const WinMessage& message, int64_t now_ns);

// Moves asked for from outside the window (the desktop's media controls,
// app/media_controls.h; the browser page's seek bar, play button and start
// time), added to the pending move as keys are, so that the
// next seek_keys_settle carries them out with the keys: the step the next
// move starts from (the target of the keys before it, else the seek under
// way, else the step on screen), whether the show stands paused once the
// pending move is made, a move to `target`, a pause or resume, and, while
// paused, the paused picture drawn again (F12's picture, app/snapshot.h).
int64_t seek_keys_move_base();
bool seek_keys_will_pause();
void seek_keys_request_target(int64_t target);
void seek_keys_request_pause(bool paused);
void seek_keys_request_redraw();

// Draws the time bar over the picture just drawn when it is due (after a
// key or while paused), leaving GL's state as it was.  True when drawn.
bool seek_keys_overlay(int64_t now_ns);
