#pragma once
// The song's instruments, each synthesised by a small function. Numbers are the XM instrument
// numbers the score writes (1-based, in table order).

#include "tools/xm_writer.h"

#include <cstdint>
#include <vector>

namespace songgen {

enum Ins : uint8_t {
    // drums and percussion
    KICK = 1, KICK_SOFT, KICK_HARD, SNARE, SNARE_GHOST, SNARE_BIG, CLAP, CLAP_WIDE,
    HAT_CLOSED, HAT_TICK, HAT_OPEN, HAT_CHOKE, SHAKER, RIM, TOM_LOW, TOM_HIGH,
    CRASH, RIDE, RISER, RISER_DARK, SWEEP, SUB_BOOM,
    // bass
    BASS_SAW, BASS_SQUARE, BASS_SUB, BASS_GROWL, BASS_PLUCK, BASS_REESE,
    // pads
    PAD_WARM, PAD_DARK, PAD_HOLLOW, PAD_STRINGS, PAD_ORGAN, PAD_SWELL, PAD_CHOIR,
    // leads and counter-lines
    LEAD_PULSE, LEAD_THIN, LEAD_SAW, LEAD_SOFT, LEAD_ECHO, LEAD_FLUTE, COUNTER_TRI,
    // plucks and arpeggios
    PLUCK_SAW, PLUCK_SQUARE, PLUCK_BRIGHT, MARIMBA, ARP_CHIP, STAB, PIZZ,
    // bells
    BELL, BELL_SOFT, GLASS, MUSIC_BOX,
    // colour
    ORGAN_PERC, BRASS, ZAP, WIND, COWBELL, BONGO, TAMBOURINE, SNAP,
    INSTRUMENT_END
};
constexpr int INSTRUMENT_COUNT = INSTRUMENT_END - 1;

// All instruments in number order, each with its one sample, to which every note maps.
std::vector<xm::Instrument> make_instruments();

// Deterministic white noise of our own (xorshift), so the samples never depend on a library.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t next_bits();
    float next();  // uniform in [-1, 1)
};

}  // namespace songgen
