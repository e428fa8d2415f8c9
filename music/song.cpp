#include "music/song.h"

#include <cstdio>
#include <initializer_list>

#include "music/file_access.h"
#include "shell/runtime.h"

namespace music {

Sample empty_sample = {};
Instrument empty_instrument = {};

namespace {

// The reason for the last failed load; a fixed buffer, so reporting never allocates.
char error_text[96] = "";

void fail_with(const char* text) { std::snprintf(error_text, sizeof error_text, "%s", text); }

template <typename... Args>
void fail_with(const char* format, Args... args) {
    std::snprintf(error_text, sizeof error_text, format, args...);
}

constexpr char IDENTIFICATION[17] = {'E', 'x', 't', 'e', 'n', 'd', 'e', 'd', ' ', 'M',
                                     'o', 'd', 'u', 'l', 'e', ':', ' '};
constexpr int32_t MAX_CHANNELS = 32;      // the channel table holds 32
constexpr int32_t MAX_SONG_LENGTH = 256;  // the order table holds 256
constexpr int32_t MAX_PATTERNS = 256;     // order entries are bytes
constexpr int32_t MAX_ROWS = 256;
constexpr int32_t MAX_SAMPLES = 16;
constexpr int32_t MAX_ENVELOPE_POINTS = 12;
constexpr int32_t INSTRUMENT_MIN_BYTES = 29;  // size, name, type, sample count
constexpr int32_t SAMPLE_HEADER_BYTES = 40;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Every read goes through here: a file that ends early fails the load instead of steering
// the parser with bytes that were never delivered.
struct Reader {
    ModuleStream* stream;
    int32_t file_size;

    int32_t position() { return stream_tell(stream); }
    int64_t remaining() { return static_cast<int64_t>(file_size) - position(); }
    void seek(int64_t offset) { stream_seek(stream, static_cast<int32_t>(offset), SEEK_FROM_START); }

