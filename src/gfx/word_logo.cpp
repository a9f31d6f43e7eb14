#include "gfx/effects.h"

#include <GL/gl.h>

namespace {

// The group's name, "DeerCoast", as block letters in logo units (baseline
// y = -1, capitals up to 0.4).  Each strip lists its corners once; the first
// corner is sent again at the end to close it.
struct LogoPoint {
    float x, y;
};

struct LogoStrip {
    float x_translation;
    int count;
    LogoPoint points[12];
};

constexpr float LOGO_Y_TRANSLATION = 0.5f;

const LogoStrip LOGO_STRIPS[14] = {
    // D: outline with bevelled right corners, then its counter.
    {-0.25f,
     6,
     {{-2.0f, -1.0f}, {-1.4f, -1.0f}, {-1.2f, -0.8f}, {-1.2f, 0.2f}, {-1.4f, 0.4f}, {-2.0f, 0.4f}}},
    {-0.25f,
     6,
     {{-1.7f, -0.6f},
      {-1.6f, -0.6f},
      {-1.56f, -0.5f},
      {-1.56f, 0.0f},
      {-1.6f, 0.1f},
      {-1.7f, 0.1f}}},
    // e: block with the opening cut in from the right under the bar.
    {-0.25f,
     8,
     {{-1.1f, -1.0f},
      {-0.65f, -1.0f},
      {-0.65f, -0.85f},
      {-0.95f, -0.85f},
      {-0.95f, -0.75f},
      {-0.65f, -0.75f},
      {-0.65f, -0.4f},
      {-1.1f, -0.4f}}},
    {-0.25f, 4, {{-0.95f, -0.7f}, {-0.8f, -0.7f}, {-0.8f, -0.55f}, {-0.95f, -0.55f}}},
    // e: narrower, bevelled corners.
    {-0.25f,
     12,
     {{-0.55f, -1.0f},
      {-0.35f, -1.0f},
      {-0.3f, -0.95f},
      {-0.3f, -0.85f},
      {-0.5f, -0.85f},
      {-0.5f, -0.75f},
      {-0.3f, -0.75f},
      {-0.3f, -0.45f},
      {-0.35f, -0.4f},
      {-0.55f, -0.4f},
      {-0.6f, -0.45f},
      {-0.6f, -0.95f}}},
    {-0.25f, 4, {{-0.5f, -0.7f}, {-0.45f, -0.7f}, {-0.45f, -0.5f}, {-0.5f, -0.5f}}},
    // r: stem with a foot, arm bent down at its end.
    {-0.25f,
     12,
     {{-0.25f, -1.0f},
      {-0.05f, -1.0f},
      {-0.05f, -0.95f},
      {-0.1f, -0.95f},
      {-0.1f, -0.6f},
      {-0.05f, -0.55f},
      {0.0f, -0.55f},
      {0.0f, -0.65f},
      {0.1f, -0.65f},
      {0.1f, -0.45f},
      {0.05f, -0.4f},
      {-0.25f, -0.4f}}},
    // C: bevelled left corners, slanted upper terminal.
    {-0.2f,
     11,
     {{0.4f, -1.0f},
      {0.7f, -1.0f},
      {0.7f, -0.8f},
      {0.5f, -0.8f},
      {0.5f, 0.2f},
      {0.65f, 0.2f},
      {0.7f, 0.25f},
      {0.7f, 0.4f},
      {0.4f, 0.4f},
      {0.3f, 0.3f},
      {0.3f, -0.9f}}},
    // o: square with a square counter.
    {-0.2f, 4, {{0.8f, -1.0f}, {1.2f, -1.0f}, {1.2f, -0.35f}, {0.8f, -0.35f}}},
    {-0.2f, 4, {{0.9f, -0.8f}, {1.1f, -0.8f}, {1.1f, -0.5f}, {0.9f, -0.5f}}},
    // a: straight stem on the right, bevelled left, tall counter.
    {-0.2f,
     6,
     {{1.35f, -1.0f},
      {1.65f, -1.0f},
      {1.65f, -0.35f},
      {1.35f, -0.35f},
      {1.3f, -0.4f},
      {1.3f, -0.95f}}},
    {-0.2f, 4, {{1.4f, -0.8f}, {1.5f, -0.8f}, {1.5f, -0.5f}, {1.4f, -0.5f}}},
    // s: three bars joined by a left and a right stem.
    {-0.18f,
     12,
     {{1.7f, -1.0f},
      {2.0f, -1.0f},
      {2.0f, -0.6f},
      {1.8f, -0.6f},
      {1.8f, -0.5f},
      {2.0f, -0.5f},
      {2.0f, -0.35f},
      {1.7f, -0.35f},
      {1.7f, -0.75f},
      {1.9f, -0.75f},
      {1.9f, -0.85f},
      {1.7f, -0.85f}}},
    // t: the tall last letter, a cross up to y = 0.
    {-0.17f,
     12,
     {{2.3f, -1.0f},
      {2.45f, -1.0f},
      {2.45f, -0.45f},
      {2.7f, -0.45f},
      {2.7f, -0.3f},
      {2.45f, -0.3f},
      {2.45f, 0.0f},
      {2.3f, 0.0f},
      {2.3f, -0.3f},
      {2.1f, -0.3f},
      {2.1f, -0.45f},
      {2.3f, -0.45f}}},
};

void draw_strip(const LogoStrip& strip, float z) {
    glLoadIdentity();
    glTranslatef(strip.x_translation, LOGO_Y_TRANSLATION, z);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < strip.count; ++i)
        glVertex3f(strip.points[i].x, strip.points[i].y, 0.0f);
    glVertex3f(strip.points[0].x, strip.points[0].y, 0.0f);
    glEnd();
}

} // namespace

// Replaces the current matrix: it ends at the last strip's transform.
void draw_word_logo(float z) {
    for (const LogoStrip& strip : LOGO_STRIPS)
        draw_strip(strip, z);
}
