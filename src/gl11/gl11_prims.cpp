// Primitives: glBegin/glEnd, the current attributes, display lists and the
// vertex arrays, all turned into ES triangles and lines.
#include <algorithm>
#include <cstring>

#include "gl11/gl11_es2.h"
#include "gl11/gl11_internal.h"

namespace {

const bool ALL_FROM_VERTEX[ATTR_COUNT] = {true, true, true};

void add_edge(std::vector<Vertex>* out, const Vertex* v, int a, int b) {
    out->push_back(v[a]);
    out->push_back(v[b]);
}

void add_triangle(std::vector<Vertex>* out, const Vertex* v, int a, int b, int c) {
    out->push_back(v[a]);
    out->push_back(v[b]);
    out->push_back(v[c]);
}

// A quad a b c d: two triangles sharing the last corner (as GL 1.1 splits
// it, the provoking corner last), or its four edges.
void add_quad(std::vector<Vertex>* out, const Vertex* v, int a, int b, int c, int d, bool outline) {
    if (outline) {
        add_edge(out, v, a, b);
        add_edge(out, v, b, c);
        add_edge(out, v, c, d);
        add_edge(out, v, d, a);
    } else {
        add_triangle(out, v, a, b, d);
        add_triangle(out, v, b, c, d);
    }
}

void add_tri(std::vector<Vertex>* out, const Vertex* v, int a, int b, int c, bool outline) {
    if (outline) {
        add_edge(out, v, a, b);
        add_edge(out, v, b, c);
        add_edge(out, v, c, a);
    } else {
        add_triangle(out, v, a, b, c);
    }
}

bool is_line_mode(GLenum mode) {
    return mode == GL_LINES || mode == GL_LINE_STRIP || mode == GL_LINE_LOOP;
}

DisplayList& compiled_list() {
    return gl_objects.lists[gl.compiling];
}

void record_attribute(ListOpKind kind, const float* v, int size) {
    ListOp op = gl11_op_floats(kind, v, size);
    if (size < 4) op.v[3] = 1.0f;
    compiled_list().ops.push_back(op);
}

// Inside glBegin/glEnd: notes that the next vertex carries the attribute.
void mark_set(VertexAttribute a) {
    if (gl.in_begin && gl.begin_first_set[a] < 0)
        gl.begin_first_set[a] = static_cast<int>(gl_objects.begin_vertices.size());
}

void set_normal(float x, float y, float z) {
    if (gl.compiling && !gl.in_begin) {
        const float v[3] = {x, y, z};
        return record_attribute(OP_NORMAL, v, 3);
    }
    mark_set(ATTR_NORMAL);
    gl.normal[0] = x;
    gl.normal[1] = y;
    gl.normal[2] = z;
}

void set_color(float r, float g, float b, float a) {
    if (gl.compiling && !gl.in_begin) {
        const float v[4] = {r, g, b, a};
        return record_attribute(OP_COLOR, v, 4);
    }
    mark_set(ATTR_COLOR);
    gl.color[0] = r;
    gl.color[1] = g;
    gl.color[2] = b;
    gl.color[3] = a;
}

void set_tex(float s, float t) {
    if (gl.compiling && !gl.in_begin) {
        const float v[2] = {s, t};
        return record_attribute(OP_TEX, v, 2);
    }
    mark_set(ATTR_TEX);
    gl.tex[0] = s;
    gl.tex[1] = t;
}

Vertex current_vertex(float x, float y, float z) {
    Vertex v;
    v.pos[0] = x;
    v.pos[1] = y;
    v.pos[2] = z;
    memcpy(v.normal, gl.normal, sizeof v.normal);
    memcpy(v.color, gl.color, sizeof v.color);
    memcpy(v.tex, gl.tex, sizeof v.tex);
    return v;
}

// Draws an assembled primitive straight from memory.
void draw_now(GLenum mode, const Vertex* vertices, int count, const bool from_vertex[]) {
    if (gl11_drawing_off) return;
    std::vector<Vertex> assembled;
    GLenum es_mode = gl11_assemble(mode, vertices, count, gl11_outlined(mode), &assembled);
    gl11_draw(es_mode, assembled.data(), static_cast<int>(assembled.size()), 0, from_vertex);
}

GLuint upload(const std::vector<Vertex>& vertices) {
    GLuint buffer = 0;
    es.gen_buffers(1, &buffer);
    es.bind_buffer(ES_ARRAY_BUFFER, buffer);
    es.buffer_data(ES_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(Vertex) * vertices.size()),
                   vertices.data(), ES_STATIC_DRAW);
    return buffer;
}

