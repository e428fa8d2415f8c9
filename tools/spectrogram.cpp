// brusk-spectrogram IN.wav OUT.png: a picture of a rendered song to look at: a spectrogram
// (log frequency, 30 Hz to 16 kHz) with the order positions marked and numbered, and the
// short-term level underneath. Expects what brusk-wav writes: 44100 Hz 16-bit stereo.
#include "tools/png_file.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int RATE = 44100;
constexpr size_t FRAMES_PER_ORDER = 4410 * 64;  // speed 5, 125 BPM, 64 rows
constexpr int FFT = 2048;
constexpr int PX_PER_ORDER = 40;
constexpr int LABEL_H = 9, SPEC_H = 300, LEVEL_H = 60;

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

std::string read_reason;

// Why the last read_mono failed.
const char* read_mono_error() { return read_reason.c_str(); }

bool read_mono(const std::string& path, std::vector<float>* mono) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        read_reason = "cannot open " + path;
        return false;
    }
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        read_reason = path + " is not a WAVE file";
        return false;
    }
    bool format_ok = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
        const uint32_t size = le32(b, at + 4);
        const size_t body = at + 8;
        if (size > b.size() - body) break;
        if (id == "fmt " && size >= 16)
            format_ok = le16(b, body) == 1 && le16(b, body + 2) == 2 && le32(b, body + 4) == RATE && le16(b, body + 14) == 16;
        if (id == "data" && format_ok) {
            for (size_t i = 0; i + 4 <= size; i += 4)
                mono->push_back((static_cast<int16_t>(le16(b, body + i)) + static_cast<int16_t>(le16(b, body + i + 2))) / 65536.0f);
            return true;
        }
        at = body + size + (size & 1);
    }
    read_reason = path + ": no 44100 Hz 16-bit stereo PCM data";
    return false;
}

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// Dark blue through magenta and orange to pale yellow.
void heat(double t, uint8_t* rgb) {
    t = std::clamp(t, 0.0, 1.0);
    const double blue = t < 0.35 ? 0.25 + 1.5 * t : std::max(0.0, 0.775 - 1.5 * (t - 0.35)) + std::max(0.0, 5.0 * (t - 0.85));
    const double channel[3] = {1.6 * t, 1.6 * t - 0.6, blue};
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>(std::nearbyint(255.0 * std::clamp(channel[c], 0.0, 1.0)));
}

// 3 x 5 digits for the order numbers.
constexpr uint16_t DIGITS[10] = {0x7B6F, 0x2C97, 0x73E7, 0x72CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void put_digit(std::vector<uint8_t>& img, int width, int x0, int y0, int d) {
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            if (DIGITS[d] >> (14 - (y * 3 + x)) & 1) {
                uint8_t* p = &img[(static_cast<size_t>(y0 + y) * static_cast<size_t>(width) + static_cast<size_t>(x0 + x)) * 3];
                p[0] = p[1] = p[2] = 255;
            }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brusk-spectrogram IN.wav OUT.png\n");
        return 2;
    }
    std::vector<float> mono;
    if (!read_mono(argv[1], &mono)) {
        std::fprintf(stderr, "brusk-spectrogram: %s\n", read_mono_error());
        return 1;
    }
    const size_t orders = mono.size() / FRAMES_PER_ORDER;
    if (orders == 0) {
        std::fprintf(stderr, "brusk-spectrogram: %s is shorter than one order position\n", argv[1]);
        return 1;
    }
    const int width = static_cast<int>(orders) * PX_PER_ORDER;
    const int height = LABEL_H + SPEC_H + LEVEL_H;
    std::vector<uint8_t> img(static_cast<size_t>(width) * height * 3, 0);
    const double hop = static_cast<double>(FRAMES_PER_ORDER) / PX_PER_ORDER;

    std::vector<double> window(FFT);
    for (int i = 0; i < FFT; ++i) window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * PI * i / (FFT - 1));
    for (int x = 0; x < width; ++x) {
        const size_t centre = static_cast<size_t>(x * hop + hop / 2);
        std::vector<std::complex<double>> a(FFT);
        double sum = 0.0;
        for (int i = 0; i < FFT; ++i) {
            const long at = static_cast<long>(centre) - FFT / 2 + i;
            const double v = at >= 0 && static_cast<size_t>(at) < mono.size() ? mono[static_cast<size_t>(at)] : 0.0;
            a[static_cast<size_t>(i)] = v * window[static_cast<size_t>(i)];
        }
        // short-term level over the column's own frames
        for (size_t i = static_cast<size_t>(x * hop); i < static_cast<size_t>((x + 1) * hop) && i < mono.size(); ++i) sum += double(mono[i]) * mono[i];
        fft(a);
        for (int y = 0; y < SPEC_H; ++y) {
            const double f = 30.0 * std::pow(16000.0 / 30.0, 1.0 - (y + 0.5) / SPEC_H);
            const double bin = f * FFT / RATE;
            const size_t b0 = static_cast<size_t>(bin);
            const double frac = bin - static_cast<double>(b0);
            const double mag = std::abs(a[b0]) * (1.0 - frac) + std::abs(a[b0 + 1]) * frac;
            const double level = 20.0 * std::log10(mag / (FFT / 4.0) + 1e-9);  // dB against a full-scale sine
            heat((level + 78.0) / 72.0, &img[(static_cast<size_t>(LABEL_H + y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3]);
        }
        const double db = 10.0 * std::log10(sum / hop + 1e-12);  // -45 .. -5 dBFS mapped to the strip
        const int bar = static_cast<int>(std::clamp((db + 45.0) / 40.0, 0.0, 1.0) * (LEVEL_H - 2));
        for (int y = 0; y < bar; ++y) {
            uint8_t* p = &img[(static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
            p[0] = 90;
            p[1] = 200;
            p[2] = 120;
        }
    }
    // order marks: section starts (0, 5, 10, 15, 20) in white across the whole height
    for (size_t o = 0; o < orders; ++o) {
        const int x = static_cast<int>(o) * PX_PER_ORDER;
        const bool section = o % 5 == 0 && o <= 20;
        for (int y = section ? 0 : LABEL_H; y < height; y += section ? 1 : 2) {
            uint8_t* p = &img[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
            p[0] = p[1] = p[2] = section ? 255 : 160;
        }
        if (o >= 100) continue;  // two digits are all a 40-pixel column has room for
        if (o >= 10) put_digit(img, width, x + 3, 2, static_cast<int>(o / 10));
        put_digit(img, width, x + (o >= 10 ? 7 : 3), 2, static_cast<int>(o % 10));
    }
    if (!tools::write_png_rgb(argv[2], width, height, img.data())) {
        std::fprintf(stderr, "brusk-spectrogram: %s\n", tools::png_file_error());
        return 1;
    }
    return 0;
}
