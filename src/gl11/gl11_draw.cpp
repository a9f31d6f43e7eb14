// The subset's shaders and its one drawing path: GL 1.1's vertex stage
// (transform, the one positional light with ambient and diffuse terms,
// sphere-map texture generation, texture matrix, eye distance for fog) and
// fragment stage (modulated texture, exponential fog).
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "gl11/gl11_es2.h"
#include "gl11/gl11_internal.h"

namespace {

// GL 1.1's material (never changed by the show) and scene ambient light.
const float MATERIAL_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
const float MATERIAL_DIFFUSE[4] = {0.8f, 0.8f, 0.8f, 1.0f};
const float SCENE_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};

const char* const VERTEX_SHADER = R"(
attribute vec3 a_pos;
attribute vec3 a_normal;
attribute vec4 a_color;
attribute vec2 a_tex;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform mat4 u_texture_matrix;
uniform mat3 u_normal_matrix;
uniform bool u_lighting;
uniform vec4 u_light_position;
uniform vec4 u_lit_base;    // scene ambient and light ambient times the material's
uniform vec4 u_lit_diffuse; // light diffuse times the material's
uniform bool u_texgen_s;
uniform bool u_texgen_t;
varying vec4 v_color;
varying vec4 v_tex;
varying float v_eye_distance;
void main() {
    vec4 eye = u_modelview * vec4(a_pos, 1.0);
    gl_Position = u_projection * eye;
    gl_PointSize = 1.0; // GL_POINTS: GL 1.1's default size (WebGL needs it written)
    vec3 n = u_normal_matrix * a_normal;
    if (u_lighting) {
        vec3 to_light = u_light_position.xyz - eye.xyz * u_light_position.w / eye.w;
        float facing = max(dot(n, normalize(to_light)), 0.0);
        v_color = clamp(vec4(u_lit_base.rgb + facing * u_lit_diffuse.rgb, u_lit_diffuse.a),
                        0.0, 1.0);
    } else {
        v_color = clamp(a_color, 0.0, 1.0);
    }
    vec4 t = vec4(a_tex, 0.0, 1.0);
    if (u_texgen_s || u_texgen_t) {
        vec3 u = normalize(eye.xyz);
        vec3 r = u - 2.0 * n * dot(n, u);
        float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
        if (u_texgen_s) t.s = r.x / m + 0.5;
        if (u_texgen_t) t.t = r.y / m + 0.5;
    }
    v_tex = u_texture_matrix * t;
    v_eye_distance = abs(eye.z);
}
)";

// The fragment stage is built once per combination of texturing and fog
// (FRAGMENT_STAGES, prepended as #defines), so that a fragment runs only the
// work its draw needs: a branch on a uniform costs the fragment of every
// draw (llvmpipe's per-fragment cost nearly doubled with them).
const char* const FRAGMENT_SHADER = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D u_sampler;
uniform float u_fog_density;
uniform vec4 u_fog_color;
varying vec4 v_color;
varying vec4 v_tex;
varying float v_eye_distance;
void main() {
    vec4 c = v_color;
#ifdef TEXTURING
    c *= texture2D(u_sampler, v_tex.xy / v_tex.w);
#endif
#ifdef FOG
    float f = clamp(exp(-u_fog_density * v_eye_distance), 0.0, 1.0);
    c.rgb = mix(u_fog_color.rgb, c.rgb, f);
#endif
    gl_FragColor = c;
}
)";

// The fragment stages: bit 1 texturing, bit 2 fog.
enum FragmentStage { STAGE_TEXTURING = 1, STAGE_FOG = 2, PROGRAM_COUNT = 4 };
const char* const STAGE_DEFINES[PROGRAM_COUNT] = {"", "#define TEXTURING\n", "#define FOG\n",
                                                  "#define TEXTURING\n#define FOG\n"};

// Attribute locations, bound before linking.
enum AttributeLocation { LOC_POS, LOC_NORMAL, LOC_COLOR, LOC_TEX };

enum Uniform {
    U_MODELVIEW,
    U_PROJECTION,
    U_TEXTURE_MATRIX,
    U_NORMAL_MATRIX,
    U_LIGHTING,
    U_LIGHT_POSITION,
    U_LIT_BASE,
    U_LIT_DIFFUSE,
    U_TEXGEN_S,
    U_TEXGEN_T,
    U_SAMPLER,
    U_FOG_DENSITY,
    U_FOG_COLOR,
    UNIFORM_COUNT
};
const char* const UNIFORM_NAMES[UNIFORM_COUNT] = {
    "u_modelview",      "u_projection",  "u_texture_matrix", "u_normal_matrix", "u_lighting",
    "u_light_position", "u_lit_base",    "u_lit_diffuse",    "u_texgen_s",      "u_texgen_t",
    "u_sampler",        "u_fog_density", "u_fog_color"};

