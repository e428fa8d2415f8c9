#pragma once
// Where the tests find the source tree (committed content) and the build tree (programs).
#include <string>

namespace test_support {

std::string source_path(const std::string& relative);  // e.g. source_path("data/song.xm")
std::string binary_path(const std::string& relative);  // e.g. binary_path("tools/brusk-wav")
std::string read_file(const std::string& path);         // whole file as bytes; empty if missing

// A file name in the build tree that no other test process uses: CTest runs test cases in
// parallel, each in its own process, so fixed names would race.
std::string scratch_path(const std::string& name);

}  // namespace test_support
