#include "music/playback.h"

#include <chrono>
#include <thread>

#include "music/engine.h"
#include "music/file_access.h"
#include "music/mixer.h"
#include "music/song.h"
#include "platform/clock.h"
#include "platform/wave_out.h"
#include "shell/runtime.h"

namespace music {

platform::WaveOut* wave_out = nullptr;
WaveHeader wave_header{};
std::atomic<int32_t> audible_index{0};
std::atomic<uint8_t> stop_requested{0};
std::atomic<uint8_t> busy{0};
std::atomic<uint8_t> thread_exited{1};  // a stop before any thread ran waits for nothing

namespace {

std::thread audio_thread_handle;
const char* audio_reason = "";
void* mix_allocation = nullptr;  // mix_buffer is its first 16-byte-aligned address
// The ring the device was handed last. It keeps looping it after a stop, so that ring outlives
// release_output and goes only at audio_close or once the device has a newer ring.
int16_t* device_ring = nullptr;

// Hands the freshly mixed ring to the device, which lets go of the one it looped before.
void loop_on_device() {
    int16_t* earlier = device_ring;
    device_ring = wave_buffer;
    wave_header = WaveHeader{device_ring, static_cast<uint32_t>(ring_frames) * 4,
                             WAVE_BEGIN_LOOP | WAVE_END_LOOP | WAVE_PREPARED, 0xFFFFFFFFu};
    platform::wave_play_loop(wave_out, wave_header.data, wave_header.length);
    if (earlier != device_ring) runtime::free(earlier);
}

// Only once the device has stopped: it may loop the ring until then.
void release_device_ring() {
    if (wave_buffer == device_ring) wave_buffer = nullptr;
    runtime::free(device_ring);
    device_ring = nullptr;
    wave_header = WaveHeader{};
}

// What the offline and the device starts share, once any earlier playback has ended and the
// rate is set: the song at its start, made current, with its output allocated.
bool start_playback(Song* song) {
    init_play_position(song);
    current_song = song;
    if (allocate_output()) return true;
    current_song = nullptr;
    return false;
}

void audio_thread() {
    thread_exited.store(0, std::memory_order_release);
    while (stop_requested.load(std::memory_order_acquire) == 0) {
        audio_poll(platform::wave_position(wave_out));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    thread_exited.store(1, std::memory_order_release);
}

}  // namespace

bool audio_open(int32_t rate) {
    if (!file_callbacks.open || !file_callbacks.close || !file_callbacks.read || !file_callbacks.seek ||
        !file_callbacks.tell) {
        audio_reason = "the file callbacks are not installed";
        return false;
    }
    audio_close();
    // Block and ramp sizes come from the rate; a rate they cannot be made from is refused.
    if (!mixer_configure(rate)) {
        audio_reason = "the mixer cannot run at that rate";
        return false;
    }
    wave_out = platform::wave_open(rate);
    if (!wave_out) {
        audio_reason = platform::wave_error();
        return false;
    }
    return true;
}

const char* audio_error() { return audio_reason; }

void audio_close() {
    if (!wave_out) return;
    platform::wave_reset(wave_out);
    platform::wave_close(wave_out);
    wave_out = nullptr;
    // Only once the thread that refills the ring has ended (stop_song comes first).
    if (!audio_thread_handle.joinable()) release_device_ring();
}

bool allocate_output() {
    release_output();
    block_info = static_cast<BlockInfo*>(runtime::calloc(static_cast<uint32_t>(block_count), sizeof(BlockInfo)));
    wave_buffer = static_cast<int16_t*>(runtime::calloc(static_cast<uint32_t>(ring_frames) * 2, sizeof(int16_t)));
    mix_allocation = runtime::calloc(static_cast<uint32_t>(ring_frames) * 2 * sizeof(float) + 256, 1);
    if (!block_info || !wave_buffer || !mix_allocation) {
        release_output();
        return false;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(mix_allocation);
    mix_buffer = reinterpret_cast<float*>((address + 15) & ~static_cast<uintptr_t>(15));
    fill_index = 0;
    return true;
}

void release_output() {
    runtime::free(mix_allocation);
    mix_allocation = nullptr;
    mix_buffer = nullptr;
    runtime::free(block_info);
    block_info = nullptr;
    // A ring the device loops stays the device's: wave_buffer goes back to naming it.
    if (wave_buffer != device_ring) runtime::free(wave_buffer);
    wave_buffer = device_ring;
}

bool play_offline(Song* song, int32_t rate) {
    if (!song) return false;
    stop_song(song);
    if (!mixer_configure(rate)) return false;
    return start_playback(song);
}

void stop_offline() {
    release_output();
    current_song = nullptr;
    fill_index = 0;
}

int32_t play_block_at(uint64_t bytes_played) {
    if (ring_frames <= 0 || block_frames <= 0) return 0;
    const uint64_t frame_in_ring = (bytes_played / 4) % static_cast<uint64_t>(ring_frames);
    return static_cast<int32_t>(frame_in_ring / static_cast<uint64_t>(block_frames));
}

void audio_poll(uint64_t bytes_played) {
    // fill_block does nothing without a song and its buffers (before play, after a stop):
    // fill_index would never reach the play block.
    if (!current_song || !mix_buffer || !wave_buffer || !block_info) return;
    if (fill_index < 0 || fill_index >= block_count) return;
    const int32_t play_block = play_block_at(bytes_played);
    while (fill_index != play_block) {
        busy.store(1, std::memory_order_release);
        fill_block();
        int32_t next = audible_index.load(std::memory_order_relaxed) + 1;
        if (next >= block_count) next = 0;
        audible_index.store(next, std::memory_order_release);
        busy.store(0, std::memory_order_release);
    }
}

bool play_song(Song* song, Refill refill) {
    if (!song) return false;
    stop_song(song);
    if (!start_playback(song)) return false;

    // The first two seconds, mixed here before the device starts.
    do {
        fill_block();
    } while (fill_index != 0);
    audible_index.store(0, std::memory_order_release);
    loop_on_device();

    stop_requested.store(0, std::memory_order_release);
    if (refill == Refill::caller) return true;  // the caller polls; a later stop waits for no thread
    thread_exited.store(0, std::memory_order_release);
    audio_thread_handle = std::thread(audio_thread);
    platform::raise_thread_priority(audio_thread_handle);
    return true;
}

bool stop_song(Song* song) {
    if (!song) return false;
    stop_requested.store(1, std::memory_order_release);
    while (busy.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    if (audio_thread_handle.joinable()) {
        while (thread_exited.load(std::memory_order_acquire) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        audio_thread_handle.join();
    }
    release_output();
    // The device keeps looping the ring until it is closed; only the header's mark goes.
    wave_header.flags &= ~WAVE_PREPARED;
    current_song = nullptr;
    return true;
}

Song* load_song(const void* name) {
    Song* song = read_song(name);
    if (song) song->tick_handler = tick_update;
    return song;
}

Song* load_song_from_memory(const uint8_t* bytes, uint32_t length) {
    install_memory_callbacks();
    // No bytes are an empty module (refused as such), not the built-in one.
    static const uint8_t nothing = 0;
    set_memory_module(bytes ? bytes : &nothing, bytes ? length : 0);
    Song* song = load_song("");
    set_memory_module(nullptr, 0);  // the song keeps copies: nothing points at the caller's bytes
    return song;
}

bool free_song(Song* song) {
    if (!song) return false;
    // Nothing may be released while the audio thread mixes this song: let it finish the block
    // it is on, then end playback.
    while (busy.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    stop_song(song);
    release_song(song);
    return true;
}

// The audio thread may be refilling the audible block's record as it is read: each byte is
// read whole, as the old or the new value.
int32_t get_order(Song* song) {
    if (!song || !block_info) return 0;
    return load_block_byte(block_info[audible_index.load(std::memory_order_acquire)].order);
}

int32_t get_row(Song* song) {
    if (!song || !block_info) return 0;
    return load_block_byte(block_info[audible_index.load(std::memory_order_acquire)].row);
}

}  // namespace music
