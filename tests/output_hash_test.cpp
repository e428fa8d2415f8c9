// What the demo plays and computes for the show must not change by a single bit when its code
// is made faster: these fingerprints were taken from the straightforward code, and any
// optimisation has to reproduce them. A change that is meant to alter the output updates them
// in the same commit, saying why.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "music/engine.h"
#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "shell/runtime.h"
#include "show/particles.h"
#include "show/scenes/ribbons.h"
#include "tests/support/fingerprint.h"

namespace {

using test_support::Fingerprint;

// The built-in song from its first block to the 8400th (past the end of its first pass, into
// the second): every 16-bit sample that reaches the device, and the position each block reports.
TEST(OutputFingerprint, TheBuiltInSongRendersToTheSameBytes) {
    music::install_memory_callbacks();
    ASSERT_TRUE(music::mixer_configure(44100));
    music::Song* song = music::load_song("");
    ASSERT_NE(song, nullptr) << music::load_error();
    ASSERT_TRUE(music::play_offline(song, 44100));
    Fingerprint pcm, positions;
    for (int32_t b = 0; b < 8400; ++b) {
        const int32_t block = music::fill_index;
        music::fill_block();
        pcm.add(music::wave_buffer + static_cast<int64_t>(block) * music::block_frames * 2,
                static_cast<size_t>(music::block_frames) * 4);
        positions.add(&music::block_info[block], sizeof(music::BlockInfo));
    }
    music::stop_offline();
    music::free_song(song);
    EXPECT_EQ(pcm.value, 0x9313dab14dc0336dull) << std::hex << pcm.value;
    EXPECT_EQ(positions.value, 0xffddf6055b1d9106ull) << std::hex << positions.value;
}

// The ribbons after 2000 frames of motion from program start, and the particles the fountain's
// pass hands to drawing over 1000 frames: the show's own arithmetic, without the rasteriser.
Fingerprint drawn_particles;
void fingerprint_particle(const show::Particle& p) { drawn_particles.add(&p, sizeof p); }

TEST(OutputFingerprint, RibbonsAndParticlesMoveTheSameWay) {
    runtime::rand_state = runtime::RAND_START;
    show::init_trail_offsets();
    std::memset(show::ribbon_points, 0, sizeof show::ribbon_points);
    for (int32_t frame = 1; frame <= 2000; ++frame) {
        show::RibbonHead heads[show::RIBBON_FAMILIES];
        for (int32_t f = 0; f < show::RIBBON_FAMILIES; ++f) heads[f] = show::ribbon_head(frame / 60.0f, f);
        show::move_ribbons(heads);
    }
    Fingerprint ribbons;
    ribbons.add(show::ribbon_points, sizeof show::ribbon_points);
    EXPECT_EQ(ribbons.value, 0x90d1a23c997c41e0ull) << std::hex << ribbons.value;

    show::Particle* pool = static_cast<show::Particle*>(
        runtime::heap_alloc_zeroed(sizeof(show::Particle) * show::PARTICLE_CAPACITY));
    ASSERT_NE(pool, nullptr);
    show::Particle* saved_pool = show::particle_pool;
    show::particle_pool = pool;
    show::clear_particles(pool);
    const int32_t saved_count = show::particle_count, saved_first = show::first_live;
    show::particle_count = 0;
    show::first_live = 0;
    drawn_particles = {};
    for (int32_t frame = 1; frame <= 1000; ++frame) {
        show::emit_particle(pool, 10.0f, -5.0f, 3.0f, 255, 255, 255, 255);
        show::emit_particle(pool, -10.0f, 5.0f, -3.0f, 255, 255, 255, 255);
        show::update_particles(pool, fingerprint_particle);
    }
    show::particle_pool = saved_pool;
    show::particle_count = saved_count;
    show::first_live = saved_first;
    runtime::heap_free(pool);
    EXPECT_EQ(drawn_particles.value, 0xee0203cdaaf06414ull) << std::hex << drawn_particles.value;
}

}  // namespace
