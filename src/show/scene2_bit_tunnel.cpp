// Scene 2, the bit tunnel (77000 .. 102499 ms).  Over a full-screen
// background: columns of bit tiles falling on the right, a tunnel of two
// nested cylinders running from the distance to the viewer, a spinning star
// in the middle that blows up in the last 2.5 seconds, and two rows of three
// picture panels whose pictures step on the beat.  Blended layers add light
// with the start-up blend function (source alpha, one).
#include "show/scene2_bit_tunnel.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "gfx/render_state.h"
#include "assets/texture_set.h"
#include "show/demo_state.h"
#include "show/scenes.h"
#include "gfx/effects.h"

// Bit tiles: all at x = 2.1; each row names a bit_heights entry, a depth and
// the tile's texture, drawn in this order.
struct BitTile {
    int height_entry;
    float z;
    int slot;
};
constexpr float BIT_TILE_X = 2.1f;
constexpr BitTile BIT_TILES[] = {
    {0, -6.9f, SLOT_BIN2}, {2, -6.0f, SLOT_BIN},  {3, -5.0f, SLOT_BIN2}, {5, -5.0f, SLOT_BIN},
    {0, -5.0f, SLOT_BIN},  {1, -4.5f, SLOT_BIN2}, {3, -4.0f, SLOT_BIN},  {4, -3.0f, SLOT_BIN},
};
constexpr float BIT_FALL_STEP = 0.05f;
constexpr float BIT_BOTTOM = -3.0f;
constexpr float BIT_RESTART = 3.0f;

// Picture panels at z = -25: position and offset of the slot from the
// picture index (slots 5..10 hold "Data/1.bmp" .. "Data/6.bmp").
struct PicturePanel {
    float x, y;
    int slot_offset;
};
constexpr float PANEL_Z = -25.0f;
constexpr PicturePanel PICTURE_PANELS[] = {
    {-11, 5, 0}, {-9, 5, 1}, {-7, 5, 2}, {7, -5, 2}, {9, -5, 0}, {11, -5, 1},
};
constexpr int PICTURE_INDEX_FIRST = SLOT_PICTURE_1; // 5
constexpr int PICTURE_INDEX_WRAP = 9;               // back to 5 from here

// Background quad at z = -30, covering the whole view.
constexpr float BACKGROUND_HALF_W = 20.0f, BACKGROUND_HALF_H = 15.0f;

// Tunnel: outer tube with the bit picture, inner tube sphere-mapped.
constexpr float TUNNEL_Z = -20.0f;
constexpr double TUNNEL_LENGTH = 20.0;
constexpr double OUTER_RADIUS = 1.0, INNER_RADIUS = 0.5;
constexpr int TUNNEL_SLICES = 32, TUNNEL_STACKS = 32;
constexpr float SPIN_STEP = 0.1f; // taken twice per frame

// Star: grows from STAR_GROWS_AT_MS to the end of the scene.
constexpr float STAR_Z = -10.0f;
constexpr float STAR_SPIN_FACTOR = 8.0f;
constexpr double STAR_GROWS_AT_MS = 100000.0;
constexpr float STAR_GROW_W = 0.8f, STAR_GROW_H = 0.5f;

BitTunnelState bit_tunnel;

// A second clear, then the background.  In the scene's first
// frame the texture matrix is still the one scene 1 left rotated.
static void draw_background() {
    glColor4f(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, -30);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BACK]);
    glDisable(GL_BLEND);
    draw_textured_rect(-BACKGROUND_HALF_W, -BACKGROUND_HALF_H, BACKGROUND_HALF_W,
                       BACKGROUND_HALF_H);
}

// The bit tiles (each tile turns blending on).
static void draw_bit_tiles() {
    for (const BitTile& tile : BIT_TILES) {
        glLoadIdentity();
        glTranslatef(BIT_TILE_X, bit_tunnel.bit_heights[tile.height_entry], tile.z);
        draw_bit_tile(tile.slot);
    }
}

// The bits fall, then those past the bottom restart at the top.
static void fall_bits() {
    for (float& h : bit_tunnel.bit_heights)
        h -= BIT_FALL_STEP;
    demo.spin_angle += SPIN_STEP;
    for (float& h : bit_tunnel.bit_heights)
        if (h <= BIT_BOTTOM) h = BIT_RESTART;
}

// Two nested tubes along the view axis; the outer one's picture
// turns through the texture matrix, the inner one is sphere-mapped.
static void draw_tunnel() {
    glLoadIdentity();
    glEnable(GL_BLEND);
    glTranslatef(0, 0, TUNNEL_Z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BIN]);

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    float a = demo.spin_angle + 1.0f;
    glRotatef(a, 1, 0, 0);
    glRotatef(a, 0, 1, 0);
    glRotatef(a, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    draw_quadric_cylinder(OUTER_RADIUS, TUNNEL_LENGTH, TUNNEL_SLICES, TUNNEL_STACKS);

    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_ENV]);
    draw_quadric_cylinder(INNER_RADIUS, TUNNEL_LENGTH, TUNNEL_SLICES, TUNNEL_STACKS);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    demo.spin_angle += SPIN_STEP;

    // Back to an identity texture matrix for everything that follows.
    glDisable(GL_BLEND);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The star, spinning eight times as fast as the tunnel, over
// everything drawn so far.
static void draw_star() {
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glTranslatef(0, 0, STAR_Z);
    glRotatef(STAR_SPIN_FACTOR * demo.spin_angle, 0, 0, 1);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_STAR]);
    draw_textured_rect(-bit_tunnel.star_half_width, -bit_tunnel.star_half_height,
                       bit_tunnel.star_half_width, bit_tunnel.star_half_height);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glLoadIdentity();
    glEnable(GL_BLEND);
}

// The picture panels; the beat advances picture_index, which is
// brought back into 5..8 here, so each row shows three consecutive pictures.
static void draw_picture_panels() {
    if (demo.picture_index >= PICTURE_INDEX_WRAP) demo.picture_index = PICTURE_INDEX_FIRST;
    // Read once: a note arriving meanwhile shows from the next frame on.
    int p = demo.picture_index;
    for (const PicturePanel& panel : PICTURE_PANELS) {
        glLoadIdentity();
        glTranslatef(panel.x, panel.y, PANEL_Z);
        glBindTexture(GL_TEXTURE_2D, texture_slots[p + panel.slot_offset]);
        draw_panel();
    }
}

void run_bit_tunnel() {
    draw_background();
    draw_bit_tiles();
    fall_bits();
    draw_tunnel();
    draw_star();
    draw_picture_panels();

    // Depth testing and blending are left on for the next frame.
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_BLEND);
    glLoadIdentity();

    demo.greet_beats += 1;
    if (demo.song_time_ms >= STAR_GROWS_AT_MS) {
        bit_tunnel.star_half_height += STAR_GROW_H;
        bit_tunnel.star_half_width += STAR_GROW_W;
    }
}
