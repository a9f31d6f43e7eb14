#include "picture_table.h"

namespace {

// Colour-table ramps of the palettised pictures, dark to light.
const Colour RAMP_GREEN_BITS[] = {
    BLACK, {0.0f, 0.18f, 0.08f}, {0.1f, 0.75f, 0.35f}, {0.8f, 1.0f, 0.85f}};
const Colour RAMP_CYAN_BITS[] = {
    BLACK, {0.0f, 0.12f, 0.25f}, {0.15f, 0.65f, 0.95f}, {0.85f, 0.97f, 1.0f}};
const Colour RAMP_ICE[] = {BLACK, {0.03f, 0.08f, 0.25f}, {0.15f, 0.55f, 0.95f}, ICE, WHITE};
const Colour RAMP_AURORA[] = {BLACK, {0.0f, 0.15f, 0.12f}, TEAL, AURORA, {0.9f, 1.0f, 0.92f}};
const Colour RAMP_VIOLET[] = {BLACK, {0.10f, 0.04f, 0.25f}, VIOLET, {0.75f, 0.8f, 1.0f}, WHITE};
const Colour RAMP_AMBER[] = {
    BLACK, {0.25f, 0.08f, 0.02f}, {0.9f, 0.45f, 0.1f}, AMBER, {1.0f, 0.97f, 0.88f}};
const Colour RAMP_GREY[] = {BLACK, WHITE};
const Colour RAMP_WIRE[] = {BLACK, {0.05f, 0.15f, 0.35f}, {0.35f, 0.75f, 1.0f}, WHITE};

constexpr float END_ASPECT = 10.0f / 6.0f;    // end pictures: 10 x 6 quads
constexpr float LABEL_ASPECT = 5.0f;          // greeting labels: 1.0 x 0.2
constexpr float BANNER_ASPECT = 21.0f / 4.0f; // scene 4 banner: 21 x 4

#define RAMP(r) r, static_cast<int>(sizeof(r) / sizeof(r[0]))
#define DIRECT nullptr, 0

} // namespace

const PictureSpec PICTURES[] = {
    {"bin2.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX4, RAMP(RAMP_CYAN_BITS), paint_bin2},
    {"logo.bmp", 512, 512, 8.34f / 6.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_logo},
    {"back.bmp", 512, 512, 4.0f / 3.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_back},
    {"bin.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX4, RAMP(RAMP_GREEN_BITS), paint_bin},
    {"comp.bmp", 128, 32, 2.16f / 0.6f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_comp},
    {"1.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_ICE), paint_beat1},
    {"2.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_AMBER), paint_beat2},
    {"3.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_VIOLET), paint_beat3},
    {"4.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_AURORA), paint_beat4},
    {"5.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_beat5},
    {"6.bmp", 128, 128, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_AURORA), paint_beat6},
    {"env.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_env},
    {"star.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_ICE), paint_star},
    {"logo2.bmp", 512, 512, 4.6f / 3.35f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_logo2},
    {"env1.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_env1},
    {"rotstar.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_VIOLET), paint_rotstar},
    {"back_s3.bmp", 128, 32, 3.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_ICE), paint_back_s3},
    {"logo3.bmp", 512, 512, 4.6f / 3.35f, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_GREY), paint_logo3},
    {"ufo.bmp", 128, 64, 1.5f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_ufo},
    {"ufo_inv.bmp", 128, 64, 1.5f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_GREY), paint_ufo_inv},
    {"s4_back.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_s4_back},
    {"s4_scroller.bmp", 512, 128, BANNER_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT,
     paint_s4_scroller},
    {"s4_scroller2.bmp", 512, 128, BANNER_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT,
     paint_s4_scroller2},
    {"cozsin.bmp", 512, 64, 16.6f / 1.4f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_cozsin},
    {"s4_head.bmp", 512, 128, BANNER_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_GREY),
     paint_s4_head},
    {"grass.bmp", 256, 256, 0.5f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_grass},
    {"water.bmp", 256, 256, 0.15f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_water},
    {"wall.bmp", 256, 256, 2.0f, TURN_QUARTER, ENCODE_RGB24, DIRECT, paint_wall},
    {"sand.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_sand},
    {"bridge.bmp", 256, 128, 2.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_bridge},
    {"back_s5.bmp", 512, 512, 52.5f / 42.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_back_s5},
    {"tree.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_tree},
    {"tree2.bmp", 256, 256, 1.5f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_tree2},
    {"door.bmp", 256, 256, 0.8f, TURN_HALF, ENCODE_RGB24, DIRECT, paint_door},
    {"code.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_code},
    {"gfx.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_gfx},
    {"zik.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_zik},
    {"add1.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_add1},
    {"add2.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_add2},
    {"add3.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_add3},
    {"greetz1.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz1},
    {"greetz2.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz2},
    {"greetz3.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz3},
    {"greetz4.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz4},
    {"greetz5.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz5},
    {"greetz6.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz6},
    {"greetz7.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz7},
    {"greetz8.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz8},
    {"greetz9.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz9},
    {"greetz10.bmp", 256, 64, LABEL_ASPECT, TURN_NONE, ENCODE_RLE8, RAMP(RAMP_ICE), paint_greetz10},
    {"introup.bmp", 512, 128, 11.4f / 2.0f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_introup},
    {"introdown.bmp", 512, 64, 11.4f, TURN_NONE, ENCODE_RGB24, DIRECT, paint_introdown},
    {"dot.bmp", 64, 64, 1.0f, TURN_NONE, ENCODE_INDEX8, RAMP(RAMP_GREY), paint_dot},
    {"wire.bmp", 256, 256, 1.0f, TURN_NONE, ENCODE_INDEX4, RAMP(RAMP_WIRE), paint_wire},
    {"end1.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end1},
    {"end2.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end2},
    {"end3.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end3},
    {"end6.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end6},
    {"end4.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end4},
    {"end5.bmp", 512, 256, END_ASPECT, TURN_NONE, ENCODE_RGB24, DIRECT, paint_end5},
};

const int PICTURE_COUNT = static_cast<int>(sizeof(PICTURES) / sizeof(PICTURES[0]));

Canvas picture_canvas(const PictureSpec& spec) {
    if (spec.turn == TURN_QUARTER) return canvas_make(spec.height, spec.width, spec.aspect, BLACK);
    return canvas_make(spec.width, spec.height, spec.aspect, BLACK);
}

Canvas picture_render(const PictureSpec& spec) {
    Canvas design = picture_canvas(spec);
    spec.paint(design);
    return canvas_turn(design, spec.turn);
}
