// Projection, the fixed render state set once at start-up and the shared
// quadric.
#pragma once

struct GLUquadric;

// Viewport and 45-degree perspective for a client size; a height of 0 counts
// as 1.  Leaves GL_MODELVIEW current with the identity.
void resize_view(int width, int height);

// The largest rectangle of the show's 4:3 picture centred in a frame of
// width x height pixels.
struct PictureRect {
    int x, y, width, height;
};
PictureRect picture_rect(int width, int height);

// resize_view for that rectangle, with the viewport placed on it: the rest
// of the frame is left to the clear, black.
void resize_view_centred(int width, int height);

// The fixed GL state of the whole show: texturing, smooth shading, clear
// values, depth test, hints, the light, the blend function and the fog; and
// a new shared quadric.  Leaves GL_TEXTURE current, so that the first
// frame's matrix calls act on the texture matrix until a scene selects the
// modelview matrix.
void render_state_set_fixed();

// Deletes the quadric and its compiled shapes (their context still current).
void render_state_release();

// The shared GLU quadric (smooth normals, texture coordinates on), made by
// render_state_set_fixed; used by scenes 2, 3 and 6 through the quadric
// shapes.
extern GLUquadric* quadric;
