// The subset's context, capabilities, light, fog, textures and the calls
// passed on to ES as they are.
#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <cstring>
#include <vector>

#include "gl11/gl11_es2.h"
#include "gl11/gl11_internal.h"

Gl11State gl;
Gl11Objects gl_objects;
bool gl11_drawing_off = false;
Gl11Faults gl11_faults;
Gl11Stats gl11_stats;

static_assert(std::is_trivially_copyable<Gl11State>::value, "the state is put aside as bytes");

namespace {

// GL 1.1's initial light 0 and fog.
const float LIGHT0_AMBIENT[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float LIGHT0_DIFFUSE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float LIGHT0_POSITION[4] = {0.0f, 0.0f, 1.0f, 0.0f};
const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// The viewport's largest size when ES does not say (what Mesa allows).
constexpr GLint FALLBACK_MAX_VIEWPORT = 16384;
// Pixel rows are read from ES in bands of at most this many pixels.
constexpr size_t READ_BAND_PIXELS = size_t{1} << 20;

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
    if (!gl11_runs_now(gl11_op(on ? OP_ENABLE : OP_DISABLE, cap))) return;
    bool* flag = capability(cap);
    if (!flag) return gl11_unsupported("glEnable/glDisable of this capability");
    *flag = on;
    if (passed_to_es(cap) && !gl11_drawing_off) (on ? es.enable : es.disable)(cap);
}

} // namespace

void gl11_apply_blend() {
    if (gl11_drawing_off) return;
    GLenum dst = gl.blend_dst;
    if (gl11_faults.wrong_blend && dst == GL_ONE) dst = GL_ONE_MINUS_SRC_ALPHA;
    es.blend_func(gl.blend_src, dst);
}

namespace {

void reset_state() {
    gl = Gl11State{};
    gl_objects = Gl11Objects{};
    gl11_drawing_off = false;
    for (MatrixStack& s : gl.stacks)
        s.levels[0] = mat4_identity();
    gl.normal[2] = 1.0f;
    memcpy(gl.color, WHITE, sizeof gl.color);
    gl.polygon_front = gl.polygon_back = GL_FILL;
    gl.blend_src = GL_ONE;
    gl.blend_dst = GL_ZERO;
    gl.depth_func = GL_LESS;
    gl.clear_depth = 1.0f;
    memcpy(gl.light_ambient, LIGHT0_AMBIENT, sizeof gl.light_ambient);
    memcpy(gl.light_diffuse, LIGHT0_DIFFUSE, sizeof gl.light_diffuse);
    memcpy(gl.light_position, LIGHT0_POSITION, sizeof gl.light_position);
    gl.fog_density = 1.0f;
    gl.fog_mode = GL_EXP;
    gl.texgen_mode_s = gl.texgen_mode_t = GL_SPHERE_MAP;
    gl_objects.next_list = 1;
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
    memcpy(gl.scissor_box, gl.viewport, sizeof gl.scissor_box);
    es.get_integerv(GL_MAX_VIEWPORT_DIMS, gl.max_viewport);
    for (GLint& most : gl.max_viewport)
        if (most <= 0) most = FALLBACK_MAX_VIEWPORT;
    es.disable(GL_DEPTH_TEST);
    es.disable(GL_BLEND);
    es.blend_func(GL_ONE, GL_ZERO);
    return true;
}

void gl11_context_end() {
    if (!gl.open) return;
    gl11_free_lists();
    gl11_draw_end();
    gl = Gl11State{};
    gl_objects = Gl11Objects{};
    gl11_drawing_off = false;
}

namespace {

// Passes the subset's state to ES again (after the state-only mode, or a
// state put back): everything the subset hands on as it is.
void pass_state_to_es() {
    for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_SCISSOR_TEST})
        (*capability(cap) ? es.enable : es.disable)(cap);
    gl11_apply_blend();
    es.depth_func(gl.depth_func);
    es.viewport(gl.viewport[0], gl.viewport[1], gl.viewport[2], gl.viewport[3]);
    es.scissor(gl.scissor_box[0], gl.scissor_box[1], gl.scissor_box[2], gl.scissor_box[3]);
    es.clear_color(gl.clear_color[0], gl.clear_color[1], gl.clear_color[2], gl.clear_color[3]);
    es.clear_depthf(gl.clear_depth);
    es.bind_texture(GL_TEXTURE_2D, gl.bound_texture);
}

} // namespace

void gl11_set_state_only(bool on) {
    if (on == gl11_drawing_off) return;
    gl11_drawing_off = on;
    if (!on && gl.open) pass_state_to_es();
}

