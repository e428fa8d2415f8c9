#include "tests/support/paths.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace test_support {

std::string source_path(const std::string& relative) { return std::string(BRUSK_SOURCE_DIR) + "/" + relative; }
std::string binary_path(const std::string& relative) { return std::string(BRUSK_BINARY_DIR) + "/" + relative; }

std::string scratch_path(const std::string& name) {
    return binary_path("scratch-" + std::to_string(getpid()) + "-" + name);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace test_support
