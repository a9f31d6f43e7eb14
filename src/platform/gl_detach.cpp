#include "platform/gl_detach.h"

#include <SDL2/SDL.h>

#if VM_GL11
#include "gl11/gl11_api.h"
#endif

#if !VM_GL11
namespace {

// Whether gl_detach let the context go (the desktop's GL; the subset says
// itself whether its state-only mode is on).
struct GlLive {
    bool let_go = false;
};
GlLive gl_live;

} // namespace
#endif

GlMode gl_mode() {
#if VM_GL11
    return gl11_state_only() ? GL_STATE_ONLY : GL_DRAWING;
#else
    return gl_live.let_go ? GL_LET_GO : GL_DRAWING;
#endif
}

bool gl_detach(GlDetached* saved) {
    *saved = GlDetached{};
#if VM_GL11
    // The subset keeps GL's state itself: it goes on keeping it, drawing nothing.
    if (!SDL_GL_GetCurrentContext() || gl11_state_only()) return false;
    gl11_set_state_only(true);
    saved->detached = true;
    return true;
#else
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!window || !context) return false;
    if (SDL_GL_MakeCurrent(window, nullptr) != 0) return false;
    saved->window = window;
    saved->context = context;
    saved->detached = true;
    gl_live.let_go = true;
    return true;
#endif
}

void gl_reattach(GlDetached* saved) {
    if (!saved->detached) return;
#if VM_GL11
    gl11_set_state_only(false);
#else
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(saved->window),
                       static_cast<SDL_GLContext>(saved->context));
    gl_live.let_go = false;
#endif
    saved->detached = false;
}

bool gl_quiet_begin(GlQuiet* quiet) {
    quiet->on = false;
#if VM_GL11
    if (!SDL_GL_GetCurrentContext()) return false;
    quiet->state.resize(gl11_state_size());
    gl11_state_save(quiet->state.data());
    quiet->was_state_only = gl11_state_only();
    gl11_set_state_only(true);
    quiet->on = true;
#endif
    return quiet->on;
}

void gl_quiet_end(GlQuiet* quiet) {
    if (!quiet->on) return;
#if VM_GL11
    // Put back while still drawing nothing, then handed to ES once.
    gl11_state_restore(quiet->state.data());
    gl11_set_state_only(quiet->was_state_only);
#endif
    quiet->on = false;
}
