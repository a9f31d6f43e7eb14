#include "frame_reader.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "box_filter.h"

namespace {

constexpr int BGRA_BYTES = 4;

// Bytes of one frame as drawn.
size_t drawn_bytes(const FrameReader* reader) {
    return frame_reader_bytes(reader) * static_cast<size_t>(reader->factor * reader->factor);
}

} // namespace

size_t frame_reader_bytes(const FrameReader* reader) {
    return static_cast<size_t>(reader->width) * static_cast<size_t>(reader->height) * BGRA_BYTES;
}

bool frame_reader_begin(FrameReader* reader, int width, int height, int factor) {
    *reader = FrameReader{};
    reader->width = width;
    reader->height = height;
    reader->factor = factor;
    while (glGetError() != GL_NO_ERROR) {
    }
    size_t fit = FRAME_READER_BUDGET / drawn_bytes(reader);
    reader->depth =
        static_cast<int>(std::max<size_t>(1, std::min<size_t>(FRAME_READER_DEPTH, fit)));
    glGenBuffers(reader->depth, reader->buffers);
    for (int i = 0; i < reader->depth; ++i) {
        GLuint buffer = reader->buffers[i];
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(drawn_bytes(reader)), nullptr,
                     GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

void frame_reader_start(FrameReader* reader) {
    GLuint buffer = reader->buffers[reader->started % reader->depth];
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glReadBuffer(GL_BACK);
    // BGRA is how the driver keeps the picture: the read is a plain copy
    // and four-byte rows need no alignment setting.
    glReadPixels(0, 0, reader->width * reader->factor, reader->height * reader->factor, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    // Sends the copy on its way now, ahead of the next frame's drawing.
    glFlush();
    ++reader->started;
}

int frame_reader_depth(const FrameReader* reader) {
    return reader->depth;
}

int64_t frame_reader_waiting(const FrameReader* reader) {
    return reader->started - reader->taken;
}

bool frame_reader_take(FrameReader* reader, uint8_t* bgra) {
    if (frame_reader_waiting(reader) <= 0) return false;
    GLuint buffer = reader->buffers[reader->taken % reader->depth];
    ++reader->taken;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    bool ok = pixels != nullptr;
    if (ok) {
        box_filter_shrink(static_cast<const uint8_t*>(pixels), reader->width, reader->height,
                          BGRA_BYTES, reader->factor, bgra);
        ok = glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return ok;
}

void frame_reader_end(FrameReader* reader) {
    if (reader->buffers[0] != 0) glDeleteBuffers(reader->depth, reader->buffers);
    *reader = FrameReader{};
}
