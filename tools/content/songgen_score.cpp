// The composition: a piece in A minor at four rows a beat. Intro over an A pedal, a main
// section on i-VI-III-VII with a two-bar call and a two-bar answer, an open-sounding middle
// section in C major colours that turns to E and leads back, the main section again bigger,
// and a finale that carries the motif on bells and winds down into the intro's pedal.
#include "tools/content/songgen.h"
#include "tools/content/songgen_sounds.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace songgen {
namespace {

constexpr int CHANNELS = 14;
constexpr int ROWS = 64;

// ---- channels -----------------------------------------------------------------------------

enum Ch : int {
    KICK_CH = 0, SNARE_CH, HAT_CH, OPEN_CH, PERC_CH, BASS_CH, PAD1_CH, PAD2_CH, PAD3_CH,
    LEAD_CH, ECHO_CH, ARP_CH, BELL_CH, FX_CH
};

constexpr uint8_t KEY_OFF_NOTE = 97;
// effects
constexpr uint8_t ARPEGGIO = 0x0, TONE_PORTA = 0x3, VIBRATO_SLIDE = 0x6, VOLUME_SLIDE = 0xA, SET_VOLUME = 0xC, KEY_OFF_FX = 0x14;
// volume-column commands
constexpr uint8_t vol(int v) { return static_cast<uint8_t>(0x10 + v); }  // 0..64
constexpr uint8_t VOL_DOWN = 0x60, VOL_UP = 0x70, FINE_DOWN = 0x80, FINE_UP = 0x90, VIB_SPEED = 0xA0, VIB_DEPTH = 0xB0,
                  PAN = 0xC0, PAN_DOWN = 0xD0, PAN_UP = 0xE0, PORTA_VOL = 0xF0;

// Note numbers: "A-4", "C#5"; 1 is C-0.
constexpr uint8_t note(std::string_view name) {
    constexpr std::string_view letters = "C.D.EF.G.A.B";
    int semitone = static_cast<int>(letters.find(name[0]));
    if (name[1] == '#') ++semitone;
    return static_cast<uint8_t>((name[2] - '0') * 12 + semitone + 1);
}

// ---- harmony ------------------------------------------------------------------------------

struct Chord {
    uint8_t bass;                 // root in the bass octave
    std::array<uint8_t, 3> pad;   // voicing for the three pad channels
    std::array<uint8_t, 4> tones; // arpeggio notes, low to high
    uint8_t sparkle;              // arpeggio-effect parameter: two chord tones above the root, in semitones
};

const Chord Am{note("A-1"), {note("A-3"), note("C-4"), note("E-4")}, {note("A-4"), note("C-5"), note("E-5"), note("A-5")}, 0x37};
const Chord F{note("F-1"), {note("A-3"), note("C-4"), note("F-4")}, {note("F-4"), note("A-4"), note("C-5"), note("F-5")}, 0x47};
const Chord C{note("C-2"), {note("G-3"), note("C-4"), note("E-4")}, {note("G-4"), note("C-5"), note("E-5"), note("G-5")}, 0x47};
const Chord G{note("G-1"), {note("G-3"), note("B-3"), note("D-4")}, {note("G-4"), note("B-4"), note("D-5"), note("G-5")}, 0x47};
const Chord E{note("E-1"), {note("G#3"), note("B-3"), note("E-4")}, {note("E-4"), note("G#4"), note("B-4"), note("E-5")}, 0x47};
const Chord Esus{note("E-1"), {note("A-3"), note("B-3"), note("E-4")}, {note("E-4"), note("A-4"), note("B-4"), note("E-5")}, 0x57};
const Chord Fmaj7{note("F-1"), {note("A-3"), note("C-4"), note("E-4")}, {note("F-4"), note("A-4"), note("C-5"), note("E-5")}, 0x47};
const Chord G6{note("G-1"), {note("B-3"), note("D-4"), note("E-4")}, {note("G-4"), note("B-4"), note("D-5"), note("E-5")}, 0x49};
const Chord Em7{note("E-1"), {note("G-3"), note("B-3"), note("D-4")}, {note("E-4"), note("G-4"), note("B-4"), note("D-5")}, 0x37};
const Chord Am7{note("A-1"), {note("G-3"), note("C-4"), note("E-4")}, {note("A-4"), note("C-5"), note("E-5"), note("G-5")}, 0x37};
const Chord Dm7{note("D-2"), {note("A-3"), note("C-4"), note("F-4")}, {note("D-4"), note("F-4"), note("A-4"), note("C-5")}, 0x37};
// over the intro's A pedal
const Chord FoverA{note("A-1"), {note("A-3"), note("C-4"), note("F-4")}, {note("F-4"), note("A-4"), note("C-5"), note("F-5")}, 0x47};
const Chord GoverA{note("A-1"), {note("G-3"), note("B-3"), note("D-4")}, {note("G-4"), note("B-4"), note("D-5"), note("G-5")}, 0x47};

using Bars = std::array<const Chord*, 4>;

// The step of A natural minor just below or above a note, for bass lines walking into a chord.
uint8_t neighbour(uint8_t n, int direction) {
    static constexpr bool in_scale[12] = {true, false, true, false, true, true, false, true, false, true, false, true};
    int m = n + direction;
    while (!in_scale[(m - 1) % 12]) m += direction;
    return static_cast<uint8_t>(m);
}

// ---- writing cells ------------------------------------------------------------------------

struct Writer {
    xm::Pattern& p;  // ROWS x CHANNELS cells, row after row
    xm::Cell& at(int ch, int row) { return p.cells[static_cast<size_t>(row * CHANNELS + ch)]; }
    void play(int ch, int row, uint8_t n, uint8_t ins, uint8_t v = 0, uint8_t fx = 0, uint8_t param = 0) {
        if (row < 0 || row >= ROWS) return;
        xm::Cell& c = at(ch, row);
        c.note = n;
        c.instrument = ins;
        if (v) c.volume_column = v;
        c.effect = fx;
        c.effect_param = param;
    }
    void off(int ch, int row) {
        if (row < 0 || row >= ROWS) return;
        at(ch, row).note = KEY_OFF_NOTE;
    }
    void fx(int ch, int row, uint8_t effect, uint8_t param) {
        if (row < 0 || row >= ROWS) return;
        at(ch, row).effect = effect;
        at(ch, row).effect_param = param;
    }
    void vol(int ch, int row, uint8_t v) {
        if (row < 0 || row >= ROWS) return;
        at(ch, row).volume_column = v;
    }
};

// Drum lines as text, one character a row: '.' rest, 'x' full, '1'..'9' softer (volume 7 x digit).
void drums(Writer& w, int ch, uint8_t ins, std::string_view line, uint8_t n = note("C-4"), int from = 0) {
    for (int r = 0; r < static_cast<int>(line.size()) && from + r < ROWS; ++r) {
        const char c = line[static_cast<size_t>(r)];
        if (c == '.') continue;
        const uint8_t v = c == 'x' ? 0 : vol(7 * (c - '0'));
        w.play(ch, from + r, n, ins, v);
    }
}

// The beat the title jumps to: kicks on rows 0, 6 and 10 of every bar.
constexpr std::string_view GROOVE_KICK = "x.....x...x.....x.....x...x.....x.....x...x.....x.....x...x.....";

// ---- melody -------------------------------------------------------------------------------

struct Tone {
    int row;
    uint8_t n;
    int length;
    uint8_t slide = 0;  // non-zero: glide into this note with a tone portamento of this speed
};
using Line = std::vector<Tone>;

// Plays a line: each note held for its length and then released, long notes given a vibrato
// that fades them a little, slid notes reached by tone portamento.
void melody(Writer& w, int ch, uint8_t ins, const Line& line, int transpose = 0, uint8_t level = 0, int delay = 0,
            bool vibrato = true) {
    for (size_t i = 0; i < line.size(); ++i) {
        const Tone& t = line[i];
        const int row = t.row + delay;
        if (row >= ROWS) break;
        const uint8_t n = static_cast<uint8_t>(t.n + transpose);
        if (t.slide) {
            w.play(ch, row, n, 0, level, TONE_PORTA, t.slide);
            for (int r = row + 1; r < row + t.length && r < ROWS; ++r) w.fx(ch, r, TONE_PORTA, 0);
        } else {
            w.play(ch, row, n, ins, level);
        }
        if (vibrato && t.length >= 6 && !t.slide) {
            w.vol(ch, row + 1, VIB_SPEED | 6);
            w.vol(ch, row + 2, VIB_DEPTH | 2);
            // the held note swells a little and falls back: up for a few rows, a gentle
            // waver, then down by as much as it rose
            const int n = t.length - 2, swell = std::min(n / 2, 3);
            for (int j = 0; j < n && row + 2 + j < ROWS; ++j) {
                const bool up = j < swell || (j < n - swell && (j - swell) % 2 == 1);
                w.fx(ch, row + 2 + j, VIBRATO_SLIDE, up ? 0x10 : 0x01);
            }
        }
        const bool touching = i + 1 < line.size() && line[i + 1].row == t.row + t.length;
        // nothing is left hanging into the next pattern, which may not continue the line
        if (!touching) w.off(ch, std::min(row + t.length, ROWS - 1));
    }
}

// The main motif: a two-bar call, answered by two bars that turn it round.
const Line CALL = {{0, note("E-5"), 3},  {3, note("A-5"), 3},  {6, note("G-5"), 2},  {8, note("E-5"), 2},
                   {10, note("D-5"), 2}, {12, note("C-5"), 4}, {16, note("D-5"), 3}, {19, note("E-5"), 3},
                   {22, note("C-5"), 2}, {24, note("A-4"), 7}};
const Line CALL_HIGH = {{0, note("E-5"), 3},  {3, note("A-5"), 3},  {6, note("B-5"), 2},  {8, note("C-6"), 4},
                        {12, note("B-5"), 2}, {14, note("A-5"), 2}, {16, note("A-5"), 3}, {19, note("G-5"), 3},
                        {22, note("F-5"), 2}, {24, note("E-5"), 7}};
const Line ANSWER = {{32, note("G-5"), 3}, {35, note("E-5"), 3}, {38, note("C-5"), 2}, {40, note("D-5"), 2},
                     {42, note("E-5"), 2}, {44, note("G-5"), 4}, {48, note("A-5"), 3}, {51, note("G-5"), 3},
                     {54, note("E-5"), 2}, {56, note("D-5"), 7, 0x0C}};
const Line ANSWER_TURN = {{32, note("C-6"), 3}, {35, note("B-5"), 3}, {38, note("G-5"), 2}, {40, note("E-5"), 2},
                          {42, note("G-5"), 2}, {44, note("A-5"), 4}, {48, note("B-5"), 6}, {54, note("A-5"), 2},
                          {56, note("G-5"), 7, 0x08}};
// The returning section decorates the call with pick-ups and a higher answer.
const Line CALL_BIG = {{0, note("E-5"), 2},  {2, note("E-5"), 1},  {3, note("A-5"), 3},  {6, note("G-5"), 2},
                       {8, note("E-5"), 2},  {10, note("D-5"), 1}, {11, note("E-5"), 1}, {12, note("C-5"), 4},
                       {16, note("D-5"), 2}, {18, note("D-5"), 1}, {19, note("E-5"), 3}, {22, note("F-5"), 2},
                       {24, note("E-5"), 4}, {28, note("C-5"), 2}, {30, note("D-5"), 2}};
const Line ANSWER_BIG = {{32, note("G-5"), 2}, {34, note("A-5"), 1}, {35, note("G-5"), 3}, {38, note("E-5"), 2},
                         {40, note("G-5"), 2}, {42, note("A-5"), 2}, {44, note("C-6"), 4}, {48, note("B-5"), 3},
                         {51, note("C-6"), 3}, {54, note("D-6"), 2}, {56, note("B-5"), 8, 0x10}};
const Line ANSWER_BIG_TURN = {{32, note("E-6"), 3}, {35, note("D-6"), 3}, {38, note("C-6"), 2}, {40, note("G-5"), 2},
                              {42, note("A-5"), 2}, {44, note("C-6"), 4}, {48, note("D-6"), 6}, {54, note("C-6"), 2},
                              {56, note("A-5"), 8, 0x10}};
// The climax: the call's shape stretched upward, landing on the tonic.
const Line CLIMAX = {{0, note("A-5"), 4},  {4, note("C-6"), 4},  {8, note("B-5"), 2},  {10, note("A-5"), 2},
                     {12, note("G-5"), 4}, {16, note("A-5"), 3}, {19, note("B-5"), 3}, {22, note("C-6"), 2},
                     {24, note("D-6"), 8}, {32, note("E-6"), 6},  {38, note("D-6"), 2}, {40, note("C-6"), 4},
                     {44, note("B-5"), 4}, {48, note("C-6"), 4},  {52, note("B-5"), 4}, {56, note("A-5"), 8, 0x0C}};
// The middle section's tune: long notes that breathe over the open chords.
const Line SONG_LINE = {{0, note("A-4"), 6},  {6, note("C-5"), 2},  {8, note("D-5"), 8},  {16, note("E-5"), 12},
                        {28, note("D-5"), 2}, {30, note("C-5"), 2}, {32, note("F-5"), 8}, {40, note("E-5"), 4},
                        {44, note("C-5"), 4}, {48, note("D-5"), 6}, {54, note("B-4"), 10, 0x06}};
const Line TURN_LINE = {{0, note("C-5"), 6},  {6, note("E-5"), 2},  {8, note("G-5"), 8},  {16, note("A-5"), 8},
                        {24, note("G-5"), 4}, {28, note("E-5"), 4}, {32, note("F-5"), 8}, {40, note("E-5"), 8},
                        {48, note("E-5"), 6}, {54, note("G#5"), 10, 0x06}};
// A counter-line for the returning main section, moving against the lead's long notes.
const Line COUNTER = {{0, note("C-5"), 8},  {8, note("B-4"), 8},  {16, note("A-4"), 8},  {24, note("C-5"), 8},
                      {32, note("G-4"), 8}, {40, note("A-4"), 8}, {48, note("B-4"), 8}, {56, note("D-5"), 8}};
// The intro's bells: the call's first notes, heard from far away.
const Line SEED = {{0, note("E-5"), 3}, {3, note("A-5"), 3}, {6, note("G-5"), 2}, {8, note("E-5"), 24},
                   {32, note("E-5"), 3}, {35, note("A-5"), 3}, {38, note("B-5"), 2}, {40, note("C-6"), 24}};

// ---- parts --------------------------------------------------------------------------------

// Bass locked to the kick: root on the kick rows, the octave on the third, a walk into the next bar.
void bass_groove(Writer& w, uint8_t ins, const Bars& bars, const Chord* next) {
    for (int b = 0; b < 4; ++b) {
        const int r = b * 16;
        const uint8_t root = bars[static_cast<size_t>(b)]->bass;
        const uint8_t following = (b < 3 ? bars[static_cast<size_t>(b + 1)] : next)->bass;
        w.play(BASS_CH, r, root, ins);
        w.off(BASS_CH, r + 4);
        w.play(BASS_CH, r + 6, root, ins);
        w.off(BASS_CH, r + 9);
        w.play(BASS_CH, r + 10, static_cast<uint8_t>(root + 12), ins);
        w.play(BASS_CH, r + 12, root, ins);
        w.off(BASS_CH, r + 14);
        if (following != root) w.play(BASS_CH, r + 14, neighbour(following, following > root ? -1 : 1), ins);
        else w.play(BASS_CH, r + 14, static_cast<uint8_t>(root + 7), ins);
    }
}

// Long bass notes, one a bar, for the calmer passages.
void bass_long(Writer& w, uint8_t ins, const Bars& bars, bool release_last) {
    for (int b = 0; b < 4; ++b) w.play(BASS_CH, b * 16, bars[static_cast<size_t>(b)]->bass, ins);
    if (release_last) w.off(BASS_CH, 62);
}

// Pads: the chord of each bar; after the first, chords change legato without a new attack.
void pads(Writer& w, uint8_t ins, const Bars& bars, bool attack, bool release) {
    const int chans[3] = {PAD1_CH, PAD2_CH, PAD3_CH};
    const uint8_t pans[3] = {0x40 >> 4, 0x80 >> 4, 0xC0 >> 4};
    for (int b = 0; b < 4; ++b)
        for (int v = 0; v < 3; ++v) {
            const uint8_t n = bars[static_cast<size_t>(b)]->pad[static_cast<size_t>(v)];
            if (b == 0 && attack) w.play(chans[v], 0, n, ins, static_cast<uint8_t>(PAN | pans[v]));
            else w.play(chans[v], b * 16, n, 0, PORTA_VOL);
        }
    if (release)
        for (int ch : chans) w.off(ch, 60);
}

// Arpeggio up and down the chord tones, `step` rows apart; the arpeggio effect adds sparkle.
void arps(Writer& w, uint8_t ins, const Bars& bars, int step, bool sparkle, uint8_t level, int octave = 0) {
    static constexpr int order[8] = {0, 1, 2, 3, 2, 1, 2, 1};
    for (int r = 0, i = 0; r < ROWS; r += step, ++i) {
        const Chord* c = bars[static_cast<size_t>(r / 16)];
        // a sparkling note starts on the root, so the arpeggio effect spells out the chord
        const bool sparkling = sparkle && i % 4 == 2;
        const uint8_t n = static_cast<uint8_t>(c->tones[sparkling ? 0 : static_cast<size_t>(order[i % 8])] + 12 * octave);
        w.play(ARP_CH, r, n, ins, i % 4 == 0 ? vol(level) : vol(level * 3 / 4), sparkling ? ARPEGGIO : 0,
               sparkling ? c->sparkle : 0);
    }
}

// Hats with a lift on the off-beats; the stereo position alternates a little.
void hats(Writer& w, uint8_t ins, bool sixteenths, int level) {
    for (int r = 0; r < ROWS; r += sixteenths ? 1 : 2) {
        const int accent = r % 4 == 2 ? level : r % 2 ? level * 5 / 8 : level * 3 / 4;
        w.play(HAT_CH, r, note("C-4"), ins, vol(accent));
    }
    w.vol(HAT_CH, 8, static_cast<uint8_t>(PAN | 0xA));
    w.vol(HAT_CH, 40, static_cast<uint8_t>(PAN | 0x7));
}

// A noise riser across the whole pattern into the next section, bent upward by tone portamento.
void riser(Writer& w, uint8_t ins) {
    w.play(FX_CH, 0, note("C-3"), ins);
    w.play(FX_CH, 1, note("C-6"), 0, 0, TONE_PORTA, 0x03);
    for (int r = 2; r < 63; ++r) w.fx(FX_CH, r, TONE_PORTA, 0);
    w.off(FX_CH, 63);
}

// The downbeat of a new section: crash and a falling sub.
void impact(Writer& w) {
    w.play(FX_CH, 0, note("C-4"), CRASH);
    w.play(BELL_CH, 0, note("A-1"), SUB_BOOM);
    w.play(BELL_CH, 1, note("A-0"), 0, 0, TONE_PORTA, 0x02);
    for (int r = 2; r < 16; ++r) w.fx(BELL_CH, r, TONE_PORTA, 0);
}

// A snare roll over the last bar, getting denser and louder.
void snare_roll(Writer& w, uint8_t ins, int from) {
    for (int r = from; r < ROWS; r += (r < from + 8 ? 2 : 1))
        w.play(SNARE_CH, r, note("C-4"), ins, vol(24 + (r - from) * 40 / (ROWS - from)));
}

void tom_fill(Writer& w, int from) {
    const uint8_t seq[] = {TOM_HIGH, TOM_HIGH, TOM_LOW, TOM_HIGH, TOM_LOW, TOM_LOW, TOM_LOW, TOM_LOW};
    for (int i = 0; i < 8 && from + i * 2 < ROWS; ++i) w.play(PERC_CH, from + i * 2, note("C-4"), seq[i], vol(34 + 2 * i));
}

// ---- patterns -----------------------------------------------------------------------------

const Bars MAIN = {&Am, &F, &C, &G};
const Bars PEDAL_A = {&Am, &Am, &FoverA, &FoverA};
const Bars PEDAL_B = {&Am, &FoverA, &Am7, &GoverA};
const Bars BUILD = {&F, &G, &F, &E};
const Bars OPEN_A = {&Fmaj7, &G6, &Em7, &Am7};
const Bars OPEN_B = {&Dm7, &Em7, &Fmaj7, &G};
const Bars TURN = {&Fmaj7, &G, &Esus, &E};
const Bars CLIMB = {&F, &G, &Am, &E};
const Bars HOME = {&F, &G, &Am, &Am};

// Orders 0: the bells' seed over an A pedal, wind and a slow swell.
void intro_pedal(Writer& w) {
    w.play(BASS_CH, 0, note("A-1"), BASS_SUB, vol(22));
    w.play(PAD1_CH, 0, note("A-3"), PAD_SWELL, static_cast<uint8_t>(PAN | 0x5));
    w.play(PAD2_CH, 0, note("E-4"), PAD_SWELL, static_cast<uint8_t>(PAN | 0xB));
    w.off(PAD3_CH, 0);  // when the song comes round again, the last pad chord lets go here
    w.play(PAD3_CH, 32, note("B-4"), PAD_SWELL, vol(30));
    // the wind swells in under the bells
    w.play(FX_CH, 0, note("C-4"), WIND, vol(16));
    for (int r = 1; r < 24; ++r) w.vol(FX_CH, r, static_cast<uint8_t>(VOL_UP | 0x1));
    w.off(FX_CH, 56);
    melody(w, BELL_CH, BELL, SEED, 0, 0, 0, false);
    // a music box answers the bell from the other side
    w.play(ARP_CH, 28, note("A-5"), MUSIC_BOX, vol(34));
    w.play(ARP_CH, 30, note("E-6"), MUSIC_BOX, vol(28));
    w.play(ARP_CH, 60, note("G-5"), MUSIC_BOX, vol(34));
    w.play(ARP_CH, 62, note("D-6"), MUSIC_BOX, vol(28));
}

// Order 1: the hollow pad takes the chords, a shaker starts to breathe, glass sparkles.
void intro_breath(Writer& w) {
    w.play(BASS_CH, 0, note("A-1"), BASS_SUB, vol(30));
    pads(w, PAD_HOLLOW, PEDAL_A, true, false);
    drums(w, OPEN_CH, SHAKER, "..3...4...3...5...3...4...3...5...4...5...4...6...4...5...5...7.");
    for (int b = 0; b < 4; ++b) {
        const Chord* c = PEDAL_A[static_cast<size_t>(b)];
        w.play(BELL_CH, b * 16 + 4, static_cast<uint8_t>(c->tones[3] + 12), GLASS, vol(30));
        w.play(BELL_CH, b * 16 + 10, static_cast<uint8_t>(c->tones[2] + 12), GLASS, vol(22));
    }
    melody(w, ARP_CH, MUSIC_BOX, {{0, note("E-5"), 3}, {3, note("A-5"), 3}, {6, note("G-5"), 2}, {8, note("E-5"), 8}}, 0, vol(36), 32, false);
}

// Orders 2 and 24: a soft heartbeat kick and a marimba under the pedal chords.
void intro_pulse(Writer& w) {
    drums(w, KICK_CH, KICK_SOFT, "x.........x.....x.........x.....x.........x.....x.........x.....");
    w.play(BASS_CH, 0, note("A-1"), BASS_SUB, vol(32));
    pads(w, PAD_HOLLOW, PEDAL_B, true, false);
    drums(w, OPEN_CH, SHAKER, "..4...5...4...6...4...5...4...6...4...5...4...6...4...5...4...6.");
    arps(w, MARIMBA, PEDAL_B, 4, false, 40);
    melody(w, BELL_CH, BELL_SOFT, {{8, note("E-5"), 8}, {40, note("G-5"), 8}}, 0, vol(34));
}

// Order 3: the credit lines arrive on rows 0, 12, 16, 48, 52, 56 and 60, each struck by a chord stab.
void intro_accents(Writer& w) {
    drums(w, KICK_CH, KICK_SOFT, "x...........x...x...............................x...x...x...x...");
    w.play(BASS_CH, 0, note("A-1"), BASS_SUB, vol(36));
    pads(w, PAD_HOLLOW, PEDAL_B, false, false);
    drums(w, OPEN_CH, SHAKER, "..4...5...4...6...4...5...4...6...4...5...4...6...4...5...4...6.");
    arps(w, MARIMBA, PEDAL_B, 4, false, 22);  // stepping back so the accents stand out
    w.play(FX_CH, 0, note("C-4"), CRASH, vol(40));
    const int accents[] = {0, 12, 16, 48, 52, 56, 60};
    for (int r : accents) {
        const Chord* c = PEDAL_B[static_cast<size_t>(r / 16)];
        w.play(BELL_CH, r, c->tones[0], STAB, vol(r >= 48 ? 52 + (r - 48) : 60), ARPEGGIO, c->sparkle);
        w.play(SNARE_CH, r, note("C-4"), r >= 48 ? SNARE_BIG : CLAP, vol(r >= 48 ? 40 + (r - 48) * 2 : 50));
    }
    w.play(PERC_CH, 12, note("C-4"), TOM_HIGH);
    w.play(PERC_CH, 16, note("C-4"), TOM_LOW);
    w.play(PERC_CH, 48, note("C-4"), TOM_LOW);
}

// Order 4: the build: straight kicks, a plucked bass, hats rising and a riser into the main section.
void intro_build(Writer& w) {
    drums(w, KICK_CH, KICK_SOFT, "x...x...x...x...x...x...x...x...x...x...x...x...x...x...x...x...");
    for (int b = 0; b < 4; ++b)
        for (int r = 0; r < 16; r += 2)
            w.play(BASS_CH, b * 16 + r, static_cast<uint8_t>(BUILD[static_cast<size_t>(b)]->bass + (r % 4 == 2 ? 12 : 0)), BASS_PLUCK);
    pads(w, PAD_HOLLOW, BUILD, false, true);
    for (int ch : {PAD1_CH, PAD2_CH, PAD3_CH})
        for (int b = 0; b < 4; ++b) w.vol(ch, b * 16 + 8, static_cast<uint8_t>(FINE_UP | 0x4));  // swelling bar by bar
    for (int r = 0; r < ROWS; r += 2) w.play(HAT_CH, r, note("C-4"), HAT_TICK, vol(12 + r / 2));
    arps(w, ARP_CHIP, BUILD, 2, true, 30);
    snare_roll(w, SNARE_GHOST, 32);
    riser(w, RISER);
}

// Order 5: the groove begins: bass and pads with half-time kicks, hats and the first arps.
void main_entry(Writer& w) {
    impact(w);
    drums(w, KICK_CH, KICK, "x...............................x...............................");
    bass_groove(w, BASS_SAW, MAIN, &Am);
    pads(w, PAD_WARM, MAIN, true, false);
    hats(w, HAT_CLOSED, false, 36);
    arps(w, PLUCK_SAW, MAIN, 4, false, 34, -1);
    drums(w, PERC_CH, RIM, "............x...............x...............x...............x...");
}

// Order 6: drums fill in, a counter-voice hints at the motif, a tom fill leads into the full groove.
void main_lift(Writer& w) {
    drums(w, KICK_CH, KICK, "x.........x.....x.........x.....x.........x.....x.........x.....");
    drums(w, SNARE_CH, CLAP, "....x.......x.......x.......x.......x.......x.......x.......x...");
    bass_groove(w, BASS_SAW, MAIN, &Am);
    pads(w, PAD_WARM, MAIN, false, false);
    hats(w, HAT_CLOSED, false, 40);
    drums(w, OPEN_CH, HAT_OPEN, "..4...4...4...4...4...4...4...4...4...4...4...4...4...4...4...4.");
    arps(w, PLUCK_SAW, MAIN, 2, true, 34, -1);
    melody(w, ECHO_CH, LEAD_ECHO, CALL, 0, vol(40), 0, true);
    tom_fill(w, 48);
}

// Orders 7 to 9: the full groove under the lead.
void groove(Writer& w, uint8_t bass, uint8_t pad, bool attack) {
    drums(w, KICK_CH, KICK, GROOVE_KICK);
    drums(w, SNARE_CH, SNARE, "....x.......x.......x.......x.......x.......x.......x.......x...");
    // ghost notes between the backbeats
    drums(w, PERC_CH, SNARE_GHOST, ".......3......3........3.....3........3......3........3...3.3..");
    bass_groove(w, bass, MAIN, &Am);
    pads(w, pad, MAIN, attack, false);
    hats(w, HAT_CLOSED, false, 40);
    drums(w, OPEN_CH, HAT_CHOKE, "..3...3...3...4...3...3...3...4...3...3...3...4...3...3...3...4.");
    for (int r = 3; r < ROWS; r += 4) w.off(OPEN_CH, r);  // the closed hat chokes the open one
    arps(w, PLUCK_SAW, MAIN, 2, true, 30, -1);
}

void main_call(Writer& w) {
    groove(w, BASS_SAW, PAD_WARM, false);
    melody(w, LEAD_CH, LEAD_PULSE, CALL);
    melody(w, LEAD_CH, LEAD_PULSE, ANSWER);
}

void main_turn(Writer& w) {
    groove(w, BASS_SAW, PAD_WARM, false);
    melody(w, LEAD_CH, LEAD_PULSE, CALL);
    melody(w, LEAD_CH, LEAD_PULSE, ANSWER_TURN);
    // the echo repeats the lead a dotted eighth later, quieter and off to one side
    Line both = CALL;
    both.insert(both.end(), ANSWER_TURN.begin(), ANSWER_TURN.end());
    melody(w, ECHO_CH, LEAD_ECHO, both, 0, static_cast<uint8_t>(PAN | 0x3), 3, false);
}

void main_lead_out(Writer& w) {
    groove(w, BASS_SAW, PAD_WARM, false);
    melody(w, LEAD_CH, LEAD_PULSE, CALL_HIGH);
    melody(w, LEAD_CH, LEAD_PULSE, ANSWER);
    snare_roll(w, SNARE_GHOST, 48);
    // the pads fade as the riser takes over
    for (int ch : {PAD1_CH, PAD2_CH, PAD3_CH}) w.fx(ch, 48, VOLUME_SLIDE, 0x01);
    for (int ch : {PAD1_CH, PAD2_CH, PAD3_CH})
        for (int r = 49; r < 64; ++r) w.fx(ch, r, VOLUME_SLIDE, 0);
    riser(w, RISER_DARK);
}

// Orders 10 to 14: open chords, a moving low end, half-time percussion.
void open_bed(Writer& w, const Bars& bars, uint8_t bass, bool attack) {
    if (attack) {
        w.play(FX_CH, 0, note("C-5"), SWEEP);
        w.play(FX_CH, 1, note("C-3"), 0, 0, TONE_PORTA, 0x04);
        for (int r = 2; r < 40; ++r) w.fx(FX_CH, r, TONE_PORTA, 0);
        w.off(FX_CH, 40);
    }
    drums(w, KICK_CH, KICK_SOFT, "x.........x.........................x...x.......................");
    drums(w, SNARE_CH, CLAP_WIDE, "................................x...............................");
    drums(w, PERC_CH, BONGO, "......3.....4.3.......3.....4...........3.....4.3.......3...4.4.");
    drums(w, OPEN_CH, SNAP, "................x...............................x...............");
    drums(w, HAT_CH, RIDE, "x...4...x...4...x...4...x...4...x...4...x...4...x...4...x...4...");
    for (int b = 0; b < 4; ++b) {
        const uint8_t root = bars[static_cast<size_t>(b)]->bass;
        w.play(BASS_CH, b * 16, root, bass);
        // a quick glide up the octave and back
        w.play(BASS_CH, b * 16 + 10, static_cast<uint8_t>(root + 12), 0, 0, TONE_PORTA, 0x30);
        w.play(BASS_CH, b * 16 + 12, root, 0, 0, TONE_PORTA, 0x30);
    }
    pads(w, PAD_DARK, bars, attack, false);
    arps(w, PLUCK_SQUARE, bars, 2, false, 26);
    // the outer pad voices drift apart and back together over the four bars
    for (int r = 2; r < 32; r += 4) {
        w.vol(PAD1_CH, r, static_cast<uint8_t>(PAN_DOWN | 0x1));
        w.vol(PAD3_CH, r, static_cast<uint8_t>(PAN_UP | 0x1));
    }
    for (int r = 34; r < 64; r += 4) {
        w.vol(PAD1_CH, r, static_cast<uint8_t>(PAN_UP | 0x1));
        w.vol(PAD3_CH, r, static_cast<uint8_t>(PAN_DOWN | 0x1));
    }
}

void open_first(Writer& w) {
    open_bed(w, OPEN_A, BASS_REESE, true);
    // an organ answers with pizzicato notes on the off-beats
    for (int b = 0; b < 4; ++b) {
        const Chord* c = OPEN_A[static_cast<size_t>(b)];
        w.play(ECHO_CH, b * 16, c->tones[1], ORGAN_PERC, vol(30));
        w.play(ECHO_CH, b * 16 + 8, c->tones[2], ORGAN_PERC, vol(24));
        w.fx(ECHO_CH, b * 16 + 14, KEY_OFF_FX, 0);
        w.play(BELL_CH, b * 16 + 6, static_cast<uint8_t>(c->tones[3]), PIZZ, vol(36));
        w.play(BELL_CH, b * 16 + 14, static_cast<uint8_t>(c->tones[2]), PIZZ, vol(30));
    }
}

void open_song(Writer& w) {
    open_bed(w, OPEN_B, BASS_SQUARE, false);
    melody(w, LEAD_CH, LEAD_SOFT, SONG_LINE);
    melody(w, ECHO_CH, COUNTER_TRI, {{0, note("D-4"), 16}, {16, note("E-4"), 16}, {32, note("C-4"), 16}, {48, note("B-3"), 14}}, 0, vol(20), 0, false);
    for (int r = 4; r < 64; r += 4)
        if (r % 16) w.vol(ECHO_CH, r, static_cast<uint8_t>(FINE_DOWN | 0x3));  // each held note leans away
    w.play(BELL_CH, 0, note("A-3"), PAD_ORGAN, vol(18));
    w.play(BELL_CH, 32, note("G-3"), 0, PORTA_VOL);
    w.off(BELL_CH, 60);
}

// Order 14: the turn to E, tension and a riser back into the main section.
void open_turn(Writer& w) {
    drums(w, KICK_CH, KICK_SOFT, "x.........x.....x.........x.....x...x...x...x...x.5.x.5.55665577");
    drums(w, SNARE_CH, CLAP_WIDE, "................................5...............5.......5...6...");
    drums(w, HAT_CH, RIDE, "x...4...x...4...x...4...x...4...x.4.x.4.x.4.x.4.x4x4x4x4x4x4x4x4");
    for (int b = 0; b < 4; ++b) w.play(BASS_CH, b * 16, TURN[static_cast<size_t>(b)]->bass, BASS_PLUCK);
    for (int r = 40; r < 64; r += 2) w.play(BASS_CH, r, static_cast<uint8_t>(note("E-1") + (r % 4 ? 12 : 0)), BASS_PLUCK);
    pads(w, PAD_DARK, TURN, false, true);
    arps(w, PLUCK_SQUARE, TURN, 2, true, 26);
    melody(w, LEAD_CH, LEAD_SOFT, TURN_LINE);
    tom_fill(w, 48);
    riser(w, RISER);
}

// Orders 15 to 19: the main section again, bigger: harder drums, growling bass, a saw doubling.
void big_groove(Writer& w, uint8_t pad, bool attack) {
    drums(w, KICK_CH, KICK_HARD, GROOVE_KICK);
    drums(w, SNARE_CH, SNARE_BIG, "....x.......x.......x.......x.......x.......x.......x.......x...");
    hats(w, HAT_CLOSED, true, 36);
    drums(w, OPEN_CH, HAT_OPEN, "..5...5...5...5...5...5...5...5...5...5...5...5...5...5...5...5.");
    drums(w, PERC_CH, TAMBOURINE, "....4.......4.......4.......4.......4.......4.......4.......4...");
    drums(w, PERC_CH, COWBELL, "..........3...........3...........3...........3...........3.....");
    bass_groove(w, BASS_GROWL, MAIN, &Am);
    pads(w, pad, MAIN, attack, false);
    arps(w, PLUCK_BRIGHT, MAIN, 2, true, 26);
}

void big_call(Writer& w) {
    big_groove(w, PAD_STRINGS, true);
    w.play(FX_CH, 0, note("C-4"), CRASH);
    melody(w, LEAD_CH, LEAD_THIN, CALL_BIG);
    melody(w, LEAD_CH, LEAD_THIN, ANSWER_BIG);
    Line both = CALL_BIG;
    both.insert(both.end(), ANSWER_BIG.begin(), ANSWER_BIG.end());
    melody(w, ECHO_CH, LEAD_SAW, both, -12, vol(24), 0, false);
    melody(w, BELL_CH, COUNTER_TRI, COUNTER, -12, vol(16), 0, false);
}

void big_turn(Writer& w) {
    big_groove(w, PAD_STRINGS, false);
    melody(w, LEAD_CH, LEAD_THIN, CALL_BIG);
    melody(w, LEAD_CH, LEAD_THIN, ANSWER_BIG_TURN);
    Line both = CALL_BIG;
    both.insert(both.end(), ANSWER_BIG_TURN.begin(), ANSWER_BIG_TURN.end());
    melody(w, ECHO_CH, LEAD_SAW, both, -12, vol(24), 0, false);
    // brass stabs punch the bar lines
    for (int b = 0; b < 4; ++b) {
        const Chord* c = MAIN[static_cast<size_t>(b)];
        w.play(BELL_CH, b * 16, c->tones[0], BRASS, vol(30), ARPEGGIO, c->sparkle);
        w.off(BELL_CH, b * 16 + 3);
    }
}

// Order 19: the climax, and a riser into the finale.
void big_climax(Writer& w) {
    big_groove(w, PAD_STRINGS, false);
    melody(w, LEAD_CH, LEAD_THIN, CLIMAX);
    melody(w, ECHO_CH, LEAD_SAW, CLIMAX, -12, vol(24), 0, false);
    for (int b = 0; b < 4; ++b) {
        const Chord* c = MAIN[static_cast<size_t>(b)];
        for (int r : {0, 6, 10}) {
            w.play(BELL_CH, b * 16 + r, c->tones[0], BRASS, vol(32), ARPEGGIO, c->sparkle);
            w.off(BELL_CH, b * 16 + r + 2);
        }
    }
    drums(w, PERC_CH, ZAP, "................................................x...x...x...x...");
    riser(w, RISER);
}

// Orders 20 and 22: the finale: the motif on bells over a lighter groove, a flute answering.
void finale_bells(Writer& w) {
    impact(w);
    drums(w, KICK_CH, KICK, "x.........x.....x.........x.....x.........x.....x.........x.....");
    drums(w, SNARE_CH, CLAP, "....x.......x.......x.......x.......x.......x.......x.......x...");
    hats(w, HAT_TICK, false, 36);
    drums(w, OPEN_CH, SHAKER, ".3.4.3.5.3.4.3.5.3.4.3.5.3.4.3.5.3.4.3.5.3.4.3.5.3.4.3.5.3.4.3.5");
    bass_groove(w, BASS_SAW, MAIN, &Am);
    pads(w, PAD_CHOIR, MAIN, true, false);
    melody(w, ARP_CH, BELL, CALL, 0, vol(44), 0, false);
    melody(w, ARP_CH, BELL, ANSWER_TURN, 0, vol(44), 0, false);
    melody(w, LEAD_CH, LEAD_FLUTE, {{28, note("E-5"), 4}, {60, note("G-5"), 4}});
    melody(w, ECHO_CH, MUSIC_BOX, CALL, 12, vol(24), 3, false);
}

// Order 23: winding down to the tonic; the drums drop out bar by bar and everything is released.
void finale_home(Writer& w) {
    drums(w, KICK_CH, KICK, "x.........x.....x.........x.....x...............................");
    drums(w, SNARE_CH, CLAP, "....x.......x.......x...........................................");
    drums(w, HAT_CH, HAT_TICK, "x.x.x.x.x.x.x.x.x.x.x.x.x.x.x.x.x...x...x...x...................");
    bass_long(w, BASS_SAW, HOME, false);
    // the sub takes over the tonic and rings on into the intro's pedal
    w.play(BASS_CH, 56, note("A-1"), BASS_SUB, vol(30));
    pads(w, PAD_CHOIR, HOME, false, true);
    for (int ch : {PAD1_CH, PAD2_CH, PAD3_CH})
        for (int r = 50; r < 60; ++r) w.vol(ch, r, static_cast<uint8_t>(VOL_DOWN | 0x1));
    melody(w, BELL_CH, BELL_SOFT, {{0, note("C-5"), 12}, {16, note("B-4"), 12}, {32, note("A-4"), 20}}, 0, vol(40));
    melody(w, LEAD_CH, LEAD_FLUTE, {{0, note("A-5"), 8}, {8, note("G-5"), 4}, {12, note("F-5"), 4}, {16, note("G-5"), 8},
                                    {24, note("B-5"), 8}, {32, note("A-5"), 24}});
    // the wind comes back in as everything else thins out
    w.play(FX_CH, 32, note("C-4"), WIND, 0, SET_VOLUME, 8);
    w.fx(FX_CH, 33, VOLUME_SLIDE, 0x10);
    for (int r = 34; r < 46; ++r) w.fx(FX_CH, r, VOLUME_SLIDE, 0);
    w.off(FX_CH, 62);
}

using PatternMaker = void (*)(Writer&);

// Patterns in number order.
constexpr PatternMaker PATTERNS[] = {
    intro_pedal, intro_breath, intro_pulse, intro_accents, intro_build,     // 0-4
    main_entry, main_lift, main_call, main_turn, main_lead_out,              // 5-9
    open_first, open_song, open_turn,                                        // 10-12
    big_call, big_turn, big_climax,                                          // 13-15
    finale_bells, finale_home,                                               // 16-17
};

// The arrangement: the pattern at each order position.
constexpr uint8_t ORDERS[] = {
    0, 1, 2, 3, 4,        // intro over the sprite cloud
    5, 6, 7, 8, 9,        // first main section
    10, 11, 10, 11, 12,   // the open middle section
    13, 14, 13, 14, 15,   // the main section again, bigger
    16, 13, 16, 17, 2, 1, // finale, winding down into the intro
};

}  // namespace

xm::Module compose() {
    xm::Module song;
    song.name = "brusk";
    song.channels = CHANNELS;
    song.flags = 1;  // linear frequency table
    song.speed = 5;
    song.bpm = 125;
    song.restart_position = 0;
    song.instruments = make_instruments();
    for (PatternMaker make : PATTERNS) {
        xm::Pattern& p = song.patterns.emplace_back();
        p.rows = ROWS;
        p.cells.resize(ROWS * CHANNELS);
        Writer w{p};
        make(w);
    }
    song.orders.assign(std::begin(ORDERS), std::end(ORDERS));
    return song;
}

}  // namespace songgen
