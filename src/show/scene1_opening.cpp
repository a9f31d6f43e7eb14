// Scene 1, the opening (0 .. 76999 ms).  Back to front: a wireframe "{x}"
// and a chain of eleven spinning cubes, a full-screen picture that fades in
// and out while its texture matrix rocks, the word logo, and from 20 s three
// environment-mapped dots spinning on the beat plus, from 30 s, a greeting
// line scrolling right to left that flashes on the beat.
//
// Depth testing stays off (the overlay tail turns it off every frame), so
// later layers cover earlier ones; blended layers add light with the
// start-up blend function (source alpha, one).
#include "show/scene1_opening.h"

#include <GL/gl.h>

#include <cmath>

#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "gfx/carried_state.h"
#include "show/demo_state.h"
#include "show/scenes.h"
#include "gfx/effects.h"

// Song times (ms) of the scene's script.
constexpr double CHAIN_HIDDEN_AFTER_MS = 15000.0; // chain and "{x}" vanish after this...
constexpr double CHAIN_BACK_AT_MS = 20000.0;      // ...and come back here
constexpr double PHASE_2_AT_MS = 20000.0;         // background starts fading out, dots appear
constexpr double LAYOUT_2_AT_MS = 25000.0;        // chain moves up, links stop pulsing
constexpr double GREETING_AT_MS = 30000.0;        // greeting line starts scrolling

// Per-frame steps.
constexpr float DRIFT_STEP = 0.01f;
constexpr float BEAT_SCALE_STEP = 0.01f;
constexpr float BEAT_SCALE_FLOOR = 0.75f;
constexpr float LAYOUT_2_LINK_SCALE = 0.75f;
constexpr float BEAT_GLOW_STEP = 0.01f;
constexpr float BEAT_LIFT_STEP = 0.005f;
constexpr float BEAT_LIFT_FLOOR = -1.5f;
constexpr float BEAT_SPIN_STEP = 0.0001f;
constexpr float EFFECT_Z_STEP = 0.01f;
constexpr float FADE_STEP = 0.001f;
constexpr float WOBBLE_STEP = 0.05f;

// The chain: start offsets from where "{x}" left the origin, by layout.
constexpr float CHAIN_START_X = -10.0f, CHAIN_START_Z = -2.5f;
constexpr float CHAIN_START_Y_LAYOUT_1 = -1.5f, CHAIN_START_Y_LAYOUT_2 = 5.5f;
constexpr int CHAIN_LINKS = 10;
constexpr float LINK_STEP_X = 1.0f, LINK_STEP_Y = 1.3f;

// Background quad at z = -6.1, covering the whole view.
constexpr float BACKGROUND_HALF_W = 4.17f, BACKGROUND_HALF_H = 3.0f;

// The three dots, left to right in drawing order.
constexpr float DOT_XS[3] = {0.0f, 0.5f, -0.5f};

const char GREETING_LINE[] = "Deer Coast presents Vintermoot 2002 - live at Isbrann 2002!!";

OpeningState opening;

static void sphere_map_mode() {
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}

static void set_polygon_mode(GLenum mode) {
    glPolygonMode(GL_BACK, mode);
    glPolygonMode(GL_FRONT, mode);
}

// "{x}" and the cube chain, in wireframe, lit.  The transforms act
// on whatever matrix is current: the texture matrix in the show's very first
// frame, the modelview matrix afterwards.
static void draw_text_and_chain(double t) {
    set_polygon_mode(GL_LINE);
    glTranslatef(demo.glyph_x / 2.0f, demo.glyph_y / 2.0f + 1.0f, demo.glyph_z / 2.0f);
    print_outline_text("{x}");
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);

    // The chain continues from where the printed text left the origin.
    float start_y = opening.chain_layout == 1 ? CHAIN_START_Y_LAYOUT_1 : CHAIN_START_Y_LAYOUT_2;
    glTranslatef(CHAIN_START_X, start_y, CHAIN_START_Z);
    float a = 2.0f * demo.drift + 360.0f;
    glRotatef(a, 0, 0, 1);
    glRotatef(a, 0, 1, 0);
    glRotatef(a, 1, 0, 0);
    sphere_map_mode();
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO]);
    draw_textured_cube();

    // The new layout already applies to this frame's links.
    if (t >= LAYOUT_2_AT_MS) opening.chain_layout = 2;
    float b = 72.0f * demo.drift + 360.0f;
    float s = opening.chain_layout == 1 ? demo.beat_scale : LAYOUT_2_LINK_SCALE;
    for (int link = 0; link < CHAIN_LINKS; ++link) {
        glRotatef(b, 0, 0, 1);
        glRotatef(b, 0, 1, 0);
        glRotatef(b, 1, 0, 0);
        glScalef(s, s, s);
        glTranslatef(LINK_STEP_X, LINK_STEP_Y, 0);
        draw_textured_cube();
    }
    set_polygon_mode(GL_FILL);

    demo.drift -= DRIFT_STEP;
    demo.beat_scale -= BEAT_SCALE_STEP;
    if (demo.beat_scale <= BEAT_SCALE_FLOOR) demo.beat_scale = BEAT_SCALE_FLOOR;

    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
}