// Ends a glBegin/glEnd inside glNewList: the primitive becomes a block with
// its filled form uploaded once.
void compile_block() {
    DisplayList& list = compiled_list();
    ListBlock block{};
    block.mode = gl.begin_mode;
    block.vertices.swap(gl_objects.begin_vertices);
    for (int a = 0; a < ATTR_COUNT; ++a)
        block.first_set[a] = gl.begin_first_set[a];
    memcpy(block.last[ATTR_NORMAL], gl.normal, sizeof gl.normal);
    memcpy(block.last[ATTR_COLOR], gl.color, sizeof gl.color);
    memcpy(block.last[ATTR_TEX], gl.tex, sizeof gl.tex);
    memcpy(gl.normal, gl.saved_normal, sizeof gl.normal);
    memcpy(gl.color, gl.saved_color, sizeof gl.color);
    memcpy(gl.tex, gl.saved_tex, sizeof gl.tex);
    std::vector<Vertex> filled;
    block.fill_mode = gl11_assemble(block.mode, block.vertices.data(),
                                    static_cast<int>(block.vertices.size()), false, &filled);
    block.fill_count = static_cast<int>(filled.size());
    if (!filled.empty()) block.fill_buffer = upload(filled);
    list.ops.push_back(gl11_op(OP_BLOCK, static_cast<uint32_t>(list.blocks.size())));
    list.blocks.push_back(std::move(block));
}

void replay_block(ListBlock& block) {
    // A primitive inside one that is open is refused, as glBegin is there.
    if (gl.in_begin) return gl11_set_error(GL_INVALID_OPERATION);
    bool from_vertex[ATTR_COUNT];
    bool patched = false;
    for (int a = 0; a < ATTR_COUNT; ++a) {
        from_vertex[a] = block.first_set[a] >= 0;
        patched = patched || block.first_set[a] > 0;
    }
    if (gl11_drawing_off) {
        // State-only: what drawing it leaves besides the picture.
    } else if (patched) {
        // Vertices before an attribute's first setting take the current value.
        std::vector<Vertex> v = block.vertices;
        for (int i = 0; i < static_cast<int>(v.size()); ++i) {
            Vertex current = current_vertex(v[i].pos[0], v[i].pos[1], v[i].pos[2]);
            if (i < block.first_set[ATTR_NORMAL]) memcpy(v[i].normal, current.normal, 12);
            if (i < block.first_set[ATTR_COLOR]) memcpy(v[i].color, current.color, 16);
            if (i < block.first_set[ATTR_TEX]) memcpy(v[i].tex, current.tex, 8);
        }
        draw_now(block.mode, v.data(), static_cast<int>(v.size()), from_vertex);
    } else if (gl11_outlined(block.mode)) {
        if (!block.line_buffer) {
            std::vector<Vertex> lines;
            gl11_assemble(block.mode, block.vertices.data(),
                          static_cast<int>(block.vertices.size()), true, &lines);
            block.line_count = static_cast<int>(lines.size());
            if (!lines.empty()) block.line_buffer = upload(lines);
        }
        gl11_draw(GL_LINES, nullptr, block.line_count, block.line_buffer, from_vertex);
    } else {
        gl11_draw(block.fill_mode, nullptr, block.fill_count, block.fill_buffer, from_vertex);
    }
    if (block.first_set[ATTR_NORMAL] >= 0) memcpy(gl.normal, block.last[ATTR_NORMAL], 12);
    if (block.first_set[ATTR_COLOR] >= 0) memcpy(gl.color, block.last[ATTR_COLOR], 16);
    if (block.first_set[ATTR_TEX] >= 0) memcpy(gl.tex, block.last[ATTR_TEX], 8);
}

