#include "tools/png_file.h"

#include <png.h>

#include <cstdio>

namespace tools {

bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error,
                   bool fast) {
    auto fail = [&](const char* why) {
        if (error) *error = path + ": " + why;
        return false;
    };
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return fail("cannot open for writing");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return fail("out of memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return fail("cannot write the image");
    }
    png_init_io(png, file);
    if (fast) {
        png_set_compression_level(png, 1);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) return fail("cannot finish writing");
    return true;
}

bool read_png_rgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = path + ": " + why;
        return false;
    };
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return fail("cannot open for reading");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        return fail("out of memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return fail("not a readable PNG");
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    if (png_get_bit_depth(png, info) != 8 || png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || w == 0 || h == 0 || w > 16384 || h > 16384) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return fail("not an 8-bit RGB PNG");
    }
    rgb->assign(static_cast<size_t>(w) * h * 3, 0);
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, rgb->data() + static_cast<size_t>(y) * w * 3, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

}  // namespace tools
