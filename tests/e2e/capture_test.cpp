// Runs the real brusk-capture and checks what it writes against the song as the offline mixer
// renders it: the sound byte for byte, and the position every frame shows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "tests/support/fingerprint.h"
#include "tests/support/paths.h"
#include "tools/png_file.h"

namespace {

constexpr int W = 640;
constexpr int H = 480;
constexpr int BLOCK = 884;  // frames per block at 44100 Hz

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Mesa's driver leaks at unload without symbols to name it by, so a sanitizer build of a tool
// that opens a GL context runs with leak detection off (every other check stays on).
const std::string NO_LEAK_CHECKS = "ASAN_OPTIONS=detect_leaks=0 ";

ToolRun run_tool(const std::string& tool, const std::string& arguments) {
    const std::string out_path = test_support::scratch_path("tool_stdout.txt");
    const std::string err_path = test_support::scratch_path("tool_stderr.txt");
    const std::string command = NO_LEAK_CHECKS + test_support::binary_path("tools/" + tool) + " " + arguments + " >" + out_path +
                                " 2>" + err_path + " </dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::read_file(out_path),
                test_support::read_file(err_path)};
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return run;
}

// A fresh output directory for one capture, removed again with the object.
struct ScratchDir {
    std::string path;
    explicit ScratchDir(const std::string& name) : path(test_support::scratch_path(name)) {
        std::filesystem::remove_all(path);
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string frame(int n) const {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06d.png", n);
        return path + name;
    }
};

uint32_t le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// The sample bytes of a 44100 Hz 16-bit stereo WAV, after checking that its header is whole.
std::string wav_data(const std::string& path) {
    const std::string bytes = test_support::read_file(path);
    EXPECT_GE(bytes.size(), 44u) << path;
    if (bytes.size() < 44) return {};
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 24), 44100u);
    EXPECT_EQ(le32(bytes, 32), 4u | 16u << 16);  // 4 bytes a frame, 16 bits
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
    return bytes.substr(44);
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
    const uint8_t* at(int x, int y_from_top) const {
        return &rgb[(static_cast<size_t>(y_from_top) * width + x) * 3];
    }
};

Image read_image(const std::string& path) {
    Image image;
    EXPECT_TRUE(tools::read_png_rgb(path, &image.width, &image.height, &image.rgb)) << tools::png_file_error();
    return image;
}

std::vector<uint8_t> read_frame(const std::string& path) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(tools::read_png_rgb(path, &w, &h, &rgb)) << tools::png_file_error();
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    if (rgb.size() != static_cast<size_t>(W) * H * 3) rgb.assign(static_cast<size_t>(W) * H * 3, 0);
    return rgb;
}

// Output frame at which video frame n starts, for a rate of num / den frames per second.
int64_t audio_frame(int64_t n, int64_t num, int64_t den) { return n * 44100 * den / num; }

// What playback reports heard during each block of the song from its start: the position the
// offline mixer reached at the block's end, with no device, ring or poll involved.
const std::vector<music::BlockInfo>& heard_positions() {
    static std::vector<music::BlockInfo> positions;
    if (!positions.empty()) return positions;
    music::install_memory_callbacks();
    music::Song* song = music::load_song("");
    if (!song || !music::play_offline(song, 44100)) return positions;
    for (int b = 0; b < 40 * 44100 / BLOCK; ++b) {
        const int32_t index = music::fill_index;
        music::fill_block();
        positions.push_back(music::block_info[index]);
    }
    music::stop_offline();
    music::free_song(song);
    return positions;
}

// The first block heard at (order, row): its start in seconds.
double time_of(int order, int row) {
    const auto& heard = heard_positions();
    for (size_t b = 0; b < heard.size(); ++b)
        if (heard[b].order == order && heard[b].row == row) return static_cast<double>(b) * BLOCK / 44100.0;
    ADD_FAILURE() << "order " << order << " row " << row << " is not in the first 40 seconds";
    return 0;
}

struct LogLine {
    int frame, order, row;
    std::string scene;
};

std::vector<LogLine> read_log(const std::string& path) {
    std::istringstream in(test_support::read_file(path));
    std::vector<LogLine> lines;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream fields(text);
        LogLine line{};
        double time = 0;
        fields >> line.frame >> time >> line.order >> line.row >> line.scene;
        lines.push_back(line);
    }
    return lines;
}

