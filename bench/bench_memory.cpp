// Peak resident memory of the live program: brusk runs for SECONDS (default 170, one pass of
// the song and every scene) on SDL's offscreen video and dummy sound drivers, is asked to stop
// with SIGTERM (a background job ignores SIGINT), and the kernel's high-water mark of its
// resident set is read when it ends. The resident set after 10 s is the baseline the rest of
// the pass is compared with: the show allocates everything at start-up, so it should not grow.
//   bench_memory [SECONDS]
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

extern char** environ;

namespace {

std::string program_path(const char* self) {
    std::string dir = self;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "/../shell/brusk";
}

// The resident set now, from the kernel's status page, in KiB; -1 when it cannot be read.
long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 170;
    const std::string program = program_path(argv[0]);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    char* const args[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args, environ) != 0) {
        std::printf("bench_memory: could not start %s\n", program.c_str());
        return 0;
    }
    long settled = -1, last = -1;
    for (int s = 1; s <= seconds; ++s) {
        sleep(1);
        last = resident_kib(pid);
        if (s == std::min(10, seconds)) settled = last;
    }
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("bench_memory: brusk did not end cleanly (status %d)\n", status);
        return 0;
    }
    std::printf("bench_memory: resident after %d s %.1f MiB, after %d s %.1f MiB, peak %.1f MiB; exit status 0\n",
                std::min(10, seconds), settled / 1024.0, seconds, last / 1024.0, usage.ru_maxrss / 1024.0);
    std::printf("= Peak resident memory of brusk over %d s | %.1f MiB | <= 64 MiB\n", seconds,
                usage.ru_maxrss / 1024.0);
    // Later scenes page in their own code and Mesa's shaders for them; anything beyond that is a leak.
    std::printf("= Growth of brusk's peak resident memory past its first %d s | %+.1f MiB | <= 16 MiB\n",
                std::min(10, seconds), (usage.ru_maxrss - settled) / 1024.0);
    return 0;
}
