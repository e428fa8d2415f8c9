// Frame times of the four scenes at 640 x 480 on the offscreen context: for each, 600 whole
// frames of the show (draw_frame, then glFinish so the rasteriser's work counts) with the song
// position held in the scene's orders and the clock advancing 1/60 s per frame. Then the CPU
// parts that are ours, timed on their own over the same 600 frames: field update and marching
// cubes, grain fill, particle pass, ribbon relaxation. Prints numbers; never fails.
//   bench_scenes [FRAMES [SCENE]]   SCENE: credits, metaballs, ribbons or fountain alone
#include "platform/offscreen_gl.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/scenes/fountain.h"
#include "show/scenes/metaball_scene.h"
#include "show/scenes/ribbons.h"
#include "show/timeline.h"
#include "tests/support/play_position.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spread {
    double p50, p95, max;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}

struct CountingSink {
    int64_t triangles = 0;
    float checksum = 0;  // keeps the vertex work from being optimised away
    void triangle() { ++triangles; }
    void vertex(const float* normal, const float* point) { checksum += normal[0] + point[1]; }
};

int32_t visible_particles = 0;
void count_particle(const show::Particle&) { ++visible_particles; }

struct SceneRun {
    const char* name;
    uint8_t order;
    float start_time;  // seconds of show at which the run starts
    // The CPU work of one frame at time t that is ours rather than the rasteriser's.
    std::function<void(float t)> cpu_part;
    const char* cpu_what;
};

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    if (!platform::offscreen_gl_open(640, 480)) {
        std::fprintf(stderr, "bench_scenes: no GL context: %s\n", platform::offscreen_gl_error());
        return 1;
    }
    show::init_graphics();
    show::init_metaballs();
    show::init_trail_offsets();
    test_support::PlayPosition position(0, 0);

    CountingSink sink;
    const SceneRun runs[] = {
        {"credits", 3, 40.0f, [](float) { show::fill_noise(); }, "grain fill"},
        {"metaballs", 7, 60.0f,
         [&sink](float t) {
             show::place_blobs(t);
             show::update_field();
             show::polygonise_field_to(sink);
         },
         "field + marching cubes"},
        {"ribbons", 12, 80.0f,
         [](float t) {
             show::RibbonHead heads[show::RIBBON_FAMILIES];
             for (int32_t f = 0; f < show::RIBBON_FAMILIES; ++f) heads[f] = show::ribbon_head(t, f);
             show::move_ribbons(heads);
         },
         "ribbon relaxation"},
        {"fountain", 22, 140.0f,
         [](float t) {
             const show::FountainEmitters e = show::fountain_emitters(t);
             show::emit_particle(show::particle_pool, e.first[0], e.first[1], e.first[2], 255, 255, 255, 255);
             show::emit_particle(show::particle_pool, e.second[0], e.second[1], e.second[2], 255, 255, 255, 255);
             show::update_particles(show::particle_pool, count_particle);
         },
         "particle pass"},
    };

    struct Summary {
        const char* name;
        Spread frame, cpu;
        const char* cpu_what;
    };
    std::vector<Summary> summary;
    std::printf("%d frames per scene at 640 x 480, 1/60 s apart (whole frame incl. glFinish)\n", frames);
    std::printf("%-10s %9s %9s %9s %9s   %-24s %9s %9s\n", "scene", "p50 ms", "p95 ms", "max ms", "fps p50",
                "CPU part", "p50 ms", "p95 ms");
    for (const SceneRun& run : runs) {
        if (argc > 2 && std::string(argv[2]) != run.name) continue;
        position.set(run.order, 1);
        std::vector<double> frame_ms, cpu_ms;
        show::frame_time = run.start_time;
        for (int n = 0; n < frames; ++n) {
            const float t = run.start_time + static_cast<float>(n + 1) / 60.0f;
            show::frame_delta = t - show::frame_time;
            show::frame_time = t;
            const Clock::time_point start = Clock::now();
            show::draw_frame();
            glFinish();
            frame_ms.push_back(ms_since(start));
        }
        for (int n = 0; n < frames; ++n) {
            const float t = run.start_time + static_cast<float>(frames + n + 1) / 60.0f;
            const Clock::time_point start = Clock::now();
            run.cpu_part(t);
            cpu_ms.push_back(ms_since(start));
        }
        const Spread f = spread(frame_ms), c = spread(cpu_ms);
        std::printf("%-10s %9.3f %9.3f %9.3f %9.0f   %-24s %9.3f %9.3f\n", run.name, f.p50, f.p95, f.max,
                    1000.0 / f.p50, run.cpu_what, c.p50, c.p95);
        summary.push_back({run.name, f, c, run.cpu_what});
    }
    for (const Summary& s : summary)
        std::printf("= Scene %s, frame p50 / p95 | %.2f / %.2f ms (%.0f fps at p50) | >= 200 fps\n", s.name, s.frame.p50,
                    s.frame.p95, 1000.0 / s.frame.p50);
    for (const Summary& s : summary)
        std::printf("= CPU part of %s: %s, p50 | %.3f ms | %s\n", s.name, s.cpu_what, s.cpu.p50,
                    std::string(s.name) == "metaballs" ? "<= 2 ms" : "-");
    std::printf("(checksums %g %d; target: every scene >= 200 fps at p50, field + cubes <= 2 ms)\n",
                static_cast<double>(sink.checksum), visible_particles);
    platform::offscreen_gl_close();
    return 0;
}
