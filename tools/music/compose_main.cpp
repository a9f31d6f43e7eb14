// Writes the show's module and, on request, renders it to a WAV file
// through the sound layer's offline mode.
//
//   vintermoot-compose OUT.xm                 write the module
//   vintermoot-compose OUT.xm --wav OUT.wav   also render its first pass to WAV
//   vintermoot-compose OUT.xm --layout        also print the planned section times
#include <cstdio>
#include <cstring>

#include "music.h"
#include "platform/sound.h"

namespace {

void print_layout(const MusicLayout& layout) {
    for (int s = 0; s < MUSIC_SECTION_COUNT; ++s) {
        double ms = layout.section_start_frame[s] * 1000.0 / MUSIC_MIX_RATE;
        std::printf("section %d: order %d, row %d, %.2f ms (wanted %lld, off by %+.2f ms)\n", s,
                    layout.section_first_order[s], layout.section_first_row[s], ms,
                    static_cast<long long>(MUSIC_SECTION_START_MS[s]),
                    ms - static_cast<double>(MUSIC_SECTION_START_MS[s]));
    }
    std::printf("end of first pass: %.2f ms\n", layout.end_frame * 1000.0 / MUSIC_MIX_RATE);
}

int usage() {
    std::fprintf(stderr, "usage: vintermoot-compose OUT.xm [--wav OUT.wav] [--layout]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* wav = nullptr;
    bool layout_wanted = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wav") == 0 && i + 1 < argc)
            wav = argv[++i];
        else if (std::strcmp(argv[i], "--layout") == 0)
            layout_wanted = true;
        else
            return usage();
    }
    MusicLayout layout;
    XmModule module = music_compose(&layout);
    if (!xm_write_file(module, argv[1])) {
        std::fprintf(stderr, "vintermoot-compose: cannot write %s\n", argv[1]);
        return 1;
    }
    if (layout_wanted) print_layout(layout);
    if (wav && !snd_render_wav(argv[1], wav, 0, -1)) {
        std::fprintf(stderr, "vintermoot-compose: cannot render %s\n", wav);
        return 1;
    }
    return 0;
}