bool gl11_state_only() {
    return gl11_drawing_off;
}

size_t gl11_state_size() {
    return sizeof gl;
}

void gl11_state_save(void* out) {
    memcpy(out, &gl, sizeof gl);
}

void gl11_state_restore(const void* in) {
    memcpy(&gl, in, sizeof gl);
    if (!gl11_drawing_off && gl.open) pass_state_to_es();
}

void gl11_enable(GLenum cap) {
    set_capability(cap, true);
}

void gl11_disable(GLenum cap) {
    set_capability(cap, false);
}

void gl11_blend_func(GLenum src, GLenum dst) {
    if (!gl11_runs_now_unrecorded("glBlendFunc in a display list")) return;
    gl.blend_src = src;
    gl.blend_dst = dst;
    gl11_apply_blend();
}

void gl11_depth_func(GLenum func) {
    if (!gl11_runs_now(gl11_op(OP_DEPTH_FUNC, func))) return;
    gl.depth_func = func;
    if (!gl11_drawing_off) es.depth_func(func);
}

void gl11_polygon_mode(GLenum face, GLenum mode) {
    if (!gl11_runs_now(gl11_op(OP_POLYGON_MODE, face, mode))) return;
    if ((face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) ||
        (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL))
        return gl11_set_error(GL_INVALID_ENUM);
    if (mode == GL_POINT) return gl11_unsupported("this polygon mode");
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) gl.polygon_front = mode;
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) gl.polygon_back = mode;
}

void gl11_shade_model(GLenum mode) {
    if (!gl11_runs_now(gl11_op(OP_SHADE_MODEL, mode))) return;
    if (mode != GL_SMOOTH && mode != GL_FLAT) return gl11_set_error(GL_INVALID_ENUM);
    if (mode != GL_SMOOTH) gl11_unsupported("flat shading");
}

namespace {

// The hints Mesa takes: GL 1.1's and those of later GLs.
bool hint_target(GLenum target) {
    const GLenum TARGETS[] = {GL_PERSPECTIVE_CORRECTION_HINT,
                              GL_POINT_SMOOTH_HINT,
                              GL_LINE_SMOOTH_HINT,
                              GL_POLYGON_SMOOTH_HINT,
                              GL_FOG_HINT,
                              0x8192 /* mipmap generation */,
                              0x84EF /* texture compression */,
                              0x8B8B /* fragment shader derivatives */};
    for (GLenum t : TARGETS)
        if (t == target) return true;
    return false;
}

} // namespace

void gl11_hint(GLenum target, GLenum mode) {
    if (!gl11_runs_now(gl11_op(OP_HINT, target, mode))) return;
    if (!hint_target(target) || (mode != GL_DONT_CARE && mode != GL_FASTEST && mode != GL_NICEST))
        gl11_set_error(GL_INVALID_ENUM);
    // Hints leave the result to the implementation; the subset has one way.
}

namespace {

// How many floats glLightfv reads for `name`.
int light_value_count(GLenum name) {
    if (name == GL_AMBIENT || name == GL_DIFFUSE || name == GL_SPECULAR || name == GL_POSITION)
        return 4;
    return name == GL_SPOT_DIRECTION ? 3 : 1;
}

} // namespace

void gl11_lightfv(GLenum light, GLenum name, const GLfloat* values) {
    ListOp op = gl11_op_floats(OP_LIGHT, values, light_value_count(name), light, name);
    if (!gl11_runs_now(op)) return;
    if (light < GL_LIGHT0 || light > GL_LIGHT0 + 7) return gl11_set_error(GL_INVALID_ENUM);
    if (light != GL_LIGHT0) return gl11_unsupported("lights other than GL_LIGHT0");
    if (!values) return;
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
    if (!gl11_runs_now(gl11_op(OP_FOGI, name, static_cast<uint32_t>(value)))) return;
    if (name == GL_FOG_MODE && value != GL_EXP && value != GL_EXP2 && value != GL_LINEAR)
        return gl11_set_error(GL_INVALID_ENUM);
    if (name != GL_FOG_MODE || value != GL_EXP) return gl11_unsupported("this fog mode");
    gl.fog_mode = value;
}

void gl11_fogf(GLenum name, GLfloat value) {
    const float v[1] = {value};
    if (!gl11_runs_now(gl11_op_floats(OP_FOGF, v, 1, name))) return;
    if (name == GL_FOG_DENSITY) {
        if (value < 0.0f) return gl11_set_error(GL_INVALID_VALUE);
        gl.fog_density = value;
    } else if (name != GL_FOG_START && name != GL_FOG_END) {
        gl11_unsupported("this fog parameter");
    }
    // GL_FOG_START and GL_FOG_END only matter to linear fog.
}

