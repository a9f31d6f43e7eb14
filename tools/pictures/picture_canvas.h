// Painting surface of the picture generator: float colour canvases and
// one-channel masks measured in design units, so that a picture is drawn for
// the quad it lands on whatever the texture's size.  One design unit is the
// quad's height; x runs 0..aspect to the right, y runs 0..1 downwards.
#pragma once

#include <cstdint>
#include <vector>

// A linear colour, each channel nominally 0..1.
struct Colour {
    float r, g, b;
};

// A picture being painted, rows top first, three floats per pixel.
struct Canvas {
    int width, height;
    float aspect; // quad width : quad height
    std::vector<float> rgb;
};

// Coverage or intensity 0..1 per pixel, laid out like a Canvas.
struct Mask {
    int width, height;
    float aspect;
    std::vector<float> value;
};

// The palette of the production (winter night).
constexpr Colour BLACK = {0.0f, 0.0f, 0.0f};
constexpr Colour WHITE = {1.0f, 1.0f, 1.0f};
constexpr Colour NIGHT = {0.01f, 0.02f, 0.07f};  // deepest background
constexpr Colour NAVY = {0.04f, 0.08f, 0.22f};   // backgrounds
constexpr Colour STEEL = {0.16f, 0.24f, 0.42f};  // frames, metal
constexpr Colour ICE = {0.70f, 0.88f, 1.0f};     // lettering, snow light
constexpr Colour CYAN = {0.25f, 0.80f, 1.0f};    // glows
constexpr Colour AURORA = {0.22f, 1.0f, 0.55f};  // northern light green
constexpr Colour TEAL = {0.10f, 0.65f, 0.70f};   // northern light edge
constexpr Colour VIOLET = {0.45f, 0.25f, 0.85f}; // northern light crown
constexpr Colour AMBER = {1.0f, 0.70f, 0.28f};   // warm highlights
constexpr Colour SNOW = {0.82f, 0.88f, 0.96f};   // snow in night light

Canvas canvas_make(int width, int height, float aspect, Colour fill);
Mask mask_make(int width, int height, float aspect);
Mask mask_like(const Canvas& canvas);

// Design coordinates of a pixel centre.
inline float design_x(int width, float aspect, int px) {
    return (static_cast<float>(px) + 0.5f) / static_cast<float>(width) * aspect;
}
inline float design_y(int height, int py) {
    return (static_cast<float>(py) + 0.5f) / static_cast<float>(height);
}
// Size of one pixel in design units, the larger of its two edges.
float pixel_size(const Mask& mask);

Colour colour_mix(Colour a, Colour b, float t);
Colour colour_scale(Colour a, float k);
Colour colour_add(Colour a, Colour b);
float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);

// Colour of a gradient through `count` evenly spaced stops at t in 0..1.
Colour ramp(const Colour* stops, int count, float t);

// Pixel access.
Colour canvas_get(const Canvas& canvas, int px, int py);
void canvas_set(Canvas& canvas, int px, int py, Colour c);

// Fills every pixel from a function of its design coordinates.
template <typename Paint> void canvas_paint(Canvas& canvas, Paint paint) {
    for (int py = 0; py < canvas.height; ++py)
        for (int px = 0; px < canvas.width; ++px)
            canvas_set(
                canvas, px, py,
                paint(design_x(canvas.width, canvas.aspect, px), design_y(canvas.height, py)));
}
// Replaces every pixel by a function of its design coordinates and old colour.
template <typename Shade> void canvas_shade(Canvas& canvas, Shade shade) {
    for (int py = 0; py < canvas.height; ++py)
        for (int px = 0; px < canvas.width; ++px)
            canvas_set(canvas, px, py,
                       shade(design_x(canvas.width, canvas.aspect, px), design_y(canvas.height, py),
                             canvas_get(canvas, px, py)));
}
template <typename Shape> void mask_paint(Mask& mask, Shape shape) {
    for (int py = 0; py < mask.height; ++py)
        for (int px = 0; px < mask.width; ++px)
            mask.value[py * mask.width + px] =
                shape(design_x(mask.width, mask.aspect, px), design_y(mask.height, py));
}
// Raises every pixel to the larger of its value and the shape's.
template <typename Shape> void mask_union(Mask& mask, Shape shape) {
    for (int py = 0; py < mask.height; ++py)
        for (int px = 0; px < mask.width; ++px) {
            float& v = mask.value[py * mask.width + px];
            float s = shape(design_x(mask.width, mask.aspect, px), design_y(mask.height, py));
            if (s > v) v = s;
        }
}

