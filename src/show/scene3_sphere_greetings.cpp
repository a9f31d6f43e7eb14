// Scene 3, sphere greetings (102500 .. 121799 ms).  Four dim star panels
// turning at the centre, a growing cluster of concentric environment-mapped
// spheres inside one huge sphere, a column of stripes scrolling down on the
// right, the production logo laid over the picture (multiply, then add), and
// a small greeting label in the top left that changes on every note.  Depth
// testing is off while it draws; everything but the logo mask adds light.
#include "show/scene3_sphere_greetings.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "gfx/render_state.h"
#include "assets/texture_set.h"
#include "show/demo_state.h"
#include "show/scenes.h"
#include "gfx/effects.h"

// Dim blue-grey of the star panels and the sphere cluster; brighter blue of
// the huge outer sphere.
constexpr float DIM_R = 0.2f, DIM_G = 0.2f, DIM_B = 0.4f;
constexpr float OUTER_B = 0.7f;

// The four star panels: for each, up to three rotations applied in order,
// each an angle offset from spin_angle and an axis.
struct Rotation {
    float angle_offset;
    float x, y, z;
};
struct StarPanel {
    int rotation_count;
    Rotation rotations[3];
};
constexpr float STAR_PANEL_Z = -10.0f;
constexpr float STAR_PANEL_SCALE = 2.0f;
constexpr StarPanel STAR_PANELS[] = {
    {1, {{0, 0, 1, 0}}},
    {3, {{0, 1, 0, 0}, {1, 0, 1, 0}, {0, 0, 0, 1}}},
    {3, {{1, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
    {2, {{0, 1, 0, 0}, {0, 0, 0, 1}}},
};

// The cluster: shells drawn over themselves count times (brighter with
// additive blending), then one huge sphere 10 units further in.
struct SphereShell {
    double radius;
    int count;
};
constexpr SphereShell CLUSTER_SHELLS[] = {{0.1, 1}, {0.3, 3}, {0.5, 4}, {0.8, 1}, {1.0, 5}};
constexpr double OUTER_SPHERE_RADIUS = 30.0;
constexpr int SPHERE_SLICES = 16, SPHERE_STACKS = 10;
constexpr float CLUSTER_Z = -10.0f;
constexpr float CLUSTER_BASE_SCALE = 10.0f;
constexpr float OUTER_SPHERE_Z = -10.0f;
constexpr float SPHERE_ZOOM_STEP = 0.1f;
constexpr int32_t CLUSTER_GROWS_FROM_BEATS = 10;

// Stripes: a column at x = 0.82, z = -2, scrolling down.
constexpr float STRIPE_X = 0.82f, STRIPE_Z = -2.0f;
constexpr float STRIPE_FALL_STEP = 0.005f;
constexpr float STRIPE_BOTTOM = -0.825f;
constexpr float STRIPE_RESTART = 1.0f;

// Logo quad at z = -4 (mask pass, then colour pass).
constexpr float LOGO_Y = -0.05f, LOGO_Z = -4.0f;
constexpr float LOGO_HALF_W = 2.3f, LOGO_BOTTOM = -1.6f, LOGO_TOP = 1.75f;

// Greeting label in the top left.
constexpr float LABEL_X = -1.35f, LABEL_Y = 0.87f, LABEL_Z = -5.0f;
constexpr float LABEL_HALF_W = 0.5f, LABEL_HALF_H = 0.1f;

constexpr float SPIN_STEP = 1.0f;
constexpr float SPIN_WRAP = 360.0f;

SphereGreetingsState sphere_greetings;

// Four dim star panels, each turned its own way.
static void draw_star_panels(float a) {
    for (const StarPanel& panel : STAR_PANELS) {
        glLoadIdentity();
        glTranslatef(0, 0, STAR_PANEL_Z);
        glColor3f(DIM_R, DIM_G, DIM_B);
        glScalef(STAR_PANEL_SCALE, STAR_PANEL_SCALE, STAR_PANEL_SCALE);
        for (int r = 0; r < panel.rotation_count; ++r) {
            const Rotation& rot = panel.rotations[r];
            glRotatef(a + rot.angle_offset, rot.x, rot.y, rot.z);
        }
        glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_ROTSTAR]);
        draw_panel();
    }
}

// The cluster of shells, scaled by sphere_zoom + 10, with the huge
// outer sphere drawn in the cluster's scaled and rotated frame.  The spheres
// take their texture coordinates from the quadric.
static void draw_sphere_cluster(float a) {
    glLoadIdentity();
    glTranslatef(0, 0, CLUSTER_Z);
    glColor3f(DIM_R, DIM_G, DIM_B);
    float s = sphere_greetings.sphere_zoom + CLUSTER_BASE_SCALE;
    glScalef(s, s, s);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_ENV1]);
    glRotatef(a + 1.0f, 1, 0, 0);
    glRotatef(a, 0, 1, 0);
    glRotatef(a, 0, 0, 1);
    for (const SphereShell& shell : CLUSTER_SHELLS)
        for (int i = 0; i < shell.count; ++i)
            draw_quadric_sphere(shell.radius, SPHERE_SLICES, SPHERE_STACKS);

    glTranslatef(0, 0, OUTER_SPHERE_Z);
    glColor3f(DIM_R, DIM_G, OUTER_B);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_ENV1]);
    draw_quadric_sphere(OUTER_SPHERE_RADIUS, SPHERE_SLICES, SPHERE_STACKS);
}

