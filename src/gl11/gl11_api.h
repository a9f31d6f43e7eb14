// A subset of OpenGL 1.1 drawn through OpenGL ES 2 (or WebGL 1) with shaders
// of its own: exactly the calls the show makes, with GL 1.1's rules.  The
// show's sources reach it through the <GL/gl.h> and <GL/glu.h> of
// src/gl11/include, which map every GL name onto the gl11_ function here.
#pragma once

#include <cstddef>

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef signed char GLbyte;
typedef short GLshort;
typedef int GLint;
typedef unsigned char GLubyte;
typedef unsigned short GLushort;
typedef unsigned int GLuint;
typedef int GLsizei;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;

#ifndef GLAPIENTRY
#define GLAPIENTRY
#endif

// GL 1.1's values of the names the show uses.
#define GL_FALSE 0
#define GL_TRUE 1
#define GL_NO_ERROR 0
#define GL_INVALID_ENUM 0x0500
#define GL_INVALID_VALUE 0x0501
#define GL_INVALID_OPERATION 0x0502
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_STENCIL_BUFFER_BIT 0x00000400
#define GL_ACCUM_BUFFER_BIT 0x00000200
#define GL_LIST_BIT 0x00020000
#define GL_CLIENT_VERTEX_ARRAY_BIT 0x00000002
#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307
#define GL_SRC_ALPHA_SATURATE 0x0308
#define GL_NEVER 0x0200
#define GL_LESS 0x0201
#define GL_EQUAL 0x0202
#define GL_LEQUAL 0x0203
#define GL_GREATER 0x0204
#define GL_NOTEQUAL 0x0205
#define GL_GEQUAL 0x0206
#define GL_ALWAYS 0x0207
#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_FRONT_AND_BACK 0x0408
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_BYTE 0x1400
#define GL_UNSIGNED_BYTE 0x1401
#define GL_SHORT 0x1402
#define GL_UNSIGNED_SHORT 0x1403
#define GL_INT 0x1404
#define GL_UNSIGNED_INT 0x1405
#define GL_FLOAT 0x1406
#define GL_2_BYTES 0x1407
#define GL_3_BYTES 0x1408
#define GL_4_BYTES 0x1409
#define GL_COMPILE 0x1300
#define GL_COMPILE_AND_EXECUTE 0x1301
#define GL_LIGHTING 0x0B50
#define GL_LIGHT0 0x4000
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_SPOT_DIRECTION 0x1204
#define GL_FOG 0x0B60
#define GL_FOG_DENSITY 0x0B62
#define GL_FOG_START 0x0B63
#define GL_FOG_END 0x0B64
#define GL_FOG_MODE 0x0B65
#define GL_FOG_COLOR 0x0B66
#define GL_EXP 0x0800
#define GL_EXP2 0x0801
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_POINT_SMOOTH_HINT 0x0C51
#define GL_LINE_SMOOTH_HINT 0x0C52
#define GL_POLYGON_SMOOTH_HINT 0x0C53
#define GL_FOG_HINT 0x0C54
#define GL_DONT_CARE 0x1100
#define GL_FASTEST 0x1101
#define GL_NICEST 0x1102
#define GL_DEPTH_TEST 0x0B71
#define GL_DEPTH_FUNC 0x0B74
#define GL_BLEND 0x0BE2
#define GL_SCISSOR_BOX 0x0C10
#define GL_SCISSOR_TEST 0x0C11
#define GL_TEXTURE_2D 0x0DE1
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_S 0x2000
#define GL_T 0x2001
#define GL_TEXTURE_GEN_MODE 0x2500
#define GL_SPHERE_MAP 0x2402
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_TEXTURE 0x1702
#define GL_MATRIX_MODE 0x0BA0
#define GL_VIEWPORT 0x0BA2
#define GL_MODELVIEW_STACK_DEPTH 0x0BA3
#define GL_PROJECTION_STACK_DEPTH 0x0BA4
#define GL_TEXTURE_STACK_DEPTH 0x0BA5
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_TEXTURE_MATRIX 0x0BA8
#define GL_ATTRIB_STACK_DEPTH 0x0BB0
#define GL_CLIENT_ATTRIB_STACK_DEPTH 0x0BB1
#define GL_MAX_LIST_NESTING 0x0B31
#define GL_LIST_BASE 0x0B32
#define GL_LIST_INDEX 0x0B33
#define GL_POLYGON_MODE 0x0B40
#define GL_MAX_ATTRIB_STACK_DEPTH 0x0D35
#define GL_MAX_MODELVIEW_STACK_DEPTH 0x0D36
#define GL_MAX_PROJECTION_STACK_DEPTH 0x0D38
#define GL_MAX_TEXTURE_STACK_DEPTH 0x0D39
#define GL_MAX_VIEWPORT_DIMS 0x0D3A
#define GL_MAX_CLIENT_ATTRIB_STACK_DEPTH 0x0D3B
#define GL_TEXTURE_BINDING_2D 0x8069
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_ALIGNMENT 0x0D05
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_VERTEX_ARRAY 0x8074
#define GL_NORMAL_ARRAY 0x8075
#define GL_COLOR_ARRAY 0x8076
#define GL_TEXTURE_COORD_ARRAY 0x8078
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01

// Opens the subset on the current ES 2 context: loads its entry points with
// `get_proc` (SDL_GL_GetProcAddress), builds the shaders and puts every
// piece of GL state to GL 1.1's initial values.  False (with a line on
// stderr) when an entry point is missing or the shaders do not build.
bool gl11_context_begin(void* (*get_proc)(const char* name));
// Releases what gl11_context_begin and the show made, the context still current.
void gl11_context_end();