void gl11_fogfv(GLenum name, const GLfloat* values) {
    ListOp op = gl11_op_floats(OP_FOGFV, values, name == GL_FOG_COLOR ? 4 : 1, name);
    if (!gl11_runs_now(op) || !values) return;
    if (name == GL_FOG_COLOR)
        memcpy(gl.fog_color, values, sizeof gl.fog_color);
    else if (name == GL_FOG_DENSITY || name == GL_FOG_START || name == GL_FOG_END)
        gl11_fogf(name, values[0]);
    else
        gl11_unsupported("this fog parameter");
}

void gl11_tex_geni(GLenum coord, GLenum name, GLint value) {
    if (!gl11_runs_now(gl11_op(OP_TEX_GEN, coord, name, static_cast<uint32_t>(value)))) return;
    if (name != GL_TEXTURE_GEN_MODE || value != GL_SPHERE_MAP)
        return gl11_unsupported("texture generation other than the sphere map");
    if (coord == GL_S)
        gl.texgen_mode_s = value;
    else if (coord == GL_T)
        gl.texgen_mode_t = value;
    else
        gl11_unsupported("texture generation of this coordinate");
}

namespace {

// A texture name as GL 1.1 starts it: no image, mipmapped minification.
TextureInfo new_texture() {
    return TextureInfo{false, static_cast<GLint>(ES_NEAREST_MIPMAP_LINEAR)};
}

} // namespace

void gl11_gen_textures(GLsizei n, GLuint* names) {
    if (!gl11_outside_begin()) return;
    if (n < 0) return gl11_set_error(GL_INVALID_VALUE);
    if (!names) return;
    es.gen_textures(n, names);
    for (GLsizei i = 0; i < n; ++i)
        gl_objects.textures[names[i]] = new_texture();
}

void gl11_delete_textures(GLsizei n, const GLuint* names) {
    if (!gl11_outside_begin()) return;
    if (n < 0) return gl11_set_error(GL_INVALID_VALUE);
    if (!names) return;
    es.delete_textures(n, names);
    for (GLsizei i = 0; i < n; ++i) {
        gl_objects.textures.erase(names[i]);
        if (names[i] == gl.bound_texture) gl.bound_texture = 0;
    }
}

void gl11_bind_texture(GLenum target, GLuint name) {
    if (!gl11_runs_now(gl11_op(OP_BIND_TEXTURE, target, name))) return;
    if (target != GL_TEXTURE_2D) return gl11_unsupported("textures other than 2D");
    if (gl11_faults.wrong_texture && name != 0 && gl_objects.textures.count(name + 1)) ++name;
    // A name never generated becomes a texture on first binding.
    if (name != 0 && !gl_objects.textures.count(name)) gl_objects.textures[name] = new_texture();
    gl.bound_texture = name;
    es.bind_texture(GL_TEXTURE_2D, name);
}

void gl11_tex_parameteri(GLenum target, GLenum name, GLint value) {
    ListOp op = gl11_op(OP_TEX_PARAMETER, target, name, static_cast<uint32_t>(value));
    if (!gl11_runs_now(op)) return;
    if (target != GL_TEXTURE_2D) return gl11_unsupported("textures other than 2D");
    es.tex_parameteri(target, name, value);
    auto bound = gl_objects.textures.find(gl.bound_texture);
    if (name == GL_TEXTURE_MIN_FILTER && bound != gl_objects.textures.end())
        bound->second.min_filter = value;
}

