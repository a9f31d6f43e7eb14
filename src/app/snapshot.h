// F12: the picture on screen written as a PNG into the user's pictures
// folder (platform/files.h), named after its song time, "Vintermoot 2002 at
// 2m59.850s.png"; a name already taken gets " (2)", " (3)", ... and no file
// is ever replaced.  One line says where it went (stdout) or why it could
// not be written (stderr); the show plays on either way.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

constexpr int WIN_VK_F12 = 0x7B;
// Names tried before giving up on a folder full of the same moment.
constexpr int SNAPSHOT_MAX_TRIES = 1000;

// The file's name for song time `ms`; `n` > 1 adds " (n)".
std::string snapshot_file_name(int64_t ms, int n);

// Writes `width` x `height` RGB pixels (top row first) for song time `ms`
// into `dir`, made when missing, under the first of the names above that is
// free.  True with the file's path in `path`; false with what failed and why
// in `error`.
bool snapshot_write(const std::string& dir, int64_t ms, int width, int height, const uint8_t* rgb,
                    std::string* path, std::string* error);

// The user's pictures folder, from the environment (HOME, XDG_CONFIG_HOME).
std::string snapshot_dir();

// Takes one window message: a key-down of F12 asks for the picture at the
// next present (while paused the paused picture is drawn again for it).
// True when it was F12.
bool snapshot_take(const WinMessage& message);

// Called with a picture drawn and about to be presented: when one was
// asked for, reads it from the back buffer and has it written by a thread
// of its own, so the show plays on meanwhile.
void snapshot_before_present();

// Waits until the picture being written is written (the show's end).
void snapshot_end();
