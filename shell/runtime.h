#pragma once
// Runtime support shared by every subsystem: zero-filled heap blocks, the one pseudo-random
// generator of the show, rounding and maths helpers, and byte-string helpers. The names live
// in `runtime::` so that malloc, calloc, free and rand do not collide with the C library's.

#include <cstdint>

namespace runtime {

// --- Memory: every block is zero-filled; the caller owns it until heap_free / free.
void* heap_alloc_zeroed(int32_t bytes);  // null for a negative size or an exhausted heap
bool heap_free(void* block);             // true on success; null is accepted and succeeds
void* malloc(uint32_t size);             // exactly calloc(size, 1)
void* calloc(uint32_t count, uint32_t size);  // null when count x size does not fit in 32 bits
void free(void* block);

// Number of blocks handed out and not yet released (for leak and soak checks).
int32_t heap_live_blocks();
// Test seam: the next `allocations` allocations succeed, the one after fails, and so on
// until reset with -1 (the default: never fail).
void heap_fail_after(int32_t allocations);

// --- Random numbers: 0..65535 from a fixed start, so every run draws the same sequence.
constexpr uint32_t RAND_START = 0xFB1E0EBDu;
extern uint32_t rand_state;
int32_t rand();

// --- Conversion and maths.
// Nearest integer, halves to even (the FPU's default rounding). Values that are not finite or
// do not fit in 32 bits give INT32_MIN, the x87 "integer indefinite".
int32_t float_to_int(double x);
double power(double x, double y);  // 2^(y * log2 x); 0 when x is 0, whatever y
double sin_double(double radians);
int32_t abs_int(int32_t x);

// --- Byte strings.
int32_t string_length(const char* text);
void* block_copy(void* destination, const void* source, int32_t bytes);  // first byte upward
void block_fill(void* destination, int32_t value, int32_t bytes);        // low 8 bits of value

}  // namespace runtime
