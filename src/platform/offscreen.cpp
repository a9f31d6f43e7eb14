#include "platform/offscreen.h"

#include <SDL2/SDL.h>
#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef VM_GL11
#include "gl11/gl11_api.h"
#endif

namespace {

// The offscreen window and its context; owned by offscreen_begin/end.
struct OffscreenState {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};
OffscreenState offscreen;

} // namespace

bool offscreen_begin(int width, int height) {
    if (offscreen.window) offscreen_end();
    if (!getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "offscreen: cannot start video: %s\n", SDL_GetError());
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
#ifdef VM_GL11
    // The GL 1.1 subset draws through OpenGL ES 2.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
#else
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
#endif
    offscreen.window = SDL_CreateWindow("Vintermoot 2002", 0, 0, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!offscreen.window) {
        fprintf(stderr, "offscreen: cannot create window: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    offscreen.context = SDL_GL_CreateContext(offscreen.window);
    if (!offscreen.context) {
        fprintf(stderr, "offscreen: cannot create GL context: %s\n", SDL_GetError());
        offscreen_end();
        return false;
    }
    SDL_GL_MakeCurrent(offscreen.window, offscreen.context);
#ifdef VM_GL11
    if (!gl11_context_begin(SDL_GL_GetProcAddress)) {
        offscreen_end();
        return false;
    }
#endif
    return true;
}

void offscreen_end() {
#ifdef VM_GL11
    if (offscreen.context) gl11_context_end();
#endif
    if (offscreen.context) SDL_GL_DeleteContext(offscreen.context);
    if (offscreen.window) SDL_DestroyWindow(offscreen.window);
    if (offscreen.window || offscreen.context) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    offscreen = OffscreenState{};
}

std::vector<uint8_t> offscreen_read_rgb(int width, int height) {
    std::vector<uint8_t> rows(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    // GL returns the bottom row first; flip to top first.
    size_t stride = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height / 2; ++y) {
        uint8_t* a = rows.data() + static_cast<size_t>(y) * stride;
        uint8_t* b = rows.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (size_t i = 0; i < stride; ++i)
            std::swap(a[i], b[i]);
    }
    return rows;
}
