#include "tools/png_file.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tools {

namespace {

thread_local std::string png_reason;

bool fail_with(const std::string& path, const char* why) {
    png_reason = path + ": " + why;
    return false;
}

}  // namespace

const char* png_file_error() { return png_reason.c_str(); }

bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, bool fast) {
    auto fail = [&](const char* why) { return fail_with(path, why); };
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

struct PngEncoder {
    libdeflate_compressor* compressor;
    std::vector<uint8_t> rows;    // each row behind its filter byte, as the IDAT data holds them
    std::vector<uint8_t> packed;  // their deflate stream; kept at its largest size, never cleared
};

PngEncoder* png_encoder_create(int level) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    return compressor ? new PngEncoder{compressor, {}, {}} : nullptr;
}

void png_encoder_free(PngEncoder* encoder) {
    if (!encoder) return;
    libdeflate_free_compressor(encoder->compressor);
    delete encoder;
}

namespace {

void put_be32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Length, type and data are already in place from `start`; adds the CRC over type and data.
void close_chunk(std::vector<uint8_t>* png, size_t start) {
    const size_t length = png->size() - start - 8;
    put_be32(png->data() + start, static_cast<uint32_t>(length));
    const uint32_t crc = libdeflate_crc32(0, png->data() + start + 4, length + 4);
    png->resize(png->size() + 4);
    put_be32(png->data() + png->size() - 4, crc);
}

size_t open_chunk(std::vector<uint8_t>* png, const char* type, const uint8_t* data, size_t data_bytes) {
    const size_t start = png->size();
    png->resize(start + 8);
    std::memcpy(png->data() + start + 4, type, 4);
    png->insert(png->end(), data, data + data_bytes);
    return start;
}

}  // namespace

void encode_png_rgb(PngEncoder* encoder, int width, int height, const uint8_t* top_row, std::ptrdiff_t stride,
                    std::vector<uint8_t>* png) {
    const size_t row_bytes = static_cast<size_t>(width) * 3;
    encoder->rows.resize((row_bytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        uint8_t* out = encoder->rows.data() + (row_bytes + 1) * static_cast<size_t>(y);
        out[0] = 0;  // filter type None
        std::memcpy(out + 1, top_row + stride * y, row_bytes);
    }

    const size_t bound = libdeflate_zlib_compress_bound(encoder->compressor, encoder->rows.size());
    if (encoder->packed.size() < bound) encoder->packed.resize(bound);
    const size_t packed = libdeflate_zlib_compress(encoder->compressor, encoder->rows.data(), encoder->rows.size(),
                                                   encoder->packed.data(), encoder->packed.size());

    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    uint8_t ihdr[13];
    put_be32(ihdr, static_cast<uint32_t>(width));
    put_be32(ihdr + 4, static_cast<uint32_t>(height));
    ihdr[8] = 8;   // bits per sample
    ihdr[9] = 2;   // RGB
    ihdr[10] = 0;  // deflate
    ihdr[11] = 0;  // adaptive filtering (every row says None)
    ihdr[12] = 0;  // not interlaced
    png->assign(SIGNATURE, SIGNATURE + 8);
    close_chunk(png, open_chunk(png, "IHDR", ihdr, sizeof ihdr));
    close_chunk(png, open_chunk(png, "IDAT", encoder->packed.data(), packed));
    close_chunk(png, open_chunk(png, "IEND", nullptr, 0));
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string part = path + ".part";
    const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail_with(path, std::strerror(errno));
    size_t done = 0;
    int failure = 0;
    while (done < bytes.size() && failure == 0) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            failure = errno;
        else if (n == 0)
            failure = EIO;
    }
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(part.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) {
        unlink(part.c_str());
        return fail_with(path, std::strerror(failure));
    }
    return true;
}

bool read_png_rgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
    auto fail = [&](const char* why) { return fail_with(path, why); };
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
