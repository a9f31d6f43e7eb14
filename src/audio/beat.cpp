#include "audio/beat.h"
// Placeholder until the beat events land.
void beat_callback(SndSong*, int) {}
void beat_reset() {}
