// The outline layer's <GL/gl.h> in the font recorder: the calls it makes
// while compiling glyph lists are recorded instead of drawn.
#pragma once

#include "gl11/gl11_api.h"
#include "glyph_recorder.h"

#define glNewList recorder_new_list
#define glEndList recorder_end_list
#define glBegin recorder_begin
#define glEnd recorder_end
#define glNormal3f recorder_normal3f
#define glNormal3d recorder_normal3d
#define glVertex3d recorder_vertex3d
#define glTranslatef recorder_translatef