void execute_op(DisplayList& list, const ListOp& op) {
    const uint32_t* n = op.n;
    const GLint* i = reinterpret_cast<const GLint*>(op.n);
    switch (op.kind) {
    case OP_ERROR:
        gl11_set_error(n[0]);
        break;
    case OP_BLOCK:
        replay_block(list.blocks[n[0]]);
        break;
    case OP_NORMAL:
        set_normal(op.v[0], op.v[1], op.v[2]);
        break;
    case OP_COLOR:
        set_color(op.v[0], op.v[1], op.v[2], op.v[3]);
        break;
    case OP_TEX:
        set_tex(op.v[0], op.v[1]);
        break;
    case OP_TRANSLATE:
        gl11_translatef(op.v[0], op.v[1], op.v[2]);
        break;
    case OP_ROTATE:
        gl11_rotatef(op.v[0], op.v[1], op.v[2], op.v[3]);
        break;
    case OP_SCALE:
        gl11_scalef(op.v[0], op.v[1], op.v[2]);
        break;
    case OP_PUSH:
        gl11_push_matrix();
        break;
    case OP_POP:
        gl11_pop_matrix();
        break;
    case OP_LOAD_IDENTITY:
        gl11_load_identity();
        break;
    case OP_MATRIX_MODE:
        gl11_matrix_mode(n[0]);
        break;
    case OP_CALL_LIST:
        gl11_call_list(n[0]);
        break;
    case OP_CALL_LIST_OFFSET:
        gl11_call_list(gl.list_base + n[0]);
        break;
    case OP_BIND_TEXTURE:
        gl11_bind_texture(n[0], n[1]);
        break;
    case OP_ENABLE:
        gl11_enable(n[0]);
        break;
    case OP_DISABLE:
        gl11_disable(n[0]);
        break;
    case OP_LIST_BASE:
        gl11_list_base(n[0]);
        break;
    case OP_PUSH_ATTRIB:
        gl11_push_attrib(n[0]);
        break;
    case OP_POP_ATTRIB:
        gl11_pop_attrib();
        break;
    case OP_CLEAR_COLOR:
        gl11_clear_color(op.v[0], op.v[1], op.v[2], op.v[3]);
        break;
    case OP_CLEAR_DEPTH:
        gl11_clear_depth(op.v[0]);
        break;
    case OP_CLEAR:
        gl11_clear(n[0]);
        break;
    case OP_VIEWPORT:
        gl11_viewport(i[0], i[1], i[2], i[3]);
        break;
    case OP_SCISSOR:
        gl11_scissor(i[0], i[1], i[2], i[3]);
        break;
    case OP_DEPTH_FUNC:
        gl11_depth_func(n[0]);
        break;
    case OP_POLYGON_MODE:
        gl11_polygon_mode(n[0], n[1]);
        break;
    case OP_SHADE_MODEL:
        gl11_shade_model(n[0]);
        break;
    case OP_HINT:
        gl11_hint(n[0], n[1]);
        break;
    case OP_LIGHT:
        gl11_lightfv(n[0], n[1], op.v);
        break;
    case OP_FOGI:
        gl11_fogi(n[0], i[1]);
        break;
    case OP_FOGF:
        gl11_fogf(n[0], op.v[0]);
        break;
    case OP_FOGFV:
        gl11_fogfv(n[0], op.v);
        break;
    case OP_TEX_GEN:
        gl11_tex_geni(n[0], n[1], i[2]);
        break;
    case OP_TEX_PARAMETER:
        gl11_tex_parameteri(n[0], n[1], i[2]);
        break;
    }
}

void free_list(DisplayList& list) {
    for (ListBlock& block : list.blocks) {
        if (block.fill_buffer) es.delete_buffers(1, &block.fill_buffer);
        if (block.line_buffer) es.delete_buffers(1, &block.line_buffer);
    }
    list.ops.clear();
    list.blocks.clear();
}

// Reads array element i of a client array as floats: its size (one to
// four) of them, into out[0..3].
void read_element(const ClientArray& a, int i, float out[4]) {
    int stride = a.stride ? a.stride : a.size * static_cast<int>(sizeof(float));
    const float* p = reinterpret_cast<const float*>(static_cast<const char*>(a.pointer) +
                                                    static_cast<size_t>(stride) * i);
    for (int k = 0; k < a.size && k < 4; ++k)
        out[k] = p[k];
}

ClientArray* client_array(GLenum array) {
    if (array == GL_VERTEX_ARRAY) return &gl.arrays.vertex;
    if (array == GL_COLOR_ARRAY) return &gl.arrays.color;
    if (array == GL_TEXTURE_COORD_ARRAY) return &gl.arrays.tex;
    return nullptr;
}

