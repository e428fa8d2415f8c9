#pragma once
// The high-resolution counter and thread priority.

#include <cstdint>
#include <thread>

namespace platform {

int64_t performance_counter();
int64_t performance_frequency();  // counts per second

// Raises the thread to the highest priority the system grants; a refusal is ignored.
void raise_thread_priority(std::thread& thread);

}  // namespace platform
