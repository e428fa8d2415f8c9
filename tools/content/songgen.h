#pragma once
// The song composer: builds data/song.xm in code, the same bytes on every run.
#include "tools/xm_writer.h"

namespace songgen {

xm::Module compose();

}  // namespace songgen
