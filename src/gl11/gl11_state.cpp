// The subset's context, capabilities, light, fog, textures and the calls
// passed on to ES as they are.
#include <cstdio>
#include <cstring>
#include <vector>

#include "gl11/gl11_es2.h"
#include "gl11/gl11_internal.h"

Gl11State gl;
Gl11Faults gl11_faults;
Gl11Stats gl11_stats;

namespace {

// GL 1.1's initial light 0 and fog.
const float LIGHT0_AMBIENT[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float LIGHT0_DIFFUSE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float LIGHT0_POSITION[4] = {0.0f, 0.0f, 1.0f, 0.0f};
const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};

// Capabilities ES has itself; the rest the shaders do.
bool passed_to_es(GLenum cap) {
    return cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST;
}

bool* capability(GLenum cap) {
    switch (cap) {
    case GL_LIGHTING:
        return &gl.lighting;
    case GL_LIGHT0:
        return &gl.light0;
    case GL_FOG:
        return &gl.fog;
    case GL_TEXTURE_2D:
        return &gl.texture_2d;
    case GL_TEXTURE_GEN_S:
        return &gl.texgen_s;
    case GL_TEXTURE_GEN_T:
        return &gl.texgen_t;
    case GL_BLEND:
        return &gl.blend;
    case GL_DEPTH_TEST:
        return &gl.depth_test;
    case GL_SCISSOR_TEST:
        return &gl.scissor;
    default:
        return nullptr;
    }
}

void set_capability(GLenum cap, bool on) {
    if (gl.compiling) {
        gl.lists[gl.compiling].ops.push_back(
            ListOp{on ? OP_ENABLE : OP_DISABLE, {0, 0, 0, 0}, static_cast<uint32_t>(cap)});
        return;
    }
    bool* flag = capability(cap);
    if (!flag) return gl11_unsupported("glEnable/glDisable of this capability");
    *flag = on;
    if (passed_to_es(cap)) (on ? es.enable : es.disable)(cap);
}

} // namespace

void gl11_apply_blend() {
    GLenum dst = gl.blend_dst;
    if (gl11_faults.wrong_blend && dst == GL_ONE) dst = GL_ONE_MINUS_SRC_ALPHA;
    es.blend_func(gl.blend_src, dst);
}

namespace {

void reset_state() {
    gl = Gl11State{};
    for (MatrixStack& s : gl.stacks)
        s.levels[0] = mat4_identity();
    gl.normal[2] = 1.0f;
    memcpy(gl.color, WHITE, sizeof gl.color);
    gl.polygon_front = gl.polygon_back = GL_FILL;
    gl.blend_src = GL_ONE;
    gl.blend_dst = GL_ZERO;
    memcpy(gl.light_ambient, LIGHT0_AMBIENT, sizeof gl.light_ambient);
    memcpy(gl.light_diffuse, LIGHT0_DIFFUSE, sizeof gl.light_diffuse);
    memcpy(gl.light_position, LIGHT0_POSITION, sizeof gl.light_position);
    gl.fog_density = 1.0f;
    gl.fog_mode = GL_EXP;
    gl.texgen_mode_s = gl.texgen_mode_t = GL_SPHERE_MAP;
    gl.textures.resize(1);
    gl.lists.resize(1);
    gl.pack_alignment = gl.unpack_alignment = 4;
}

} // namespace

void gl11_set_error(GLenum error) {
    if (gl.error == GL_NO_ERROR) gl.error = error;
}

void gl11_unsupported(const char* what) {
    if (gl11_stats.unsupported++ == 0) fprintf(stderr, "gl11: not in the subset: %s\n", what);
    gl11_set_error(GL_INVALID_OPERATION);
}

bool gl11_context_begin(void* (*get_proc)(const char* name)) {
    reset_state();
    gl11_stats = Gl11Stats{};
    if (!es2_load(get_proc) || !gl11_draw_begin()) return false;
    gl.open = true;
    // The viewport starts as the drawable's size, as ES set it.
    es.get_integerv(GL_VIEWPORT, gl.viewport);
    es.disable(GL_DEPTH_TEST);
    es.disable(GL_BLEND);
    es.blend_func(GL_ONE, GL_ZERO);
    return true;
}

void gl11_context_end() {
    if (!gl.open) return;
    gl11_delete_lists(1, static_cast<GLsizei>(gl.lists.size()));
    gl11_draw_end();
    gl = Gl11State{};
}

