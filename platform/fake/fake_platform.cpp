#include "platform/fake/fake_platform.h"

#include "platform/clock.h"
#include "platform/wave_out.h"

namespace platform {

struct Window {
    int id;
};
struct DeviceContext {
    int id;
};
struct GlContext {
    int id;
};
struct WaveOut {
    int id;
};

namespace fake {
namespace {

std::mutex log_mutex;
State* current = new State;  // never destroyed: a player thread may still poll at exit

Window the_window{1};
DeviceContext the_dc{2};
GlContext the_context{3};
WaveOut the_device{4};

void log(const std::string& call) {
    std::lock_guard<std::mutex> lock(log_mutex);
    current->calls.push_back(call);
}

bool fails(const char* name) {
    std::lock_guard<std::mutex> lock(log_mutex);
    return current->failing.count(name) != 0;
}

const char* icon_name(Icon icon) {
    switch (icon) {
    case Icon::exclamation: return "exclamation";
    case Icon::stop: return "stop";
    case Icon::question: return "question";
    }
    return "?";
}

}  // namespace

State& state() { return *current; }

void reset() {
    std::lock_guard<std::mutex> lock(log_mutex);
    delete current;
    current = new State;
}

std::vector<std::string> calls_matching(std::initializer_list<const char*> prefixes) {
    std::lock_guard<std::mutex> lock(log_mutex);
    std::vector<std::string> out;
    for (const std::string& call : current->calls)
        for (const char* prefix : prefixes)
            if (call.rfind(prefix, 0) == 0) {
                out.push_back(call);
                break;
            }
    return out;
}

}  // namespace fake

using fake::fails;
using fake::log;

Answer ask_yes_no(const char* text, const char* caption, Icon icon) {
    log(std::string("ask_yes_no ") + caption);
    fake::state().dialogs.push_back({"ask", text, caption, icon});
    auto& answers = fake::state().answers;
    if (answers.empty()) return Answer::not_shown;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void show_message(const char* text, const char* caption, Icon icon) {
    log(std::string("show_message ") + caption + " " + fake::icon_name(icon) + " " + text);
    fake::state().dialogs.push_back({"message", text, caption, icon});
}

bool init_video(WindowProc proc) {
    log("init_video");
    fake::state().window_proc = proc;
    return !fails("init_video");
}

void quit_video() { log("quit_video"); }

bool change_display_mode(int width, int height, int bits) {
    log("change_display_mode " + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits));
    return !fails("change_display_mode");
}

void restore_display_mode() { log("restore_display_mode"); }

Window* create_window(const char* title, int width, int height, bool fullscreen) {
    log(std::string("create_window ") + (fullscreen ? "fullscreen " : "windowed ") + std::to_string(width) + "x" +
        std::to_string(height) + " " + title);
    return fails("create_window") ? nullptr : &fake::the_window;
}

void destroy_window(Window* window) { log(window ? "destroy_window" : "destroy_window null"); }

DeviceContext* get_device_context(Window*) {
    log("get_device_context");
    return fails("get_device_context") ? nullptr : &fake::the_dc;
}

void release_device_context(Window*, DeviceContext* dc) {
    log(dc ? "release_device_context" : "release_device_context null");
}

int choose_pixel_format(DeviceContext*, const PixelFormat& request) {
    log("choose_pixel_format color " + std::to_string(request.color_bits) + " depth " +
        std::to_string(request.depth_bits) + (request.double_buffer ? " double" : " single"));
    return fails("choose_pixel_format") ? 0 : 7;
}

bool set_pixel_format(DeviceContext*, int format, const PixelFormat&) {
    log("set_pixel_format " + std::to_string(format));
    return !fails("set_pixel_format");
}

GlContext* create_gl_context(DeviceContext*) {
    log("create_gl_context");
    return fails("create_gl_context") ? nullptr : &fake::the_context;
}

bool make_current(DeviceContext* dc, GlContext* context) {
    if (!context) {
        log("make_current none");
        return true;
    }
    log(dc ? "make_current" : "make_current no surface");
    return !fails("make_current");
}

void delete_gl_context(GlContext*) { log("delete_gl_context"); }

void show_window(Window*) { log("show_window"); }
void focus_window(Window*) { log("focus_window"); }

void show_cursor(bool visible) {
    log(visible ? "show_cursor" : "hide_cursor");
    fake::state().cursor_visible = visible;
}

void swap_buffers(DeviceContext*) {
    log("swap_buffers");
    fake::State& s = fake::state();
    s.swap_count += 1;
    auto arriving = s.messages_after_swap.find(s.swap_count);
    if (arriving != s.messages_after_swap.end())
        for (const Message& m : arriving->second) s.messages.push_back(m);
}

bool next_message(Message& message) {
    fake::State& s = fake::state();
    if (!s.messages.empty()) {
        message = s.messages.front();
        s.messages.pop_front();
        return true;
    }
    if (s.quit_pending) {
        s.quit_pending = false;
        message = Message{};
        message.type = MessageType::quit;
        message.quit_code = s.quit_code;
        return true;
    }
    return false;
}

void post_quit_message(int32_t code) {
    log("post_quit_message " + std::to_string(code));
    fake::state().quit_pending = true;
    fake::state().quit_code = code;
}

int32_t default_window_proc(Window*, const Message&) {
    log("default_window_proc");
    return 0;
}

int64_t performance_counter() {
    auto& values = fake::state().counter_values;
    int64_t value = values.front();
    if (values.size() > 1) values.pop_front();
    log("performance_counter " + std::to_string(value));
    return value;
}

int64_t performance_frequency() {
    log("performance_frequency");
    return fake::state().frequency;
}

void raise_thread_priority(std::thread&) { log("raise_thread_priority"); }

WaveOut* wave_open(int32_t rate) {
    log("wave_open " + std::to_string(rate));
    if (fails("wave_open")) return nullptr;
    fake::state().wave_is_open = true;
    fake::state().wave_rate = rate;
    return &fake::the_device;
}

const char* wave_error() { return "the fake device was told to fail"; }

void wave_play_loop(WaveOut*, const void* ring, uint32_t bytes) {
    log("wave_play_loop " + std::to_string(bytes));
    fake::state().ring = ring;
    fake::state().ring_bytes = bytes;
}

// Polled by the player thread many times: not logged.
uint64_t wave_position(WaveOut*) { return fake::state().position.load(std::memory_order_acquire); }

void wave_reset(WaveOut* device) {
    log(device ? "wave_reset" : "wave_reset null");
    fake::state().ring = nullptr;
    fake::state().ring_bytes = 0;
    fake::state().position.store(0);
}

void wave_close(WaveOut* device) {
    log(device ? "wave_close" : "wave_close null");
    if (device) fake::state().wave_is_open = false;
}

}  // namespace platform
