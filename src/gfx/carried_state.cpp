#include "gfx/carried_state.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

#include "platform/gl_detach.h"

GfxGlFree gfx_gl_free;

void gfx_end_gl_free() {
    if (gfx_gl_free.held.empty()) return;
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_TEXTURE);
    for (const HeldRotation& r : gfx_gl_free.held)
        glRotatef(r.degrees, r.x, r.y, r.z);
    glMatrixMode(static_cast<GLenum>(mode));
    gfx_gl_free.held.clear();
}

void carried_rotate_texture(float degrees, float x, float y, float z) {
    if (gl_mode() == GL_LET_GO)
        gfx_gl_free.held.push_back({degrees, x, y, z});
    else
        glRotatef(degrees, x, y, z);
}

namespace {

// The switches in the order of CarriedGlState::switches.
const GLenum SWITCHES[CARRIED_SWITCHES] = {GL_TEXTURE_2D,   GL_BLEND, GL_DEPTH_TEST,
                                           GL_LIGHTING,     GL_FOG,   GL_TEXTURE_GEN_S,
                                           GL_TEXTURE_GEN_T};

} // namespace

#if VM_GL11
#include "gl11/gl11_internal.h"

namespace {

// The subset's matrices as a stack index.
const GLenum MATRIX_MODES[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};

void load_matrix(GLenum mode, const float* m) {
    glMatrixMode(mode);
    glLoadIdentity();
    double d[16];
    for (int i = 0; i < 16; ++i)
        d[i] = m[i];
    glMultMatrixd(d); // identity times m: m, to the bit
}

} // namespace
#else
namespace {

GLint get_int(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// An identity goes back as glLoadIdentity: GL then knows it for one and
// transforms by it as it did when the steps set it, to the last bit.
void load_matrix(GLenum mode, const float* m) {
    glMatrixMode(mode);
    if (std::equal(m, m + 16, IDENTITY))
        glLoadIdentity();
    else
        glLoadMatrixf(m);
}

} // namespace
#endif

bool carried_state_save(CarriedGlState* out) {
    *out = CarriedGlState{};
#if VM_GL11
    // The subset keeps its state in one record: read it there.
    const bool switches[CARRIED_SWITCHES] = {gl.texture_2d, gl.blend,    gl.depth_test, gl.lighting,
                                             gl.fog,        gl.texgen_s, gl.texgen_t};
    for (int i = 0; i < CARRIED_SWITCHES; ++i)
        out->switches[i] = switches[i] ? 1 : 0;
    out->blend_src = static_cast<int32_t>(gl.blend_src);
    out->blend_dst = static_cast<int32_t>(gl.blend_dst);
    out->texture = static_cast<int32_t>(gl.bound_texture);
    out->matrix_mode = static_cast<int32_t>(MATRIX_MODES[gl.matrix_mode]);
    out->polygon_modes[0] = static_cast<int32_t>(gl.polygon_front);
    out->polygon_modes[1] = static_cast<int32_t>(gl.polygon_back);
    std::copy(gl.color, gl.color + 4, out->colour);
    out->tex_coord[0] = gl.tex[0];
    out->tex_coord[1] = gl.tex[1];
    out->tex_coord[3] = 1.0f;
    std::copy(gl.normal, gl.normal + 3, out->normal);
    const Mat4& modelview = gl.stacks[0].levels[gl.stacks[0].depth];
    const Mat4& texture = gl.stacks[2].levels[gl.stacks[2].depth];
    std::copy(modelview.m, modelview.m + 16, out->modelview);
    std::copy(texture.m, texture.m + 16, out->texture_matrix);
    return true;
#else
    for (int i = 0; i < CARRIED_SWITCHES; ++i)
        out->switches[i] = glIsEnabled(SWITCHES[i]) ? 1 : 0;
    out->blend_src = get_int(GL_BLEND_SRC);
    out->blend_dst = get_int(GL_BLEND_DST);
    out->texture = get_int(GL_TEXTURE_BINDING_2D);
    out->matrix_mode = get_int(GL_MATRIX_MODE);
    glGetIntegerv(GL_POLYGON_MODE, out->polygon_modes);
    glGetFloatv(GL_CURRENT_COLOR, out->colour);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, out->tex_coord);
    glGetFloatv(GL_CURRENT_NORMAL, out->normal);
    glGetFloatv(GL_MODELVIEW_MATRIX, out->modelview);
    glGetFloatv(GL_TEXTURE_MATRIX, out->texture_matrix);
    return true;
#endif
}

namespace {

// All of the carried state but the two matrices and the matrix mode.
void set_all_but_matrices(const CarriedGlState& in) {
    for (int i = 0; i < CARRIED_SWITCHES; ++i) {
        if (in.switches[i])
            glEnable(SWITCHES[i]);
        else
            glDisable(SWITCHES[i]);
    }
    glBlendFunc(static_cast<GLenum>(in.blend_src), static_cast<GLenum>(in.blend_dst));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(in.texture));
    glPolygonMode(GL_FRONT, static_cast<GLenum>(in.polygon_modes[0]));
    glPolygonMode(GL_BACK, static_cast<GLenum>(in.polygon_modes[1]));
    glColor4f(in.colour[0], in.colour[1], in.colour[2], in.colour[3]);
    // The show gives two coordinates; GL keeps how many it was given and
    // transforms by that, so a pair goes back as a pair.
#if !VM_GL11
    if (in.tex_coord[2] != 0.0f || in.tex_coord[3] != 1.0f)
        glTexCoord4fv(in.tex_coord);
    else
#endif
        glTexCoord2f(in.tex_coord[0], in.tex_coord[1]);
    glNormal3fv(in.normal);
}

} // namespace

void carried_state_restore(const CarriedGlState& in) {
    set_all_but_matrices(in);
    load_matrix(GL_MODELVIEW, in.modelview);
    load_matrix(GL_TEXTURE, in.texture_matrix);
    glMatrixMode(static_cast<GLenum>(in.matrix_mode));
}

void carried_state_put_aside(CarriedGlAside* aside) {
    carried_state_save(&aside->saved);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(static_cast<GLenum>(aside->saved.matrix_mode));
}

void carried_state_put_back(const CarriedGlAside& aside) {
    set_all_but_matrices(aside.saved);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(aside.saved.matrix_mode));
}
