#include "show/noise.h"

#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Noise, FillGivesGreyPixelsOfAtMostHalfBrightnessFromOneNumberEach) {
    std::vector<uint8_t> image(256 * 256 * 4, 0xEE);
    show::noise_pixels = image.data();
    runtime::rand_state = runtime::RAND_START;
    show::fill_noise();
    const uint32_t after = runtime::rand_state;
    show::noise_pixels = nullptr;

    EXPECT_EQ(image[0], 64382 % 128);
    EXPECT_EQ(image[4], 56888 % 128);
    for (size_t i = 0; i < image.size(); i += 4) {
        ASSERT_LE(image[i], 127) << i;
        ASSERT_EQ(image[i + 1], image[i]) << i;
        ASSERT_EQ(image[i + 2], image[i]) << i;
        ASSERT_EQ(image[i + 3], image[i]) << i;
    }
    runtime::rand_state = runtime::RAND_START;
    for (int i = 0; i < 65536; ++i) runtime::rand();
    EXPECT_EQ(runtime::rand_state, after);
}

}  // namespace