void gl11_enable(GLenum cap) {
    set_capability(cap, true);
}

void gl11_disable(GLenum cap) {
    set_capability(cap, false);
}

void gl11_blend_func(GLenum src, GLenum dst) {
    if (gl.compiling) return gl11_unsupported("glBlendFunc in a display list");
    gl.blend_src = src;
    gl.blend_dst = dst;
    gl11_apply_blend();
}

void gl11_depth_func(GLenum func) {
    es.depth_func(func);
}

void gl11_polygon_mode(GLenum face, GLenum mode) {
    if (mode != GL_FILL && mode != GL_LINE) return gl11_unsupported("this polygon mode");
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) gl.polygon_front = mode;
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) gl.polygon_back = mode;
}

void gl11_shade_model(GLenum mode) {
    if (mode != GL_SMOOTH) gl11_unsupported("flat shading");
}

void gl11_hint(GLenum, GLenum) {
    // Hints leave the result to the implementation; the subset has one way.
}

void gl11_lightfv(GLenum light, GLenum name, const GLfloat* values) {
    if (light != GL_LIGHT0) return gl11_unsupported("lights other than GL_LIGHT0");
    if (name == GL_AMBIENT) {
        memcpy(gl.light_ambient, values, sizeof gl.light_ambient);
    } else if (name == GL_DIFFUSE) {
        memcpy(gl.light_diffuse, values, sizeof gl.light_diffuse);
    } else if (name == GL_POSITION) {
        // Kept in eye space, through the modelview matrix of this moment.
        const Mat4& m = gl11_top(0);
        for (int row = 0; row < 4; ++row)
            gl.light_position[row] = m.m[row] * values[0] + m.m[4 + row] * values[1] +
                                     m.m[8 + row] * values[2] + m.m[12 + row] * values[3];
    } else {
        gl11_unsupported("this light parameter");
    }
}

void gl11_fogi(GLenum name, GLint value) {
    if (name != GL_FOG_MODE || value != GL_EXP) return gl11_unsupported("this fog mode");
    gl.fog_mode = value;
}

void gl11_fogf(GLenum name, GLfloat value) {
    if (name == GL_FOG_DENSITY) gl.fog_density = value;
    // GL_FOG_START and GL_FOG_END only matter to linear fog.
}

void gl11_fogfv(GLenum name, const GLfloat* values) {
    if (name != GL_FOG_COLOR) return gl11_unsupported("this fog parameter");
    memcpy(gl.fog_color, values, sizeof gl.fog_color);
}

void gl11_tex_geni(GLenum coord, GLenum name, GLint value) {
    if (name != GL_TEXTURE_GEN_MODE || value != GL_SPHERE_MAP)
        return gl11_unsupported("texture generation other than the sphere map");
    if (coord == GL_S)
        gl.texgen_mode_s = value;
    else if (coord == GL_T)
        gl.texgen_mode_t = value;
    else
        gl11_unsupported("texture generation of this coordinate");
}

void gl11_gen_textures(GLsizei n, GLuint* names) {
    es.gen_textures(n, names);
    for (GLsizei i = 0; i < n; ++i) {
        if (names[i] >= gl.textures.size()) gl.textures.resize(names[i] + 1);
        gl.textures[names[i]] = TextureInfo{false, static_cast<GLint>(ES_NEAREST_MIPMAP_LINEAR)};
    }
}

void gl11_delete_textures(GLsizei n, const GLuint* names) {
    es.delete_textures(n, names);
    for (GLsizei i = 0; i < n; ++i) {
        if (names[i] < gl.textures.size()) gl.textures[names[i]] = TextureInfo{};
        if (names[i] == gl.bound_texture) gl.bound_texture = 0;
    }
}

void gl11_bind_texture(GLenum target, GLuint name) {
    if (target != GL_TEXTURE_2D) return gl11_unsupported("textures other than 2D");
    if (gl.compiling) {
        gl.lists[gl.compiling].ops.push_back(ListOp{OP_BIND_TEXTURE, {0, 0, 0, 0}, name});
        return;
    }
    if (gl11_faults.wrong_texture && name != 0 && name + 1 < gl.textures.size()) ++name;
    if (name >= gl.textures.size()) {
        // A name never generated becomes a texture on first binding.
        gl.textures.resize(name + 1);
        gl.textures[name] = TextureInfo{false, static_cast<GLint>(ES_NEAREST_MIPMAP_LINEAR)};
    }
    gl.bound_texture = name;
    es.bind_texture(GL_TEXTURE_2D, name);
}

