// State of the flying words scene (scene4_flying_words.cpp), one record
// visible to the tests and the frame harness.  Only run_flying_words
// changes it; none of it is reset during a show.  `flying_words = {}` puts
// it back.
#pragma once

#include <cstdint>

struct FlyingWordsState {
    // x of both banner layers, initially off the picture on the right; each
    // advancing step lowers it by song_time_ms / 5000000.
    float banner_x = 25.0f;
    // Row of FLYING_WORDS that flies now, from 1; any value outside 1..12
    // flies no text.  Each restart of the flight moves it on by one.
    int32_t word_index = 1;
};

extern FlyingWordsState flying_words;

// One row of the word table: the text and the uniform scale it is printed at.
struct FlyingWord {
    const char* text;
    float scale;
};
constexpr int FLYING_WORD_COUNT = 12;
// Rows for word_index 1..12 (index 0 holds the row of word_index 1).
extern const FlyingWord FLYING_WORDS[FLYING_WORD_COUNT];
