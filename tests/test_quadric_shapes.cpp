// The compiled sphere and cylinder must draw exactly what GLU draws with the
// shared quadric, reuse one list per shape, and survive a new context.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "gfx/render_state.h"
#include "gfx/effects.h"
#include "platform/offscreen.h"

namespace {

constexpr int VIEW = 160;
constexpr int CHECKER = 16;

// Lists with names in 1..LIST_SCAN are counted as live.
constexpr GLuint LIST_SCAN = 64;

void make_show_quadric() {
    quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
}

// A red/blue checker, so that texture coordinates show in the pixels.
void bind_checker() {
    std::vector<uint8_t> texels(CHECKER * CHECKER * 3);
    for (int y = 0; y < CHECKER; ++y)
        for (int x = 0; x < CHECKER; ++x) {
            uint8_t* t = &texels[static_cast<size_t>((y * CHECKER + x) * 3)];
            bool odd = (x + y) % 2 != 0;
            t[0] = odd ? 230 : 20;
            t[1] = static_cast<uint8_t>(x * 15);
            t[2] = odd ? 40 : 250;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, CHECKER, CHECKER, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
}

// The show's kind of state: perspective, lit, textured, added light.
void show_like_state() {
    glViewport(0, 0, VIEW, VIEW);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.5f, 0.6f, 0.9f);
    bind_checker();
}

std::vector<uint8_t> pixels_of(const std::function<void()>& draw) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.2f, -4.0f);
    glRotatef(30.0f, 1.0f, 0.5f, 0.0f);
    draw();
    glFinish();
    return offscreen_read_rgb(VIEW, VIEW);
}

size_t lit_pixels(const std::vector<uint8_t>& rgb) {
    size_t lit = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        lit += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0;
    return lit;
}

int live_lists() {
    int live = 0;
    for (GLuint name = 1; name <= LIST_SCAN; ++name)
        live += glIsList(name) == GL_TRUE;
    return live;
}

class QuadricShapesGl : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(offscreen_begin(VIEW, VIEW));
        make_show_quadric();
        quadric_shapes_forget();
        show_like_state();
    }
    void TearDown() override {
        quadric_shapes_release();
        gluDeleteQuadric(quadric);
        quadric = nullptr;
        offscreen_end();
    }
};

TEST_F(QuadricShapesGl, SphereDrawsTheSamePixelsAsGlu) {
    auto glu = pixels_of([] { gluSphere(quadric, 1.2, 16, 10); });
    ASSERT_GT(lit_pixels(glu), static_cast<size_t>(VIEW * VIEW / 8));
    // The first call compiles the list, later ones only call it.
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_EQ(pixels_of([] { draw_quadric_sphere(1.2, 16, 10); }), glu) << "pass " << pass;
}

TEST_F(QuadricShapesGl, CylinderDrawsTheSamePixelsAsGluWithAndWithoutSphereMapping) {
    auto draw_glu = [] { gluCylinder(quadric, 0.8, 0.8, 3.0, 24, 4); };
    auto draw_list = [] { draw_quadric_cylinder(0.8, 3.0, 24, 4); };
    auto plain = pixels_of(draw_glu);
    ASSERT_GT(lit_pixels(plain), static_cast<size_t>(VIEW * VIEW / 10));
    EXPECT_EQ(pixels_of(draw_list), plain);

    // Generated coordinates replace the quadric's: the list must leave them
    // to the state at the time it is called, not at the time it was made.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    auto mapped = pixels_of(draw_glu);
    EXPECT_NE(mapped, plain);
    EXPECT_EQ(pixels_of(draw_list), mapped);
}

TEST_F(QuadricShapesGl, OneListPerShapeAndNoneAfterRelease) {
    EXPECT_EQ(live_lists(), 0);
    draw_quadric_sphere(1.0, 16, 10);
    draw_quadric_sphere(1.0, 16, 10);
    draw_quadric_sphere(0.5, 16, 10);
    draw_quadric_cylinder(1.0, 2.0, 16, 10);
    draw_quadric_cylinder(1.0, 2.0, 16, 10);
    EXPECT_EQ(live_lists(), 3);
    quadric_shapes_release();
    EXPECT_EQ(live_lists(), 0);
    // Drawn again after the release, the shape is compiled afresh.
    EXPECT_GT(lit_pixels(pixels_of([] { draw_quadric_sphere(1.0, 16, 10); })), 0u);
    EXPECT_EQ(live_lists(), 1);
}

TEST_F(QuadricShapesGl, ANewContextGetsItsOwnLists) {
    auto before = pixels_of([] { draw_quadric_sphere(1.0, 16, 10); });
    ASSERT_GT(lit_pixels(before), 0u);
    // The context goes away with its lists; start-up on the next one forgets
    // the old names along with the old quadric.
    gluDeleteQuadric(quadric);
    offscreen_end();
    ASSERT_TRUE(offscreen_begin(VIEW, VIEW));
    make_show_quadric();
    quadric_shapes_forget();
    show_like_state();
    EXPECT_EQ(pixels_of([] { draw_quadric_sphere(1.0, 16, 10); }), before);
}

} // namespace