    bool read(void* destination, int64_t count) {
        if (count > remaining() || stream_read(destination, static_cast<int32_t>(count), stream) != count) {
            fail_with("truncated file");
            return false;
        }
        return true;
    }
};

bool read_pattern(Reader& in, Song* song, int32_t index) {
    uint8_t header[9];
    if (!in.read(header, 9)) return false;
    const int32_t rows = le16(header + 5);
    const bool packed = le16(header + 7) != 0;
    if (rows == 0 || rows > MAX_ROWS) {
        fail_with("pattern %d has %d rows", index, rows);
        return false;
    }
    const int32_t cell_count = rows * song->channel_count;
    // Every cell takes at least one byte, so a pattern that cannot fit is refused before the
    // allocation.
    if (packed && cell_count > in.remaining()) {
        fail_with("truncated file");
        return false;
    }
    Pattern& pattern = song->patterns[index];
    pattern.row_count = rows;
    pattern.cells = static_cast<NoteCell*>(runtime::calloc(static_cast<uint32_t>(cell_count), sizeof(NoteCell)));
    if (!pattern.cells) {
        fail_with("out of memory");
        return false;
    }
    if (!packed) return true;
    for (int32_t i = 0; i < cell_count; ++i) {
        NoteCell& cell = pattern.cells[i];
        uint8_t b;
        if (!in.read(&b, 1)) return false;
        uint8_t* fields[5] = {&cell.note, &cell.instrument, &cell.volume_column, &cell.effect, &cell.effect_param};
        if (b & 0x80) {
            for (int f = 0; f < 5; ++f)
                if ((b & (1u << f)) && !in.read(fields[f], 1)) return false;
        } else {
            cell.note = b;
            uint8_t rest[4];
            if (!in.read(rest, 4)) return false;
            for (int f = 0; f < 4; ++f) *fields[f + 1] = rest[f];
        }
        if (cell.note == 97) cell.note = KEY_OFF;
        if (cell.instrument > 128) cell.instrument = 0;
    }
    return true;
}

// Point counts beyond the 12 stored points are clamped, and sustain or loop points that name
// a missing point switch their feature off, so envelope stepping stays inside the points.
void clamp_envelope(uint8_t& count, uint8_t& type, uint8_t sustain, uint8_t loop_start, uint8_t loop_end) {
    if (count > MAX_ENVELOPE_POINTS) count = MAX_ENVELOPE_POINTS;
    if (count < 2) type = 0;
    if (sustain >= count) type = static_cast<uint8_t>(type & ~2u);
    if (loop_start >= count || loop_end >= count) type = static_cast<uint8_t>(type & ~4u);
}

bool read_instrument_header(Reader& in, Instrument& ins, int64_t start, int64_t header_size) {
    uint8_t bytes[4 + 96 + 48 + 48 + 16];
    if (!in.read(bytes, sizeof bytes)) return false;
    const uint8_t* p = bytes + 4;  // the sample header size is not used: headers are 40 bytes
    for (int i = 0; i < 96; ++i) ins.note_to_sample[i] = *p++;
    for (EnvelopePoint* envelope : {ins.volume_envelope, ins.panning_envelope}) {
        for (int i = 0; i < 12; ++i, p += 4) envelope[i] = {le16(p), le16(p + 2)};
    }
    ins.volume_point_count = p[0];
    ins.panning_point_count = p[1];
    ins.volume_sustain_point = p[2];
    ins.volume_loop_start = p[3];
    ins.volume_loop_end = p[4];
    ins.panning_sustain_point = p[5];
    ins.panning_loop_start = p[6];
    ins.panning_loop_end = p[7];
    ins.volume_envelope_type = p[8];
    ins.panning_envelope_type = p[9];
    ins.vibrato_type = p[10];
    ins.vibrato_sweep = p[11];
    ins.vibrato_depth = p[12];
    ins.vibrato_rate = p[13];
    ins.fadeout = static_cast<uint16_t>(le16(p + 14) << 1);
    clamp_envelope(ins.volume_point_count, ins.volume_envelope_type, ins.volume_sustain_point, ins.volume_loop_start,
                   ins.volume_loop_end);
    clamp_envelope(ins.panning_point_count, ins.panning_envelope_type, ins.panning_sustain_point,
                   ins.panning_loop_start, ins.panning_loop_end);
    in.seek(start + header_size);
    return true;
}

bool read_sample_header(Reader& in, Instrument& ins, int32_t index, int32_t slot, int64_t& data_bytes,
                        uint32_t& stored_bytes) {
    uint8_t h[SAMPLE_HEADER_BYTES];
    if (!in.read(h, sizeof h)) return false;
    Sample* s = static_cast<Sample*>(runtime::calloc(1, sizeof(Sample)));
    if (!s) {
        fail_with("out of memory");
        return false;
    }
    ins.samples[slot] = s;
    s->length = le32(h);
    stored_bytes = s->length;
    s->loop_start = le32(h + 4);
    s->loop_length = le32(h + 8);
    s->volume = h[12];
    s->finetune = static_cast<int8_t>(h[13]);
    s->panning = h[15];
    s->relative_note = static_cast<int8_t>(h[16]);
    const uint8_t type = h[14];
    s->loop_type = LOOP_NONE;
    s->bits = 8;
    if (type & 1) s->loop_type = LOOP_FORWARD;
    if (type & 2) s->loop_type = LOOP_PINGPONG;
    if (type & 0x10) s->bits = 16;
    if (s->loop_type == LOOP_NONE) {
        s->loop_start = 0;
        s->loop_length = s->length;
    }
    if (s->bits == 16) {
        s->length >>= 1;
        s->loop_start >>= 1;
        s->loop_length >>= 1;
    }
    // A loop that runs past the end is cut to the sample: the guard value and the mixer's
    // reads must stay inside the data and its spare values.
    if (s->loop_start > s->length) s->loop_start = s->length;
    if (static_cast<uint64_t>(s->loop_start) + s->loop_length > s->length) s->loop_length = s->length - s->loop_start;
    if (s->loop_length == 0) {
        s->loop_start = 0;
        s->loop_length = s->length;
        s->loop_type = LOOP_NONE;
    }
    // The sample data follow the headers; all of this instrument's data must fit in the file
    // before its buffer is allocated. A 16-bit sample of an odd byte length still occupies
    // every one of its bytes: the next sample starts after the last.
    data_bytes += stored_bytes;
    if (data_bytes > in.remaining()) {
        fail_with("sample %d of instrument %d is longer than the file", slot, index + 1);
        return false;
    }
    if (s->length > 0) {
        s->data = static_cast<int16_t*>(runtime::calloc(s->length + 8, sizeof(int16_t)));
        if (!s->data) {
            fail_with("out of memory");
            return false;
        }
    }
    return true;
}

bool read_sample_values(Reader& in, Sample* s) {
    if (s->length == 0) return true;
    auto* bytes = reinterpret_cast<uint8_t*>(s->data);
    const uint32_t n = s->length;
    uint16_t* values = reinterpret_cast<uint16_t*>(s->data);
    if (s->bits == 8) {
        if (!in.read(bytes, n)) return false;
        // Widen in place from the end, so no byte is overwritten before it is used.
        for (uint32_t i = n; i-- > 0;) values[i] = static_cast<uint16_t>(bytes[i] << 8);
        s->bits = 16;
    } else {
        if (!in.read(bytes, static_cast<int64_t>(n) * 2)) return false;
        for (uint32_t i = 0; i < n; ++i) values[i] = le16(bytes + 2 * i);
    }
    uint16_t previous = 0;
    for (uint32_t i = 0; i < n; ++i) previous = values[i] = static_cast<uint16_t>(values[i] + previous);
    const uint32_t end = s->loop_start + s->loop_length;
    if (s->loop_type == LOOP_PINGPONG) s->data[end] = s->data[end - 1];
    if (s->loop_type == LOOP_FORWARD) s->data[end] = s->data[s->loop_start];
    return true;
}

bool read_sample_data(Reader& in, Sample* s, uint32_t stored_bytes) {
    const int64_t end_of_data = static_cast<int64_t>(in.position()) + stored_bytes;
    if (!read_sample_values(in, s)) return false;
    // The odd last byte of a 16-bit sample is no value of it; the next data start past it.
    in.seek(end_of_data);
    return true;
}

bool read_instrument(Reader& in, Instrument& ins, int32_t index) {
    const int64_t start = in.position();
    uint8_t head[4 + 23 + 2];
    if (!in.read(head, sizeof head)) return false;
    const int64_t header_size = le32(head);
    if (start + header_size > in.file_size) {
        fail_with("instrument %d header size (%lld) runs past the end of the file", index + 1,
                  static_cast<long long>(header_size));
        return false;
    }
    const int32_t sample_count = le16(head + 27);
    if (sample_count > MAX_SAMPLES) {
        fail_with("too many samples in instrument %d (%d > %d)", index + 1, sample_count, MAX_SAMPLES);
        return false;
    }
    ins.sample_count = sample_count;
    for (int i = sample_count; i < MAX_SAMPLES; ++i) ins.samples[i] = &empty_sample;
    if (sample_count == 0) {
        in.seek(start + header_size);
        return true;
    }
    if (!read_instrument_header(in, ins, start, header_size)) return false;
    int64_t data_bytes = 0;
    uint32_t stored_bytes[MAX_SAMPLES] = {};
    for (int i = 0; i < sample_count; ++i)
        if (!read_sample_header(in, ins, index, i, data_bytes, stored_bytes[i])) return false;
    for (int i = 0; i < sample_count; ++i)
        if (!read_sample_data(in, ins.samples[i], stored_bytes[i])) return false;
    return true;
}

}  // namespace

const char* load_error() { return error_text; }

bool parse_xm(Song* song, ModuleStream* stream) {
    if (!song || !stream) {
        fail_with("no module");
        return false;
    }
    // The size bounds every count and allocation below, so no file can make the parser loop
    // or allocate beyond what its bytes can describe.
    stream_seek(stream, 0, SEEK_FROM_END);
    Reader in{stream, stream_tell(stream)};
    in.seek(0);

    char id[17];
    if (in.file_size < 17 || stream_read(id, 17, stream) != 17) {
        fail_with("not an XM module");
        return false;
    }
    for (int i = 0; i < 17; ++i)
        if (id[i] != IDENTIFICATION[i]) {
            fail_with("not an XM module");
            return false;
        }

    song->initial_global_volume = 64;

    in.seek(60);
    uint8_t header[4 + 16 + 256];
    if (!in.read(header, sizeof header)) return false;
    const int64_t header_size = le32(header);
    const int32_t song_length = le16(header + 4);
    const int32_t restart = le16(header + 6);
    const int32_t channels = le16(header + 8);
    const int32_t file_patterns = le16(header + 10);
    const int32_t instruments = le16(header + 12);
    const int32_t bpm = le16(header + 18);
    if (60 + header_size > in.file_size) {
        fail_with("header size (%lld) runs past the end of the file", static_cast<long long>(header_size));
        return false;
    }
    if (channels == 0 || channels > MAX_CHANNELS) {
        if (channels == 0)
            fail_with("no channels");
        else
            fail_with("too many channels (%d > %d)", channels, MAX_CHANNELS);
        return false;
    }
    if (song_length == 0 || song_length > MAX_SONG_LENGTH) {
        if (song_length == 0)
            fail_with("empty order table");
        else
            fail_with("song too long (%d > %d orders)", song_length, MAX_SONG_LENGTH);
        return false;
    }
    if (bpm == 0 || bpm > 0x7FFF) {
        fail_with("bad tempo (%d BPM)", bpm);
        return false;
    }
    if (file_patterns > MAX_PATTERNS) {
        fail_with("too many patterns (%d > %d)", file_patterns, MAX_PATTERNS);
        return false;
    }
    song->song_length = static_cast<int16_t>(song_length);
    // Playback continues here after the last order, so it must name one.
    song->restart_position = static_cast<int16_t>(restart < song_length ? restart : 0);
    song->channel_count = static_cast<int16_t>(channels);
    song->flags = le16(header + 14);
    song->default_speed = static_cast<int16_t>(le16(header + 16));
    song->default_bpm = static_cast<int16_t>(bpm);
    for (int i = 0; i < 256; ++i) song->order_table[i] = header[20 + i];
    in.seek(60 + header_size);

    int32_t used = 0;
    for (int i = 0; i < song->song_length; ++i)
        if (song->order_table[i] >= used) used = song->order_table[i] + 1;
    song->used_pattern_count = used;

    // Each stored pattern and instrument takes at least its fixed header bytes.
    if (static_cast<int64_t>(file_patterns) * 9 + static_cast<int64_t>(instruments) * INSTRUMENT_MIN_BYTES >
        in.remaining()) {
        fail_with("truncated file");
        return false;
    }
    if (instruments > 0x7FFF) {
        fail_with("too many instruments (%d)", instruments);
        return false;
    }

    song->pattern_count = file_patterns > used ? file_patterns : used;
    song->patterns = static_cast<Pattern*>(runtime::calloc(static_cast<uint32_t>(song->pattern_count), sizeof(Pattern)));
    if (!song->patterns) {
        fail_with("out of memory");
        return false;
    }
    for (int32_t p = 0; p < file_patterns; ++p)
        if (!read_pattern(in, song, p)) return false;
    // Patterns the order table names but the file lacks play as 64 empty rows.
    for (int32_t p = file_patterns; p < used; ++p) {
        song->patterns[p].row_count = 64;
        song->patterns[p].cells = static_cast<NoteCell*>(runtime::calloc(64u * static_cast<uint32_t>(channels), sizeof(NoteCell)));
        if (!song->patterns[p].cells) {
            fail_with("out of memory");
            return false;
        }
    }

    song->instrument_count = static_cast<int16_t>(instruments);
    song->instruments = static_cast<Instrument*>(runtime::calloc(static_cast<uint32_t>(instruments), sizeof(Instrument)));
    if (!song->instruments) {
        fail_with("out of memory");
        return false;
    }
    for (int32_t i = 0; i < instruments; ++i)
        if (!read_instrument(in, song->instruments[i], i)) return false;
    return true;
}

Song* read_song(const void* name) {
    error_text[0] = '\0';  // a refusal always names its own reason
    Song* song = static_cast<Song*>(runtime::calloc(1, sizeof(Song)));
    if (!song) {
        fail_with("out of memory");
        return nullptr;
    }
    ModuleStream* stream = stream_open(name);
    if (!stream) {
        fail_with("cannot open the module");
        runtime::free(song);
        return nullptr;
    }
    const bool parsed = parse_xm(song, stream);
    stream_close(stream);
    if (!parsed) {
        release_song(song);  // never handed to playback: nothing can be mixing it
        return nullptr;
    }
    return song;
}

void release_song(Song* song) {
    if (!song) return;
    if (song->instruments) {
        for (int32_t i = 0; i < song->instrument_count; ++i) {
            Instrument& ins = song->instruments[i];
            for (int32_t s = 0; s < ins.sample_count; ++s) {
                Sample* sample = ins.samples[s];
                if (!sample) continue;
                runtime::free(sample->data);
                runtime::free(sample);
            }
        }
        runtime::free(song->instruments);
    }
    if (song->patterns) {
        for (int32_t p = 0; p < song->pattern_count; ++p) runtime::free(song->patterns[p].cells);
        runtime::free(song->patterns);
    }
    runtime::free(song);
}

}  // namespace music
