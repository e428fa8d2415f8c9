// Writes the fuzzer's starting modules: every module shape the unit suite plays, one file each.
//   brusk_fuzz_seeds DIR
#include <cstdio>
#include <string>

#include "tests/support/module_shapes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brusk_fuzz_seeds DIR\n");
        return 2;
    }
    int n = 0;
    for (const auto& shape : test_support::module_shapes()) {
        const std::string path = std::string(argv[1]) + "/shape_" + std::to_string(n++) + ".xm";
        const std::vector<uint8_t> bytes = xm::write_xm(shape.module);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "brusk_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