// GL takes 2 to 4 coordinates per vertex, 3 or 4 colour components, 1 to 4
// texture coordinates.
void set_pointer(ClientArray* a, GLint min_size, GLint size, GLenum type, GLsizei stride,
                 const void* pointer) {
    if (size < min_size || size > 4 || stride < 0) return gl11_set_error(GL_INVALID_VALUE);
    if (type != GL_FLOAT) return gl11_unsupported("a vertex array of other than floats");
    a->size = size;
    a->type = type;
    a->stride = stride;
    a->pointer = pointer;
}

} // namespace

bool gl11_outlined(GLenum mode) {
    // Both faces are drawn in the front face's mode (the show sets both alike);
    // the polygon mode leaves lines and points as they are.
    return mode != GL_POINTS && !is_line_mode(mode) && gl.polygon_front == GL_LINE;
}

GLenum gl11_assemble(GLenum mode, const Vertex* v, int n, bool outline, std::vector<Vertex>* out) {
    out->clear();
    switch (mode) {
    case GL_POINTS: // one pixel each, as WebGL draws them (gl_PointSize 1)
    case GL_LINES:
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        out->assign(v, v + n);
        return mode;
    case GL_TRIANGLES:
        for (int i = 0; i + 2 < n; i += 3)
            add_tri(out, v, i, i + 1, i + 2, outline);
        break;
    case GL_TRIANGLE_STRIP:
        for (int i = 0; i + 2 < n; ++i)
            if (i % 2 == 0)
                add_tri(out, v, i, i + 1, i + 2, outline);
            else
                add_tri(out, v, i + 1, i, i + 2, outline);
        break;
    case GL_TRIANGLE_FAN:
        for (int i = 1; i + 1 < n; ++i)
            add_tri(out, v, 0, i, i + 1, outline);
        break;
    case GL_QUADS:
        for (int i = 0; i + 3 < n; i += 4)
            add_quad(out, v, i, i + 1, i + 2, i + 3, outline);
        break;
    case GL_QUAD_STRIP:
        for (int i = 0; i + 3 < n; i += 2)
            add_quad(out, v, i, i + 1, i + 3, i + 2, outline);
        break;
    case GL_POLYGON:
        if (outline) {
            for (int i = 0; i < n && n >= 3; ++i)
                add_edge(out, v, i, (i + 1) % n);
        } else {
            for (int i = 1; i + 1 < n; ++i)
                add_triangle(out, v, 0, i, i + 1);
        }
        break;
    default:
        gl11_set_error(GL_INVALID_ENUM);
        break;
    }
    return outline ? GL_LINES : GL_TRIANGLES;
}

void gl11_begin(GLenum mode) {
    if (gl.in_begin) return gl11_compiled_error(GL_INVALID_OPERATION);
    if (mode > GL_POLYGON) return gl11_compiled_error(GL_INVALID_ENUM);
    gl.in_begin = true;
    gl.begin_mode = mode;
    gl_objects.begin_vertices.clear();
    for (int a = 0; a < ATTR_COUNT; ++a)
        gl.begin_first_set[a] = gl.compiling ? -1 : 0;
    memcpy(gl.saved_normal, gl.normal, sizeof gl.normal);
    memcpy(gl.saved_color, gl.color, sizeof gl.color);
    memcpy(gl.saved_tex, gl.tex, sizeof gl.tex);
}

void gl11_end() {
    if (!gl.in_begin) return gl11_compiled_error(GL_INVALID_OPERATION);
    gl.in_begin = false;
    if (gl.compiling) return compile_block();
    draw_now(gl.begin_mode, gl_objects.begin_vertices.data(),
             static_cast<int>(gl_objects.begin_vertices.size()), ALL_FROM_VERTEX);
}

void gl11_vertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!gl.in_begin) return gl11_unsupported("glVertex outside glBegin/glEnd");
    gl_objects.begin_vertices.push_back(current_vertex(x, y, z));
}

