// Long runs, offline: the fountain far past the particle pool's capacity, and the song played
// pass after pass. Nothing may grow, leave its bounds or drift.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "music/channel.h"
#include "music/engine.h"
#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "shell/runtime.h"
#include "show/particles.h"
#include "show/scenes/fountain.h"
#include "tests/support/memory_image.h"
#include "tools/xm_writer.h"

namespace {

// AddressSanitizer keeps freed blocks in quarantine and maps shadow pages as it goes, so there
// the resident size says nothing about ours; the count of live heap blocks still does.
#if defined(__SANITIZE_ADDRESS__)
constexpr long PAGE_SLACK = 1 << 20;
#else
constexpr long PAGE_SLACK = 8;
#endif

// Resident pages of this process's own memory (0 where /proc cannot tell). Pages of code and
// other mapped files are left out: a path first taken late in the run pages in more of them.
long resident_pages() {
    long size = 0, resident = 0, shared = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld %ld", &size, &resident, &shared) != 3) resident = shared = 0;
    std::fclose(f);
    return resident - shared;
}

struct FountainCheck {
    const show::Particle* pool = nullptr;
    int64_t drawn = 0;
    int64_t outside = 0;
};
FountainCheck fountain_check;

void count_in_bounds(const show::Particle& p) {
    const show::Particle* at = &p;
    if (at < fountain_check.pool || at >= fountain_check.pool + show::particle_count) ++fountain_check.outside;
    ++fountain_check.drawn;
}

TEST(Soak, FountainRunsFarPastThePoolCapacityWithoutLosingOrGrowing) {
    constexpr int32_t FRAMES = 200000;  // the pool holds 64000 frames of two particles
    constexpr int32_t WARM_UP = 1000;   // every particle born from here on has a full life behind it
    constexpr int32_t POOL_TOUCHED = 70000;

    show::Particle* const saved_pool = show::particle_pool;
    const int32_t saved_count = show::particle_count, saved_first = show::first_live;
    show::particle_pool = static_cast<show::Particle*>(
        runtime::heap_alloc_zeroed(static_cast<int32_t>(sizeof(show::Particle)) * show::PARTICLE_CAPACITY));
    ASSERT_NE(show::particle_pool, nullptr);
    show::particle_count = 0;
    show::first_live = 0;
    runtime::rand_state = runtime::RAND_START;
    fountain_check = {show::particle_pool, 0, 0};

    const int32_t blocks = runtime::heap_live_blocks();
    int64_t steady = -1;
    int32_t unsteady_frames = 0, out_of_pool_frames = 0, compactions = 0;
    long pages_at_touched = 0, pages_at_end = 0;
    for (int32_t frame = 0; frame < FRAMES; ++frame) {
        const int32_t count_before = show::particle_count;
        fountain_check.drawn = 0;
        show::run_fountain_particles(static_cast<float>(frame / 60.0), count_in_bounds);
        if (show::particle_count < count_before) ++compactions;
        if (show::particle_count > show::PARTICLE_CAPACITY || show::first_live > show::particle_count)
            ++out_of_pool_frames;
        // Every particle lives the same number of frames, so once the first ones have faded the
        // number on screen never changes, also across the pool's compaction.
        if (frame == WARM_UP) steady = fountain_check.drawn;
        if (frame > WARM_UP && fountain_check.drawn != steady) ++unsteady_frames;
        if (frame == POOL_TOUCHED) pages_at_touched = resident_pages();
        if (frame == FRAMES - 1) pages_at_end = resident_pages();
    }
    EXPECT_GT(steady, 100);
    EXPECT_EQ(unsteady_frames, 0);
    EXPECT_EQ(out_of_pool_frames, 0);
    EXPECT_EQ(fountain_check.outside, 0);
    EXPECT_GE(compactions, 2);  // 400000 particles through a 128000-record pool
    EXPECT_EQ(runtime::heap_live_blocks(), blocks);
    EXPECT_LE(pages_at_end - pages_at_touched, PAGE_SLACK);

    runtime::heap_free(show::particle_pool);
    show::particle_pool = saved_pool;
    show::particle_count = saved_count;
    show::first_live = saved_first;
}

// Every row the song reaches, in order, and where each pass of the song begins.
struct PassLog {
    std::vector<std::pair<int32_t, int32_t>> rows;
    std::vector<size_t> pass_starts;
};
PassLog* pass_log = nullptr;

void logging_tick(music::Song* song) {
    music::tick_update(song);
    const std::pair<int32_t, int32_t> now{song->order, song->row};
    auto& rows = pass_log->rows;
    if (!rows.empty() && rows.back() == now) return;
    // A pass ends when the last order position hands over to an earlier one.
    if (!rows.empty() && rows.back().first == song->song_length - 1 && now.first < rows.back().first)
        pass_log->pass_starts.push_back(rows.size());
    rows.push_back(now);
}

TEST(Soak, TenPassesOfTheSongReachTheSameRowsWithFlatMemory) {
    // A low rate keeps ten passes quick; the engine's ticks and rows do not depend on it.
    constexpr int32_t RATE = 8000;
    constexpr int PASSES = 10;
    music::install_memory_callbacks();
    music::set_memory_module(nullptr, 0);
    music::Song* song = music::load_song("");
    ASSERT_NE(song, nullptr) << music::load_error();
    ASSERT_TRUE(music::play_offline(song, RATE));
    PassLog log;
    // The log itself must not grow the process during the run: its pages are touched up front.
    log.rows.resize(1 << 16);
    log.rows.clear();
    log.pass_starts.reserve(PASSES + 1);
    pass_log = &log;
    song->tick_handler = logging_tick;

    std::vector<int32_t> blocks_at_pass;
    std::vector<long> pages_at_pass;
    blocks_at_pass.reserve(PASSES + 1);
    pages_at_pass.reserve(PASSES + 1);
    size_t seen_passes = 0;
    // Twenty minutes of song is far more than ten passes.
    for (int64_t frames = 0; log.pass_starts.size() < PASSES && frames < int64_t{RATE} * 60 * 200;
         frames += music::block_frames) {
        music::fill_block();
        if (log.pass_starts.size() != seen_passes) {
            seen_passes = log.pass_starts.size();
            blocks_at_pass.push_back(runtime::heap_live_blocks());
            pages_at_pass.push_back(resident_pages());
        }
    }
    music::stop_offline();
    music::free_song(song);
    pass_log = nullptr;

    ASSERT_EQ(log.pass_starts.size(), static_cast<size_t>(PASSES));
    const std::vector first(log.rows.begin(), log.rows.begin() + static_cast<ptrdiff_t>(log.pass_starts[0]));
    EXPECT_EQ(first.front(), (std::pair<int32_t, int32_t>{0, 0}));
    EXPECT_EQ(first.back().first, 25);  // the last order position
    for (int pass = 1; pass < PASSES; ++pass) {
        SCOPED_TRACE(pass);
        const auto begin = log.rows.begin() + static_cast<ptrdiff_t>(log.pass_starts[pass - 1]);
        const auto end = log.rows.begin() + static_cast<ptrdiff_t>(log.pass_starts[pass]);
        EXPECT_EQ(std::vector(begin, end), first);
    }
    // The first pass touches the buffers for the first time; from the second on nothing grows.
    for (size_t i = 1; i < blocks_at_pass.size(); ++i) {
        EXPECT_EQ(blocks_at_pass[i], blocks_at_pass[0]);
        EXPECT_LE(pages_at_pass[i] - pages_at_pass[1], PAGE_SLACK);
    }
}


int64_t ticks_run = 0;
void counting_tick(music::Song* song) {
    ++ticks_run;
    music::tick_update(song);
}

// A volume-column panning slide on every tick of every row, for well over 100,000 ticks, with a
// panning envelope that holds a damaged value far above 64 or a low legal one. The channel's
// panning runs far past 0..255 (it is not clamped there); what the voice gets stays at an edge,
// and no step of the arithmetic may overflow (the sanitizer build stops on one).
TEST(Soak, EndlessPanningSlidesUnderAnyEnvelopeValueStayDefined) {
    constexpr int32_t RATE = 1000;  // ten frames a tick at 255 BPM: the run takes moments
    constexpr int64_t TICKS = 110000;
    struct Case { uint16_t envelope_value; uint8_t slide; int32_t pan; };
    const Case cases[] = {{65535, 0xEF, 0}, {65535, 0xDF, 0}, {0, 0xEF, 255}, {0, 0xDF, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.envelope_value << " " << int(c.slide));
        xm::Module m;
        m.channels = 1;
        m.speed = 31;
        m.bpm = 255;
        // The note starts once; the song then repeats a pattern of slides alone.
        m.orders = {0, 1};
        m.restart_position = 1;
        xm::Pattern slides;
        slides.rows = 64;
        slides.cells.assign(64, xm::Cell{0, 0, c.slide, 0, 0});
        xm::Pattern start = slides;
        start.cells[0] = {49, 1, c.slide, 0, 0};
        m.patterns = {start, slides};
        xm::Instrument ins;
        xm::Sample tone;
        tone.values = {0, 60, 100, 60, 0, -60, -100, -60};
        tone.loop = xm::Loop::forward;
        tone.loop_length = 8;
        ins.samples = {tone};
        ins.panning_envelope.points = {{0, c.envelope_value}, {1, c.envelope_value}};
        ins.panning_envelope.type = 1;
        m.instruments = {ins};
        music::Song* song = test_support::load_bytes(xm::write_xm(m));
        ASSERT_NE(song, nullptr) << music::load_error();
        ASSERT_TRUE(music::play_offline(song, RATE));
        song->tick_handler = counting_tick;
        ticks_run = 0;
        while (ticks_run < TICKS) music::fill_block();
        const int32_t panning = music::channels[0].panning;
        const int32_t voice_pan = music::channels[0].voice->panning;
        const bool sounding = music::channels[0].voice->sample != nullptr;
        music::stop_offline();
        music::free_song(song);
        EXPECT_GT(std::abs(static_cast<int64_t>(panning)), 1000000) << "the slide did not run";
        EXPECT_EQ(voice_pan, c.pan);
        EXPECT_TRUE(sounding);
    }
}

}  // namespace