void gl11_tex_image2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type,
                      const GLvoid* pixels) {
    if (!gl11_runs_now_unrecorded("glTexImage2D in a display list")) return;
    // GL 1.1 takes the component count 3 for RGB; ES wants the format itself.
    bool rgb = (internal_format == 3 || internal_format == GL_RGB) && format == GL_RGB;
    if (target != GL_TEXTURE_2D || level != 0 || border != 0 || !rgb || type != GL_UNSIGNED_BYTE)
        return gl11_unsupported("textures other than 8-bit RGB level 0");
    if (width < 0 || height < 0) return gl11_set_error(GL_INVALID_VALUE);
    es.tex_image2d(target, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    auto bound = gl_objects.textures.find(gl.bound_texture);
    if (bound != gl_objects.textures.end()) bound->second.has_image = true;
}

namespace {

// A viewport or scissor rectangle's integers as a list keeps them.
ListOp rectangle_op(ListOpKind kind, GLint x, GLint y, GLsizei width, GLsizei height) {
    return gl11_op(kind, static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                   static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

} // namespace

void gl11_viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!gl11_runs_now(rectangle_op(OP_VIEWPORT, x, y, width, height))) return;
    if (width < 0 || height < 0) return gl11_set_error(GL_INVALID_VALUE);
    // GL keeps the size cut to the largest viewport it has.
    gl.viewport[0] = x;
    gl.viewport[1] = y;
    gl.viewport[2] = std::min(width, gl.max_viewport[0]);
    gl.viewport[3] = std::min(height, gl.max_viewport[1]);
    if (!gl11_drawing_off) es.viewport(x, y, gl.viewport[2], gl.viewport[3]);
}

void gl11_get_integerv(GLenum name, GLint* values) {
    const GLint MATRIX_MODES[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    if (!gl11_outside_begin() || !values) return;
    switch (name) {
    case GL_VIEWPORT:
        for (int i = 0; i < 4; ++i)
            values[i] = gl.viewport[i];
        break;
    case GL_MAX_VIEWPORT_DIMS:
        values[0] = gl.max_viewport[0];
        values[1] = gl.max_viewport[1];
        break;
    case GL_MATRIX_MODE:
        values[0] = MATRIX_MODES[gl.matrix_mode];
        break;
    case GL_MODELVIEW_STACK_DEPTH:
    case GL_PROJECTION_STACK_DEPTH:
    case GL_TEXTURE_STACK_DEPTH:
        values[0] = gl.stacks[name - GL_MODELVIEW_STACK_DEPTH].depth + 1;
        break;
    case GL_MAX_MODELVIEW_STACK_DEPTH:
        values[0] = MATRIX_STACK_DEPTHS[0];
        break;
    case GL_MAX_PROJECTION_STACK_DEPTH:
        values[0] = MATRIX_STACK_DEPTHS[1];
        break;
    case GL_MAX_TEXTURE_STACK_DEPTH:
        values[0] = MATRIX_STACK_DEPTHS[2];
        break;
    case GL_ATTRIB_STACK_DEPTH:
        values[0] = gl.list_base_depth;
        break;
    case GL_CLIENT_ATTRIB_STACK_DEPTH:
        values[0] = gl.array_depth;
        break;
    case GL_MAX_ATTRIB_STACK_DEPTH:
    case GL_MAX_CLIENT_ATTRIB_STACK_DEPTH:
        values[0] = ATTRIB_STACK_DEPTH;
        break;
    case GL_MAX_LIST_NESTING:
        values[0] = MAX_LIST_NESTING;
        break;
    case GL_LIST_BASE:
        values[0] = static_cast<GLint>(gl.list_base);
        break;
    case GL_LIST_INDEX:
        values[0] = static_cast<GLint>(gl.compiling);
        break;
    case GL_POLYGON_MODE:
        values[0] = static_cast<GLint>(gl.polygon_front);
        values[1] = static_cast<GLint>(gl.polygon_back);
        break;
    case GL_TEXTURE_BINDING_2D:
        values[0] = static_cast<GLint>(gl.bound_texture);
        break;
    case GL_PACK_ALIGNMENT:
        values[0] = gl.pack_alignment;
        break;
    case GL_UNPACK_ALIGNMENT:
        values[0] = gl.unpack_alignment;
        break;
    case GL_SCISSOR_BOX:
        for (int i = 0; i < 4; ++i)
            values[i] = gl.scissor_box[i];
        break;
    case GL_DEPTH_FUNC:
        values[0] = static_cast<GLint>(gl.depth_func);
        break;
    default:
        gl11_unsupported("glGetIntegerv of this value");
    }
}

void gl11_scissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!gl11_runs_now(rectangle_op(OP_SCISSOR, x, y, width, height))) return;
    if (width < 0 || height < 0) return gl11_set_error(GL_INVALID_VALUE);
    const GLint box[4] = {x, y, width, height};
    memcpy(gl.scissor_box, box, sizeof box);
    if (!gl11_drawing_off) es.scissor(x, y, width, height);
}

void gl11_clear_color(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    const float v[4] = {r, g, b, a};
    if (!gl11_runs_now(gl11_op_floats(OP_CLEAR_COLOR, v, 4))) return;
    memcpy(gl.clear_color, v, sizeof v);
    if (!gl11_drawing_off) es.clear_color(r, g, b, a);
}

