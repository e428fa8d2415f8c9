// Start-up time of the real program: from process start to the first presented frame, with the
// whole driver (window, song load, graphics start-up, the 2-second prefill of the sound ring)
// and the question answered at once: SDL's offscreen video driver has no display to ask on,
// which the driver takes as full screen. Sound goes to SDL's dummy driver.
// The bench starts itself again as the program for each run and reads when each step ended.
//   bench_startup [RUNS]
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/driver.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/scenes/ribbons.h"
#include "show/timeline.h"

extern char** environ;

namespace {

double now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);  // shared by parent and child
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The steps of one start-up, in the order they end.
enum Step { MAIN, GRAPHICS_START, GRAPHICS_DONE, METABALLS_DONE, TRAILS_DONE, FIRST_FRAME_START, PRESENTED, STEPS };
const char* const STEP_NAMES[STEPS] = {"main() entered",     "window, sound device, song", "init_graphics",
                                       "init_metaballs",     "init_trail_offsets",         "play_song (prefill)",
                                       "first frame drawn and presented"};
double stamps[STEPS];

void timed_init_graphics() {
    stamps[GRAPHICS_START] = now_ms();
    show::init_graphics();
    stamps[GRAPHICS_DONE] = now_ms();
}
void timed_init_metaballs() {
    show::init_metaballs();
    stamps[METABALLS_DONE] = now_ms();
}
void timed_init_trail_offsets() {
    show::init_trail_offsets();
    stamps[TRAILS_DONE] = now_ms();
}
void first_frame_then_quit() {
    stamps[FIRST_FRAME_START] = now_ms();
    show::draw_frame();
    shell::quit_requested = true;  // the loop presents this frame, then ends
}
void timed_release_graphics() {
    stamps[PRESENTED] = now_ms();  // the first thing after the loop: the frame has been swapped
    show::release_graphics();
}

int run_as_program() {
    stamps[MAIN] = now_ms();
    shell::show_steps = {timed_init_graphics, timed_init_metaballs, timed_init_trail_offsets, first_frame_then_quit,
                         timed_release_graphics};
    shell::run_demo();
    for (double stamp : stamps) std::printf("%.4f ", stamp);
    std::printf("\n");
    return 0;
}

// One start-up in a fresh process; the stamps are relative to just before the spawn.
bool one_run(const char* self, double relative[STEPS]) {
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* const args[] = {const_cast<char*>(self), const_cast<char*>("--program"), nullptr};
    const double start = now_ms();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    if (failed || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    const char* p = text.c_str();
    for (int s = 0; s < STEPS; ++s) {
        char* end = nullptr;
        const double stamp = std::strtod(p, &end);
        if (end == p || stamp == 0.0) return false;  // a step that never ran
        relative[s] = stamp - start;
        p = end;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--program") == 0) return run_as_program();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::vector<std::vector<double>> per_step(STEPS);
    for (int r = 0; r < runs; ++r) {
        double relative[STEPS];
        if (!one_run(argv[0], relative)) {
            std::printf("bench_startup: the program did not reach its first frame\n");
            return 0;
        }
        for (int s = 0; s < STEPS; ++s) per_step[s].push_back(relative[s]);
    }
    std::printf("start-up over %d runs, ms from process start (median, min, max) and the step's own median\n", runs);
    double previous = 0.0;
    std::vector<double> medians(STEPS);
    for (int s = 0; s < STEPS; ++s) {
        std::vector<double> v = per_step[s];
        std::sort(v.begin(), v.end());
        medians[s] = v[v.size() / 2];
        std::printf("  %-34s %8.1f %8.1f %8.1f   (+%.1f)\n", STEP_NAMES[s], medians[s], v.front(), v.back(),
                    medians[s] - previous);
        previous = medians[s];
    }
    std::printf("= Start-up to the first presented frame | %.0f ms (min %.0f) | <= 150 ms\n", medians[PRESENTED],
                *std::min_element(per_step[PRESENTED].begin(), per_step[PRESENTED].end()));
    return 0;
}
