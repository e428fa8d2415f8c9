// brusk-songgen OUT.xm: writes the show's song, the same bytes on every run.
#include <cstdio>

#include "tools/content/songgen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brusk-songgen OUT.xm\n");
        return 2;
    }
    const std::vector<uint8_t> bytes = xm::write_xm(songgen::compose());
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "brusk-songgen: cannot write %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "brusk-songgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
