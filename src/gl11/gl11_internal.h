// State shared by the subset's files: one record of everything GL 1.1 keeps
// that the show uses, the lists, and the drawing entry of gl11_draw.cpp.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "gl11/gl11_api.h"

// Column-major 4 x 4, as GL keeps its matrices.
struct Mat4 {
    float m[16];
};

// One vertex as the subset hands it to its shaders.
struct Vertex {
    float pos[3];
    float normal[3];
    float color[4];
    float tex[2];
};

// The per-vertex attributes besides the position that a primitive may take
// from the current values instead of its vertices.
enum VertexAttribute { ATTR_NORMAL, ATTR_COLOR, ATTR_TEX, ATTR_COUNT };

// The stack depths and list nesting Mesa's desktop GL has: modelview and
// projection stacks of 32, a texture matrix stack of 10.
constexpr int MATRIX_STACK_DEPTH = 32; // the deepest of the three
constexpr int MATRIX_STACK_DEPTHS[3] = {32, 32, 10};
constexpr int ATTRIB_STACK_DEPTH = 16;
constexpr int MAX_LIST_NESTING = 64;

struct MatrixStack {
    Mat4 levels[MATRIX_STACK_DEPTH];
    int depth; // index of the top
};

// A glBegin/glEnd primitive compiled into a display list.  Attributes first
// set after its first vertex take the current value at replay for the
// vertices before; the last value set becomes current after it.
struct ListBlock {
    GLenum mode;
    std::vector<Vertex> vertices;
    int first_set[ATTR_COUNT]; // first vertex given the attribute; -1: never
    float last[ATTR_COUNT][4]; // the value set last inside the block
    GLuint fill_buffer;        // the filled primitive as ES vertices, made once
    GLenum fill_mode;
    int fill_count;
    GLuint line_buffer; // its outline (polygon mode GL_LINE), made on first use
    int line_count;
};

// What a display list keeps of a call: the call, with up to four floats and
// four integers of arguments.
enum ListOpKind {
    OP_ERROR, // an error the compiled call raises when the list runs
    OP_BLOCK,
    OP_NORMAL,
    OP_COLOR,
    OP_TEX,
    OP_TRANSLATE,
    OP_ROTATE,
    OP_SCALE,
    OP_PUSH,
    OP_POP,
    OP_LOAD_IDENTITY,
    OP_MATRIX_MODE,
    OP_CALL_LIST,
    OP_BIND_TEXTURE,
    OP_ENABLE,
    OP_DISABLE,
    OP_CALL_LIST_OFFSET, // glCallLists' code, added to the list base when run
    OP_LIST_BASE,
    OP_PUSH_ATTRIB,
    OP_POP_ATTRIB,
    OP_CLEAR_COLOR,
    OP_CLEAR_DEPTH,
    OP_CLEAR,
    OP_VIEWPORT,
    OP_SCISSOR,
    OP_DEPTH_FUNC,
    OP_POLYGON_MODE,
    OP_SHADE_MODEL,
    OP_HINT,
    OP_LIGHT,
    OP_FOGI,
    OP_FOGF,
    OP_FOGFV,
    OP_TEX_GEN,
    OP_TEX_PARAMETER,
};

struct ListOp {
    ListOpKind kind;
    float v[4];
    // Block index, list name, texture name, capability, mode, enums or
    // integer arguments, in the order of the call.
    uint32_t n[4];
};

struct DisplayList {
    std::vector<ListOp> ops;
    std::vector<ListBlock> blocks;
};

struct ClientArray {
    bool enabled;
    GLint size;
    GLenum type;
    GLsizei stride;
    const void* pointer;
};

struct ClientArrays {
    ClientArray vertex, color, tex;
};

struct TextureInfo {
    bool has_image;
    GLint min_filter;
};

