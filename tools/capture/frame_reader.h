// Reads the drawn frames of a video capture back from GL without waiting for
// each one: a frame is copied into one of a few pixel buffer objects in the
// driver's own layout (BGRA bytes, bottom row first), which GL fills while
// the next frames are drawn, and its pixels are taken from there a few
// frames later.  Takes come in the order the reads were started.
#pragma once

#include <cstddef>
#include <cstdint>

// Frames read back but not yet taken, at most; fewer for large frames, so
// that the buffers hold at most FRAME_READER_BUDGET bytes (at least one
// frame): a 3840 x 2160 frame supersampled 2 x 2 is 133 MB.
constexpr int FRAME_READER_DEPTH = 3;
constexpr size_t FRAME_READER_BUDGET = size_t{128} << 20;

struct FrameReader {
    unsigned buffers[FRAME_READER_DEPTH] = {};
    int width = 0, height = 0; // frames as taken
    int factor = 1;            // frames as drawn are this many times larger each way
    int depth = 0;             // buffers in use
    int64_t started = 0;       // reads started
    int64_t taken = 0;         // frames taken
};

// Bytes of one frame as taken: width * height * 4.
size_t frame_reader_bytes(const FrameReader* reader);

// Makes the buffers for frames drawn at (width * factor) x (height *
// factor), the current context's back buffer, and taken at width x height
// (box-filtered down, box_filter.h).  False when GL has no pixel buffer
// objects.
bool frame_reader_begin(FrameReader* reader, int width, int height, int factor);

// Starts reading the back buffer's frame into the next buffer.  Only when
// fewer than frame_reader_depth frames wait to be taken.
void frame_reader_start(FrameReader* reader);

// How many frames can wait to be taken.
int frame_reader_depth(const FrameReader* reader);

// Frames started and not yet taken.
int64_t frame_reader_waiting(const FrameReader* reader);

// Copies the oldest waiting frame into `bgra` (frame_reader_bytes bytes,
// BGRA, bottom row first).  False when GL could not give it.
bool frame_reader_take(FrameReader* reader, uint8_t* bgra);

// Deletes the buffers; frames not taken are dropped.
void frame_reader_end(FrameReader* reader);
