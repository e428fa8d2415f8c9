#pragma once
// A 64-bit FNV-1a fingerprint over raw bytes, for tests that pin down an output bit for bit.
#include <cstddef>
#include <cstdint>

namespace test_support {

struct Fingerprint {
    uint64_t value = 14695981039346656037ull;
    void add(const void* bytes, size_t size) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        for (size_t i = 0; i < size; ++i) value = (value ^ p[i]) * 1099511628211ull;
    }
};

}  // namespace test_support
