// Running GL-free: while the calling thread's GL context is let go, every
// GL call goes to GL's no-op entry points, so code that draws can run for
// its side effects on the program's own records alone, at no GL cost.  The
// native GL only; over the GL 1.1 subset (which keeps state of its own and
// makes buffers on first use) gl_detach refuses.
#pragma once

struct GlDetached {
    void* window = nullptr;
    void* context = nullptr;
    bool detached = false;
};

// Lets the current context go; false (nothing changed) when there is none
// or this GL cannot run detached.
bool gl_detach(GlDetached* saved);

// Makes the context of gl_detach current again.
void gl_reattach(GlDetached* saved);
