#include "music/engine.h"

#include "music/channel.h"
#include "music/mixer.h"
#include "music/song.h"
#include "shell/runtime.h"

namespace music {

namespace {

constexpr NoteCell EMPTY_CELL{};

// Order positions that can be played: the order table holds 256 entries at most.
int32_t playable_length(const Song* song) {
    return song->song_length > 256 ? 256 : song->song_length;
}

const Pattern* pattern_at(const Song* song, int32_t order) {
    if (order < 0 || order > 255 || !song->patterns) return nullptr;
    const int32_t index = song->order_table[order];
    if (index >= song->pattern_count) return nullptr;
    return &song->patterns[index];
}

// A pattern the song lacks plays as 64 empty rows, like one the file names but does not hold.
int32_t row_count_at(const Song* song, int32_t order) {
    const Pattern* pattern = pattern_at(song, order);
    return pattern ? pattern->row_count : 64;
}

int32_t channels_played(const Song* song) {
    if (song->channel_count <= 0) return 0;
    return song->channel_count > CHANNEL_COUNT ? CHANNEL_COUNT : song->channel_count;
}

// The current row's cell of channel c, or an empty cell where the pattern has none.
const NoteCell& cell_at(const Song* song, int32_t c) {
    const Pattern* pattern = pattern_at(song, song->order);
    if (!pattern || !pattern->cells || song->row < 0 || song->row >= pattern->row_count) return EMPTY_CELL;
    return pattern->cells[static_cast<int64_t>(song->row) * song->channel_count + c];
}

void select_instrument(const Song* song, const ChannelState& channel, const Instrument** instrument, const Sample** sample) {
    if (channel.instrument_index >= song->instrument_count || !song->instruments) {
        *instrument = &empty_instrument;
        *sample = &empty_sample;
        return;
    }
    const Instrument* chosen = &song->instruments[channel.instrument_index];
    const uint8_t k = channel.map_note < 96 ? chosen->note_to_sample[channel.map_note] : 16;
    *instrument = chosen;
    *sample = (k < 16 && chosen->samples[k]) ? chosen->samples[k] : &empty_sample;
}

void step_volume_envelope(ChannelState& channel, const Instrument* instrument) {
    if ((instrument->volume_envelope_type & 1) && channel.volume_env.finished == 0) {
        envelope_step(&channel, &channel.volume_env, instrument->volume_envelope, instrument->volume_point_count,
                      instrument->volume_envelope_type, instrument->volume_sustain_point,
                      instrument->volume_loop_start, instrument->volume_loop_end, UPDATE_VOLUME);
    }
}

void step_panning_envelope(ChannelState& channel, const Instrument* instrument) {
    if ((instrument->panning_envelope_type & 1) && channel.panning_env.finished == 0) {
        envelope_step(&channel, &channel.panning_env, instrument->panning_envelope, instrument->panning_point_count,
                      instrument->panning_envelope_type, instrument->panning_sustain_point,
                      instrument->panning_loop_start, instrument->panning_loop_end, UPDATE_PANNING);
    }
}

void fade_out(ChannelState& channel, const Instrument* instrument) {
    channel.fadeout_volume -= instrument->fadeout;
    if (channel.fadeout_volume < 0) channel.fadeout_volume = 0;
    channel.update_flags |= UPDATE_VOLUME;
}

void volume_slide(ChannelState& channel) {
    const int32_t up = channel.volume_slide_param >> 4;
    const int32_t down = channel.volume_slide_param & 15;
    if (up != 0)
        slide_volume_up(&channel, up);
    else if (down != 0)
        slide_volume_down(&channel, down);
    channel.update_flags |= UPDATE_VOLUME;
}

// A note beyond the 96 of the format (only 255, key-off, is kept) would index past the
// note map: it counts as no note.
uint8_t played_note_number(uint8_t note) {
    return (note > 96 && note != KEY_OFF) ? 0 : note;
}

void row_effect(Song* song, ChannelState& channel, const NoteCell& cell) {
    const uint8_t xx = cell.effect_param;
    switch (cell.effect) {
        case 0x3:
            if (xx != 0) channel.porta_speed = xx;
            channel.porta_target = channel.note_period;
            channel.update_flags &= static_cast<uint8_t>(~UPDATE_TRIGGER);
            break;
        case 0x5:
            // Tone portamento that keeps the stored speed, with its parameter as a volume slide.
            if (xx != 0) channel.volume_slide_param = xx;
            channel.porta_target = channel.note_period;
            channel.update_flags &= static_cast<uint8_t>(~UPDATE_TRIGGER);
            break;
        case 0x6:
            if (xx != 0) channel.volume_slide_param = xx;
            vibrato_step(&channel);
            break;
        case 0xA:
            if (xx != 0) channel.volume_slide_param = xx;
            break;
        case 0xC:
            channel.volume = xx;
            channel.update_flags |= UPDATE_VOLUME;
            break;
        case 0xD: {
            int32_t target = 10 * (xx >> 4) + (xx & 15);
            if (target > 63) target = 0;
            song->next_row = target;
            song->next_order = song->order + 1;
            if (song->next_order >= playable_length(song)) song->next_order = 0;
            break;
        }
        case 0xF:
            if (xx < 0x20) {
                song->speed = xx;
            } else {
                set_bpm(song, xx);
            }
            break;
        default:
            break;
    }
}

void tick_effect(Song* song, ChannelState& channel, const NoteCell& cell) {
    const uint8_t xx = cell.effect_param;
    switch (cell.effect) {
        case 0x0:
            if (xx == 0) break;
            if (song->flags & 1) {
                const int32_t phase = song->tick % 3;
                if (phase == 1) channel.period_offset = 64 * (xx >> 4);
                if (phase == 2) channel.period_offset = 64 * (xx & 15);
            }
            channel.update_flags |= UPDATE_FREQUENCY;
            break;
        case 0x3:
            portamento_step(&channel);
            break;
        case 0x5:
            portamento_step(&channel);
            volume_slide(channel);
            break;
        case 0x6: {
            vibrato_step(&channel);
            int32_t position = channel.vibrato_position + channel.vibrato_speed;
            if (position > 31) position -= 64;
            channel.vibrato_position = static_cast<int8_t>(position);
            volume_slide(channel);
            break;
        }
        case 0xA:
            volume_slide(channel);
            break;
        default:
            break;
    }
}

void volume_column_later(ChannelState& channel, uint8_t v) {
    const int32_t x = v & 15;
    switch (v >> 4) {
        case 0x6:
            slide_volume_down(&channel, x);
            break;
        case 0x7:
            slide_volume_up(&channel, x);
            break;
        case 0xD:
            slide_panning(&channel, -x);
            break;
        case 0xE:
            slide_panning(&channel, x);
            break;
        case 0xF:
            portamento_step(&channel);
            break;
        default:
            break;
    }
}

}  // namespace

void start_row(Song* song) {
    song->next_row = -1;
    song->next_order = -1;
    const bool linear = (song->flags & 1) != 0;
    const int32_t count = channels_played(song);
    for (int32_t c = 0; c < count; ++c) {
        ChannelState& channel = channels[c];
        const NoteCell& cell = cell_at(song, c);
        const uint8_t note = played_note_number(cell.note);
        const bool porta = cell.effect == 0x3 || cell.effect == 0x5;
        if (cell.instrument != 0 && !porta) channel.instrument_index = static_cast<uint8_t>(cell.instrument - 1);
        if (note != 0 && note != KEY_OFF && !porta) channel.map_note = static_cast<uint8_t>(note - 1);

        const Instrument* instrument;
        const Sample* sample;
        select_instrument(song, channel, &instrument, &sample);
        channel.update_flags = 0;

        if (note != 0 && note != KEY_OFF) {
            const uint8_t played = static_cast<uint8_t>(note - 1 + sample->relative_note);
            if (linear) {
                channel.note_period = 7680 - 64 * played - sample->finetune / 2;
            } else {
                channel.note_period = amiga_period(played, sample->finetune);
            }
            if (!porta) channel.period = channel.note_period;
            channel.update_flags = UPDATE_TRIGGER;
        }
        channel.period_offset = 0;
        channel.update_flags |= UPDATE_FREQUENCY | UPDATE_VOLUME;

        if (cell.instrument != 0) reset_for_instrument(&channel, sample);
        if (cell.volume_column != 0) apply_volume_column(&channel, cell.volume_column);
        if (note == KEY_OFF || cell.effect == 0x14) channel.key_released = 1;

        if (instrument->volume_envelope_type & 1) {
            step_volume_envelope(channel, instrument);
        } else if (channel.key_released) {
            channel.volume_env.value = 0;  // a key-off cuts a note without a volume envelope
        }
        step_panning_envelope(channel, instrument);
        if (channel.key_released) fade_out(channel, instrument);

        row_effect(song, channel, cell);
        auto_vibrato_step(&channel, instrument);
        update_voice(&channel, sample, song);
    }
}

void run_tick_effects(Song* song) {
    const int32_t count = channels_played(song);
    for (int32_t c = 0; c < count; ++c) {
        ChannelState& channel = channels[c];
        const NoteCell& cell = cell_at(song, c);
        const Instrument* instrument;
        const Sample* sample;
        select_instrument(song, channel, &instrument, &sample);
        channel.period_offset = 0;
        channel.update_flags = 0;
        step_volume_envelope(channel, instrument);
        step_panning_envelope(channel, instrument);
        if (channel.key_released) fade_out(channel, instrument);
        volume_column_later(channel, cell.volume_column);
        tick_effect(song, channel, cell);
        auto_vibrato_step(&channel, instrument);
        update_voice(&channel, sample, song);
    }
}

void tick_update(Song* song) {
    if (!song) return;
    if (song->tick == 0) {
        if (song->next_order >= 0) song->order = song->next_order;
        if (song->next_row >= 0) song->row = song->next_row;
        // A break to a row the pattern lacks starts the pattern at its top.
        if (song->row >= row_count_at(song, song->order)) song->row = 0;
        start_row(song);
        if (song->next_row == -1) {
            song->next_row = song->row + 1;
            if (song->next_row >= row_count_at(song, song->order)) {
                song->next_order = song->order + 1;
                if (song->next_order >= playable_length(song)) {
                    const int32_t restart = song->restart_position;
                    song->next_order = (restart >= 0 && restart < playable_length(song)) ? restart : 0;
                }
                song->next_row = 0;
            }
        }
    } else {
        run_tick_effects(song);
    }
    song->tick += 1;
    if (song->tick >= song->speed) song->tick = 0;
}

void set_bpm(Song* song, int32_t bpm) {
    song->bpm = bpm;
    // The constants are single precision, the arithmetic double: halves therefore round up.
    const double frames = 1000.0 / (bpm * static_cast<double>(0.4f)) * mix_rate * static_cast<double>(0.001f);
    song->samples_per_tick = runtime::float_to_int(frames);
}

void init_play_position(Song* song) {
    if (!song) return;
    song->next_order = -1;
    song->next_row = -1;
    song->global_volume = song->initial_global_volume;
    song->speed = song->default_speed;
    song->row = 0;
    song->order = 0;
    song->tick = 0;
    song->samples_to_tick = 0;
    set_bpm(song, song->default_bpm);
    const int32_t count = channels_played(song);
    for (int32_t i = 0; i < count; ++i) {
        runtime::block_fill(&channels[i], 0, static_cast<int32_t>(sizeof(ChannelState)));
        channels[i].voice = &voices[i];
    }
}

}  // namespace music
