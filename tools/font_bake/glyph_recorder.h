// Records the GL calls the outline layer makes while it compiles glyph
// lists, as the baked file's tagged calls (see platform/outline_baked.h).
#pragma once

#include <cstdint>
#include <vector>

#include "gl11/gl11_api.h"

// The calls of each list, by list name (index = name - 1).
extern std::vector<std::vector<uint8_t>> recorded_lists;

void recorder_new_list(GLuint list, GLenum mode);
void recorder_end_list();
void recorder_begin(GLenum mode);
void recorder_end();
void recorder_normal3f(GLfloat x, GLfloat y, GLfloat z);
void recorder_normal3d(GLdouble x, GLdouble y, GLdouble z);
void recorder_vertex3d(GLdouble x, GLdouble y, GLdouble z);
void recorder_translatef(GLfloat x, GLfloat y, GLfloat z);
