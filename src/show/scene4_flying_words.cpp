// Scene 4, flying words (121800 .. 159759 ms).  A slowly turning textured
// background, two huge tumbling star cards, a two-layer banner sliding in from
// the right (mask multiplied, bright layer added; the bright layer flips on
// every note), a fixed strip low in the picture, and twelve texts in the 3D
// font flying one after the other from the lower right, far away, up past the
// viewer to the upper left.  The flight moves by fixed steps per frame; the
// banner's speed grows with the song time.
#include "show/scene4_flying_words.h"

#include <GL/gl.h>

#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "show/demo_state.h"
#include "show/scenes.h"
#include "gfx/effects.h"

const FlyingWord FLYING_WORDS[FLYING_WORD_COUNT] = {
    {"The", 1.0f},    {"Norwegian", 1.0f},         {"scene", 1.0f}, {"r00le", 1.0f},
    {"4 evah", 1.0f}, {"Well, hello Harok", 1.0f}, {"tovik", 0.6f}, {"Mirabo", 1.0f},
    {"plix", 0.7f},   {"vondrel", 0.7f},           {"BrOm|", 1.0f}, {"Lise-K.", 1.0f},
};

// Quads of the scene as (left, bottom, right, top) in their own plane.
constexpr float BACKGROUND_HALF_W = 10.5f, BACKGROUND_HALF_H = 10.1f;
constexpr float STAR_HALF_W = 3.0f, STAR_HALF_H = 1.0f;
constexpr float BANNER_HALF_W = 10.5f, BANNER_HALF_H = 2.0f;
constexpr float STRIP_HALF_W = 8.3f, STRIP_HALF_H = 0.7f;

// Placements.
constexpr float BACKGROUND_Z = -5.0f;
constexpr float STAR_X = 2.0f, STAR_Y = -2.0f, STAR_Z = -7.0f;
constexpr float STAR_SCALE = 10.0f;
constexpr float SECOND_STAR_OFFSET = 50.0f; // degrees added to spin_angle
constexpr float BANNER_Z = -20.0f;
constexpr float STRIP_Y = -5.0f, STRIP_Z = -15.0f;
constexpr float TEXT_LIFT_Y = 2.5f, TEXT_LIFT_Z = -2.5f;
constexpr float TEXT_ROLL = 4.0f, TEXT_YAW = 2.0f; // times drift, degrees

// The flight: it restarts from (10, -15, -20) once glyph_y reaches 5.0.  The
// first flight starts from the initial (10, -6, -20) and so is shorter.
constexpr float FLIGHT_END_Y = 5.0f;
constexpr float FLIGHT_START_X = 10.0f, FLIGHT_START_Y = -15.0f, FLIGHT_START_Z = -20.0f;
constexpr float FLIGHT_STEP_X = -0.1f, FLIGHT_STEP_Y = 0.1f, FLIGHT_STEP_Z = 0.15f;
constexpr float SPIN_STEP = 0.09f;
constexpr float DRIFT_STEP = 0.01f;
constexpr double BANNER_SPEED_DIVISOR = 5000000.0;

FlyingWordsState flying_words;

static void rotate_all_axes(float angle) {
    glRotatef(angle, 1, 0, 0);
    glRotatef(angle, 0, 1, 0);
    glRotatef(angle, 0, 0, 1);
}

// The background, its texture coordinates turned about all three
// axes through the texture matrix, added onto the cleared frame.
static void draw_background() {
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_S4_BACK]);
    glMatrixMode(GL_TEXTURE);
    rotate_all_axes(demo.spin_angle);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, BACKGROUND_Z);
    draw_textured_rect(-BACKGROUND_HALF_W, -BACKGROUND_HALF_H, BACKGROUND_HALF_W,
                       BACKGROUND_HALF_H);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// One of the two star cards, scaled tenfold, tumbling about all three axes.
static void draw_star_card(float angle) {
    glLoadIdentity();
    glTranslatef(STAR_X, STAR_Y, STAR_Z);
    rotate_all_axes(angle);
    glScalef(STAR_SCALE, STAR_SCALE, STAR_SCALE);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_STAR]);
    draw_textured_rect(-STAR_HALF_W, -STAR_HALF_H, STAR_HALF_W, STAR_HALF_H);
}

static void draw_banner_layer(int slot) {
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[slot]);
    glTranslatef(flying_words.banner_x, 0, BANNER_Z);
    draw_textured_rect(-BANNER_HALF_W, -BANNER_HALF_H, BANNER_HALF_W, BANNER_HALF_H);
}

// The banner's mask multiplies the frame, then its bright layer (the
// picture the notes flip) is added at the same place.  The one, one blend
// function stays for the following frames and scenes.
static void draw_banner() {
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    draw_banner_layer(SLOT_S4_HEAD);
    glBlendFunc(GL_ONE, GL_ONE);
    draw_banner_layer(demo.scroller_index);
}

// The opaque strip low in the picture.  Its last texture coordinate,
// (0, 1), stays current and textures the flying word drawn next.
static void draw_low_strip() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_COZSIN]);
    glTranslatef(0, STRIP_Y, STRIP_Z);
    draw_textured_rect(-STRIP_HALF_W, -STRIP_HALF_H, STRIP_HALF_W, STRIP_HALF_H);
}

// The current word at half the flight position, lit and depth
// tested, turned by drift.  The sphere-map mode is set but generation stays
// off, so the glyphs carry the single texture coordinate left current.
static void draw_flying_word() {
    glEnable(GL_DEPTH_TEST);
    glLoadIdentity();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTranslatef(demo.glyph_x / 2, demo.glyph_y / 2, demo.glyph_z / 2);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glTranslatef(0, TEXT_LIFT_Y, TEXT_LIFT_Z);
    glRotatef(demo.drift * TEXT_ROLL, 0, 0, 1);
    glRotatef(demo.drift * TEXT_YAW, 0, 1, 0);
    glRotatef(180, 1, 0, 0);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_WALL]);
    if (flying_words.word_index < 1 || flying_words.word_index > FLYING_WORD_COUNT) return;
    const FlyingWord& word = FLYING_WORDS[flying_words.word_index - 1];
    glScalef(word.scale, word.scale, word.scale);
    print_outline_text("%s", word.text);
}

// Either restarts the flight with the next word (nothing else moves
// on that frame) or advances it, the spin and the banner.  Every sum is stored
// as a float before the next comparison.
static void advance_flight() {
    if (demo.glyph_y >= FLIGHT_END_Y) {
        demo.glyph_x = FLIGHT_START_X;
        demo.glyph_y = FLIGHT_START_Y;
        demo.glyph_z = FLIGHT_START_Z;
        flying_words.word_index += 1;
        return;
    }
    demo.glyph_x += FLIGHT_STEP_X;
    demo.glyph_y += FLIGHT_STEP_Y;
    demo.glyph_z += FLIGHT_STEP_Z;
    demo.spin_angle += SPIN_STEP;
    flying_words.banner_x =
        static_cast<float>(flying_words.banner_x - demo.song_time_ms / BANNER_SPEED_DIVISOR);
}

void run_flying_words() {
    demo.bar_mode = 2;
    draw_background();
    draw_star_card(demo.spin_angle);
    draw_star_card(demo.spin_angle + SECOND_STAR_OFFSET);
    draw_banner();
    draw_low_strip();
    draw_flying_word();
    demo.drift -= DRIFT_STEP;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    advance_flight();
}
