// Running GL-free: while the calling thread's GL context is let go, every
// GL call goes to GL's no-op entry points, so code that draws can run for
// its side effects on the program's own records alone, at no GL cost.  Over
// the GL 1.1 subset the context stays and the subset's state-only mode is
// used instead: it draws nothing but keeps GL's state as drawing would
// (gl_mode() says GL_STATE_ONLY), so the steps run GL-free leave GL's state
// right.
#pragma once

#include <cstdint>
#include <vector>

// Where GL calls go now.  This is the one place that says whether GL is
// live: drawing, keeping its state only (the subset's state-only mode), or
// let go by gl_detach (every call a no-op, GL's state left behind).
enum GlMode : int { GL_DRAWING, GL_STATE_ONLY, GL_LET_GO };
GlMode gl_mode();

struct GlDetached {
    void* window = nullptr;
    void* context = nullptr;
    bool detached = false; // this record let GL go: gl_reattach takes it back
};

// Lets the current context go (over the subset: turns its state-only mode
// on); false (nothing changed) when there is none, or this GL cannot run
// detached, or it is detached already.
bool gl_detach(GlDetached* saved);

// Makes the context of gl_detach current again.
void gl_reattach(GlDetached* saved);

// Work on the same context that must draw nothing and leave GL's state as
// it found it (the map ahead, between the show's steps).  Over the GL 1.1
// subset gl_quiet_begin puts the subset's whole state aside and turns its
// state-only mode on, and gl_quiet_end puts both back; true.  Elsewhere it
// changes nothing and is false: the caller keeps GL's state its own way.
struct GlQuiet {
    bool on = false;             // the subset's state is put aside
    bool was_state_only = false; // its state-only mode was on before
    std::vector<uint8_t> state;  // the subset's state, put aside
};
bool gl_quiet_begin(GlQuiet* quiet);
void gl_quiet_end(GlQuiet* quiet);
