// Renders one pass of the embedded song with brusk-wav and measures what comes out: level,
// headroom, DC, stereo width and the timing of the kick the show's title jumps to.
#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr int FRAMES_PER_ROW = 4410;  // speed 5 at 125 BPM: 5 ticks of 882 frames
constexpr int ROWS = 64;
constexpr int ORDERS = 26;
constexpr int FRAMES_PER_ORDER = FRAMES_PER_ROW * ROWS;
constexpr int BEAT_ROWS[] = {0, 6, 10, 16, 22, 26, 32, 38, 42, 48, 54, 58};

struct Stereo {
    std::vector<float> left, right;  // in units of full scale
    int64_t clipped = 0;            // samples at either 16-bit limit
};

uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// Reads a 16-bit stereo PCM WAV; walks the chunks rather than assuming a 44-byte header.
bool read_wav(const std::string& bytes, Stereo* out, std::string* error) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        *error = "not a RIFF WAVE file";
        return false;
    }
    bool format_ok = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = le32(bytes, at + 4);
        const size_t body = at + 8;
        if (size > bytes.size() - body) {
            *error = "chunk " + id + " runs past the end";
            return false;
        }
        if (id == "fmt " && size >= 16) {
            format_ok = le16(bytes, body) == 1 && le16(bytes, body + 2) == 2 && le32(bytes, body + 4) == RATE &&
                        le16(bytes, body + 14) == 16;
            if (!format_ok) {
                *error = "not 44100 Hz 16-bit stereo PCM";
                return false;
            }
        } else if (id == "data") {
            if (!format_ok) {
                *error = "data before the format";
                return false;
            }
            const size_t frames = size / 4;
            out->left.resize(frames);
            out->right.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                const auto l = static_cast<int16_t>(le16(bytes, body + 4 * i));
                const auto r = static_cast<int16_t>(le16(bytes, body + 4 * i + 2));
                out->clipped += (l == 32767 || l == -32768) + (r == 32767 || r == -32768);
                out->left[i] = l / 32768.0f;
                out->right[i] = r / 32768.0f;
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    *error = "no data chunk";
    return false;
}

double db(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

double rms(const Stereo& s, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += double(s.left[i]) * s.left[i] + double(s.right[i]) * s.right[i];
    return std::sqrt(sum / (2.0 * static_cast<double>(to - from)));
}

// Frames at which the low band (below about 150 Hz) suddenly gains energy: the envelope is
// taken over 20 ms (a full cycle of the lowest notes) every 2.5 ms, and an onset is a peak of
// its rise over 20 ms, dated to where that rise began.
std::vector<size_t> low_band_onsets(const Stereo& s, size_t frames) {
    constexpr size_t HOP = 110, WINDOW = 882, SPAN = WINDOW / HOP;
    const double a = 1.0 - std::exp(-2.0 * 3.14159265358979 * 150.0 / RATE);
    double y1 = 0.0, y2 = 0.0;
    std::vector<double> power(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double x = 0.5 * (s.left[i] + s.right[i]);
        y1 += a * (x - y1);
        y2 += a * (y1 - y2);
        power[i] = y2 * y2;
    }
    std::vector<double> envelope;
    double sum = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        sum += power[i] - (i >= WINDOW ? power[i - WINDOW] : 0.0);
        if ((i + 1) % HOP == 0) envelope.push_back(std::sqrt(std::max(0.0, sum) / WINDOW));
    }
    std::vector<double> rise(envelope.size(), 0.0);
    for (size_t i = SPAN; i < envelope.size(); ++i) rise[i] = std::max(0.0, envelope[i] - envelope[i - SPAN]);
    std::vector<double> sorted = rise;
    std::sort(sorted.begin(), sorted.end());
    const double threshold = std::max(0.005, 0.4 * sorted[sorted.size() * 99 / 100]);
    std::vector<size_t> onsets;
    for (size_t i = 1; i + 1 < rise.size(); ++i)
        if (rise[i] >= threshold && rise[i] >= rise[i - 1] && rise[i] > rise[i + 1]) {
            const size_t start = (i + 1 - SPAN) * HOP;
            if (onsets.empty() || start - onsets.back() > 2 * WINDOW) onsets.push_back(start);
        }
    return onsets;
}

// Fraction of the given rows of the main sections that have an onset within 30 ms of their start.
double onset_hits(const std::vector<size_t>& onsets, const std::vector<int>& rows, int* hits, int* total) {
    constexpr int64_t WINDOW = RATE * 30 / 1000;
    *hits = *total = 0;
    for (int order : {7, 8, 9, 15, 16, 17, 18, 19})
        for (int row : rows) {
            const int64_t at = static_cast<int64_t>(order) * FRAMES_PER_ORDER + static_cast<int64_t>(row) * FRAMES_PER_ROW;
            const bool hit = std::any_of(onsets.begin(), onsets.end(), [&](size_t o) { return std::llabs(static_cast<int64_t>(o) - at) <= WINDOW; });
            *hits += hit;
            ++*total;
        }
    return static_cast<double>(*hits) / *total;
}

class SongSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string wav = test_support::scratch_path("song_sound.wav");
        const std::string command = test_support::binary_path("tools/brusk-wav") + " " + wav + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::string error;
        pass_ = new Stereo;
        ASSERT_TRUE(read_wav(test_support::read_file(wav), pass_, &error)) << error;
        std::remove(wav.c_str());
    }
    static void TearDownTestSuite() {
        delete pass_;
        pass_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(pass_, nullptr);
        ASSERT_GE(pass_->left.size(), static_cast<size_t>(ORDERS) * FRAMES_PER_ORDER) << "shorter than one pass";
    }
    static Stereo* pass_;
    static constexpr size_t PASS = static_cast<size_t>(ORDERS) * FRAMES_PER_ORDER;
};
Stereo* SongSound::pass_ = nullptr;

TEST_F(SongSound, LevelsLeaveHeadroomAndNoSectionFallsSilent) {
    const double clipped = static_cast<double>(pass_->clipped) / (2.0 * static_cast<double>(pass_->left.size()));
    double peak = 0.0;
    for (size_t i = 0; i < PASS; ++i) peak = std::max({peak, double(std::fabs(pass_->left[i])), double(std::fabs(pass_->right[i]))});
    const double whole = db(rms(*pass_, 0, PASS));
    std::printf("peak %.2f dBFS, clipped samples %.6f%%, whole pass RMS %.2f dBFS\n", db(peak), clipped * 100.0, whole);
    EXPECT_LT(clipped, 1e-4);
    EXPECT_GE(whole, -20.0);
    EXPECT_LE(whole, -12.0);
    for (int order = 0; order < ORDERS; ++order) {
        const double level = db(rms(*pass_, static_cast<size_t>(order) * FRAMES_PER_ORDER, static_cast<size_t>(order + 1) * FRAMES_PER_ORDER));
        std::printf("order %2d RMS %.2f dBFS\n", order, level);
        EXPECT_GT(level, -40.0) << "order " << order;
    }
}

TEST_F(SongSound, NoDcOffsetAndTheChannelsDiffer) {
    double sum_l = 0, sum_r = 0, ll = 0, rr = 0, lr = 0;
    for (size_t i = 0; i < PASS; ++i) {
        const double l = pass_->left[i], r = pass_->right[i];
        sum_l += l;
        sum_r += r;
        ll += l * l;
        rr += r * r;
        lr += l * r;
    }
    const double n = static_cast<double>(PASS), ml = sum_l / n, mr = sum_r / n;
    const double correlation = (lr / n - ml * mr) / std::sqrt((ll / n - ml * ml) * (rr / n - mr * mr));
    std::printf("DC left %.4f%% right %.4f%% of full scale, stereo correlation %.4f\n", ml * 100, mr * 100, correlation);
    EXPECT_LT(std::fabs(ml), 0.005);
    EXPECT_LT(std::fabs(mr), 0.005);
    EXPECT_LT(correlation, 0.98);
}

TEST_F(SongSound, KickLandsOnEveryBeatRowOfTheMainSections) {
    const std::vector<size_t> onsets = low_band_onsets(*pass_, PASS);
    int hits = 0, total = 0;
    std::vector<int> beat_rows(std::begin(BEAT_ROWS), std::end(BEAT_ROWS));
    onset_hits(onsets, beat_rows, &hits, &total);
    std::printf("kick onsets within 30 ms of a beat row: %d of %d\n", hits, total);
    EXPECT_EQ(hits, total);
    // The detector must not simply fire everywhere: rows 2, 3 and 8 of each bar carry no kick
    // and no bass note.
    std::vector<int> quiet_rows;
    for (int bar = 0; bar < 4; ++bar)
        for (int r : {2, 3, 8}) quiet_rows.push_back(bar * 16 + r);
    onset_hits(onsets, quiet_rows, &hits, &total);
    std::printf("low-band onsets on rows without kick or bass: %d of %d\n", hits, total);
    EXPECT_LT(hits * 10, total);
}

TEST(SongFile, FitsInTheExecutablesBudget) {
    const std::string song = test_support::read_file(test_support::source_path("data/song.xm"));
    ASSERT_FALSE(song.empty());
    std::printf("data/song.xm: %zu bytes\n", song.size());
    EXPECT_LE(song.size(), 192u * 1024u);
}

}  // namespace
