// vintermoot-test-data DIR: writes the stand-in show data under DIR/data.
#include <cstdio>

#include "show_test_data.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vintermoot-test-data DIR\n");
        return 2;
    }
    if (!show_test_data_write(argv[1])) {
        std::fprintf(stderr, "vintermoot-test-data: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
