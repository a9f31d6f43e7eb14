// The show's pictures: one row per bitmap file, with the size, the encoding
// and the painter that makes it.
#pragma once

#include "picture_bmp.h"
#include "picture_canvas.h"

// One picture of the data directory.
struct PictureSpec {
    const char* file;         // file name inside the data directory
    int width, height;        // texture size (powers of two)
    float aspect;             // width : height of the quad as painted (design)
    PictureTurn turn;         // how the design is laid into the texture
    PictureEncoding encoding; // storage
    const Colour* ramp;       // colour table ramp for the palettised encodings
    int ramp_count;
    void (*paint)(Canvas& canvas); // paints the design
};

// All distinct files, in the order of the show's file table (files listed
// twice there appear once here).
extern const PictureSpec PICTURES[];
extern const int PICTURE_COUNT;

// The design canvas of a picture (for quarter turns the design is the
// texture's height wide and its width high).
Canvas picture_canvas(const PictureSpec& spec);
// Paints a picture and turns it into texture orientation.
Canvas picture_render(const PictureSpec& spec);

// Painters, grouped by where the pictures are shown.
void paint_bin(Canvas& c);
void paint_bin2(Canvas& c);
void paint_logo(Canvas& c);
void paint_back(Canvas& c);
void paint_comp(Canvas& c);
void paint_beat1(Canvas& c);
void paint_beat2(Canvas& c);
void paint_beat3(Canvas& c);
void paint_beat4(Canvas& c);
void paint_beat5(Canvas& c);
void paint_beat6(Canvas& c);
void paint_env(Canvas& c);
void paint_star(Canvas& c);
void paint_logo2(Canvas& c);
void paint_env1(Canvas& c);
void paint_rotstar(Canvas& c);
void paint_back_s3(Canvas& c);
void paint_logo3(Canvas& c);
void paint_ufo(Canvas& c);
void paint_ufo_inv(Canvas& c);
void paint_s4_back(Canvas& c);
void paint_s4_scroller(Canvas& c);
void paint_s4_scroller2(Canvas& c);
void paint_cozsin(Canvas& c);
void paint_s4_head(Canvas& c);
void paint_grass(Canvas& c);
void paint_water(Canvas& c);
void paint_wall(Canvas& c);
void paint_sand(Canvas& c);
void paint_bridge(Canvas& c);
void paint_back_s5(Canvas& c);
void paint_tree(Canvas& c);
void paint_tree2(Canvas& c);
void paint_door(Canvas& c);
void paint_code(Canvas& c);
void paint_gfx(Canvas& c);
void paint_zik(Canvas& c);
void paint_add1(Canvas& c);
void paint_add2(Canvas& c);
void paint_add3(Canvas& c);
void paint_greetz1(Canvas& c);
void paint_greetz2(Canvas& c);
void paint_greetz3(Canvas& c);
void paint_greetz4(Canvas& c);
void paint_greetz5(Canvas& c);
void paint_greetz6(Canvas& c);
void paint_greetz7(Canvas& c);
void paint_greetz8(Canvas& c);
void paint_greetz9(Canvas& c);
void paint_greetz10(Canvas& c);
void paint_introup(Canvas& c);
void paint_introdown(Canvas& c);
void paint_dot(Canvas& c);
void paint_wire(Canvas& c);
void paint_end1(Canvas& c);
void paint_end2(Canvas& c);
void paint_end3(Canvas& c);
void paint_end4(Canvas& c);
void paint_end5(Canvas& c);
void paint_end6(Canvas& c);