void gl11_clear_depth(GLclampd depth) {
    const float v[1] = {static_cast<float>(depth)};
    if (!gl11_runs_now(gl11_op_floats(OP_CLEAR_DEPTH, v, 1))) return;
    gl.clear_depth = v[0];
    if (!gl11_drawing_off) es.clear_depthf(v[0]);
}

void gl11_clear(GLbitfield mask) {
    if (!gl11_runs_now(gl11_op(OP_CLEAR, mask))) return;
    const GLbitfield BUFFERS =
        GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT;
    if (mask & ~BUFFERS) return gl11_set_error(GL_INVALID_VALUE);
    if (mask & GL_COLOR_BUFFER_BIT) gl11_draw_frame_start();
    // There is no accumulation buffer to clear.
    if (!gl11_drawing_off) es.clear(mask & ~GL_ACCUM_BUFFER_BIT);
}

void gl11_flush() {
    if (gl11_outside_begin() && !gl11_drawing_off) es.flush();
}

void gl11_finish() {
    if (gl11_outside_begin() && !gl11_drawing_off) es.finish();
}

void gl11_pixel_storei(GLenum name, GLint value) {
    if (!gl11_outside_begin()) return;
    bool alignment = name == GL_PACK_ALIGNMENT || name == GL_UNPACK_ALIGNMENT;
    if (!alignment) return gl11_unsupported("this pixel store parameter");
    if (value != 1 && value != 2 && value != 4 && value != 8)
        return gl11_set_error(GL_INVALID_VALUE);
    if (name == GL_PACK_ALIGNMENT) {
        gl.pack_alignment = value;
    } else {
        gl.unpack_alignment = value;
        es.pixel_storei(name, value);
    }
}

void gl11_read_buffer(GLenum mode) {
    if (!gl11_outside_begin()) return;
    // ES reads the buffer that is drawn, which is where the show reads.
    if (mode != GL_BACK) gl11_unsupported("reading other than the back buffer");
}

void gl11_read_pixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                      GLvoid* pixels) {
    if (!gl11_outside_begin()) return;
    if (width < 0 || height < 0) return gl11_set_error(GL_INVALID_VALUE);
    if ((format != GL_RGB && format != GL_RGBA) || type != GL_UNSIGNED_BYTE)
        return gl11_unsupported("reading other than 8-bit RGB or RGBA");
    if (!pixels) return;
    // Only what lies within the largest framebuffer there can be is read;
    // the caller's pixels beyond it stay as they are.
    int64_t left = std::max<int64_t>(x, 0);
    int64_t right = std::min<int64_t>(int64_t{x} + width, gl.max_viewport[0]);
    int64_t bottom = std::max<int64_t>(y, 0);
    int64_t top = std::min<int64_t>(int64_t{y} + height, gl.max_viewport[1]);
    if (left >= right || bottom >= top) return;
    // ES gives RGBA rows packed by 4; the caller's rows are repacked.
    size_t channels = format == GL_RGB ? 3 : 4;
    size_t align = static_cast<size_t>(gl.pack_alignment);
    size_t stride = (channels * static_cast<size_t>(width) + align - 1) / align * align;
    size_t span = static_cast<size_t>(right - left);
    size_t band = std::max<size_t>(1, READ_BAND_PIXELS / span);
    band = std::min(band, static_cast<size_t>(top - bottom));
    std::vector<GLubyte> rgba(span * band * 4);
    es.pixel_storei(GL_PACK_ALIGNMENT, 4);
    GLubyte* out = static_cast<GLubyte*>(pixels);
    for (int64_t first = bottom; first < top; first += static_cast<int64_t>(band)) {
        size_t rows = std::min(band, static_cast<size_t>(top - first));
        es.read_pixels(static_cast<GLint>(left), static_cast<GLint>(first),
                       static_cast<GLsizei>(span), static_cast<GLsizei>(rows), GL_RGBA,
                       GL_UNSIGNED_BYTE, rgba.data());
        for (size_t row = 0; row < rows; ++row) {
            GLubyte* line = out + stride * (static_cast<size_t>(first - y) + row) +
                            channels * static_cast<size_t>(left - x);
            for (size_t col = 0; col < span; ++col)
                memcpy(line + channels * col, &rgba[(row * span + col) * 4], channels);
        }
    }
}

GLenum gl11_get_error() {
    // Between glBegin and glEnd glGetError is itself an error.
    if (!gl11_outside_begin()) return GL_NO_ERROR;
    GLenum error = gl.error;
    gl.error = GL_NO_ERROR;
    GLenum es_error = es.get_error ? es.get_error() : GL_NO_ERROR;
    return error != GL_NO_ERROR ? error : es_error;
}