struct Gl11State {
    bool open;
    GLenum error;
    // Matrices: index 0 modelview, 1 projection, 2 texture.
    MatrixStack stacks[3];
    int matrix_mode;
    // Current attributes.
    float normal[3];
    float color[4];
    float tex[2];
    // glBegin/glEnd in progress (immediate or compiled).
    bool in_begin;
    GLenum begin_mode;
    int begin_first_set[ATTR_COUNT];
    // Current attributes when a compiled glBegin started (compiling leaves
    // them as they were).
    float saved_normal[3], saved_color[4], saved_tex[2];
    // Capabilities.
    bool lighting, light0, fog, texture_2d, texgen_s, texgen_t, blend, depth_test, scissor;
    GLenum polygon_front, polygon_back;
    GLenum blend_src, blend_dst;
    // What is passed on to ES as it is, kept to be passed again after the
    // state-only mode.
    GLenum depth_func;
    GLint scissor_box[4];
    float clear_color[4];
    float clear_depth;
    // Light 0 (position in eye space) and the material GL 1.1 starts with.
    float light_ambient[4], light_diffuse[4], light_position[4];
    float fog_density, fog_color[4];
    GLint fog_mode;
    GLint texgen_mode_s, texgen_mode_t;
    // Textures: the bound name (what is known of each is in Gl11Objects).
    GLuint bound_texture;
    GLuint compiling; // list being compiled; 0: none
    GLuint list_base;
    GLuint list_base_stack[ATTRIB_STACK_DEPTH];
    int list_base_depth;
    int call_depth;
    // Vertex arrays.
    ClientArrays arrays;
    ClientArrays array_stack[ATTRIB_STACK_DEPTH];
    int array_depth;
    GLint pack_alignment, unpack_alignment;
    GLint viewport[4];
    GLint max_viewport[2]; // as ES reports it
};

// The subset's one state; reset by gl11_context_begin.  Plain numbers only,
// so that it can be put aside and back as bytes (gl11_state_save).
extern Gl11State gl;

// What the subset has made: the objects, which steps only add to and which
// stay when the state is put back; and the vertices of the glBegin open.
struct Gl11Objects {
    std::vector<Vertex> begin_vertices;
    // What is known of each texture name (any of the 2^32 names may be
    // bound, so they are kept by name).
    std::unordered_map<GLuint, TextureInfo> textures;
    // Display lists by name, and the names glGenLists has not handed out
    // (all from this one on; names are never handed out twice).
    std::unordered_map<GLuint, DisplayList> lists;
    uint64_t next_list;
};
extern Gl11Objects gl_objects;

// The state-only mode is on: nothing is drawn or passed to ES but objects.
extern bool gl11_drawing_off;

// Records a GL error (the first one sticks until glGetError reads it).
void gl11_set_error(GLenum error);
// Raises `error` now, or while a list is compiled records it there, to be
// raised when the list runs (as GL does for a compiled call).
void gl11_compiled_error(GLenum error);
// For a call that display lists keep: true when it is to run now.  While a
// list is compiled, `op` is recorded instead (or, inside a primitive being
// compiled, the GL_INVALID_OPERATION it raises there); between glBegin and
// glEnd it raises GL_INVALID_OPERATION and changes nothing.
bool gl11_runs_now(const ListOp& op);
// For a call that runs at once even while a list is compiled: false (with
// GL_INVALID_OPERATION) between an executed glBegin and its glEnd.
bool gl11_outside_begin();
// For a call that lists could keep but the subset does not: false (with
// GL_INVALID_OPERATION, counted as not in the subset) while compiling, or
// between glBegin and glEnd.
bool gl11_runs_now_unrecorded(const char* what);
// A list op of this kind with integer arguments.
ListOp gl11_op(ListOpKind kind, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);
// A list op of this kind with up to four floats of `v` (none when it is
// null) and two integer arguments.
ListOp gl11_op_floats(ListOpKind kind, const float* v, int count, uint32_t a = 0, uint32_t b = 0);
// Releases every display list's buffers.
void gl11_free_lists();
// Passes the blend factors to ES (with the blend fault when it is on).
void gl11_apply_blend();
// A call or value the subset does not implement.
void gl11_unsupported(const char* what);

Mat4& gl11_top(int stack);
Mat4 mat4_identity();
Mat4 mat4_multiply(const Mat4& a, const Mat4& b);
// The upper 3 x 3 of the inverse transpose (how normals transform).
void mat4_normal_matrix(const Mat4& modelview, float out[9]);

// Turns a primitive into what ES draws: triangles for the filled faces, or
// lines for their edges (polygon mode GL_LINE), or the lines themselves.
// Returns the ES mode.
GLenum gl11_assemble(GLenum mode, const Vertex* vertices, int count, bool outline,
                     std::vector<Vertex>* out);
// Whether a primitive of `mode` is drawn as outlines under the current
// polygon mode.
bool gl11_outlined(GLenum mode);

// Draws ES vertices with the current state.  `from_vertex` says per
// attribute whether the vertices carry it (else the current value counts).
// `buffer` 0: `vertices` are streamed; else they are in that buffer.
void gl11_draw(GLenum es_mode, const Vertex* vertices, int count, GLuint buffer,
               const bool from_vertex[ATTR_COUNT]);

bool gl11_draw_begin();
void gl11_draw_end();
// A colour clear starts a new frame (for the draw count the faults use).
void gl11_draw_frame_start();