// The fading background picture.  The texture matrix is rotated by
// spin_angle and never reset here, so the rotation accumulates from frame to
// frame and stays for all later textured drawing until a scene resets it.
static void draw_background() {
    glLoadIdentity();
    glTranslatef(0.03f, 0.0f, -6.1f);
    glMatrixMode(GL_TEXTURE);
    carried_rotate_texture(demo.spin_angle, 1, 0, 0);
    glColor4f(1, 1, 1, opening.intro_fade);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO]);
    draw_textured_rect(-BACKGROUND_HALF_W, -BACKGROUND_HALF_H, BACKGROUND_HALF_W,
                       BACKGROUND_HALF_H);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The greeting line, lit and sphere-mapped, flashing with
// beat_glow at the depth beat_lift.  It is drawn at the x computed in the
// previous frame (25 in its first frame).
static void draw_greeting_line(double t) {
    if (opening.intro_fade <= 0.0f) demo.effect_z += EFFECT_Z_STEP;
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    glTranslatef(opening.scroller_x, -0.25f, demo.beat_lift);
    glColor3f(demo.beat_glow, demo.beat_glow, demo.beat_glow);
    print_outline_text("%s", GREETING_LINE);
    demo.beat_glow -= BEAT_GLOW_STEP;
    opening.scroller_x = static_cast<float>(35.0 - t / 1500.0);
}

// Environment-mapped dots spinning with beat_spin, and the greeting.
static void draw_dots_and_greeting(double t) {
    sphere_map_mode();
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_ENV1]);
    if (t >= GREETING_AT_MS) draw_greeting_line(t);

    demo.beat_lift -= BEAT_LIFT_STEP;
    if (demo.beat_lift <= BEAT_LIFT_FLOOR) demo.beat_lift = BEAT_LIFT_FLOOR;

    for (float x : DOT_XS) {
        glLoadIdentity();
        glTranslatef(x, -0.2f, -2.0f);
        glScalef(4, 4, 4);
        glRotatef(demo.beat_spin, 1, 0, 0);
        glRotatef(demo.beat_spin, 0, 1, 0);
        glRotatef(demo.beat_spin, 1, 0, 1);
        print_outline_text(".");
    }
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);

    demo.beat_spin -= BEAT_SPIN_STEP;
    if (demo.beat_spin <= 0.0f) demo.beat_spin = 0.0f;
}

// Fades the background in (and rocks it once fully in) or out.
static void step_fades() {
    if (opening.intro_phase == 1) {
        opening.wobble_phase += WOBBLE_STEP;
        // The cosine (of radians) is used as degrees by the texture rotation.
        if (opening.intro_fade >= 1.0f) demo.spin_angle = std::cos(opening.wobble_phase);
        opening.intro_fade += FADE_STEP;
    } else if (opening.intro_phase == 2) {
        opening.intro_fade -= FADE_STEP;
        opening.logo_alpha += FADE_STEP;
    }
}

void run_opening_scene() {
    double t = demo.song_time_ms;
    glEnable(GL_BLEND);
    if (t <= CHAIN_HIDDEN_AFTER_MS || t >= CHAIN_BACK_AT_MS) draw_text_and_chain(t);
    draw_background();

    // Word logo in white at the depth effect_z, textured by the single
    // coordinate (0, 1) that the background quad left current.
    glColor4f(1, 1, 1, opening.logo_alpha);
    draw_word_logo(demo.effect_z);

    demo.greet_beats += 1;
    if (t >= PHASE_2_AT_MS) opening.intro_phase = 2;
    if (t >= PHASE_2_AT_MS) draw_dots_and_greeting(t);
    step_fades();
}
