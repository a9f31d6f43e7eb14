#include "app/main_loop.h"

#include "app/display.h"
#include "demo/frame.h"
#include "platform/msgbox.h"
#include "platform/sound.h"

SoundVersionQuery show_sound_version = snd_get_version;
ShutdownHook show_shutdown_hook = nullptr;
LoopCounts loop_counts = {};

namespace {

const char* const SOUND_REFUSED_TEXT = "DAMN!!!";
const char* const SOUND_REFUSED_CAPTION = "Your sound device is used by an other applet";

void shutdown_step(const char* name) {
    if (show_shutdown_hook) show_shutdown_hook(name);
}

// The version must compare as at least the minimum (a NaN never does).
bool sound_version_accepted() {
    float version = show_sound_version();
    return version >= SHOW_MIN_SOUND_VERSION;
}

// Output, song load and play.  False when the output could not start (the
// user has been told).
bool start_sound() {
    if (!snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_FIRST)) {
        msgbox_show(SOUND_REFUSED_TEXT, SOUND_REFUSED_CAPTION, MSGBOX_OK, MSGBOX_ICON_ERROR, false);
        return false;
    }
    snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_SECOND);
    song_module = snd_load_song(SHOW_MODULE_PATH);
    snd_play_song(song_module);
    return true;
}

void shut_down() {
    shutdown_step("destroy_display");
    destroy_display();
    shutdown_step("free_song");
    snd_free_song(song_module);
    song_module = nullptr;
    shutdown_step("close_sound");
    snd_close();
}

} // namespace

LoopState main_loop_begin() {
    loop_counts = LoopCounts{};
    return LoopState{false, EXIT_CLEAN};
}

void main_loop_pass(LoopState& loop) {
    ++loop_counts.passes;
    WinMessage message;
    if (win_peek_message(&message)) {
        ++loop_counts.messages;
        loop.exit_code = message.code;
        if (message.kind == WIN_MSG_QUIT)
            loop.done = true;
        else
            display_window_proc(message);
        return;
    }
    if (window_active) {
        ++loop_counts.frames;
        if (!render_frame()) {
            loop.done = true;
            loop.exit_code = EXIT_CLEAN;
            return;
        }
    }
    if (key_down[WIN_VK_ESCAPE]) {
        // Ended by Escape: the last message's parameter means nothing here.
        loop.done = true;
        loop.exit_code = EXIT_CLEAN;
        return;
    }
    ++loop_counts.swaps;
    win_swap_buffers(window_handle);
}

int run_show() {
    if (!sound_version_accepted()) return EXIT_SOUND_REFUSED;
    if (!create_display(SHOW_TITLE, SHOW_WIDTH, SHOW_HEIGHT, SHOW_COLOUR_BITS, fullscreen))
        return fallback_declined ? EXIT_CLEAN : EXIT_SET_UP_FAILED;
    if (!start_sound()) return EXIT_SOUND_REFUSED;
    LoopState loop = main_loop_begin();
    while (!loop.done)
        main_loop_pass(loop);
    shut_down();
    return loop.exit_code;
}
