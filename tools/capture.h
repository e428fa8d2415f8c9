#pragma once
// Renders the show offline: the real start-up, playback control and frame drawing, at a fixed
// frame rate, with a virtual wave device whose clock the capture moves to each frame's time.
// Every frame therefore shows exactly the position heard at its time, and the sound written
// is exactly what the device played.
#include <csignal>
#include <cstdint>
#include <string>

#include "show/timeline.h"

namespace tools {

constexpr int CAPTURE_WIDTH = 640;  // the default frame size: the show's own picture
constexpr int CAPTURE_HEIGHT = 480;
constexpr int32_t CAPTURE_RATE = 44100;
constexpr int MIN_FRAME_SIDE = 16;
constexpr int MAX_FRAME_SIDE = 8192;
constexpr int MAX_DRAWN_SIDE = 16384;  // the frame times the supersampling factor
constexpr int MAX_SUPERSAMPLE = 4;

// Frames per second as a fraction, so that 60000/1001 stays exact.
struct FrameRate {
    int64_t num = 60;
    int64_t den = 1;
};

// How frames become files. The previous encoders are kept for the benchmark, which measures
// them side by side with the current ones.
enum class FrameEncoder {
    fast,       // libdeflate on several threads; ffmpeg's x264 with a quick preset
    previous,   // libpng on one thread; x264 "medium"
};

struct CaptureSettings {
    std::string out_dir;
    FrameRate rate;
    int width = CAPTURE_WIDTH;  // the frame; a 4:3 picture as large as fits, centred, black around it
    int height = CAPTURE_HEIGHT;
    int supersample = 1;  // drawn at this many times the frame's size and averaged down
    FrameEncoder encoder = FrameEncoder::fast;
    int encoder_threads = 0;  // PNG encoders; 0: one per processor
    int64_t first_frame = 0;    // frames before it are drawn but not saved
    int64_t frame_count = -1;   // frames saved; -1: up to the end of one pass of the song
    std::string ffmpeg_output;  // empty: PNG frames; else frames and sound muxed into this file
    bool log = false;           // DIR/frames.txt: frame, time, order, row and scene of each saved frame
};

// What one drawn frame showed; the observer sees every frame, saved or not.
struct FrameReport {
    int64_t frame;
    int64_t last_frame;  // the last frame to be saved
    bool saved;
    float time;
    int32_t order;
    int32_t row;
    show::Scene scene;
};
using FrameObserver = void (*)(const FrameReport& report, void* user);

struct CaptureResult {
    int64_t frames_saved = 0;
    int64_t frames_drawn = 0;
    int64_t audio_frames = 0;  // stereo frames in DIR/audio.wav
    bool interrupted = false;
};

// Set from a signal handler to the signal's number: the capture stops after the frame it is on
// and finishes its files.
extern volatile std::sig_atomic_t capture_stop_requested;

// Where the 4:3 picture lies in a frame, in pixels from the frame's lower-left corner.
struct PictureBox {
    int x, y, width, height;
};

// The largest 4:3 box that fits in width x height, centred (sides rounded to nearest, ties to even).
PictureBox picture_box(int width, int height);

// Parses "WxH" with each side from MIN_FRAME_SIDE to MAX_FRAME_SIDE.
bool parse_frame_size(const char* text, int* width, int* height);

// The average of each factor x factor block of an RGB image, rounded to nearest, ties to even:
// `in` is (width x factor) x (height x factor), `out` width x height, rows in the same order.
void downsample_rgb(const uint8_t* in, int width, int height, int factor, uint8_t* out);

// The output frame at which video frame n starts: floor(n x 44100 / rate).
int64_t audio_frame_at(int64_t n, FrameRate rate);

// Parses "60" or "60000/1001"; false for anything else or a rate outside 1..1000 frames per second.
bool parse_frame_rate(const char* text, FrameRate* rate);

// The whole capture, from start-up to shutdown. False when something cannot be done, with a
// one-line reason in capture_error(); the files written up to then stay valid.
bool run_capture(const CaptureSettings& settings, FrameObserver observer, void* user, CaptureResult* result);
const char* capture_error();

const char* scene_name(show::Scene scene);

}  // namespace tools
