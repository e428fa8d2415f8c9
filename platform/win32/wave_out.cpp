#include "platform/wave_out.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform {

struct WaveOut {
    HWAVEOUT handle = nullptr;
    WAVEHDR header{};  // one header for the whole ring, looped by the device itself
    // The device counts bytes in 32 bits; the count handed out grows on past each wrap.
    uint32_t last_count = 0;
    uint64_t wrapped = 0;
};

namespace {

char wave_reason[MAXERRORLENGTH + 32] = "";

void forget_ring(WaveOut* device) {
    if (device->header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(device->handle, &device->header, sizeof(WAVEHDR));
    device->header = WAVEHDR{};
    device->last_count = 0;
    device->wrapped = 0;
}

}  // namespace

WaveOut* wave_open(int32_t rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    HWAVEOUT handle = nullptr;
    const MMRESULT result = waveOutOpen(&handle, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        if (waveOutGetErrorTextA(result, wave_reason, sizeof wave_reason) != MMSYSERR_NOERROR)
            wsprintfA(wave_reason, "waveOutOpen failed with code %u", static_cast<unsigned>(result));
        return nullptr;
    }
    auto* device = new WaveOut;
    device->handle = handle;
    return device;
}

const char* wave_error() { return wave_reason; }

void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes) {
    if (!device || !ring || bytes < 4) return;
    WAVEHDR& header = device->header;
    header = WAVEHDR{};
    header.lpData = static_cast<LPSTR>(const_cast<void*>(ring));  // the device only reads it
    header.dwBufferLength = bytes & ~3u;
    header.dwBytesRecorded = 0;
    header.dwUser = 0;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFFu;  // for as long as it plays
    waveOutPrepareHeader(device->handle, &header, sizeof(WAVEHDR));
    waveOutWrite(device->handle, &header, sizeof(WAVEHDR));
}

uint64_t wave_position(WaveOut* device) {
    if (!device || !device->header.lpData) return 0;
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(device->handle, &time, sizeof time) != MMSYSERR_NOERROR)
        return device->wrapped + device->last_count;
    // A device that cannot count bytes answers in the nearest type it has.
    uint32_t count = time.u.cb;
    if (time.wType == TIME_SAMPLES) count = time.u.sample * 4u;
    if (count < device->last_count) device->wrapped += uint64_t{1} << 32;
    device->last_count = count;
    return device->wrapped + count;
}

void wave_reset(WaveOut* device) {
    if (!device) return;
    waveOutReset(device->handle);  // the header comes back done, so it can be unprepared
    forget_ring(device);
}

void wave_close(WaveOut* device) {
    if (!device) return;
    waveOutReset(device->handle);
    forget_ring(device);
    waveOutClose(device->handle);
    delete device;
}

}  // namespace platform