void gl11_vertex3d(GLdouble x, GLdouble y, GLdouble z) {
    gl11_vertex3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// The vector calls take a null pointer (which names no vector) as no call.
void gl11_vertex3fv(const GLfloat* v) {
    if (v) gl11_vertex3f(v[0], v[1], v[2]);
}

void gl11_normal3f(GLfloat x, GLfloat y, GLfloat z) {
    set_normal(x, y, z);
}

void gl11_normal3d(GLdouble x, GLdouble y, GLdouble z) {
    set_normal(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void gl11_normal3fv(const GLfloat* v) {
    if (v) set_normal(v[0], v[1], v[2]);
}

void gl11_color3f(GLfloat r, GLfloat g, GLfloat b) {
    set_color(r, g, b, 1.0f);
}

void gl11_color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    set_color(r, g, b, a);
}

void gl11_tex_coord2f(GLfloat s, GLfloat t) {
    set_tex(s, t);
}

void gl11_tex_coord2fv(const GLfloat* v) {
    if (v) set_tex(v[0], v[1]);
}

void gl11_compiled_error(GLenum error) {
    if (gl.compiling)
        compiled_list().ops.push_back(gl11_op(OP_ERROR, error));
    else
        gl11_set_error(error);
}

bool gl11_runs_now(const ListOp& op) {
    if (gl.compiling) {
        // Inside a primitive being compiled the call would run between
        // glBegin and glEnd: its error is kept instead.
        if (gl.in_begin)
            gl11_compiled_error(GL_INVALID_OPERATION);
        else
            compiled_list().ops.push_back(op);
        return false;
    }
    if (!gl.in_begin) return true;
    gl11_set_error(GL_INVALID_OPERATION);
    return false;
}

bool gl11_outside_begin() {
    if (!gl.in_begin || gl.compiling) return true;
    gl11_set_error(GL_INVALID_OPERATION);
    return false;
}

bool gl11_runs_now_unrecorded(const char* what) {
    if (gl.compiling && !gl.in_begin) {
        gl11_unsupported(what);
        return false;
    }
    return gl11_runs_now(gl11_op(OP_ERROR, GL_INVALID_OPERATION));
}

ListOp gl11_op(ListOpKind kind, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return ListOp{kind, {0.0f, 0.0f, 0.0f, 0.0f}, {a, b, c, d}};
}

ListOp gl11_op_floats(ListOpKind kind, const float* v, int count, uint32_t a, uint32_t b) {
    ListOp op = gl11_op(kind, a, b);
    for (int i = 0; i < count && i < 4 && v; ++i)
        op.v[i] = v[i];
    return op;
}

GLuint gl11_gen_lists(GLsizei range) {
    if (!gl11_outside_begin()) return 0;
    if (range < 0) {
        gl11_set_error(GL_INVALID_VALUE);
        return 0;
    }
    // Names are handed out after the highest ever used, never reused; when
    // the 32-bit names run out there are none (0).
    uint64_t first = gl_objects.next_list;
    if (range == 0 || first + static_cast<uint64_t>(range) > (uint64_t{1} << 32)) return 0;
    gl_objects.next_list = first + static_cast<uint64_t>(range);
    return static_cast<GLuint>(first);
}

void gl11_delete_lists(GLuint list, GLsizei range) {
    if (!gl11_outside_begin()) return;
    if (range < 0) return gl11_set_error(GL_INVALID_VALUE);
    // Names past the last 32-bit one name nothing.
    uint64_t end = std::min(uint64_t{list} + static_cast<uint64_t>(range), uint64_t{1} << 32);
    auto in_range = [&](uint64_t name) { return name >= list && name < end; };
    // Walks the names or the lists, whichever are fewer.
    if (static_cast<uint64_t>(range) > gl_objects.lists.size()) {
        for (auto it = gl_objects.lists.begin(); it != gl_objects.lists.end();) {
            if (in_range(it->first)) {
                free_list(it->second);
                it = gl_objects.lists.erase(it);
            } else {
                ++it;
            }
        }
        return;
    }
    for (uint64_t name = list; name < end; ++name) {
        auto it = gl_objects.lists.find(static_cast<GLuint>(name));
        if (it == gl_objects.lists.end()) continue;
        free_list(it->second);
        gl_objects.lists.erase(it);
    }
}

void gl11_free_lists() {
    for (auto& named : gl_objects.lists)
        free_list(named.second);
    gl_objects.lists.clear();
}

void gl11_new_list(GLuint list, GLenum mode) {
    if (!gl11_outside_begin()) return;
    if (list == 0) return gl11_set_error(GL_INVALID_VALUE);
    if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE)
        return gl11_set_error(GL_INVALID_ENUM);
    if (gl.compiling) return gl11_set_error(GL_INVALID_OPERATION);
    if (mode != GL_COMPILE) return gl11_unsupported("glNewList other than GL_COMPILE");
    free_list(gl_objects.lists[list]);
    if (list >= gl_objects.next_list) gl_objects.next_list = uint64_t{list} + 1;
    gl.compiling = list;
}

void gl11_end_list() {
    if (!gl.compiling) return gl11_set_error(GL_INVALID_OPERATION);
    // GL may end a list inside a primitive and end the primitive in another
    // list; the subset keeps whole primitives only.
    if (gl.in_begin) return gl11_unsupported("glEndList inside glBegin/glEnd");
    gl.compiling = 0;
}

void gl11_call_list(GLuint list) {
    if (gl.compiling) {
        if (gl.in_begin) return gl11_unsupported("glCallList inside a compiled glBegin/glEnd");
        compiled_list().ops.push_back(gl11_op(OP_CALL_LIST, list));
        return;
    }
    if (gl.call_depth >= MAX_LIST_NESTING) return;
    auto it = gl_objects.lists.find(list);
    if (it == gl_objects.lists.end()) return;
    ++gl.call_depth;
    // Running a list compiles nothing, so its ops stay as they are.
    DisplayList& target = it->second;
    for (size_t i = 0; i < target.ops.size(); ++i)
        execute_op(target, target.ops[i]);
    --gl.call_depth;
}

namespace {

// Bytes per name of glCallLists' type; 0 for a type it does not take.
int list_code_size(GLenum type) {
    switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
        return 1;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
    case GL_2_BYTES:
        return 2;
    case GL_3_BYTES:
        return 3;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT:
    case GL_4_BYTES:
        return 4;
    default:
        return 0;
    }
}

// Name i of glCallLists' array, as an offset from the list base.
GLuint list_code(GLenum type, const GLvoid* lists, GLsizei i) {
    const GLubyte* p = static_cast<const GLubyte*>(lists) +
                       static_cast<size_t>(list_code_size(type)) * static_cast<size_t>(i);
    switch (type) {
    case GL_BYTE:
        return static_cast<GLuint>(static_cast<GLint>(static_cast<GLbyte>(p[0])));
    case GL_UNSIGNED_BYTE:
        return p[0];
    case GL_2_BYTES:
        return (GLuint{p[0]} << 8) | p[1];
    case GL_3_BYTES:
        return (GLuint{p[0]} << 16) | (GLuint{p[1]} << 8) | p[2];
    case GL_4_BYTES:
        return (GLuint{p[0]} << 24) | (GLuint{p[1]} << 16) | (GLuint{p[2]} << 8) | p[3];
    default:
        break;
    }
    GLshort s;
    GLushort us;
    GLuint u;
    GLfloat f;
    switch (type) {
    case GL_SHORT:
        memcpy(&s, p, sizeof s);
        return static_cast<GLuint>(static_cast<GLint>(s));
    case GL_UNSIGNED_SHORT:
        memcpy(&us, p, sizeof us);
        return us;
    case GL_FLOAT:
        // Beyond the 32-bit names (or not a number) names no list.
        memcpy(&f, p, sizeof f);
        if (!(f > -2147483648.0f && f < 4294967296.0f)) return 0xffffffffu;
        return static_cast<GLuint>(static_cast<int64_t>(f));
    default: // GL_INT, GL_UNSIGNED_INT
        memcpy(&u, p, sizeof u);
        return u;
    }
}

} // namespace

