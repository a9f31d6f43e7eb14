// libFuzzer target for the bitmap decoder.  Each input is decoded as a whole
// bitmap file.  Besides the sanitizers' checks it asserts the decoder's
// contract: a failure shows exactly one "Error" box, a success shows none and
// gives a picture whose every byte can be read.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assets/bmp_decoder_memory.h"
#include "platform/msgbox.h"

namespace {

// Largest edge decoded here.  Far below the player's limit so that a tiny
// run-length file cannot make one input take seconds; the checks are the
// same whatever the limit.
constexpr int32_t FUZZ_MAX_EDGE = 512;

// Boxes shown while decoding the current input; reset per input.
int boxes_shown = 0;

} // namespace

// The fuzz target links the decoder without the display layer: boxes are
// only counted here.
MsgBoxAnswer msgbox_show(const char*, const char* caption, MsgBoxButtons buttons, MsgBoxIcon icon,
                         bool owned_by_focus) {
    if (strcmp(caption, "Error") != 0 || buttons != MSGBOX_OK || icon != MSGBOX_ICON_NONE ||
        !owned_by_focus)
        abort();
    ++boxes_shown;
    return MSGBOX_ANSWER_OK;
}

void msgbox_set_hook(MsgBoxHook) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    boxes_shown = 0;
    RgbImage* image = decode_dib_memory(data, size, FUZZ_MAX_EDGE);
    if (!image) {
        if (boxes_shown != 1) abort();
        return 0;
    }
    if (boxes_shown != 0 || image->width <= 0 || image->height <= 0 ||
        image->width > FUZZ_MAX_EDGE || image->height > FUZZ_MAX_EDGE)
        abort();
    size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 3;
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum = static_cast<uint8_t>(sum + image->pixels[i]);
    rgb_image_free(image);
    return 0;
}
