// Records what GL draws through feedback mode, for tests that check the
// vertices, colours and texture coordinates a routine sends.
#pragma once

#include <functional>
#include <vector>

// One vertex as feedback reports it: window coordinates, colour, texture
// coordinates (GL_4D_COLOR_TEXTURE).
struct FeedbackVertex {
    float x, y, z, w;
    float r, g, b, a;
    float s, t, p, q;
};

// One primitive: the token (GL_POLYGON_TOKEN, GL_LINE_TOKEN,
// GL_LINE_RESET_TOKEN, GL_POINT_TOKEN, ...) and its vertices.  Quads may
// arrive split into triangles.
struct FeedbackPrimitive {
    int token;
    std::vector<FeedbackVertex> vertices;
};

// Runs `draw` in feedback mode and returns the primitives in drawing order.
// An overflowing buffer fails the calling test.
std::vector<FeedbackPrimitive> feedback_capture(const std::function<void()>& draw,
                                                size_t capacity = 1u << 20);
