#include "app/sound_start.h"

#include "app/main_loop.h"
#include "platform/msgbox.h"
#include "platform/report.h"
#include "platform/sound.h"
#include "show/frame.h"

namespace {

const char* const SOUND_REFUSED_TEXT = "DAMN!!!";
const char* const SOUND_REFUSED_CAPTION = "Your sound device is used by an other applet";
const char* const SOUND_REFUSED_MEND =
    "close the program that holds the sound device, play through a sound server (PulseAudio, "
    "PipeWire), or pick SDL's audio driver with SDL_AUDIODRIVER";

} // namespace

bool show_start_sound(bool play_now) {
    if (!snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_FIRST)) {
        report_failure("cannot open the sound output", report_sdl_reason(), SOUND_REFUSED_MEND);
        msgbox_show(SOUND_REFUSED_TEXT, SOUND_REFUSED_CAPTION, MSGBOX_OK, MSGBOX_ICON_ERROR, false);
        return false;
    }
    snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_SECOND);
    // (The page may have loaded it ahead, while it waited for the click.)
    if (!song_module) song_module = snd_load_song(SHOW_MODULE_PATH);
    if (play_now) snd_play_song(song_module);
    return true;
}
