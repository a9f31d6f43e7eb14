#include "platform/png_file.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// zlib level of written files: frames are written by the hundred, so speed
// matters more than the last few per cent of size.
constexpr int PNG_COMPRESSION_LEVEL = 2;

// Writes the picture through an open libpng writer; false on a libpng error.
bool write_rows(png_structp png, png_infop info, FILE* file, int width, int height,
                const uint8_t* rgb) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_compression_level(png, PNG_COMPRESSION_LEVEL);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb + static_cast<size_t>(y) * width * 3);
    png_write_end(png, nullptr);
    return true;
}

// libpng's failures without its line on stderr: the caller says what failed.
void quiet_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void quiet_warning(png_structp, png_const_charp) {}

} // namespace

bool png_write_rgb(const char* path, int width, int height, const uint8_t* rgb) {
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && write_rows(png, info, file, width, height, rgb);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0 && ok;
}

int png_write_rgb_new(const char* path, int width, int height, const uint8_t* rgb) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        int reason = errno;
        close(fd);
        unlink(path);
        return reason;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    errno = 0;
    bool ok = info && write_rows(png, info, file, width, height, rgb);
    int reason = errno;
    png_destroy_write_struct(&png, &info);
    if (fclose(file) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok) return 0;
    unlink(path);
    return reason != 0 ? reason : EIO;
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