// What a program's uniforms hold, as last given: a draw passes on only
// the values that changed since (each one given costs the driver work on
// the next draw), and the normal matrix is worked out again only for a new
// modelview matrix.
struct SentUniforms {
    bool known[UNIFORM_COUNT];
    float values[UNIFORM_COUNT][16];
    float normal_of[16]; // the modelview matrix the normal matrix was made from
};

struct Program {
    GLuint id;
    GLint uniforms[UNIFORM_COUNT];
    SentUniforms sent;
};

struct DrawState {
    Program programs[PROGRAM_COUNT];
    int current; // the program in use (an index of programs)
    GLuint stream_buffer;
    long frame_draws; // draws since the last colour clear
};
DrawState draw = {};

GLuint compile(GLenum type, const char* defines, const char* source) {
    GLuint shader = es.create_shader(type);
    const char* sources[2] = {defines, source};
    es.shader_source(shader, 2, sources, nullptr);
    es.compile_shader(shader);
    GLint ok = 0;
    es.get_shaderiv(shader, ES_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        es.get_shader_info_log(shader, sizeof log, nullptr, log);
        fprintf(stderr, "gl11: shader does not compile: %s\n", log);
        es.delete_shader(shader);
        return 0;
    }
    return shader;
}

bool build_program(int stage) {
    GLuint vs = compile(ES_VERTEX_SHADER, "", VERTEX_SHADER);
    GLuint fs = compile(ES_FRAGMENT_SHADER, STAGE_DEFINES[stage], FRAGMENT_SHADER);
    if (!vs || !fs) return false;
    Program& program = draw.programs[stage];
    program.id = es.create_program();
    es.attach_shader(program.id, vs);
    es.attach_shader(program.id, fs);
    es.bind_attrib_location(program.id, LOC_POS, "a_pos");
    es.bind_attrib_location(program.id, LOC_NORMAL, "a_normal");
    es.bind_attrib_location(program.id, LOC_COLOR, "a_color");
    es.bind_attrib_location(program.id, LOC_TEX, "a_tex");
    es.link_program(program.id);
    es.delete_shader(vs);
    es.delete_shader(fs);
    GLint ok = 0;
    es.get_programiv(program.id, ES_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        es.get_program_info_log(program.id, sizeof log, nullptr, log);
        fprintf(stderr, "gl11: shaders do not link: %s\n", log);
        return false;
    }
    for (int u = 0; u < UNIFORM_COUNT; ++u)
        program.uniforms[u] = es.get_uniform_location(program.id, UNIFORM_NAMES[u]);
    es.use_program(program.id);
    es.uniform1i(program.uniforms[U_SAMPLER], 0);
    draw.current = stage;
    return true;
}

bool texturing() {
    if (!gl.texture_2d) return false;
    GLuint name = gl.bound_texture;
    auto found = gl_objects.textures.find(name);
    if (name == 0 || found == gl_objects.textures.end()) return false;
    const TextureInfo& info = found->second;
    // Without mipmaps only the non-mipmap filters make a complete texture.
    return info.has_image && (info.min_filter == GL_LINEAR || info.min_filter == GL_NEAREST);
}

GLint location(Uniform u) {
    return draw.programs[draw.current].uniforms[u];
}

// True when uniform `u` of the program in use holds `count` floats other
// than `values` (and notes them as held).
bool uniform_changed(Uniform u, const float* values, int count) {
    SentUniforms& sent = draw.programs[draw.current].sent;
    size_t size = sizeof(float) * static_cast<size_t>(count);
    if (sent.known[u] && memcmp(sent.values[u], values, size) == 0) return false;
    sent.known[u] = true;
    memcpy(sent.values[u], values, size);
    return true;
}

void set_matrix4(Uniform u, const float* m) {
    if (uniform_changed(u, m, 16)) es.uniform_matrix4fv(location(u), 1, GL_FALSE, m);
}

void set_vec4(Uniform u, const float* v) {
    if (uniform_changed(u, v, 4)) es.uniform4fv(location(u), 1, v);
}

void set_float(Uniform u, float value) {
    if (uniform_changed(u, &value, 1)) es.uniform1f(location(u), value);
}

void set_flag(Uniform u, bool on) {
    float value = on ? 1.0f : 0.0f;
    if (uniform_changed(u, &value, 1)) es.uniform1i(location(u), on);
}

void set_normal_matrix(const Mat4& modelview) {
    SentUniforms& sent = draw.programs[draw.current].sent;
    if (sent.known[U_NORMAL_MATRIX] &&
        memcmp(sent.normal_of, modelview.m, sizeof sent.normal_of) == 0)
        return;
    memcpy(sent.normal_of, modelview.m, sizeof sent.normal_of);
    float normal_matrix[9];
    mat4_normal_matrix(modelview, normal_matrix);
    sent.known[U_NORMAL_MATRIX] = true;
    es.uniform_matrix3fv(location(U_NORMAL_MATRIX), 1, GL_FALSE, normal_matrix);
}

