// The GL state one step of the show leaves for the next: the switches the
// scenes turn on and off, the blend factors, the bound texture, the current
// colour, texture coordinate and normal, the selected matrix, the modelview
// and texture matrices and the polygon modes.  Everything else the show
// sets once at start-up (or per viewport).  Saved with the show's records
// and put back with them, it lets a step run as it ran first.
#pragma once

#include <cstdint>

constexpr int CARRIED_SWITCHES = 7;

struct CarriedGlState {
    uint8_t switches[CARRIED_SWITCHES];
    int32_t blend_src, blend_dst;
    int32_t texture;
    int32_t matrix_mode;
    int32_t polygon_modes[2]; // front, back
    float colour[4];
    float tex_coord[4];
    float normal[3];
    float modelview[16];
    float texture_matrix[16];
};

// Reads the carried state of the current context (over the GL 1.1 subset,
// from the subset's own record).  True.
bool carried_state_save(CarriedGlState* out);

// Sets the carried state saved by carried_state_save.  A matrix put back
// with glLoadMatrixf is the same numbers, but GL may transform by it along
// another path than by the one the steps built, a last bit apart: only
// identities go back exactly (the texture matrix the opening scene turns
// step by step is brought along by running its steps instead).
void carried_state_restore(const CarriedGlState& in);

// The one GL state the show builds up over many steps: the opening scene
// turns the texture matrix a little further every step and never resets
// it.  It turns it through carried_rotate_texture (the texture matrix
// current), which is glRotatef, except while steps run GL-free
// (carried_rotations_held): then the turns are held, in order, and
// carried_rotations_apply makes them on GL's texture matrix once GL is back,
// exactly as the steps would have.
void carried_rotate_texture(float degrees, float x, float y, float z);
extern bool carried_rotations_held;
void carried_rotations_apply();