// mask_union limited to the pixels inside the design rectangle x0..x1, y0..y1.
template <typename Shape>
void mask_union_box(Mask& mask, float x0, float y0, float x1, float y1, Shape shape) {
    int px0 = static_cast<int>(x0 / mask.aspect * mask.width) - 1;
    int px1 = static_cast<int>(x1 / mask.aspect * mask.width) + 1;
    int py0 = static_cast<int>(y0 * mask.height) - 1;
    int py1 = static_cast<int>(y1 * mask.height) + 1;
    for (int py = py0 < 0 ? 0 : py0; py <= py1 && py < mask.height; ++py)
        for (int px = px0 < 0 ? 0 : px0; px <= px1 && px < mask.width; ++px) {
            float& v = mask.value[py * mask.width + px];
            float s = shape(design_x(mask.width, mask.aspect, px), design_y(mask.height, py));
            if (s > v) v = s;
        }
}

// Adds `colour` × mask × gain onto the canvas (light).
void canvas_add(Canvas& canvas, const Mask& mask, Colour colour, float gain);
// Lays `colour` over the canvas with the mask as coverage.
void canvas_over(Canvas& canvas, const Mask& mask, Colour colour);
// Same with a colour that varies over the picture.
template <typename Paint> void canvas_over_paint(Canvas& canvas, const Mask& mask, Paint paint) {
    for (int py = 0; py < canvas.height; ++py)
        for (int px = 0; px < canvas.width; ++px) {
            float a = mask.value[py * mask.width + px];
            if (a <= 0.0f) continue;
            Colour c =
                paint(design_x(canvas.width, canvas.aspect, px), design_y(canvas.height, py));
            canvas_set(canvas, px, py, colour_mix(canvas_get(canvas, px, py), c, a));
        }
}
// Multiplies the canvas by (1 - mask × amount): shadows and cut-outs.
void canvas_darken(Canvas& canvas, const Mask& mask, float amount);

// Coverage of a pixel at signed distance `d` (design units, negative inside)
// from an edge, antialiased over one pixel of size `pixel`.
float edge_coverage(float d, float pixel);

// Signed distances (negative inside) of simple shapes.
float distance_disc(float x, float y, float cx, float cy, float radius);
float distance_box(float x, float y, float cx, float cy, float half_w, float half_h, float corner);
float distance_segment(float x, float y, float ax, float ay, float bx, float by);

// Blurs a mask with three box passes of radius `radius` design units; `wrap`
// treats the picture as a tile, otherwise outside counts as zero.
void mask_blur(Mask& mask, float radius, bool wrap);
// Grows a mask by `radius` design units (maximum over a disc).
void mask_dilate(Mask& mask, float radius);
// value = clamp(value * gain).
void mask_gain(Mask& mask, float gain);
// Multiplies values within `width` design units of the picture's edge by a
// ramp falling to zero at the edge.
void mask_fade_rim(Mask& mask, float width);
// Copy of a mask's values as a new mask.
Mask mask_copy(const Mask& mask);

// Thin line, dot and star drawing into masks (union).
void mask_line(Mask& mask, float ax, float ay, float bx, float by, float half_width);
void mask_disc(Mask& mask, float cx, float cy, float radius);

// Deterministic pseudo-random numbers of the generator (xorshift32).
struct Rng {
    uint32_t state;
};
Rng rng_make(uint32_t seed);
uint32_t rng_next(Rng& rng);
float rng_float(Rng& rng); // 0..1
float rng_range(Rng& rng, float low, float high);

// Value noise with a lattice of `period_x` × `period_y` cells across one
// picture that wraps at the period, so noise(x, y) tiles when x and y run over
// 0..1.  fbm sums `octaves` layers, each at twice the frequency.
float noise_tile(float x, float y, int period_x, int period_y, uint32_t seed);
float fbm_tile(float x, float y, int period_x, int period_y, int octaves, uint32_t seed);

// Night-sky stars: `count` small points of random brightness within the
// design rectangle, added onto the canvas.
void paint_stars(Canvas& canvas, uint32_t seed, int count, float x0, float y0, float x1, float y1,
                 float brightness);

// Remaps a canvas painted in design orientation into texture orientation.
enum PictureTurn : int {
    TURN_NONE = 0,    // texture s along design x, t along design up
    TURN_HALF = 1,    // rotated 180 degrees: s along design left, t along design down
    TURN_QUARTER = 2, // s along design up, t along design left (box side faces)
};
Canvas canvas_turn(const Canvas& design, PictureTurn turn);
