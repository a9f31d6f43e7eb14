// The spark batch draws exactly what one immediate-mode strip per spark
// draws: the same triangles, colours and texture coordinates, in order.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gfx/effects.h"
#include "scene_fixture.h"

namespace {

// The reference: each spark as its own four-corner strip.
void draw_strips(const std::vector<Spark>& sparks) {
    for (const Spark& s : sparks) {
        float z = s.pos_z - 60.0f;
        glColor4f(s.red, s.green, s.blue, s.energy);
        glBegin(GL_TRIANGLE_STRIP);
        glTexCoord2f(1, 1);
        glVertex3f(s.pos_x + 0.2f, s.pos_y + 0.2f, z);
        glTexCoord2f(0, 1);
        glVertex3f(s.pos_x - 0.2f, s.pos_y + 0.2f, z);
        glTexCoord2f(1, 0);
        glVertex3f(s.pos_x + 0.2f, s.pos_y - 0.2f, z);
        glTexCoord2f(0, 0);
        glVertex3f(s.pos_x - 0.2f, s.pos_y - 0.2f, z);
        glEnd();
    }
}

void draw_batch(const std::vector<Spark>& sparks) {
    spark_batch_begin();
    for (const Spark& s : sparks)
        spark_batch_add(s);
    spark_batch_draw();
}

// Overlapping sparks of several colours and energies, spread over the view.
std::vector<Spark> test_sparks(int count) {
    std::vector<Spark> sparks;
    for (int i = 0; i < count; ++i) {
        Spark s{};
        s.alive = true;
        s.pos_x = static_cast<float>(i % 37) * 0.9f - 16.0f;
        s.pos_y = static_cast<float>(i % 23) * 1.1f - 12.0f;
        s.pos_z = static_cast<float>(i % 5) * 3.0f;
        s.red = 0.1f * static_cast<float>(i % 10);
        s.green = 0.3f;
        s.blue = 1.0f - 0.05f * static_cast<float>(i % 20);
        s.energy = static_cast<float>(i % 7) / 6.0f;
        sparks.push_back(s);
    }
    return sparks;
}

struct SparkBatch : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin({{SLOT_DOT, {200, 220, 255}}}));
        glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_DOT]);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glLoadIdentity();
    }
    void TearDown() override { fixture_end(); }
    template <typename Draw> std::vector<uint8_t> picture(Draw draw) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw();
        return offscreen_read_rgb(FIXTURE_W, FIXTURE_H);
    }
};

TEST_F(SparkBatch, DrawsTheSamePixelsAsOneStripPerSpark) {
    std::vector<Spark> sparks = test_sparks(3000);
    auto strips = picture([&] { draw_strips(sparks); });
    auto batch = picture([&] { draw_batch(sparks); });
    size_t lit = 0;
    for (uint8_t v : strips)
        lit += v > 0;
    EXPECT_GT(lit, strips.size() / 20); // the sparks light a good part of the view
    EXPECT_EQ(strips, batch);
}

TEST_F(SparkBatch, ProducesTheStripsTrianglesInOrder) {
    std::vector<Spark> sparks = test_sparks(40);
    auto strips = fixture_feedback([&] { draw_strips(sparks); });
    auto batch = fixture_feedback([&] { draw_batch(sparks); });
    ASSERT_EQ(strips.size(), 80u);
    ASSERT_EQ(batch.size(), strips.size());
    for (size_t i = 0; i < strips.size(); ++i)
        EXPECT_EQ(batch[i].vertices, strips[i].vertices) << "triangle " << i;
}

// Sparks beyond one set's worth are drawn in further batches, none lost.
TEST_F(SparkBatch, DrawsMoreThanOneSetsWorthWithoutLosingAny) {
    std::vector<Spark> sparks = test_sparks(SPARK_COUNT + 10);
    auto batch = fixture_feedback([&] { draw_batch(sparks); });
    EXPECT_EQ(batch.size(), 2u * (SPARK_COUNT + 10));
}

// Sparks all around the view, inside, across its edges and far outside it
// (beside, above, behind the eye and beyond the far plane): those left out
// are wholly outside, so the picture and the clipped triangles GL produces
// are the strips' own.
TEST_F(SparkBatch, LeavesOutOnlySparksWhollyOutsideTheView) {
    std::vector<Spark> sparks = test_sparks(400);
    const float far_out[][3] = {{80, 0, 0},         {-80, 0, 0},      {0, 60, 0},   {0, -60, 0},
                                {0, 0, 70},         {0, 0, 59.8f},    {0, 0, -200}, {30, 0, 50},
                                {1e6f, 1e6f, 1e6f}, {-3e5f, 0, -1e4f}};
    for (size_t i = 0; i < sparks.size(); ++i) {
        const float* out = far_out[i % (sizeof far_out / sizeof *far_out)];
        // Every other spark moves out; every fourth is scaled onto the edge.
        float scale = i % 4 == 1 ? 0.25f : 1.0f;
        if (i % 2 == 1) {
            sparks[i].pos_x += out[0] * scale;
            sparks[i].pos_y += out[1] * scale;
            sparks[i].pos_z += out[2] * scale;
        }
    }
    auto strips = picture([&] { draw_strips(sparks); });
    auto batch = picture([&] { draw_batch(sparks); });
    EXPECT_EQ(strips, batch);
    EXPECT_GT(sparks_left_out, 100);
    EXPECT_LT(sparks_left_out, 200);
    auto strip_triangles = fixture_feedback([&] { draw_strips(sparks); });
    auto batch_triangles = fixture_feedback([&] { draw_batch(sparks); });
    ASSERT_EQ(batch_triangles.size(), strip_triangles.size());
    for (size_t i = 0; i < strip_triangles.size(); ++i)
        EXPECT_EQ(batch_triangles[i].vertices, strip_triangles[i].vertices) << "triangle " << i;
}

// Sparks as seeded, black until they first respawn, add nothing under the
// finale's blends (source alpha or one onto one) and are left out; the
// picture is the strips' own under both.
TEST_F(SparkBatch, LeavesOutBlackSparksWithoutChangingThePicture) {
    std::vector<Spark> sparks = test_sparks(900);
    for (size_t i = 0; i < sparks.size(); i += 3)
        sparks[i].red = sparks[i].green = sparks[i].blue = 0.0f;
    sparks[1].red = sparks[1].blue = 0.0f; // dark but not black: drawn
    for (GLenum source : {GL_SRC_ALPHA, GL_ONE}) {
        glBlendFunc(source, GL_ONE);
        auto strips = picture([&] { draw_strips(sparks); });
        auto batch = picture([&] { draw_batch(sparks); });
        EXPECT_EQ(strips, batch);
        EXPECT_EQ(sparks_left_out, 300);
    }
}

// The batch leaves the client arrays off for the immediate-mode drawing
// that follows.
TEST_F(SparkBatch, LeavesClientArraysDisabled) {
    draw_batch(test_sparks(10));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

} // namespace
