#pragma once
// Audio output and playback control: the looping two-second ring on the wave-output device,
// the audio thread that refills each block the device has left, and the position heard now.

#include <atomic>
#include <cstdint>

namespace platform {
struct WaveOut;
}

namespace music {

struct Song;

// The ring's one header: the whole ring, played in an endless loop.
struct WaveHeader {
    const void* data;
    uint32_t length;  // bytes
    uint32_t flags;
    uint32_t loops;
};
constexpr uint32_t WAVE_BEGIN_LOOP = 4;
constexpr uint32_t WAVE_END_LOOP = 8;
constexpr uint32_t WAVE_PREPARED = 2;

extern platform::WaveOut* wave_out;
extern WaveHeader wave_header;
extern std::atomic<int32_t> audible_index;  // the block the device is playing now

// The stop handshake: main -> thread, thread -> main, thread -> main.
extern std::atomic<uint8_t> stop_requested;
extern std::atomic<uint8_t> busy;
extern std::atomic<uint8_t> thread_exited;

// Fails (nothing opened) when the file callbacks are not all installed or no device opens;
// audio_error() then says why.
bool audio_open(int32_t rate);
const char* audio_error();
void audio_close();  // harmless when no device is open

// Who keeps the ring filled once the device plays it: the audio thread that play_song starts
// (the program), or the caller through audio_poll (an offline renderer that moves the device's
// play position itself, so that no thread races it).
enum class Refill : uint8_t { audio_thread, caller };

// The one owner of the output the mixer fills (mixer.h): the ring, the mixing buffer and the
// block records. allocate_output makes all three for the configured rate, zero-filled, with
// fill_index at 0; false, with nothing of its own left allocated, when memory runs out.
bool allocate_output();
// Releases the mixing buffer and the block records, and the ring unless the device may still be
// looping it: that ring goes only when the device closes or is handed a newer ring. Harmless
// when nothing is allocated.
void release_output();

// Renders without a device: sets the rate, puts the song at its start, makes it the current
// song and allocates the output. The caller then calls fill_block as often as it likes and ends
// with stop_offline. False for a null song or a rate the mixer refuses.
bool play_offline(Song* song, int32_t rate);
void stop_offline();

// Mixes the first two seconds on the calling thread, starts the looping output, then the
// audio thread (unless the caller refills). False for a null song.
bool play_song(Song* song, Refill refill = Refill::audio_thread);
// Ends the audio thread and releases the mixing buffers; the device keeps looping the last
// ring until audio_close. Safe to call again. False for a null song.
bool stop_song(Song* song);

// A song for the player: read through the installed file callbacks, with the row and tick
// engine as its tick handler; null on failure (see load_error()).
Song* load_song(const void* name);
// The same from `length` bytes in memory, through the memory callbacks (which it installs and
// leaves on the built-in module afterwards).
Song* load_song_from_memory(const uint8_t* bytes, uint32_t length);
// Ends playback first, since the audio thread may be mixing this very song, then releases it.
// False for null.
bool free_song(Song* song);

// The order and row of the block heard now; 0 for a null song or before playback.
int32_t get_order(Song* song);
int32_t get_row(Song* song);

// One poll of the audio thread, given the device's position (bytes played): refills every block
// the device has left since the last poll and moves audible_index along. An offline renderer
// calls it with a position of its own instead of running the thread.
void audio_poll(uint64_t bytes_played);
// The block of the ring a device position falls in.
int32_t play_block_at(uint64_t bytes_played);

}  // namespace music