std::string scene_of_order(int order) {
    if (order <= 4) return "credits";
    if (order <= 9 || (order >= 15 && order <= 19)) return "metaballs";
    if (order <= 14) return "ribbons";
    return "fountain";
}

TEST(Capture, TheSameCommandGivesTheSameBytes) {
    ScratchDir a("capture_same_a"), b("capture_same_b");
    for (const ScratchDir* dir : {&a, &b}) {
        const ToolRun run = run_tool("brusk-capture", "--out " + dir->path + " --seconds 1");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");  // no progress line off a terminal
        EXPECT_NE(run.out.find("60 frames"), std::string::npos) << run.out;
    }
    EXPECT_TRUE(std::filesystem::exists(a.frame(59)));
    EXPECT_FALSE(std::filesystem::exists(a.frame(60)));
    for (int n = 0; n < 60; ++n) {
        const std::string first = test_support::read_file(a.frame(n));
        ASSERT_FALSE(first.empty()) << n;
        EXPECT_TRUE(first == test_support::read_file(b.frame(n))) << "frame " << n;
    }
    const std::string sound = test_support::read_file(a.path + "/audio.wav");
    EXPECT_EQ(sound.size(), 44u + 44100u * 4);
    EXPECT_TRUE(sound == test_support::read_file(b.path + "/audio.wav"));
}

// The virtual device plays the ring from the moment playback starts it, and the capture's clock
// starts there too, so the WAV has no leading silence: it is the song from its first frame, cut
// to the span of the frames saved. Spans cross the ring's end (2.0045 s), start between
// blocks, and one rate moves the clock by several blocks per frame.
TEST(Capture, SoundIsTheSongAsTheOfflineRendererMixesIt) {
    struct Case {
        const char* fps;
        int64_t num, den;
        double from, seconds;
        int64_t first, end;  // frames saved: [first, end)
    };
    const Case cases[] = {
        {"60", 60, 1, 0, 1, 0, 60},
        {"60000/1001", 60000, 1001, 1.9, 0.3, 114, 132},
        {"7", 7, 1, 0, 3, 0, 21},
    };
    const std::string reference_path = test_support::scratch_path("capture_reference.wav");
    const ToolRun render = run_tool("brusk-wav", "--seconds 3.1 " + reference_path);
    ASSERT_EQ(render.status, 0) << render.err;
    const std::string reference = wav_data(reference_path);
    std::remove(reference_path.c_str());
    ASSERT_EQ(reference.size(), 136710u * 4);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.fps);
        ScratchDir dir("capture_sound");
        std::ostringstream args;
        args << "--out " << dir.path << " --fps " << c.fps << " --from " << c.from << " --seconds " << c.seconds;
        const ToolRun run = run_tool("brusk-capture", args.str());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(std::filesystem::exists(dir.frame(static_cast<int>(c.end - c.first - 1))));
        EXPECT_FALSE(std::filesystem::exists(dir.frame(static_cast<int>(c.end - c.first))));
        const std::string sound = wav_data(dir.path + "/audio.wav");
        const int64_t begin = audio_frame(c.first, c.num, c.den);
        const int64_t end = audio_frame(c.end, c.num, c.den);
        ASSERT_EQ(sound.size(), static_cast<size_t>(end - begin) * 4);
        EXPECT_TRUE(sound == reference.substr(static_cast<size_t>(begin) * 4, sound.size()));
    }
}

// Rows of text space (origin at the bottom) where a credit line's glyphs sit, and a column span
// that belongs to that line alone.
struct CreditBox {
    int x0, x1, y;
    int first_row;  // the row of order 3 from which it shows
};
constexpr CreditBox CREDIT_BOXES[] = {
    {10, 222, 160, 0}, {10, 90, 140, 12}, {102, 202, 140, 16}, {10, 80, 120, 48},
    {92, 252, 120, 52}, {10, 110, 100, 56}, {122, 422, 100, 60},
};

