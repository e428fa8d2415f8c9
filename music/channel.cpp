#include "music/channel.h"

#include "music/mixer.h"
#include "music/song.h"

namespace music {

ChannelState channels[CHANNEL_COUNT];

}  // namespace music