void gl11_tex_parameteri(GLenum target, GLenum name, GLint value) {
    if (target != GL_TEXTURE_2D) return gl11_unsupported("textures other than 2D");
    es.tex_parameteri(target, name, value);
    if (name == GL_TEXTURE_MIN_FILTER && gl.bound_texture != 0)
        gl.textures[gl.bound_texture].min_filter = value;
}

void gl11_tex_image2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type,
                      const GLvoid* pixels) {
    // GL 1.1 takes the component count 3 for RGB; ES wants the format itself.
    bool rgb = (internal_format == 3 || internal_format == GL_RGB) && format == GL_RGB;
    if (target != GL_TEXTURE_2D || level != 0 || border != 0 || !rgb || type != GL_UNSIGNED_BYTE)
        return gl11_unsupported("textures other than 8-bit RGB level 0");
    es.tex_image2d(target, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    if (gl.bound_texture != 0) gl.textures[gl.bound_texture].has_image = true;
}

void gl11_viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    gl.viewport[0] = x;
    gl.viewport[1] = y;
    gl.viewport[2] = width;
    gl.viewport[3] = height;
    es.viewport(x, y, width, height);
}

void gl11_get_integerv(GLenum name, GLint* values) {
    const GLint MATRIX_MODES[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    switch (name) {
    case GL_VIEWPORT:
        for (int i = 0; i < 4; ++i)
            values[i] = gl.viewport[i];
        break;
    case GL_MATRIX_MODE:
        values[0] = MATRIX_MODES[gl.matrix_mode];
        break;
    case GL_PACK_ALIGNMENT:
        values[0] = gl.pack_alignment;
        break;
    case GL_UNPACK_ALIGNMENT:
        values[0] = gl.unpack_alignment;
        break;
    default:
        gl11_unsupported("glGetIntegerv of this value");
    }
}

void gl11_scissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    es.scissor(x, y, width, height);
}

void gl11_clear_color(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    es.clear_color(r, g, b, a);
}

void gl11_clear_depth(GLclampd depth) {
    es.clear_depthf(static_cast<float>(depth));
}

void gl11_clear(GLbitfield mask) {
    if (mask & GL_COLOR_BUFFER_BIT) gl11_draw_frame_start();
    es.clear(mask);
}

void gl11_flush() {
    es.flush();
}

void gl11_finish() {
    es.finish();
}

void gl11_pixel_storei(GLenum name, GLint value) {
    if (name == GL_PACK_ALIGNMENT) {
        gl.pack_alignment = value;
    } else if (name == GL_UNPACK_ALIGNMENT) {
        gl.unpack_alignment = value;
        es.pixel_storei(name, value);
    } else {
        gl11_unsupported("this pixel store parameter");
    }
}

void gl11_read_buffer(GLenum mode) {
    // ES reads the buffer that is drawn, which is where the show reads.
    if (mode != GL_BACK) gl11_unsupported("reading other than the back buffer");
}

void gl11_read_pixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                      GLvoid* pixels) {
    if ((format != GL_RGB && format != GL_RGBA) || type != GL_UNSIGNED_BYTE)
        return gl11_unsupported("reading other than 8-bit RGB or RGBA");
    // ES always gives RGBA rows packed by 4; the caller's rows are repacked.
    std::vector<GLubyte> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    es.pixel_storei(GL_PACK_ALIGNMENT, 4);
    es.read_pixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    size_t channels = format == GL_RGB ? 3 : 4;
    size_t row_bytes = channels * static_cast<size_t>(width);
    size_t align = static_cast<size_t>(gl.pack_alignment);
    size_t stride = (row_bytes + align - 1) / align * align;
    GLubyte* out = static_cast<GLubyte*>(pixels);
    for (GLsizei row = 0; row < height; ++row)
        for (GLsizei col = 0; col < width; ++col)
            memcpy(out + stride * static_cast<size_t>(row) + channels * static_cast<size_t>(col),
                   &rgba[(static_cast<size_t>(row) * static_cast<size_t>(width) +
                          static_cast<size_t>(col)) *
                         4],
                   channels);
}

GLenum gl11_get_error() {
    GLenum error = gl.error;
    gl.error = GL_NO_ERROR;
    GLenum es_error = es.get_error ? es.get_error() : GL_NO_ERROR;
    return error != GL_NO_ERROR ? error : es_error;
}
