// The player's time bar, drawn over the show's picture after a seeking key
// and while paused: the song time, the scene's number and name, and a bar
// along the whole show with the six scenes marked and the place reached
// filled.  Flat boxes and blocky letters of its own, in the picture's
// viewport; GL's state is put back afterwards, so the show's next step
// starts from what it left.
#pragma once

#include <cstdint>
#include <string>

// Song time the bar spans (the scenes run to 300 s).
constexpr int64_t TIME_BAR_SPAN_MS = 300000;

// The bar's text for a song time and scene: "M:SS  SCENE N  NAME".
std::string time_bar_text(int64_t song_ms, int scene);

// Draws the bar over the current picture.
void time_bar_draw(int64_t song_ms, int scene);
