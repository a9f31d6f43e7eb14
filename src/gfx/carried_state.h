// The GL state one step of the show leaves for the next: the switches the
// scenes turn on and off, the blend factors, the bound texture, the current
// colour, texture coordinate and normal, the selected matrix, the modelview
// and texture matrices and the polygon modes.  Everything else the show
// sets once at start-up (or per viewport).  Saved with the show's records
// and put back with them, it lets a step run as it ran first.
#pragma once

#include <cstdint>
#include <vector>

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

// Putting GL's carried state aside and back around other work on the same
// context (the map ahead runs its steps between the show's): the matrices
// go onto their stacks and come back to the bit; the rest is saved and set.
struct CarriedGlAside {
    CarriedGlState saved;
};
void carried_state_put_aside(CarriedGlAside* aside);
void carried_state_put_back(const CarriedGlAside& aside);

// The rule for scene authors: GL state that one step leaves for the next
// goes through this module.  It is part of CarriedGlState (kept and put
// back with the show's records), or, when steps build it up bit by bit,
// made through a function here, as the texture matrix's turns are.
// Anything else a step needs it sets itself every step.
//
// Running GL-free (platform/gl_detach.h).  While GL is let go, every GL call
// is a no-op and GL's state stays where it was.  gfx keeps what it must know
// meanwhile in one record:
// - the quadric shapes skip GLU's work on the processor, whose vertices no
//   GL would receive;
// - the opening scene turns the texture matrix a little further every step
//   and never resets it.  Its turns go through carried_rotate_texture,
//   which is glRotatef, except while GL-free: then the turns are held, in
//   order, and gfx_end_gl_free makes them on GL's texture matrix, exactly
//   as the steps would have.
struct HeldRotation {
    float degrees, x, y, z;
};
// Whether GL is let go is gl_mode()'s to say (platform/gl_detach.h).
struct GfxGlFree {
    std::vector<HeldRotation> held;
};
extern GfxGlFree gfx_gl_free;

// Call right after gl_reattach: makes the held turns.
void gfx_end_gl_free();

void carried_rotate_texture(float degrees, float x, float y, float z);
