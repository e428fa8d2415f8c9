#include "platform/clock.h"

#include <SDL2/SDL.h>
#include <pthread.h>
#include <sched.h>

namespace platform {

int64_t performance_counter() { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }

int64_t performance_frequency() { return static_cast<int64_t>(SDL_GetPerformanceFrequency()); }

void raise_thread_priority(std::thread& thread) {
    // Real-time scheduling needs a privilege most users lack; without it the thread keeps
    // its normal priority, which the two seconds of buffered sound easily cover.
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_RR);
    pthread_setschedparam(thread.native_handle(), SCHED_RR, &param);
}

}  // namespace platform
