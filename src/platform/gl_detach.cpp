#include "platform/gl_detach.h"

#include <SDL2/SDL.h>

bool gl_detach(GlDetached* saved) {
    *saved = GlDetached{};
#if VM_GL11
    return false;
#else
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!window || !context) return false;
    if (SDL_GL_MakeCurrent(window, nullptr) != 0) return false;
    saved->window = window;
    saved->context = context;
    saved->detached = true;
    return true;
#endif
}

void gl_reattach(GlDetached* saved) {
    if (!saved->detached) return;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(saved->window),
                       static_cast<SDL_GLContext>(saved->context));
    saved->detached = false;
}