// The state-only mode: while on, every call keeps GL's state in the
// subset's record exactly as it does drawing, but nothing is drawn, cleared
// or passed to ES (no draw calls, no vertices streamed); only objects
// (textures, the buffers of compiled lists) are still made.  Turning it off
// passes the whole state to ES again.  Seeks run their long stretches this
// way (platform/gl_detach.h).
void gl11_set_state_only(bool on);
bool gl11_state_only();

// The subset's GL state as plain bytes of gl11_state_size(), put aside and
// back (its textures and lists stay: steps only add to them).  Putting it
// back passes it to ES unless the state-only mode is on.
size_t gl11_state_size();
void gl11_state_save(void* out);
void gl11_state_restore(const void* in);

// Faults a test can switch on to prove that a comparison catches them:
// every draw after the first `skip_draw` draws of a frame... is left out
// (0: none left out), a texture bound as the next texture name, added
// light blended as covering light, lighting ignored.
struct Gl11Faults {
    int skip_draw; // the draw of each frame (counted from 1 after a colour clear) left out
    bool wrong_texture;
    bool wrong_blend;
    bool unlit;
};
extern Gl11Faults gl11_faults;

// Figures of the subset: draws since the context began, and calls the
// subset does not implement (each also raises GL_INVALID_OPERATION).
struct Gl11Stats {
    long draws;
    long unsupported;
};
extern Gl11Stats gl11_stats;

void gl11_begin(GLenum mode);
void gl11_end();
void gl11_vertex3f(GLfloat x, GLfloat y, GLfloat z);
void gl11_vertex3d(GLdouble x, GLdouble y, GLdouble z);
void gl11_vertex3fv(const GLfloat* v);
void gl11_normal3f(GLfloat x, GLfloat y, GLfloat z);
void gl11_normal3d(GLdouble x, GLdouble y, GLdouble z);
void gl11_normal3fv(const GLfloat* v);
void gl11_color3f(GLfloat r, GLfloat g, GLfloat b);
void gl11_color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void gl11_tex_coord2f(GLfloat s, GLfloat t);
void gl11_tex_coord2fv(const GLfloat* v);

GLuint gl11_gen_lists(GLsizei range);
void gl11_delete_lists(GLuint list, GLsizei range);
void gl11_new_list(GLuint list, GLenum mode);
void gl11_end_list();
void gl11_call_list(GLuint list);
void gl11_call_lists(GLsizei n, GLenum type, const GLvoid* lists);
void gl11_list_base(GLuint base);
void gl11_push_attrib(GLbitfield mask);
void gl11_pop_attrib();

void gl11_vertex_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_color_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_tex_coord_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void gl11_enable_client_state(GLenum array);
void gl11_disable_client_state(GLenum array);
void gl11_draw_elements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices);
void gl11_push_client_attrib(GLbitfield mask);
void gl11_pop_client_attrib();

void gl11_matrix_mode(GLenum mode);
void gl11_load_identity();
void gl11_push_matrix();
void gl11_pop_matrix();
void gl11_translatef(GLfloat x, GLfloat y, GLfloat z);
void gl11_rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void gl11_scalef(GLfloat x, GLfloat y, GLfloat z);
void gl11_mult_matrixd(const GLdouble* m);
void gl11_get_floatv(GLenum name, GLfloat* values);
void gl11_get_integerv(GLenum name, GLint* values);

void gl11_enable(GLenum cap);
void gl11_disable(GLenum cap);
void gl11_blend_func(GLenum src, GLenum dst);
void gl11_depth_func(GLenum func);
void gl11_polygon_mode(GLenum face, GLenum mode);
void gl11_shade_model(GLenum mode);
void gl11_hint(GLenum target, GLenum mode);
void gl11_lightfv(GLenum light, GLenum name, const GLfloat* values);
void gl11_fogi(GLenum name, GLint value);
void gl11_fogf(GLenum name, GLfloat value);
void gl11_fogfv(GLenum name, const GLfloat* values);
void gl11_tex_geni(GLenum coord, GLenum name, GLint value);

void gl11_gen_textures(GLsizei n, GLuint* names);
void gl11_delete_textures(GLsizei n, const GLuint* names);
void gl11_bind_texture(GLenum target, GLuint name);
void gl11_tex_parameteri(GLenum target, GLenum name, GLint value);
void gl11_tex_image2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type,
                      const GLvoid* pixels);

void gl11_viewport(GLint x, GLint y, GLsizei width, GLsizei height);
void gl11_scissor(GLint x, GLint y, GLsizei width, GLsizei height);
void gl11_clear_color(GLclampf r, GLclampf g, GLclampf b, GLclampf a);
void gl11_clear_depth(GLclampd depth);
void gl11_clear(GLbitfield mask);
void gl11_flush();
void gl11_finish();
void gl11_pixel_storei(GLenum name, GLint value);
void gl11_read_buffer(GLenum mode);
void gl11_read_pixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                      GLvoid* pixels);
GLenum gl11_get_error();

// GLU's perspective, and its sphere and cylinder with the same vertices,
// normals and texture coordinates as GLU's quadrics draw.
struct GLUquadric;
typedef GLUquadric GLUquadricObj;
void gl11_perspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far);
GLUquadric* gl11_new_quadric();
void gl11_delete_quadric(GLUquadric* quadric);
void gl11_quadric_normals(GLUquadric* quadric, GLenum normals);
void gl11_quadric_texture(GLUquadric* quadric, GLboolean texture);
void gl11_sphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks);
void gl11_cylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                   GLint stacks);
