#include "platform/png_file.h"

#include <png.h>

#include <cstring>

bool png_write_rgb(const char* path, int width, int height, const uint8_t* rgb) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    int ok = png_image_write_to_file(&image, path, 0, rgb, 0, nullptr);
    png_image_free(&image);
    return ok != 0;
}

bool png_read_rgb(const char* path, int* width, int* height, std::vector<uint8_t>* rgb) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}
