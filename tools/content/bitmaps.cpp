#include "tools/content/bitmaps.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>

namespace tools {

namespace {

constexpr int GLYPH_COLUMNS = 8;
constexpr int GLYPH_ROWS = 15;
constexpr int CELL = 16;

// One glyph as drawn in the table: ink[row][column].
using Glyph = std::array<std::array<bool, GLYPH_COLUMNS>, GLYPH_ROWS>;

std::string font_reason;

void put_u16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    put_u16(out, value & 0xFFFFu);
    put_u16(out, value >> 16);
}

// Reads the glyph table: a line ":c" (or ":SPACE", ":DEL") opens the glyph of character c,
// then up to 15 rows of 8 '#' / '.' follow. Every code 32..127 must appear exactly once.
bool parse_glyphs(std::array<Glyph, 96>& glyphs) {
    std::array<bool, 96> seen{};
    int current = -1;
    int row = 0;
    const char* p = FONT_GLYPHS;
    int line_number = 0;
    while (*p) {
        const char* end = std::strchr(p, '\n');
        if (!end) end = p + std::strlen(p);
        const std::string line(p, end);
        p = *end ? end + 1 : end;
        ++line_number;
        if (line.empty()) continue;
        auto fail = [&](const std::string& why) {
            font_reason = "glyph table line " + std::to_string(line_number) + ": " + why;
            return false;
        };
        if (line[0] == ':' && line.size() > 1) {
            int code;
            if (line == ":SPACE") code = ' ';
            else if (line == ":DEL") code = 127;
            else if (line.size() == 2) code = static_cast<unsigned char>(line[1]);
            else return fail("unknown glyph name " + line);
            if (code < 32 || code > 127) return fail("character outside 32..127");
            if (seen[code - 32]) return fail("character defined twice");
            seen[code - 32] = true;
            current = code - 32;
            row = 0;
            glyphs[current] = Glyph{};
            continue;
        }
        if (current < 0) return fail("row before the first glyph name");
        if (line.size() != GLYPH_COLUMNS) return fail("row is not 8 columns wide");
        if (row >= GLYPH_ROWS) return fail("glyph taller than 15 rows");
        for (int x = 0; x < GLYPH_COLUMNS; ++x) {
            if (line[x] != '#' && line[x] != '.') return fail("row holds something other than # and .");
            glyphs[current][row][x] = line[x] == '#';
        }
        ++row;
    }
    for (int i = 0; i < 96; ++i)
        if (!seen[i]) {
            font_reason = "glyph table lacks character " + std::to_string(i + 32);
            return false;
        }
    return true;
}

// The lighter style: every horizontal run of ink loses its last pixel, so the two-pixel
// stems become one pixel wide; single pixels stay.
Glyph lighter(const Glyph& glyph) {
    Glyph out = glyph;
    for (int y = 0; y < GLYPH_ROWS; ++y)
        for (int x = 0; x < GLYPH_COLUMNS; ++x) {
            const bool ends_run = glyph[y][x] && (x + 1 == GLYPH_COLUMNS || !glyph[y][x + 1]);
            const bool run_of_one = ends_run && (x == 0 || !glyph[y][x - 1]);
            if (ends_run && !run_of_one) out[y][x] = false;
        }
    return out;
}

// Draws a glyph into its cell: white strokes, and the light grey shade one pixel down and to
// the right wherever that pixel is not itself ink.
void draw_glyph(GreyImage& image, int cell, const Glyph& glyph) {
    const int left = (cell % 16) * CELL;
    const int top = (cell / 16) * CELL;
    for (int y = 0; y < GLYPH_ROWS; ++y)
        for (int x = 0; x < GLYPH_COLUMNS; ++x) {
            if (!glyph[y][x]) continue;
            image.pixels[(top + y) * image.width + left + x] = FONT_INK;
            uint8_t& shade = image.pixels[(top + y + 1) * image.width + left + x + 1];
            const bool shade_is_ink = y + 1 < GLYPH_ROWS && x + 1 < GLYPH_COLUMNS && glyph[y + 1][x + 1];
            if (!shade_is_ink) shade = FONT_SHADE;
        }
}

}  // namespace

GreyImage make_sprite_image() {
    // A filled disc inside a ring, both white, with the coverage of each pixel measured on a
    // 16 x 16 grid of sample points so the edges fade through grey. The sample points lie
    // symmetrically about the centre, so the sprite is symmetric both ways and across its diagonals.
    constexpr int SIZE = 32;
    constexpr int SAMPLES = 16;
    constexpr double DISC = 7.5, RING_INNER = 11.0, RING_OUTER = 14.5;
    GreyImage image{SIZE, SIZE, std::vector<uint8_t>(SIZE * SIZE)};
    for (int py = 0; py < SIZE; ++py)
        for (int px = 0; px < SIZE; ++px) {
            int covered = 0;
            for (int sy = 0; sy < SAMPLES; ++sy)
                for (int sx = 0; sx < SAMPLES; ++sx) {
                    const double x = px + (sx + 0.5) / SAMPLES - SIZE / 2.0;
                    const double y = py + (sy + 0.5) / SAMPLES - SIZE / 2.0;
                    const double r = std::sqrt(x * x + y * y);
                    if (r < DISC || (r >= RING_INNER && r < RING_OUTER)) ++covered;
                }
            image.pixels[py * SIZE + px] = static_cast<uint8_t>((covered * 255 + SAMPLES * SAMPLES / 2) / (SAMPLES * SAMPLES));
        }
    return image;
}

bool make_font_image(GreyImage* font) {
    std::array<Glyph, 96> glyphs{};
    if (!parse_glyphs(glyphs)) return false;
    GreyImage& image = *font;
    image = GreyImage{256, 256, std::vector<uint8_t>(256 * 256)};
    // Cells 0..95 hold the lighter style, cells 128..223 the full one; the text of the show
    // uses the latter.
    for (int i = 0; i < 96; ++i) {
        draw_glyph(image, i, lighter(glyphs[i]));
        draw_glyph(image, 128 + i, glyphs[i]);
    }
    return true;
}

const char* font_image_error() { return font_reason.c_str(); }

std::vector<uint8_t> bmp_file_of(const GreyImage& image) {
    const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t pixel_bytes = stride * static_cast<uint32_t>(image.height);
    const uint32_t headers = 14 + 40;
    std::vector<uint8_t> out;
    out.reserve(headers + pixel_bytes);
    // File header: signature, file size, two reserved words, offset of the pixels.
    out.push_back('B');
    out.push_back('M');
    put_u32(out, headers + pixel_bytes);
    put_u32(out, 0);
    put_u32(out, headers);
    // Info header: size, width, height (positive: bottom-up), planes, bits per pixel,
    // compression (none), image size, resolution (72 dpi) and no palette.
    put_u32(out, 40);
    put_u32(out, static_cast<uint32_t>(image.width));
    put_u32(out, static_cast<uint32_t>(image.height));
    put_u16(out, 1);
    put_u16(out, 24);
    put_u32(out, 0);
    put_u32(out, pixel_bytes);
    put_u32(out, 2835);
    put_u32(out, 2835);
    put_u32(out, 0);
    put_u32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x)
            for (int channel = 0; channel < 3; ++channel) out.push_back(image.pixels[y * image.width + x]);
        for (uint32_t pad = static_cast<uint32_t>(image.width) * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

}  // namespace tools
