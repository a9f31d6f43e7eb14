#include "gfx/carried_state.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

bool carried_rotations_held = false;

namespace {

struct HeldRotation {
    float degrees, x, y, z;
};
std::vector<HeldRotation> held_rotations;

} // namespace

void carried_rotate_texture(float degrees, float x, float y, float z) {
    if (carried_rotations_held)
        held_rotations.push_back({degrees, x, y, z});
    else
        glRotatef(degrees, x, y, z);
}

void carried_rotations_apply() {
    if (held_rotations.empty()) return;
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_TEXTURE);
    for (const HeldRotation& r : held_rotations)
        glRotatef(r.degrees, r.x, r.y, r.z);
    glMatrixMode(static_cast<GLenum>(mode));
    held_rotations.clear();
}

#if !VM_GL11
namespace {

// The switches in the order of CarriedGlState::switches.
const GLenum SWITCHES[CARRIED_SWITCHES] = {GL_TEXTURE_2D,   GL_BLEND, GL_DEPTH_TEST,
                                           GL_LIGHTING,     GL_FOG,   GL_TEXTURE_GEN_S,
                                           GL_TEXTURE_GEN_T};

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
    return false;
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

void carried_state_restore(const CarriedGlState& in) {
#if VM_GL11
    (void)in;
#else
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
    glColor4fv(in.colour);
    // The show gives two coordinates; GL keeps how many it was given and
    // transforms by that, so a pair goes back as a pair.
    if (in.tex_coord[2] == 0.0f && in.tex_coord[3] == 1.0f)
        glTexCoord2f(in.tex_coord[0], in.tex_coord[1]);
    else
        glTexCoord4fv(in.tex_coord);
    glNormal3fv(in.normal);
    load_matrix(GL_MODELVIEW, in.modelview);
    load_matrix(GL_TEXTURE, in.texture_matrix);
    glMatrixMode(static_cast<GLenum>(in.matrix_mode));
#endif
}
