// A headless GL context for the frame harness, tools and tests: a hidden
// SDL window with a double-buffered compatibility context (16-bit depth),
// rendered by Mesa when no GPU is present.
#pragma once

#include <cstdint>
#include <vector>

// Creates the window and context and makes it current.  Uses SDL's offscreen
// video driver unless SDL_VIDEODRIVER names another.  False (with a line on
// stderr) when no context can be made.
bool offscreen_begin(int width, int height);

// Destroys the context and the window.
void offscreen_end();

// Reads the back buffer's pixels as RGB rows, top row first.
std::vector<uint8_t> offscreen_read_rgb(int width, int height);
