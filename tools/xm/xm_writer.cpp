#include "xm_writer.h"

// Placeholder until the writer lands; every module is refused.
XmPattern xm_empty_pattern(int rows, int channels) {
    XmPattern p;
    p.rows = rows;
    p.cells.resize(static_cast<size_t>(rows) * static_cast<size_t>(channels));
    return p;
}

XmCell& xm_cell(XmPattern& pattern, int channels, int row, int channel) {
    return pattern.cells[static_cast<size_t>(row) * static_cast<size_t>(channels) +
                         static_cast<size_t>(channel)];
}

std::vector<uint8_t> xm_write_memory(const XmModule&) { return {}; }

bool xm_write_file(const XmModule&, const char*) { return false; }
