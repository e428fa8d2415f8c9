#include "music/mixer.h"

namespace music {

int32_t mix_rate = 44100;

}  // namespace music