void gl11_call_lists(GLsizei n, GLenum type, const GLvoid* lists) {
    if (gl.compiling && gl.in_begin)
        return gl11_unsupported("glCallLists inside a compiled glBegin/glEnd");
    if (n < 0) return gl11_compiled_error(GL_INVALID_VALUE);
    if (list_code_size(type) == 0) return gl11_compiled_error(GL_INVALID_ENUM);
    if (!lists) return;
    // A list keeps the names; the list base counts when it runs.
    for (GLsizei i = 0; i < n; ++i) {
        GLuint code = list_code(type, lists, i);
        if (gl.compiling)
            compiled_list().ops.push_back(gl11_op(OP_CALL_LIST_OFFSET, code));
        else
            gl11_call_list(gl.list_base + code);
    }
}

void gl11_list_base(GLuint base) {
    if (gl11_runs_now(gl11_op(OP_LIST_BASE, base))) gl.list_base = base;
}

void gl11_push_attrib(GLbitfield mask) {
    if (!gl11_runs_now(gl11_op(OP_PUSH_ATTRIB, mask))) return;
    if (mask != GL_LIST_BIT) return gl11_unsupported("glPushAttrib of other than GL_LIST_BIT");
    if (gl.list_base_depth >= ATTRIB_STACK_DEPTH) return gl11_set_error(GL_STACK_OVERFLOW);
    gl.list_base_stack[gl.list_base_depth++] = gl.list_base;
}

