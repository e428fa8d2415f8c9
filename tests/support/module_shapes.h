#pragma once
// Modules in the shapes real files take, built with the XM writer: the other frequency table,
// 8-bit ping-pong loops, unusual header sizes, instruments without samples, the shortest and
// longest patterns, all 32 channels and notes at both ends of the range. The unit suite plays
// each one; the fuzzer starts from them.
#include <string>
#include <vector>

#include "tools/xm_writer.h"

namespace test_support {

struct ModuleShape {
    std::string name;
    xm::Module module;
    double expected_hz;  // the tone channel 0 plays; 0 where no pitch is defined
    double tolerance;    // relative
    bool silent;         // nothing may sound at all
};

std::vector<ModuleShape> module_shapes();

// Equal-tempered frequency of a played note (0 = C-0, 48 = C-4 at 8363 Hz) with a loop of
// `cycle` values, and the half-semitone steps the finetune byte adds.
double tempered_hz(int played_note, double finetune_steps, int cycle);

}  // namespace test_support