// Pixels the additive text has lifted to near white inside the middle of a line's cell: the
// background, the sprites and the grain only ever darken a grey-green well below that.
int lit_pixels(const std::vector<uint8_t>& rgb, const CreditBox& box) {
    int lit = 0;
    for (int y = box.y + 8; y < box.y + 24; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(H - 1 - y) * W + x) * 3];
            lit += p[0] >= 240 && p[1] >= 240 && p[2] >= 240;
        }
    return lit;
}

// A capture that starts in order 3 shows, on every frame, exactly the credit lines the row
// heard at that frame's time has reached, and order 4 shows them all.
TEST(Capture, FramesInOrderThreeShowTheCreditLinesOfTheirRow) {
    // Starts on a frame, at a time the command line spells exactly.
    const int64_t first = static_cast<int64_t>(std::ceil(time_of(3, 4) * 8));
    const double start = static_cast<double>(first) / 8;
    const double stop = time_of(4, 2);
    ScratchDir dir("capture_credits");
    std::ostringstream args;
    args << "--out " << dir.path << " --fps 8 --from " << start << " --seconds " << stop - start;
    const ToolRun run = run_tool("brusk-capture", args.str());
    ASSERT_EQ(run.status, 0) << run.err;

    const auto& heard = heard_positions();
    int checked = 0;
    for (int64_t n = first;; ++n) {
        const std::string path = dir.frame(static_cast<int>(n - first));
        if (!std::filesystem::exists(path)) break;
        const music::BlockInfo at = heard[static_cast<size_t>(audio_frame(n, 8, 1) / BLOCK)];
        SCOPED_TRACE("frame " + std::to_string(n) + " order " + std::to_string(at.order) + " row " +
                     std::to_string(at.row));
        const std::vector<uint8_t> rgb = read_frame(path);
        for (const CreditBox& box : CREDIT_BOXES) {
            const bool due = at.order == 4 || (at.order == 3 && at.row >= box.first_row);
            if (due)
                EXPECT_GT(lit_pixels(rgb, box), 20) << "line at " << box.x0 << "," << box.y;
            else
                EXPECT_EQ(lit_pixels(rgb, box), 0) << "line at " << box.x0 << "," << box.y;
        }
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

// Every frame shows the scene of the order heard at its time: checked against the offline
// mixer's positions across the boundary from the credits to the metaballs (later boundaries
// work the same way and would only cost more frames drawn before them).
TEST(Capture, EachFrameShowsTheSceneOfThePositionHeardAtItsTime) {
    // Five frames a second for a second around the boundary, from a frame's exact time.
    const int64_t first = std::llround((time_of(5, 0) - 0.5) * 5);
    ScratchDir dir("capture_scenes");
    std::ostringstream args;
    args << "--out " << dir.path << " --fps 5 --log --from " << static_cast<double>(first) / 5 << " --seconds 1";
    const ToolRun run = run_tool("brusk-capture", args.str());
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<LogLine> log = read_log(dir.path + "/frames.txt");
    ASSERT_EQ(log.size(), 5u);
    int credits = 0, metaballs = 0;
    for (const LogLine& line : log) {
        const int64_t n = first + line.frame;
        const music::BlockInfo at = heard_positions()[static_cast<size_t>(audio_frame(n, 5, 1) / BLOCK)];
        EXPECT_EQ(line.order, at.order) << "frame " << n;
        EXPECT_EQ(line.row, at.row) << "frame " << n;
        EXPECT_EQ(line.scene, scene_of_order(at.order)) << "frame " << n;
        credits += line.scene == "credits";
        metaballs += line.scene == "metaballs";

        // Order 4 prints every credit line; the metaballs print none.
        const std::vector<uint8_t> rgb = read_frame(dir.frame(line.frame));
        int lit = 0;
        for (const CreditBox& box : CREDIT_BOXES) lit += lit_pixels(rgb, box) > 20;
        EXPECT_EQ(lit, line.scene == "credits" ? 7 : 0) << "frame " << n;
    }
    EXPECT_EQ(credits + metaballs, 5);
    EXPECT_GE(credits, 2);
    EXPECT_GE(metaballs, 2);
}

// The decoded pixels of default-size frames, pinned when the capture drew at one size only and
// wrote its PNGs through one encoder: a whole pass at 1 fps (every scene and every visit, from the
// log's scene column) and the first second at 60 fps. Faster encoding may change the files' bytes,
// never these.
TEST(Capture, DefaultSizeFramesShowTheSamePixels) {
    struct Case {
        const char* arguments;
        std::vector<std::pair<std::string, uint64_t>> visits;  // scene and fingerprint of its frames
    };
    const Case cases[] = {
        {"--fps 1 --pass",
         {{"credits", 0x3d075352ffe05c8bull},
          {"metaballs", 0x83b573274c6d94faull},
          {"ribbons", 0xf4a0469c9545a7d9ull},
          {"metaballs", 0x4bf5596a409092d6ull},
          {"fountain", 0xcc0655e1d4907c39ull}}},
        {"--fps 60 --seconds 1", {{"credits", 0x33b88a267ed96a3aull}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ScratchDir dir("capture_pinned");
        const ToolRun run = run_tool("brusk-capture", "--out " + dir.path + " --log " + c.arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::pair<std::string, test_support::Fingerprint>> visits;
        for (const LogLine& line : read_log(dir.path + "/frames.txt")) {
            if (visits.empty() || visits.back().first != line.scene) visits.push_back({line.scene, {}});
            const std::vector<uint8_t> rgb = read_frame(dir.frame(line.frame));
            visits.back().second.add(rgb.data(), rgb.size());
        }
        ASSERT_EQ(visits.size(), c.visits.size());
        for (size_t v = 0; v < visits.size(); ++v) {
            EXPECT_EQ(visits[v].first, c.visits[v].first) << "visit " << v;
            EXPECT_EQ(visits[v].second.value, c.visits[v].second)
                << "visit " << v << " (" << visits[v].first << "): 0x" << std::hex << visits[v].second.value;
        }
    }
}

// Frames of other sizes: a 4:3 size scales the whole picture; any other shape shows the 4:3
// picture as large as fits, centred, with black bars: every pixel beyond the picture is black.
TEST(Capture, OtherSizesScaleThePictureAndCentreItBetweenBlackBars) {
    struct Case {
        const char* size;
        int width, height;
        int x, y, picture_width, picture_height;  // y from the top
    };
    const Case cases[] = {
        {"1280x960", 1280, 960, 0, 0, 1280, 960},   {"1280x720", 1280, 720, 160, 0, 960, 720},
        {"1920x1080", 1920, 1080, 240, 0, 1440, 1080}, {"640x640", 640, 640, 0, 80, 640, 480},
        {"135x100", 135, 100, 1, 0, 133, 100},      {"102x100", 102, 100, 0, 12, 102, 76},
        {"106x100", 106, 100, 0, 10, 106, 80},      {"640x481", 640, 481, 0, 1, 640, 480},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ScratchDir dir("capture_size");
        // The show fades in from black: its second second is the first with a picture.
        const ToolRun run = run_tool("brusk-capture", "--out " + dir.path + " --fps 1 --from 1 --seconds 1 --size " + c.size);
        ASSERT_EQ(run.status, 0) << run.err;
        const Image image = read_image(dir.frame(0));
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        int lit_outside = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const uint8_t* p = image.at(x, y);
                const bool inside = x >= c.x && x < c.x + c.picture_width && y >= c.y && y < c.y + c.picture_height;
                if (!inside) lit_outside += p[0] != 0 || p[1] != 0 || p[2] != 0;
            }
        EXPECT_EQ(lit_outside, 0);
        // Between the show's own letterbox bars the picture reaches its first and last columns:
        // there the gradient shows, but where a sprite covers it.
        for (const int x : {c.x, c.x + c.picture_width - 1}) {
            int rows = 0, lit = 0;
            for (int y = c.y + c.picture_height / 4; y < c.y + c.picture_height * 3 / 4; ++y, ++rows)
                lit += image.at(x, y)[1] > 40;
            EXPECT_GT(lit, rows * 3 / 4) << "column " << x;
        }
    }
}

// The average of each factor x factor block, rounded to nearest with ties to even.
std::vector<uint8_t> averaged_down(const Image& image, int factor) {
    const int w = image.width / factor, h = image.height / factor;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    const int d = factor * factor;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < factor; ++j)
                    for (int i = 0; i < factor; ++i) sum += image.at(x * factor + i, y * factor + j)[c];
                const double exact = static_cast<double>(sum) / d;
                out[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<uint8_t>(std::nearbyint(exact));
            }
    return out;
}

// --supersample N draws at N times the size, exactly as --size would, and averages it down;
// a 4:3 picture at twice the size, averaged down, is the default frame but for the edges the
// larger drawing resolves finer.
TEST(Capture, SupersampledFramesAreTheLargerDrawingAveragedDown) {
    ScratchDir large("capture_large"), smooth("capture_smooth"), plain("capture_plain");
    const std::string span = " --fps 2 --from 20 --seconds 0.5";  // the metaballs and their wire cube
    ASSERT_EQ(run_tool("brusk-capture", "--out " + large.path + span + " --size 1280x720").status, 0);
    ASSERT_EQ(run_tool("brusk-capture", "--out " + smooth.path + span + " --size 640x360 --supersample 2").status, 0);
    ASSERT_EQ(run_tool("brusk-capture", "--out " + plain.path + span + " --size 640x360").status, 0);
    const Image drawn = read_image(large.frame(0));
    const Image averaged = read_image(smooth.frame(0));
    const Image direct = read_image(plain.frame(0));
    ASSERT_EQ(averaged.width, 640);
    ASSERT_EQ(averaged.height, 360);
    EXPECT_TRUE(averaged_down(drawn, 2) == averaged.rgb);
    // Smoothing shows: the averaged frame has in-between shades where the direct one has a step.
    size_t differ = 0;
    for (size_t i = 0; i < direct.rgb.size(); ++i) differ += direct.rgb[i] != averaged.rgb[i];
    EXPECT_GT(differ, direct.rgb.size() / 100);
}

// Lines keep their width in pixels of the 640 x 480 picture: drawn at twice the size, the
// ribbons' lines are twice as wide, so the pixels their colour tints grow four times (twice as
// long, twice as wide); lines of the same width would tint only twice as many.
int tinted_pixels(const Image& image) {
    int tinted = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3) tinted += image.rgb[i] > image.rgb[i + 1] + 8;
    return tinted;
}

TEST(Capture, LinesGrowWithThePicture) {
    ScratchDir single("capture_lines_1"), twice("capture_lines_2");
    const std::string span = " --fps 4 --from 72 --seconds 0.25";  // the ribbons
    ASSERT_EQ(run_tool("brusk-capture", "--out " + single.path + span).status, 0);
    ASSERT_EQ(run_tool("brusk-capture", "--out " + twice.path + span + " --size 1280x960").status, 0);
    const int at_single = tinted_pixels(read_image(single.frame(0)));
    const int at_twice = tinted_pixels(read_image(twice.frame(0)));
    ASSERT_GT(at_single, 1000);
    const double growth = static_cast<double>(at_twice) / at_single;
    EXPECT_GT(growth, 3.5) << at_single << " tinted pixels at 640x480, " << at_twice << " at 1280x960";
    EXPECT_LT(growth, 4.6) << at_single << " tinted pixels at 640x480, " << at_twice << " at 1280x960";
}

TEST(Capture, BadArgumentsAreRefusedWithAReason) {
    struct Case {
        const char* arguments;
        const char* reason;
    };
    const Case cases[] = {
        {"", "--out DIR is required"},
        {"--seconds 1", "--out DIR is required"},
        {"--out", "--out needs a value"},
        {"--out x --fps", "--fps needs a value"},
        {"--out x --fps 0", "--fps wants"},
        {"--out x --fps abc", "--fps wants"},
        {"--out x --fps 60/0", "--fps wants"},
        {"--out x --fps -5", "--fps wants"},
        {"--out x --fps 1/2", "--fps wants"},
        {"--out x --fps 2000", "--fps wants"},
        {"--out x --fps 29.97", "--fps wants"},
        {"--out x --seconds 0", "--seconds wants"},
        {"--out x --seconds -1", "--seconds wants"},
        {"--out x --seconds 2s", "--seconds wants"},
        {"--out x --seconds nan", "--seconds wants"},
        {"--out x --from -1", "--from wants"},
        {"--out x --from soon", "--from wants"},
        {"--out x --seconds 1 --pass", "--seconds and --pass exclude each other"},
        {"--out x --from 10000 --seconds 900", "at most 3 hours"},
        {"--out x --frames 10", "unknown argument \"--frames\""},
        {"--out x --size", "--size needs a value"},
        {"--out x --size 640", "--size wants WxH"},
        {"--out x --size 640x", "--size wants WxH"},
        {"--out x --size x480", "--size wants WxH"},
        {"--out x --size 640x480x2", "--size wants WxH"},
        {"--out x --size 640X480", "--size wants WxH"},
        {"--out x --size 15x480", "--size wants WxH"},
        {"--out x --size 640x8193", "--size wants WxH"},
        {"--out x --size -640x480", "--size wants WxH"},
        {"--out x --size 0640x480", "--size wants WxH"},
        {"--out x --size 99999999999x480", "--size wants WxH"},
        {"--out x --supersample 0", "--supersample wants"},
        {"--out x --supersample 5", "--supersample wants"},
        {"--out x --supersample 2.5", "--supersample wants"},
        {"--out x --size 4200x3150 --supersample 4", "at most 16384 pixels a side"},
        {"--out x --size 641x480 --ffmpeg x.mp4", "--ffmpeg needs an even width and height"},
        {"--out x extra", "unknown argument \"extra\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_tool("brusk-capture", c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: brusk-capture"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists("x"));
    }
}

// Refusals that only running can find: an output directory that cannot be made, and a start
// past the end of the pass.
TEST(Capture, WhatCannotBeCapturedIsRefusedWithAReason) {
    const std::string file = test_support::scratch_path("capture_not_a_dir");
    std::ofstream(file) << "a file";
    ScratchDir dir("capture_too_late");
    struct Case {
        std::string arguments;
        const char* reason;
    };
    const Case cases[] = {
        {"--out " + file + " --seconds 0.1", "cannot make the output directory"},
        {"--out " + dir.path + " --from 200 --pass", "--from is past the end of one pass of the song"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_tool("brusk-capture", c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    std::remove(file.c_str());
}

TEST(Capture, MissingFfmpegIsSaidPlainly) {
    ScratchDir dir("capture_no_ffmpeg");
    // The tool itself must find no ffmpeg, so the command empties its PATH.
    const std::string command = NO_LEAK_CHECKS + "PATH=/nonexistent " + test_support::binary_path("tools/brusk-capture") + " --out " +
                                dir.path + " --seconds 0.1 --ffmpeg " + dir.path + "/show.mp4 2>" + dir.path +
                                ".err </dev/null >/dev/null";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    const std::string err = test_support::read_file(dir.path + ".err");
    std::remove((dir.path + ".err").c_str());
    EXPECT_NE(err.find("ffmpeg was not found"), std::string::npos) << err;
}

// ffmpeg gets the frames the right way up and the sound beside them: the video's first frame,
// decoded again, matches the PNG of the same capture, and the file has one H.264 and one AAC stream.
TEST(Capture, FfmpegMuxesTheFramesWithTheSound) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDir dir("capture_ffmpeg");
    const std::string video = dir.path + "/show.mp4";
    const ToolRun run = run_tool("brusk-capture", "--out " + dir.path + " --fps 30 --seconds 0.5 --ffmpeg " + video);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.frame(0)));
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/video.mp4"));
    const std::string streams_path = dir.path + "/streams.txt";
    ASSERT_EQ(std::system(("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " + video +
                           " >" + streams_path)
                              .c_str()),
              0);
    EXPECT_EQ(test_support::read_file(streams_path), "h264,640,480\naac\n");

    // The same span as PNG frames, and the video's first frame decoded back.
    ScratchDir pngs("capture_ffmpeg_png");
    ASSERT_EQ(run_tool("brusk-capture", "--out " + pngs.path + " --fps 30 --seconds 0.5").status, 0);
    const std::string decoded = dir.path + "/first.png";
    ASSERT_EQ(std::system(("ffmpeg -v error -nostdin -i " + video + " -frames:v 1 -pix_fmt rgb24 " + decoded).c_str()), 0);
    const std::vector<uint8_t> expected = read_frame(pngs.frame(0));
    const std::vector<uint8_t> got = read_frame(decoded);
    // Lossy coding: compare the mean of each band of 48 rows, which a flipped picture would not match.
    for (int band = 0; band < H / 48; ++band) {
        double e = 0, g = 0;
        for (int y = band * 48; y < band * 48 + 48; ++y)
            for (int x = 0; x < W * 3; ++x) {
                e += expected[static_cast<size_t>(y) * W * 3 + x];
                g += got[static_cast<size_t>(y) * W * 3 + x];
            }
        EXPECT_NEAR(g / (48.0 * W * 3), e / (48.0 * W * 3), 3.0) << "rows " << band * 48;
    }
}

// Starts brusk-capture in a child with `arguments`; `before_exec` runs in the child first.
pid_t start_capture(const std::vector<std::string>& arguments, void (*before_exec)() = nullptr) {
    const std::string tool = test_support::binary_path("tools/brusk-capture");
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (before_exec) before_exec();
        execv(tool.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int frames_in(const ScratchDir& dir) {
    int frames = 0;
    while (std::filesystem::exists(dir.frame(frames))) ++frames;
    return frames;
}

// Nothing but whole files: no frame left half written, empty or under a temporary name.
void expect_only_whole_files(const ScratchDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        EXPECT_GT(entry.file_size(), 0u);
        EXPECT_EQ(name.find(".part"), std::string::npos);
        if (name.rfind("frame_", 0) == 0) {
            const Image image = read_image(entry.path().string());
            EXPECT_EQ(image.width, W);
        }
    }
}

// Ctrl-C, kill or timeout, and a closed terminal stop the capture after the frame it is on; the
// frames written and the WAV agree, the WAV's header counts what is in it, and every frame is whole.
TEST(Capture, InterruptStopsAfterTheCurrentFrameWithValidFiles) {
    for (const int stop_signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(stop_signal));
        ScratchDir dir("capture_interrupt");
        const pid_t pid = start_capture({"--out", dir.path, "--seconds", "120"});
        ASSERT_GE(pid, 0);
        // Wait for a few frames, then send the signal.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(dir.frame(5)) && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, stop_signal);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 128 + stop_signal);

        const int frames = frames_in(dir);
        EXPECT_GE(frames, 6);
        EXPECT_LT(frames, 120 * 60);
        const std::string sound = wav_data(dir.path + "/audio.wav");
        EXPECT_EQ(sound.size(), static_cast<size_t>(audio_frame(frames, 60, 1)) * 4);
        expect_only_whole_files(dir);
    }
}

// A write that fails (a full disk, here a file size limit or /dev/full) stops the capture with
// the reason in one line and a failing status. What it leaves is whole: frames complete or
// absent, the WAV cut to whole frames with a header that counts them.
void limit_files_to_64k() {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
}
void limit_files_to_1m() {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024 * 1024, 1024 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(Capture, AFullDiskStopsItWithTheReasonAndLeavesOnlyWholeFiles) {
    struct Case {
        const char* name;
        void (*before_exec)();
        const char* full_file;  // made a link to /dev/full, or null
        const char* reason;
    };
    const Case cases[] = {
        {"frames larger than the limit", limit_files_to_64k, nullptr, ".png: File too large"},
        {"sound longer than the limit", limit_files_to_1m, nullptr, "audio.wav: File too large"},
        {"no room for the sound", nullptr, "audio.wav", "audio.wav: No space left on device"},
        {"no room for a frame", nullptr, "frame_000003.png.part", "frame_000003.png: No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir("capture_full");
        std::filesystem::create_directories(dir.path);
        if (c.full_file) std::filesystem::create_symlink("/dev/full", dir.path + "/" + c.full_file);
        const std::string err_path = dir.path + ".err";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::freopen(err_path.c_str(), "w", stderr);
            std::freopen("/dev/null", "w", stdout);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            if (c.before_exec) c.before_exec();
            const std::string tool = test_support::binary_path("tools/brusk-capture");
            execl(tool.c_str(), tool.c_str(), "--out", dir.path.c_str(), "--seconds", "10", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const std::string err = test_support::read_file(err_path);
        std::remove(err_path.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(std::filesystem::exists(dir.frame(600)));
        expect_only_whole_files(dir);
        if (std::filesystem::exists(dir.path + "/audio.wav")) {
            const std::string sound = wav_data(dir.path + "/audio.wav");
            EXPECT_LT(sound.size(), 10u * 44100 * 4);
        }
    }
}

}  // namespace
