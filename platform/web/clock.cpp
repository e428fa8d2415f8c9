// The page's clock: performance.now() in microseconds for the live demo; for the offline page a
// count the page moves itself, one per frame at 60 a second. Threads do not exist here.

#include "platform/clock.h"

#include <emscripten/emscripten.h>

#include <cmath>

#include "platform/web/web.h"

namespace platform {

namespace web {

Mode mode = Mode::live;

namespace {
int64_t offline_count = 0;
int64_t offline_frequency = 60;
}  // namespace

void set_clock_count(int64_t count, int64_t frequency) {
    offline_count = count;
    offline_frequency = frequency;
}

}  // namespace web

int64_t performance_counter() {
    if (web::mode == web::Mode::offline) return web::offline_count;
    return static_cast<int64_t>(std::floor(emscripten_get_now() * 1000.0));
}

int64_t performance_frequency() {
    return web::mode == web::Mode::offline ? web::offline_frequency : 1000000;
}

void raise_thread_priority(std::thread&) {}

}  // namespace platform
