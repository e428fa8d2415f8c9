// The real output path: SDL's disk audio driver writes what the device plays to a file, which
// must be, after the silence before playback starts, exactly what brusk-wav renders offline.

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "music/file_access.h"
#include "music/playback.h"
#include "music/song.h"
#include "platform/wave_out.h"
#include "tests/support/paths.h"

namespace {

// The sample bytes of a WAV file: what follows the "data" chunk header.
std::string wav_samples(const std::string& wav) {
    size_t at = 12;
    while (at + 8 <= wav.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wav.data() + at + 4, 4);
        if (wav.compare(at, 4, "data") == 0) return wav.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return "";
}

TEST(SdlWaveOut, DiskDriverPlaysExactlyTheOfflineRender) {
    const std::string tool = test_support::binary_path("tools/brusk-wav");
    if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "brusk-wav is not built";
    const std::string reference_wav = test_support::binary_path("tests/disk_audio_reference.wav");
    ASSERT_EQ(std::system((tool + " --seconds 8 " + reference_wav + " 2>/dev/null").c_str()), 0);
    const std::string reference = wav_samples(test_support::read_file(reference_wav));
    ASSERT_GE(reference.size(), 8u * 176400u);

    const std::string played_file = test_support::binary_path("tests/disk_audio_played.raw");
    std::remove(played_file.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", played_file.c_str(), 1);
    music::install_memory_callbacks();
    ASSERT_TRUE(music::audio_open(44100)) << "SDL's disk audio driver did not open";
    music::Song* song = music::load_song("");
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(music::play_song(song));

    // Four seconds: the ring (two seconds) is played through twice, refilled by the thread.
    const uint64_t wanted = 4 * 176400;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (platform::wave_position(music::wave_out) < wanted && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint64_t played = platform::wave_position(music::wave_out);
    music::stop_song(song);  // the device loops the last ring from here on: not compared
    music::audio_close();
    music::free_song(song);
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_GE(played, wanted) << "the device did not play four seconds within a minute";

    const std::string file = test_support::read_file(played_file);
    // Playback starts on a frame boundary after some silence: find where the reference's first
    // sound is in the file, and so where the ring started.
    const size_t first_sound = reference.find_first_not_of('\0');
    ASSERT_NE(first_sound, std::string::npos);
    const size_t probe = first_sound / 4 * 4;
    const std::string needle = reference.substr(probe, 4096);
    size_t found = file.find(needle);
    while (found != std::string::npos && found % 4 != 0) found = file.find(needle, found + 1);
    ASSERT_NE(found, std::string::npos) << "the song's first sound is not in what the device played";
    const size_t start = found - probe;
    EXPECT_EQ(file.find_first_not_of('\0'), found - probe + first_sound) << "something before the song started";
    ASSERT_GE(file.size(), start + played);

    size_t mismatch = 0;
    while (mismatch < played && file[start + mismatch] == reference[mismatch]) ++mismatch;
    EXPECT_EQ(mismatch, played) << "first difference at byte " << mismatch << " of " << played;
}

}  // namespace
