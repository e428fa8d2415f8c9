#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(Runtime, AllocationsAreZeroFilled) {
    struct Case { uint32_t count, size; };
    for (Case c : {Case{16, 1}, Case{3, 4}, Case{1, 0}}) {
        auto* bytes = static_cast<unsigned char*>(runtime::calloc(c.count, c.size));
        ASSERT_NE(bytes, nullptr);
        for (uint32_t i = 0; i < c.count * c.size; ++i) EXPECT_EQ(bytes[i], 0) << i;
        runtime::free(bytes);
    }
    auto* block = static_cast<unsigned char*>(runtime::malloc(16));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
    runtime::free(block);
}

TEST(Runtime, CallocRefusesProductsBeyond32Bits) {
    EXPECT_EQ(runtime::calloc(0x10000u, 0x10000u), nullptr);  // 2^32 would wrap to 0
    EXPECT_EQ(runtime::calloc(0x80000000u, 2), nullptr);
    EXPECT_EQ(runtime::heap_alloc_zeroed(-1), nullptr);
}

TEST(Runtime, LiveBlockCountAndInjectedFailure) {
    const int32_t before = runtime::heap_live_blocks();
    runtime::heap_fail_after(1);
    void* first = runtime::malloc(8);
    void* second = runtime::malloc(8);
    runtime::heap_fail_after(-1);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(runtime::heap_live_blocks(), before + 1);
    runtime::free(first);
    EXPECT_EQ(runtime::heap_live_blocks(), before);
}

TEST(Runtime, RandomSequenceFromTheStartValue) {
    runtime::rand_state = runtime::RAND_START;
    EXPECT_EQ(runtime::rand(), 64382);
    EXPECT_EQ(runtime::rand(), 56888);
    EXPECT_EQ(runtime::rand(), 51920);
    for (int i = 0; i < 100000; ++i) {
        const int32_t r = runtime::rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 65535);
    }
}

TEST(Runtime, FloatToIntRoundsHalvesToEven) {
    struct Case { double in; int32_t out; };
    const Case cases[] = {
        {2.5, 2}, {3.5, 4}, {-1.5, -2}, {0.7, 1}, {-0.5, 0}, {0.5, 0}, {1.5, 2}, {-2.5, -2},
        {127.5, 128}, {2147483647.0, 2147483647}, {-2147483648.0, INT32_MIN},
        {2147483648.0, INT32_MIN}, {std::numeric_limits<double>::quiet_NaN(), INT32_MIN},
        {std::numeric_limits<double>::infinity(), INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(runtime::float_to_int(c.in), c.out) << c.in;
}

TEST(Runtime, Power) {
    EXPECT_EQ(runtime::power(0, 0), 0.0);
    EXPECT_EQ(runtime::power(0, -3), 0.0);
    EXPECT_DOUBLE_EQ(runtime::power(2, 10), 1024.0);
    EXPECT_DOUBLE_EQ(runtime::power(2, 0.5), std::sqrt(2.0));
    EXPECT_TRUE(std::isnan(runtime::power(-2, 2)));
}

TEST(Runtime, ByteStrings) {
    EXPECT_EQ(runtime::string_length(""), 0);
    EXPECT_EQ(runtime::string_length("Brusk"), 5);

    unsigned char buffer[6] = {1, 2, 3, 4, 5, 6};
    runtime::block_fill(buffer + 1, 0x1FF, 4);
    const unsigned char filled[6] = {1, 0xFF, 0xFF, 0xFF, 0xFF, 6};
    EXPECT_EQ(0, memcmp(buffer, filled, 6));

    // Copying upward byte by byte replicates the first byte through an overlapping range.
    unsigned char overlap[5] = {7, 8, 9, 10, 11};
    EXPECT_EQ(runtime::block_copy(overlap + 1, overlap, 4), overlap + 1);
    const unsigned char smeared[5] = {7, 7, 7, 7, 7};
    EXPECT_EQ(0, memcmp(overlap, smeared, 5));

    EXPECT_EQ(runtime::abs_int(-5), 5);
    EXPECT_EQ(runtime::abs_int(INT32_MIN), INT32_MIN);
}

}  // namespace
