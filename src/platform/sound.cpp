#include "platform/sound.h"

// Placeholder until the sound layer lands: a silent song on a clock that
// never moves.
struct SndSong {
    SndInstCallback callback = nullptr;
};

namespace {
SndSong placeholder_song;
}

float snd_get_version() { return SND_INTERFACE_VERSION; }
bool snd_init(int, int, unsigned) { return true; }
bool snd_offline_init(int, int) { return true; }
void snd_close() {}
SndSong* snd_load_song(const char*) { return &placeholder_song; }
bool snd_play_song(SndSong*) { return true; }
int64_t snd_get_time(SndSong*) { return 0; }
bool snd_set_inst_callback(SndSong* song, SndInstCallback callback, int) {
    song->callback = callback;
    return true;
}
bool snd_free_song(SndSong*) { return true; }
void snd_offline_advance_to(SndSong*, int64_t) {}
size_t snd_offline_take_audio(SndSong*, int16_t*, size_t) { return 0; }
