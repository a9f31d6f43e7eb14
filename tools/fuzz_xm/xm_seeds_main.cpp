// Writes the module fuzz target's seed corpus: small modules made by the
// project's XM writer, between them using every part of the format the
// writer knows (channel counts, frequency tables, samples, envelopes,
// effects, jumps, empty and sample-less instruments).
// Usage: vintermoot-xm-seeds <directory>
#include <cstdio>
#include <string>

#include "xm_busy.h"
#include "xm_writer.h"

namespace {

// Busy modules of different shapes.
struct BusySeed {
    const char* name;
    XmBusyLayout layout;
};

XmBusyLayout busy_layout(uint32_t seed, int channels, int patterns, int rows, int instruments,
                         int speed, int tempo, bool linear) {
    XmBusyLayout l;
    l.seed = seed;
    l.channels = channels;
    l.patterns = patterns;
    l.rows = rows;
    l.instruments = instruments;
    l.speed = speed;
    l.tempo = tempo;
    l.linear_frequencies = linear;
    return l;
}

const BusySeed BUSY_SEEDS[] = {
    {"busy8", busy_layout(1, 8, 2, 32, 4, 4, 150, true)},
    {"busy32", busy_layout(2, 32, 1, 16, 2, 3, 200, true)},
    {"amiga2", busy_layout(3, 2, 3, 16, 3, 6, 90, false)},
    {"fast4", busy_layout(4, 4, 2, 8, 5, 1, 255, true)},
    {"slow6", busy_layout(5, 6, 1, 24, 1, 31, 32, true)},
};

// The show's kind of module: one instrument on the beat, one note a row.
XmModule beat_module() {
    XmBusyLayout l = busy_layout(6, 4, 1, 16, 2, 6, 125, true);
    XmModule m = xm_busy_module(l);
    m.patterns[0] = xm_empty_pattern(16, 4);
    for (int row = 0; row < 16; ++row)
        xm_cell(m.patterns[0], 4, row, row % 4) = {49, 1, 0, 0, 0};
    return m;
}

// Notes for instruments that do not exist, and an instrument without samples.
XmModule missing_instruments_module() {
    XmModule m = beat_module();
    m.instruments.resize(1);
    m.instruments[0].samples.clear();
    for (int row = 0; row < 16; row += 2)
        xm_cell(m.patterns[0], 4, row, 1) = {60, 3, 0, 0, 0};
    return m;
}

bool write_seed(const std::string& dir, const char* name, const XmModule& m) {
    std::string path = dir + "/" + name + ".xm";
    if (xm_write_file(m, path.c_str())) return true;
    std::fprintf(stderr, "vintermoot-xm-seeds: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vintermoot-xm-seeds <directory>\n");
        return 2;
    }
    bool ok = true;
    for (const BusySeed& seed : BUSY_SEEDS)
        ok = write_seed(argv[1], seed.name, xm_busy_module(seed.layout)) && ok;
    ok = write_seed(argv[1], "beat", beat_module()) && ok;
    ok = write_seed(argv[1], "missing_instruments", missing_instruments_module()) && ok;
    return ok ? 0 : 1;
}
