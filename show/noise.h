#pragma once
// The grain band: a 256 x 256 grey noise image, refilled every frame, stretched over the
// middle fifth of the screen. Drawn with a darkening blend it reads as flickering film grain.
#include <cstdint>

namespace show {

extern uint8_t* noise_pixels;    // 256 x 256 RGBA, every byte of a pixel the same value 0..127
extern uint32_t noise_texture;  // the texture the pixels are copied into before each band

// Makes a zeroed image and its blank texture; a later call replaces the earlier ones.
void create_noise_texture();

// New grain: one random number per pixel, 65536 in all.
void fill_noise();

// Copies the image into its texture and draws the band in colour (1, 1, 1, alpha) across the
// full width, rows 192..288 of 480. The blend function and depth test are the caller's;
// afterwards blending stays on, texturing is off and the matrix mode is the projection.
void draw_noise_band(float alpha);

}  // namespace show