// The program of the draw's fragment stage, in use.
void use_program(int stage) {
    if (stage == draw.current) return;
    draw.current = stage;
    es.use_program(draw.programs[stage].id);
}

void set_uniforms() {
    bool fog = gl.fog && gl.fog_mode == GL_EXP;
    use_program((texturing() ? STAGE_TEXTURING : 0) | (fog ? STAGE_FOG : 0));
    const Mat4& modelview = gl11_top(0);
    set_matrix4(U_MODELVIEW, modelview.m);
    set_matrix4(U_PROJECTION, gl11_top(1).m);
    set_matrix4(U_TEXTURE_MATRIX, gl11_top(2).m);
    set_normal_matrix(modelview);
    bool lighting = gl.lighting && !gl11_faults.unlit;
    set_flag(U_LIGHTING, lighting);
    if (lighting) {
        float base[4], diffuse[4];
        for (int i = 0; i < 4; ++i) {
            base[i] = SCENE_AMBIENT[i] * MATERIAL_AMBIENT[i];
            diffuse[i] = 0.0f;
            if (gl.light0) {
                base[i] += gl.light_ambient[i] * MATERIAL_AMBIENT[i];
                diffuse[i] = gl.light_diffuse[i] * MATERIAL_DIFFUSE[i];
            }
        }
        // The lit alpha is the material's diffuse alpha.
        diffuse[3] = MATERIAL_DIFFUSE[3];
        set_vec4(U_LIGHT_POSITION, gl.light_position);
        set_vec4(U_LIT_BASE, base);
        set_vec4(U_LIT_DIFFUSE, diffuse);
    }
    set_flag(U_TEXGEN_S, gl.texgen_s && gl.texgen_mode_s == GL_SPHERE_MAP);
    set_flag(U_TEXGEN_T, gl.texgen_t && gl.texgen_mode_t == GL_SPHERE_MAP);
    if (fog) {
        set_float(U_FOG_DENSITY, gl.fog_density);
        set_vec4(U_FOG_COLOR, gl.fog_color);
    }
}

// Points attribute `location` at member `offset` of the vertices in the
// bound buffer, or holds it at the current value.
void set_attribute(GLuint location, bool from_vertex, GLint size, size_t offset,
                   const float* current) {
    if (from_vertex) {
        es.enable_vertex_attrib_array(location);
        es.vertex_attrib_pointer(location, size, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                 reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)));
    } else {
        es.disable_vertex_attrib_array(location);
        float value[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        for (int i = 0; i < size; ++i)
            value[i] = current[i];
        es.vertex_attrib4fv(location, value);
    }
}

} // namespace

bool gl11_draw_begin() {
    draw = DrawState{};
    for (int stage = 0; stage < PROGRAM_COUNT; ++stage)
        if (!build_program(stage)) return false;
    es.gen_buffers(1, &draw.stream_buffer);
    return true;
}

void gl11_draw_end() {
    if (draw.stream_buffer) es.delete_buffers(1, &draw.stream_buffer);
    for (Program& program : draw.programs)
        if (program.id) es.delete_program(program.id);
    draw = DrawState{};
}

void gl11_draw_frame_start() {
    draw.frame_draws = 0;
}

void gl11_draw(GLenum es_mode, const Vertex* vertices, int count, GLuint buffer,
               const bool from_vertex[ATTR_COUNT]) {
    if (count <= 0 || gl11_drawing_off) return;
    ++draw.frame_draws;
    ++gl11_stats.draws;
    if (gl11_faults.skip_draw == draw.frame_draws) return;
    set_uniforms();
    gl11_apply_blend(); // the blend fault may have changed since glBlendFunc
    if (buffer) {
        es.bind_buffer(ES_ARRAY_BUFFER, buffer);
    } else {
        es.bind_buffer(ES_ARRAY_BUFFER, draw.stream_buffer);
        es.buffer_data(ES_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(Vertex)) * count, vertices,
                       ES_STREAM_DRAW);
    }
    set_attribute(LOC_POS, true, 3, offsetof(Vertex, pos), nullptr);
    set_attribute(LOC_NORMAL, from_vertex[ATTR_NORMAL], 3, offsetof(Vertex, normal), gl.normal);
    set_attribute(LOC_COLOR, from_vertex[ATTR_COLOR], 4, offsetof(Vertex, color), gl.color);
    set_attribute(LOC_TEX, from_vertex[ATTR_TEX], 2, offsetof(Vertex, tex), gl.tex);
    es.draw_arrays(es_mode, 0, count);
}
