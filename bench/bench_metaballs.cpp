// Time of one metaball frame on the CPU: update_field plus the marching-cubes pass over all
// 64000 cells, with the four blobs on their paths through the show. No GL: the vertices go to
// a sink that only counts and checksums them, so the figure is the field and cell work alone.
#include "platform/offscreen_gl.h"
#include "show/metaballs.h"
#include "show/scenes/metaball_scene.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

struct CountingSink {
    int64_t triangles = 0;
    float checksum = 0;  // keeps the vertex work from being optimised away
    void triangle() { ++triangles; }
    void vertex(const float* normal, const float* point) { checksum += normal[0] + point[1]; }
};

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Processor time of this thread: other programs sharing the cores do not count against it.
double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

}  // namespace

int main() {
    // Start-up also makes the grain texture, which needs a rendering context.
    if (!platform::offscreen_gl_open(640, 480)) {
        std::printf("no rendering context: %s\n", platform::offscreen_gl_error());
        return 1;
    }
    show::init_metaballs();
    const float starts[] = {0.0f, 7.5f, 31.0f, 64.0f, 120.0f};
    const int32_t frames_per_start = 120;  // two seconds at 60 frames per second
    std::vector<double> field_ms, cells_ms, frame_ms, cpu_ms;
    CountingSink sink;
    std::printf("metaball frame (update_field + 64000-cell pass, CPU only)\n");
    std::printf("%8s %10s %10s %10s %12s\n", "t0", "field ms", "cells ms", "frame ms", "tri/frame");
    for (float start : starts) {
        // Settle the running sum first, as the scene would have after a few frames.
        for (int32_t warm = 0; warm < 10; ++warm) {
            show::place_blobs(start + (warm - 10) / 60.0f);
            show::update_field();
        }
        double field_sum = 0, cells_sum = 0;
        const int64_t triangles_before = sink.triangles;
        for (int32_t frame = 0; frame < frames_per_start; ++frame) {
            show::place_blobs(start + frame / 60.0f);
            const double cpu0 = thread_cpu_ms();
            const Clock::time_point t0 = Clock::now();
            show::update_field();
            const Clock::time_point t1 = Clock::now();
            show::polygonise_field_to(sink);
            const Clock::time_point t2 = Clock::now();
            cpu_ms.push_back(thread_cpu_ms() - cpu0);
            field_ms.push_back(milliseconds(t0, t1));
            cells_ms.push_back(milliseconds(t1, t2));
            frame_ms.push_back(milliseconds(t0, t2));
            field_sum += field_ms.back();
            cells_sum += cells_ms.back();
        }
        std::printf("%8.1f %10.3f %10.3f %10.3f %12lld\n", start, field_sum / frames_per_start,
                    cells_sum / frames_per_start, (field_sum + cells_sum) / frames_per_start,
                    static_cast<long long>((sink.triangles - triangles_before) / frames_per_start));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto minimum = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("over %zu frames: frame median %.3f ms, min %.3f ms (field median %.3f, cells median %.3f)\n",
                frame_ms.size(), median(frame_ms), minimum(frame_ms), median(field_ms), median(cells_ms));
    std::printf("thread processor time per frame: median %.3f ms, min %.3f ms\n", median(cpu_ms), minimum(cpu_ms));
    std::printf("target: under 2 ms per frame   (checksum %g)\n", static_cast<double>(sink.checksum));
    platform::offscreen_gl_close();
    return 0;
}
