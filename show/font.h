#pragma once
// The fixed-pitch bitmap font: one display list per 16 x 16 cell of the font texture, each a
// 32 x 32 unit quad that moves the pen 20 units right. Text space is 640 x 480 units with the
// origin at the bottom left, whatever the window size.
#include <cstdint>

namespace show {

extern uint32_t font_list_base;  // first of the 256 glyph lists

void build_font(uint32_t texture);

// Prints text with the bottom-left corner of its first cell at (x, y). Set 1 maps codes
// 32..127 to cells 128..223 (the text of the show), set 0 to cells 0..95; sets above 1 count
// as 1. Leaves depth testing on, texturing off and both matrix stacks as they were; colour and
// blending are the caller's.
void print_text(uint32_t texture, int32_t x, int32_t y, const char* text, int32_t set);

}  // namespace show
