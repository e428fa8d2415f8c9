#include "shell/runtime.h"

#include <cmath>
#include <cstdlib>

namespace runtime {

namespace {
int32_t live_blocks = 0;
int32_t allocations_until_failure = -1;
}  // namespace

void* heap_alloc_zeroed(int32_t bytes) {
    if (bytes < 0) return nullptr;
    if (allocations_until_failure == 0) return nullptr;
    if (allocations_until_failure > 0) --allocations_until_failure;
    // A zero-byte request still yields a distinct block, as a heap does.
    void* block = std::calloc(1, bytes > 0 ? static_cast<size_t>(bytes) : 1);
    if (block) ++live_blocks;
    return block;
}

bool heap_free(void* block) {
    if (!block) return true;
    --live_blocks;
    std::free(block);
    return true;
}

void* malloc(uint32_t size) { return calloc(size, 1); }

void* calloc(uint32_t count, uint32_t size) {
    const uint64_t bytes = static_cast<uint64_t>(count) * size;
    if (bytes > 0x7FFFFFFFu) return nullptr;  // would wrap or go negative in 32 bits
    return heap_alloc_zeroed(static_cast<int32_t>(bytes));
}

void free(void* block) { heap_free(block); }

int32_t heap_live_blocks() { return live_blocks; }

void heap_fail_after(int32_t allocations) { allocations_until_failure = allocations; }

uint32_t rand_state = RAND_START;

int32_t rand() {
    const uint32_t s = rand_state;
    const uint32_t c = 0;  // the carry input is always 0
    // The 33-bit value c:s rotated right by 17; k is the bit rotated out last (bit 16 of s).
    const uint32_t r = ((s & 0xFFFFu) << 16) | (c << 15) | (s >> 17);
    const uint32_t k = (s >> 16) & 1u;
    uint32_t t = s + 0x33u + k;
    t = (t & 0xFFFF0000u) | ((t ^ r) & 0xFFFFu);
    t *= r;
    t ^= r;
    rand_state = t;
    return static_cast<int32_t>(t & 0xFFFFu);
}

int32_t float_to_int(double x) {
    const double rounded = std::nearbyint(x);  // default mode: nearest, ties to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return INT32_MIN;
    return static_cast<int32_t>(rounded);
}

double power(double x, double y) {
    if (x == 0.0) return 0.0;
    return std::exp2(y * std::log2(x));
}

double sin_double(double radians) { return std::sin(radians); }

int32_t abs_int(int32_t x) {
    // Wraps like the machine instruction for INT32_MIN instead of overflowing.
    return x < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(x)) : x;
}

int32_t string_length(const char* text) {
    int32_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

void* block_copy(void* destination, const void* source, int32_t bytes) {
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    for (int32_t i = 0; i < bytes; ++i) d[i] = s[i];
    return destination;
}

void block_fill(void* destination, int32_t value, int32_t bytes) {
    auto* d = static_cast<unsigned char*>(destination);
    const auto byte = static_cast<unsigned char>(value & 0xFF);
    for (int32_t i = 0; i < bytes; ++i) d[i] = byte;
}

}  // namespace runtime