// The stripe column (each stripe sets white and scales itself).
static void draw_stripes() {
    for (float h : sphere_greetings.stripe_heights) {
        glLoadIdentity();
        glTranslatef(STRIPE_X, h, STRIPE_Z);
        draw_stripe();
    }
}

// The logo, as a mask multiplied into the frame and then its
// colour picture added at the same place.  The one, one blend function is
// left behind for the label and for the scenes that follow.
static void draw_masked_logo() {
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO3]);
    glTranslatef(0, LOGO_Y, LOGO_Z);
    draw_textured_rect(-LOGO_HALF_W, LOGO_BOTTOM, LOGO_HALF_W, LOGO_TOP);

    glLoadIdentity();
    glBlendFunc(GL_ONE, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO2]);
    glTranslatef(0, LOGO_Y, LOGO_Z);
    draw_textured_rect(-LOGO_HALF_W, LOGO_BOTTOM, LOGO_HALF_W, LOGO_TOP);
}

// The greeting label, the picture of greet_index (slots 43..52),
// which every note of this scene advances.
static void draw_greeting_label() {
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[demo.greet_index]);
    glTranslatef(LABEL_X, LABEL_Y, LABEL_Z);
    draw_textured_rect(-LABEL_HALF_W, -LABEL_HALF_H, LABEL_HALF_W, LABEL_HALF_H);
}

// Stripes fall and restart at the top; the spin wraps at 360.
static void advance_stripes_and_spin() {
    for (float& h : sphere_greetings.stripe_heights)
        h -= STRIPE_FALL_STEP;
    demo.spin_angle += SPIN_STEP;
    if (demo.spin_angle >= SPIN_WRAP) demo.spin_angle = 0.0f;
    for (float& h : sphere_greetings.stripe_heights)
        if (h <= STRIPE_BOTTOM) h = STRIPE_RESTART;
}

void run_sphere_greetings() {
    float a = demo.spin_angle;
    // A second clear of the frame, after the frame driver's own.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glEnable(GL_BLEND);

    draw_star_panels(a);
    draw_sphere_cluster(a);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    draw_stripes();
    draw_masked_logo();
    draw_greeting_label();
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);

    advance_stripes_and_spin();
    if (demo.greet_beats >= CLUSTER_GROWS_FROM_BEATS)
        sphere_greetings.sphere_zoom += SPHERE_ZOOM_STEP;
}
