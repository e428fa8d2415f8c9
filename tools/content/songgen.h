#pragma once
// The song composer: builds data/song.xm in code, the same bytes on every run. The score
// (songgen_score.cpp) writes the XM writer's patterns and orders itself, over the instruments
// that songgen_sounds.cpp synthesises.
#include "tools/xm_writer.h"

namespace songgen {

xm::Module compose();

}  // namespace songgen
