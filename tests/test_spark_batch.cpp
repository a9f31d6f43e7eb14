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

// The batch leaves the client arrays off for the immediate-mode drawing
// that follows.
TEST_F(SparkBatch, LeavesClientArraysDisabled) {
    draw_batch(test_sparks(10));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

} // namespace
