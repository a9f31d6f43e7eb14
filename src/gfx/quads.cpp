#include "gfx/effects.h"

#include <GL/gl.h>

#include "assets/texture_set.h"

void draw_textured_rect(float left, float bottom, float right, float top) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(left, bottom, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(right, bottom, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(right, top, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(left, top, 0.0f);
    glEnd();
}

namespace {

constexpr float TILE_HALF = 0.5f;
constexpr float PANEL_HALF = 1.0f;
constexpr float STRIPE_HALF_WIDTH = 3.0f;
constexpr float STRIPE_HALF_HEIGHT = 1.0f;
// Applied to the current matrix by draw_stripe and not undone.
constexpr float STRIPE_SCALE = 0.1f;

// A quad in the plane z = 0 centred on the origin.
void draw_centred_quad(float half_width, float half_height) {
    draw_textured_rect(-half_width, -half_height, half_width, half_height);
}

} // namespace

void draw_bit_tile(int slot) {
    glEnable(GL_BLEND);
    // A slot outside the table binds no texture rather than reading past it.
    bool valid = slot >= 0 && slot < TEXTURE_COUNT;
    glBindTexture(GL_TEXTURE_2D, valid ? texture_slots[slot] : 0);
    draw_centred_quad(TILE_HALF, TILE_HALF);
}

void draw_panel() {
    draw_centred_quad(PANEL_HALF, PANEL_HALF);
}

void draw_stripe() {
    glColor3f(1.0f, 1.0f, 1.0f);
    glScalef(STRIPE_SCALE, STRIPE_SCALE, STRIPE_SCALE);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BACK_S3]);
    draw_centred_quad(STRIPE_HALF_WIDTH, STRIPE_HALF_HEIGHT);
}
