#include "support/gl_feedback.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

constexpr size_t VERTEX_FLOATS = 12;

FeedbackVertex read_vertex(const float* values) {
    FeedbackVertex v;
    float* out = &v.x;
    for (size_t i = 0; i < VERTEX_FLOATS; ++i)
        out[i] = values[i];
    return v;
}

// Number of vertices that follow each token; polygons give their count.
int vertex_count(int token) {
    switch (token) {
    case GL_POINT_TOKEN:
    case GL_BITMAP_TOKEN:
    case GL_DRAW_PIXEL_TOKEN:
    case GL_COPY_PIXEL_TOKEN:
        return 1;
    case GL_LINE_TOKEN:
    case GL_LINE_RESET_TOKEN:
        return 2;
    default:
        return -1;
    }
}

} // namespace

std::vector<FeedbackPrimitive> feedback_capture(const std::function<void()>& draw,
                                                size_t capacity) {
    std::vector<float> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(capacity), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> primitives;
    EXPECT_GE(used, 0) << "feedback buffer overflowed";
    size_t i = 0;
    size_t end = used > 0 ? static_cast<size_t>(used) : 0;
    while (i < end) {
        int token = static_cast<int>(buffer[i++]);
        if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        }
        int count = vertex_count(token);
        if (token == GL_POLYGON_TOKEN) count = static_cast<int>(buffer[i++]);
        if (count < 0) {
            ADD_FAILURE() << "unknown feedback token " << token;
            break;
        }
        FeedbackPrimitive primitive{token, {}};
        for (int k = 0; k < count && i + VERTEX_FLOATS <= end; ++k, i += VERTEX_FLOATS)
            primitive.vertices.push_back(read_vertex(&buffer[i]));
        primitives.push_back(primitive);
    }
    return primitives;
}
