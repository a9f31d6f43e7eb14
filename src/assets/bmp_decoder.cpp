#include "assets/bmp_decoder.h"
// Placeholder until the decoder lands.
RgbImage* decode_dib_file(const char*) { return nullptr; }
uint16_t dib_colour_count(const uint8_t*) { return 0; }
void rgb_image_free(RgbImage*) {}
