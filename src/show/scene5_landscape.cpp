// Scene 5, the landscape (159760 .. 259999 ms).  A small fogged landscape
// from a fixed camera: a house with a door, grass fields, sand banks along a
// stream, water and a plane of trees sliding slowly away, a bridge and a
// large backdrop.  Two long lines of 3D text scroll across the top, faster as
// the song goes on; a credits picture in front of everything changes on every
// note; early on a small flying saucer crosses high in the sky.
#include "show/scene5_landscape.h"

#include <GL/gl.h>

#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "show/demo_state.h"
#include "show/scenes.h"
#include "gfx/effects.h"

const char UPPER_MESSAGE[] =
    "Hello Isbrann! This is our very first demo, made by three friends over many long "
    "winter nights with too much coffee. We are new to all of this and did our best, so be "
    "kind. Thanks for watching, and greetings to every coder, artist and musician out "
    "there!";
const char LOWER_MESSAGE[] =
    "Big thanks to the Isbrann 2002 organisers for the hall, the power, the network and the "
    "hot soup at four in the morning. Greetings to everyone at the party: Harok, tovik, "
    "Mirabo, plix, vondrel, Lise-K., Nordlys, Fjellrev, Polarbit and each sleepy scener :)";

constexpr float UPPER_MESSAGE_Y = 3.5f, LOWER_MESSAGE_Y = 2.7f, MESSAGE_Z = -10.0f;
constexpr double MESSAGE_SPEED_DIVISOR = 5000000.0;
constexpr float WATER_STEP = 0.01f;
constexpr float UFO_STEP = 0.3f;
constexpr int32_t CREDIT_FIRST = SLOT_CODE, CREDIT_LAST = SLOT_ADD3;

// A box (the unit cube) placed by a translation, an optional turn about z,
// and a scale, in that order, with its texture.
struct PlacedBox {
    float x, y, z;
    float roll; // degrees about z, 0 for none
    float scale_x, scale_y, scale_z;
    int slot;
};
// A flat plane with repeats: translation, scale, texture and repeats (S, T).
struct PlacedPlane {
    float x, y, z;
    float scale_x, scale_y, scale_z;
    int slot;
    float repeat_s, repeat_t;
};

constexpr PlacedBox HOUSE = {1.9f, -0.2f, -6.0f, 0, 1.0f, 1.7f, 3.5f, SLOT_WALL};
constexpr PlacedPlane LEFT_FIELD = {-25, -1, -3, 50, 0.1f, 100, SLOT_GRASS, 10, 10};
constexpr PlacedBox GROUND_BOXES[] = {
    {0, -1.5f, -3, 90, 1, 0.1f, 50, SLOT_SAND}, // first bank
    {1, -1.5f, -3, 90, 1, 0.1f, 50, SLOT_SAND}, // second bank
    {1, -1.5f, -3, 0, 5, 0.1f, 50, SLOT_SAND},  // stream bed
};
constexpr PlacedPlane RIGHT_FIELD = {6, -1, -3, 10, 0.1f, 100, SLOT_GRASS, 2, 10};
constexpr PlacedBox BRIDGE = {0, -1, -5, 0, 2, 0.05f, 1, SLOT_BRIDGE};

// Water and trees: x, y and scale; their z is water_z.
constexpr float WATER_X = 1, WATER_Y = -1.2f;
constexpr float WATER_SCALE_X = 5, WATER_SCALE_Y = 0.1f, WATER_SCALE_Z = 100;
constexpr float WATER_REPEAT_S = 5, WATER_REPEAT_T = 15;
constexpr float TREES_X = 1, TREES_Y = -0.8f;
constexpr float TREES_SCALE_X = 50, TREES_SCALE_Y = 0.1f, TREES_SCALE_Z = 100;
constexpr float TREES_REPEAT_S = 5, TREES_REPEAT_T = 15;

// The door: turned to lie in the house's front wall.
constexpr float DOOR_X = 1.44f, DOOR_Y = -0.5f, DOOR_Z = -5.0f;
constexpr float DOOR_SCALE_X = 0.1f, DOOR_SCALE_Y = 1.0f, DOOR_SCALE_Z = 0.8f;

constexpr float BACKDROP_Y = 5.0f, BACKDROP_Z = -45.0f;
constexpr float BACKDROP_SCALE_X = 2.5f, BACKDROP_SCALE_Y = 2.0f;
constexpr float BACKDROP_HALF = 10.5f;
constexpr float CREDITS_Z = -3.0f;
constexpr float QUARTER_TURNS_3 = 270.0f;
constexpr float UFO_Y = 8.0f, UFO_Z = -30.0f, UFO_SCALE = 0.5f;
constexpr float UFO_HALF_W = 1.5f, UFO_HALF_H = 1.0f;

LandscapeState landscape;

static void draw_box(const PlacedBox& box) {
    glLoadIdentity();
    glTranslatef(box.x, box.y, box.z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[box.slot]);
    if (box.roll != 0) glRotatef(box.roll, 0, 0, 1);
    glScalef(box.scale_x, box.scale_y, box.scale_z);
    draw_textured_cube();
}

// A horizontal square at y = +0.5 of its placement, with the normal of the
// cube's top face, (0, 0, 1), and the picture repeated s times across and t
// times in depth.
static void flat_plane(float s, float t) {
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(-0.5f, 0.5f, 0.5f);
    glTexCoord2f(s, 0);
    glVertex3f(0.5f, 0.5f, 0.5f);
    glTexCoord2f(s, t);
    glVertex3f(0.5f, 0.5f, -0.5f);
    glTexCoord2f(0, t);
    glVertex3f(-0.5f, 0.5f, -0.5f);
    glEnd();
}

