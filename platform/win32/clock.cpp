#include "platform/clock.h"

#include <pthread.h>
#include <windows.h>

namespace platform {

int64_t performance_counter() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

int64_t performance_frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

void raise_thread_priority(std::thread& thread) {
    // std::thread runs on a POSIX thread layer here; the system thread is underneath it.
    HANDLE handle = pthread_gethandle(thread.native_handle());
    if (handle) SetThreadPriority(handle, THREAD_PRIORITY_TIME_CRITICAL);
}

}  // namespace platform