void gl11_pop_attrib() {
    if (!gl11_runs_now(gl11_op(OP_POP_ATTRIB))) return;
    if (gl.list_base_depth == 0) return gl11_set_error(GL_STACK_UNDERFLOW);
    gl.list_base = gl.list_base_stack[--gl.list_base_depth];
}

void gl11_vertex_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    set_pointer(&gl.arrays.vertex, 2, size, type, stride, pointer);
}

void gl11_color_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    set_pointer(&gl.arrays.color, 3, size, type, stride, pointer);
}

void gl11_tex_coord_pointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    set_pointer(&gl.arrays.tex, 1, size, type, stride, pointer);
}

void gl11_enable_client_state(GLenum array) {
    ClientArray* a = client_array(array);
    if (!a) return gl11_unsupported("this client array");
    a->enabled = true;
}

void gl11_disable_client_state(GLenum array) {
    ClientArray* a = client_array(array);
    if (!a) return gl11_unsupported("this client array");
    a->enabled = false;
}

void gl11_push_client_attrib(GLbitfield mask) {
    if (mask != GL_CLIENT_VERTEX_ARRAY_BIT) return gl11_unsupported("this client attribute");
    if (gl.array_depth >= ATTRIB_STACK_DEPTH) return gl11_set_error(GL_STACK_OVERFLOW);
    gl.array_stack[gl.array_depth++] = gl.arrays;
}

void gl11_pop_client_attrib() {
    if (gl.array_depth == 0) return gl11_set_error(GL_STACK_UNDERFLOW);
    gl.arrays = gl.array_stack[--gl.array_depth];
}

void gl11_draw_elements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
    if (!gl11_runs_now_unrecorded("glDrawElements in a display list")) return;
    if (count < 0) return gl11_set_error(GL_INVALID_VALUE);
    if (mode > GL_POLYGON) return gl11_set_error(GL_INVALID_ENUM);
    if (type != GL_UNSIGNED_SHORT) return gl11_unsupported("glDrawElements of other indices");
    // Arrays and indices at a null pointer are left out rather than read.
    if (!gl.arrays.vertex.enabled || !gl.arrays.vertex.pointer || count == 0 || !indices) return;
    if (gl11_drawing_off) return;
    const GLushort* index = static_cast<const GLushort*>(indices);
    // Each element as glArrayElement would give it: arrays where enabled,
    // else the current values.
    std::vector<Vertex> vertices(static_cast<size_t>(count));
    for (GLsizei i = 0; i < count; ++i) {
        Vertex& v = vertices[static_cast<size_t>(i)];
        v = current_vertex(0.0f, 0.0f, 0.0f);
        float pos[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        read_element(gl.arrays.vertex, index[i], pos);
        memcpy(v.pos, pos, sizeof v.pos);
        if (gl.arrays.color.enabled && gl.arrays.color.pointer) {
            v.color[3] = 1.0f;
            read_element(gl.arrays.color, index[i], v.color);
        }
        if (gl.arrays.tex.enabled && gl.arrays.tex.pointer) {
            float tex[4] = {0.0f, 0.0f, 0.0f, 1.0f};
            read_element(gl.arrays.tex, index[i], tex);
            memcpy(v.tex, tex, sizeof v.tex);
        }
    }
    // The current colour after glDrawElements is undefined in GL 1.1; it
    // stays as it was here.
    draw_now(mode, vertices.data(), count, ALL_FROM_VERTEX);
}