static void draw_plane(const PlacedPlane& plane) {
    glLoadIdentity();
    glTranslatef(plane.x, plane.y, plane.z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[plane.slot]);
    glScalef(plane.scale_x, plane.scale_y, plane.scale_z);
    flat_plane(plane.repeat_s, plane.repeat_t);
}

// A quad standing at z = +0.5 with normal (1, 0, 0), its texture coordinates
// running up the right edge first: the placements turn it by 270 degrees so
// that the picture reads upright.
static void standing_quad(float half) {
    glBegin(GL_QUADS);
    glNormal3f(1, 0, 0);
    glTexCoord2f(0, 0);
    glVertex3f(half, -half, 0.5f);
    glTexCoord2f(1, 0);
    glVertex3f(half, half, 0.5f);
    glTexCoord2f(1, 1);
    glVertex3f(-half, half, 0.5f);
    glTexCoord2f(0, 1);
    glVertex3f(-half, -half, 0.5f);
    glEnd();
}

// Both message lines centred on message_x, lit, depth tested and
// added onto the frame.  The sphere-map mode is set with generation off, so
// the glyphs carry the current texture coordinate.
static void draw_messages() {
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BACK]);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTranslatef(landscape.message_x, UPPER_MESSAGE_Y, MESSAGE_Z);
    print_outline_text("%s", UPPER_MESSAGE);
    glLoadIdentity();
    glTranslatef(landscape.message_x, LOWER_MESSAGE_Y, MESSAGE_Z);
    print_outline_text("%s", LOWER_MESSAGE);
}

// The door, turned into the house's front wall.
static void draw_door() {
    glLoadIdentity();
    glTranslatef(DOOR_X, DOOR_Y, DOOR_Z);
    glScalef(DOOR_SCALE_X, DOOR_SCALE_Y, DOOR_SCALE_Z);
    glRotatef(90, 0, 0, 1);
    glRotatef(90, 1, 0, 0);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_DOOR]);
    draw_textured_cube();
}

// A blended plane at depth water_z: the water and the row of trees.
static void draw_sliding_plane(float x, float y, int slot, float sx, float sy, float sz, float s,
                               float t) {
    glLoadIdentity();
    glEnable(GL_BLEND);
    glTranslatef(x, y, landscape.water_z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[slot]);
    glColor4f(1, 1, 1, 1);
    glScalef(sx, sy, sz);
    flat_plane(s, t);
    glDisable(GL_BLEND);
}

// The fogged, lit landscape: house, door, fields, ground, water, bridge,
// trees and the backdrop.
static void draw_landscape() {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_FOG);
    draw_box(HOUSE);
    draw_door();
    draw_plane(LEFT_FIELD);
    for (const PlacedBox& box : GROUND_BOXES)
        draw_box(box);
    draw_plane(RIGHT_FIELD);
    draw_sliding_plane(WATER_X, WATER_Y, SLOT_WATER, WATER_SCALE_X, WATER_SCALE_Y, WATER_SCALE_Z,
                       WATER_REPEAT_S, WATER_REPEAT_T);
    landscape.water_z -= WATER_STEP;
    draw_box(BRIDGE);
    draw_sliding_plane(TREES_X, TREES_Y, SLOT_TREE2, TREES_SCALE_X, TREES_SCALE_Y, TREES_SCALE_Z,
                       TREES_REPEAT_S, TREES_REPEAT_T);
    glLoadIdentity();
    glTranslatef(0, BACKDROP_Y, BACKDROP_Z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_BACK_S5]);
    glScalef(BACKDROP_SCALE_X, BACKDROP_SCALE_Y, 1);
    glRotatef(QUARTER_TURNS_3, 0, 0, 1);
    standing_quad(BACKDROP_HALF);
}

// The credits picture of credit_index, unfogged and unlit, added in
// front of the landscape.
static void draw_credits() {
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glLoadIdentity();
    glTranslatef(0, 0, CREDITS_Z);
    glRotatef(QUARTER_TURNS_3, 0, 0, 1);
    glBindTexture(GL_TEXTURE_2D, texture_slots[demo.credit_index]);
    standing_quad(0.5f);
}

static void draw_saucer_layer(int slot) {
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[slot]);
    glTranslatef(landscape.ufo_x, UFO_Y, UFO_Z);
    glScalef(UFO_SCALE, UFO_SCALE, UFO_SCALE);
    draw_textured_rect(-UFO_HALF_W, -UFO_HALF_H, UFO_HALF_W, UFO_HALF_H);
}

// The saucer's dark silhouette multiplied into the frame, then its
// picture added at the same place; the one, one blend function stays.
static void draw_saucer() {
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    draw_saucer_layer(SLOT_UFO_INV);
    glBlendFunc(GL_ONE, GL_ONE);
    draw_saucer_layer(SLOT_UFO);
}

void run_landscape() {
    demo.bar_mode = 2;
    if (demo.credit_index > CREDIT_LAST) demo.credit_index = CREDIT_FIRST;
    glColor3f(1, 1, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    draw_messages();
    landscape.message_x =
        static_cast<float>(landscape.message_x - demo.song_time_ms / MESSAGE_SPEED_DIVISOR);
    draw_landscape();
    draw_credits();
    draw_saucer();
    landscape.ufo_x += UFO_STEP;
}
