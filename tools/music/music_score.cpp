// The score of the soundtrack: a piece in A minor at about 131 BPM in seven
// sections, written row by row into one long grid that is then cut into
// patterns, with a tempo plan that makes every section begin exactly at its
// song time.
//
// Timing: a row is a sixteenth note of MUSIC_SPEED ticks; a tick lasts
// 2.5 s / tempo, truncated to whole frames at the mixing rate.  Each section
// has a fixed number of beats, and its rows run at tempo B or B - 1, the
// slower rows spread evenly, so that its length in frames lands within a few
// frames of the section's planned end.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "music.h"

namespace {

// ---- channels and mix -----------------------------------------------------

enum Channel {
    CH_KICK,
    CH_SNARE,
    CH_CLAP,
    CH_HAT,
    CH_OPEN_HAT,
    CH_CRASH,
    CH_BASS,
    CH_PAD1,
    CH_PAD2,
    CH_PAD3,
    CH_LEAD,
    CH_ECHO,
    CH_ARP,
    CH_BELL,
    CH_BELL_ECHO,
    CH_SHAKER,
    CH_SWEEP,
    CH_TEMPO, // tempo changes only
};

// How loud and where each channel sits: volume 0..64 at full velocity and
// panning 0 (left) .. 255 (right), set on every note.
struct ChannelMix {
    int volume;
    int pan;
};

constexpr ChannelMix CHANNEL_MIX[MUSIC_CHANNELS] = {
    {60, 128}, // kick
    {56, 144}, // snare
    {48, 108}, // clap
    {30, 196}, // closed hat
    {28, 60},  // open hat
    {34, 168}, // crash
    {52, 128}, // bass
    {26, 36},  // pad voice 1
    {26, 128}, // pad voice 2
    {26, 220}, // pad voice 3
    {46, 100}, // lead
    {20, 224}, // lead echo
    {24, 48},  // arpeggio (alternates with its mirror)
    {40, 176}, // bell
    {17, 48},  // bell echo
    {18, 232}, // shaker (alternates with its mirror)
    {30, 128}, // noise sweep
    {0, 128},  // tempo
};

// Echo channels repeat their source channel later and softer.
struct Echo {
    int source, target;
    int delay_rows;
};
constexpr Echo ECHOES[] = {{CH_LEAD, CH_ECHO, 3}, {CH_BELL, CH_BELL_ECHO, 6}};

constexpr uint8_t XM_VOLUME_SET = 0x10; // volume column: 0x10 + volume
constexpr uint8_t XM_EFFECT_PAN = 0x08;
constexpr uint8_t XM_EFFECT_TEMPO = 0x0F; // Fxx, xx >= 0x20 sets the tempo

// ---- notes and chords -----------------------------------------------------

enum Semitone { C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11 };

// XM note number (1 = C-0).
constexpr int note_of(int octave, int semitone) {
    return octave * 12 + semitone + 1;
}

struct Chord {
    int bass;   // root, played by the bass
    int pad[3]; // pad voicing
    int arp[4]; // arpeggio notes, low to high
};

constexpr Chord A_MINOR = {note_of(2, A),
                           {note_of(3, A), note_of(4, C), note_of(4, E)},
                           {note_of(4, A), note_of(5, C), note_of(5, E), note_of(5, A)}};
constexpr Chord F_MAJOR = {note_of(2, F),
                           {note_of(3, A), note_of(4, C), note_of(4, F)},
                           {note_of(4, F), note_of(4, A), note_of(5, C), note_of(5, F)}};
constexpr Chord C_MAJOR = {note_of(3, C),
                           {note_of(3, G), note_of(4, C), note_of(4, E)},
                           {note_of(4, G), note_of(5, C), note_of(5, E), note_of(5, G)}};
constexpr Chord G_MAJOR = {note_of(2, G),
                           {note_of(3, G), note_of(3, B), note_of(4, D)},
                           {note_of(4, G), note_of(4, B), note_of(5, D), note_of(5, G)}};
constexpr Chord E_MINOR = {note_of(2, E),
                           {note_of(3, G), note_of(3, B), note_of(4, E)},
                           {note_of(4, E), note_of(4, G), note_of(4, B), note_of(5, E)}};
constexpr Chord F_MAJ7 = {note_of(2, F),
                          {note_of(3, A), note_of(4, C), note_of(4, E)},
                          {note_of(4, F), note_of(4, A), note_of(5, C), note_of(5, E)}};
constexpr Chord E_MIN7 = {note_of(2, E),
                          {note_of(3, G), note_of(3, B), note_of(4, D)},
                          {note_of(4, E), note_of(4, G), note_of(4, B), note_of(5, D)}};
constexpr Chord A_MIN7 = {note_of(2, A),
                          {note_of(3, G), note_of(4, C), note_of(4, E)},
                          {note_of(4, A), note_of(5, C), note_of(5, E), note_of(5, G)}};

// Progressions, one chord per bar (or per two bars where a section says so).
constexpr const Chord* MAIN_CHORDS[4] = {&A_MINOR, &F_MAJOR, &C_MAJOR, &G_MAJOR};
constexpr const Chord* TURN_CHORDS[4] = {&F_MAJOR, &G_MAJOR, &E_MINOR, &A_MINOR};
constexpr const Chord* LAND_CHORDS[4] = {&F_MAJ7, &G_MAJOR, &E_MIN7, &A_MIN7};

// Melodies: one token per eighth note (two rows): a note such as "E5",
// "-" to hold the previous one, "." for a rest (key-off).
constexpr const char* HOOK_A[4] = {
    "A4 - C5 - E5 - D5 C5",
    "D5 - C5 - A4 - . C5",
    "E5 - G5 - E5 - D5 C5",
    "D5 - - B4 - - G4 .",
};
constexpr const char* HOOK_B[4] = {
    "A4 - C5 - E5 - A5 -",
    "G5 - F5 - E5 - C5 -",
    "E5 - D5 C5 D5 - E5 -",
    "D5 - B4 - G4 - B4 D5",
};
constexpr const char* HOOK_HIGH[4] = {
    "E5 - A5 - G5 - E5 -",
    "F5 - E5 - C5 - A4 C5",
    "G5 - E5 - C5 - E5 G5",
    "A5 - - G5 - - B4 D5",
};
// Landscape melody: eight bars, two per chord.
constexpr const char* LAND_MELODY[8] = {
    "A4 - - - C5 - E5 -", "- - - - D5 - C5 -", "B4 - - - D5 - G5 -", "- - - - F5 - D5 -",
    "E5 - - - B4 - G4 -", "- - - - B4 - D5 -", "C5 - - - B4 - A4 -", "- - - - - - . .",
};
constexpr const char* LAND_ANSWER[8] = {
    "E5 - - C5 - - A4 -", "C5 - E5 - F5 - E5 -", "D5 - - B4 - - G4 -", "B4 - D5 - G5 - F5 -",
    "E5 - - B4 - - G4 -", "A4 - B4 - D5 - E5 -", "C5 - - B4 - - A4 -", "- - - - . . . .",
};
// Bell motifs: the intro's over two-bar chords of the main progression, the
// groove's calls over the turn, the outro's over one-bar chords.
constexpr const char* INTRO_BELL[8] = {
    "E5 - - - A4 - - -", ". . C5 - - - B4 -", "A4 - - - C5 - - -", ". . F5 - - - E5 -",
    "G4 - - - C5 - - -", ". . E5 - - - D5 -", "B4 - - - D5 - - -", ". . G5 - - - F5 -",
};
constexpr const char* GROOVE_CALL[4] = {
    ". . C5 - - - A4 -",
    ". . D5 - - - B4 -",
    ". . E5 - - - B4 -",
    ". . C5 - E5 - A5 -",
};
constexpr const char* OUTRO_BELL[4] = {
    "E5 - - - A4 - B4 -",
    "C5 - - - A4 - - -",
    "G4 - - - C5 - E5 -",
    "D5 - - - B4 - G4 -",
};

// Hat velocities over one bar of sixteenths: accents on the off-beats.
constexpr int HAT_ACCENT[MUSIC_ROWS_PER_BAR] = {34, 22, 60, 24, 34, 22, 60, 26,
                                                34, 22, 60, 24, 34, 22, 60, 30};
// Arpeggio note order over a bar (indices into Chord::arp).
constexpr int ARP_ORDER[MUSIC_ROWS_PER_BAR] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 2, 3, 1, 2};

// Acid line over a bar: chord-tone indices and the steps that slide.
constexpr int ACID_ORDER[MUSIC_ROWS_PER_BAR] = {0, 0, 1, 0, 2, 0, 3, 0, 0, 1, 0, 2, 0, 3, 2, 1};
constexpr bool ACID_SLIDE[MUSIC_ROWS_PER_BAR] = {false, false, true,  false, true,  false,
                                                 false, false, false, true,  false, false,
                                                 false, true,  false, false};

// ---- the grid -------------------------------------------------------------

// The whole piece as one grid of rows x channels.
struct Score {
    int rows = 0;
    std::vector<XmCell> cells;
    std::vector<int> row_tempo; // tempo of each row
    int write_end = 0;          // notes at or after this row are dropped
};

XmCell& score_cell(Score& s, int row, int channel) {
    return s.cells[static_cast<size_t>(row) * MUSIC_CHANNELS + channel];
}

// A note on a channel at velocity 0..64, scaled by the channel's volume and
// placed at the channel's panning.  Rows outside the section being written
// are ignored, so a half bar never spills into the next section.
void put_note(Score& s, int row, int channel, int note, int instrument, int velocity,
              int pan = -1) {
    if (row < 0 || row >= s.write_end) return;
    XmCell& c = score_cell(s, row, channel);
    int volume = std::min(64, CHANNEL_MIX[channel].volume * velocity / 64);
    c.note = static_cast<uint8_t>(note);
    c.instrument = static_cast<uint8_t>(instrument);
    c.volume = static_cast<uint8_t>(XM_VOLUME_SET + volume);
    c.effect = XM_EFFECT_PAN;
    c.param = static_cast<uint8_t>(pan >= 0 ? pan : CHANNEL_MIX[channel].pan);
}

// A key-off where the channel has no note; it may fall on the first row of
// the next section, to end a note held to the section's end.
void put_key_off(Score& s, int row, int channel) {
    if (row < 0 || row >= s.rows) return;
    XmCell& c = score_cell(s, row, channel);
    if (c.note == XM_NOTE_NONE) c.note = XM_NOTE_OFF;
}

// A section being written: its first row and its bar count.
struct Part {
    int first_row;
    int rows;
};

int bar_row(const Part& p, int bar, int step = 0) {
    return p.first_row + bar * MUSIC_ROWS_PER_BAR + step;
}

int part_bars(const Part& p) {
    return (p.rows + MUSIC_ROWS_PER_BAR - 1) / MUSIC_ROWS_PER_BAR;
}

// ---- drums ----------------------------------------------------------------

// The beat: instrument 2 on every beat of bars [from, to).
void kick(Score& s, const Part& p, int from, int to, int velocity) {
    for (int bar = from; bar < to; ++bar)
        for (int beat = 0; beat < 4; ++beat)
            put_note(s, bar_row(p, bar, beat * MUSIC_ROWS_PER_BEAT), CH_KICK, note_of(4, C),
                     INS_KICK, velocity);
}

// Back-beat on beats 2 and 4 with the snare, the clap or both.
void backbeat(Score& s, const Part& p, int from, int to, bool snare, bool clap, int velocity) {
    for (int bar = from; bar < to; ++bar)
        for (int step : {4, 12}) {
            if (snare)
                put_note(s, bar_row(p, bar, step), CH_SNARE, note_of(4, C), INS_SNARE, velocity);
            if (clap)
                put_note(s, bar_row(p, bar, step), CH_CLAP, note_of(4, C), INS_CLAP, velocity);
        }
}

// Half-time back-beat: the snare on beat 3 only.
void half_time(Score& s, const Part& p, int from, int to, int velocity) {
    for (int bar = from; bar < to; ++bar)
        put_note(s, bar_row(p, bar, 8), CH_SNARE, note_of(4, C), INS_SNARE, velocity);
}

// Closed hats: every sixteenth (`every` 1), eighth (2) or off-beat only (4).
void hats(Score& s, const Part& p, int from, int to, int every, int velocity) {
    for (int bar = from; bar < to; ++bar)
        for (int step = 0; step < MUSIC_ROWS_PER_BAR; ++step) {
            bool on = every == 4 ? step % 4 == 2 : step % every == 0;
            if (on)
                put_note(s, bar_row(p, bar, step), CH_HAT, note_of(4, C), INS_CLOSED_HAT,
                         velocity * HAT_ACCENT[step] / 64);
        }
}

void open_hats(Score& s, const Part& p, int from, int to, int velocity) {
    for (int bar = from; bar < to; ++bar)
        for (int step = 2; step < MUSIC_ROWS_PER_BAR; step += 4)
            put_note(s, bar_row(p, bar, step), CH_OPEN_HAT, note_of(4, C), INS_OPEN_HAT, velocity);
}

void crash(Score& s, const Part& p, int bar, int velocity = 64) {
    put_note(s, bar_row(p, bar), CH_CRASH, note_of(4, C), INS_CRASH, velocity);
}

// Fills: the last beat of every `phrase`-th bar gets a short snare run and
// an open hat.
void fills(Score& s, const Part& p, int from, int to, int phrase, int velocity) {
    for (int bar = from + phrase - 1; bar < to; bar += phrase) {
        for (int step : {13, 14, 15})
            put_note(s, bar_row(p, bar, step), CH_SNARE, note_of(4, C), INS_SNARE,
                     velocity * (step - 3) / 12);
        put_note(s, bar_row(p, bar, 14), CH_OPEN_HAT, note_of(4, C), INS_OPEN_HAT, velocity);
    }
}

// Shaker: the closed hat pitched up, every sixteenth, from side to side.
void shaker(Score& s, const Part& p, int from, int to, int velocity) {
    for (int bar = from; bar < to; ++bar)
        for (int step = 0; step < MUSIC_ROWS_PER_BAR; ++step) {
            int pan = (step % 2) ? 255 - CHANNEL_MIX[CH_SHAKER].pan : CHANNEL_MIX[CH_SHAKER].pan;
            put_note(s, bar_row(p, bar, step), CH_SHAKER, note_of(5, C), INS_CLOSED_HAT,
                     velocity * (step % 2 ? 40 : 64) / 64, pan);
        }
}

// A noise sweep over `bars` bars from `bar`: rising in pitch (portamento
// up) and in volume, cut where the next section begins.
void sweep(Score& s, const Part& p, int bar, int bars) {
    constexpr uint8_t XM_EFFECT_PORTA_UP = 0x01;
    int rows = bars * MUSIC_ROWS_PER_BAR;
    int first = bar_row(p, bar);
    put_note(s, first, CH_SWEEP, note_of(3, C), INS_SWEEP, 4);
    for (int i = 0; i < rows && first + i < s.write_end; ++i) {
        XmCell& c = score_cell(s, first + i, CH_SWEEP);
        int volume = CHANNEL_MIX[CH_SWEEP].volume * (4 + 60 * i / rows) / 64;
        c.volume = static_cast<uint8_t>(XM_VOLUME_SET + volume);
        c.effect = XM_EFFECT_PORTA_UP;
        c.param = static_cast<uint8_t>(48 / rows + 1);
    }
    put_key_off(s, first + rows, CH_SWEEP);
}

// A snare roll over `rows` rows from `row`, growing louder; eighths first,
// sixteenths in the second half.
void snare_roll(Score& s, int row, int rows, int from_velocity, int to_velocity) {
    for (int i = 0; i < rows; ++i) {
        bool eighths_only = i < rows / 2;
        if (eighths_only && i % 2) continue;
        int velocity = from_velocity + (to_velocity - from_velocity) * i / std::max(1, rows - 1);
        put_note(s, row + i, CH_SNARE, note_of(4, C), INS_SNARE, velocity);
    }
}

// ---- bass, pads, arpeggios ------------------------------------------------

enum BassStyle {
    BASS_OFFBEAT, // root on every off-beat eighth
    BASS_ROLLING, // sixteenths between the kicks, octave jumps
    BASS_LONG,    // a held root per bar
};

// Chord of a bar: progressions advance every `bars_per_chord` bars.
const Chord& chord_at(const Chord* const* progression, int bar, int bars_per_chord) {
    return *progression[(bar / bars_per_chord) % 4];
}

void bass(Score& s, const Part& p, int from, int to, const Chord* const* progression,
          int bars_per_chord, BassStyle style, int velocity) {
    for (int bar = from; bar < to; ++bar) {
        int root = chord_at(progression, bar, bars_per_chord).bass;
        for (int step = 0; step < MUSIC_ROWS_PER_BAR; ++step) {
            int row = bar_row(p, bar, step);
            if (style == BASS_OFFBEAT && step % 4 == 2) {
                put_note(s, row, CH_BASS, root, INS_BASS, velocity);
                put_key_off(s, row + 1, CH_BASS);
            } else if (style == BASS_ROLLING && step % 4 != 0) {
                int note = (step % 4 == 3) ? root + 12 : root;
                put_note(s, row, CH_BASS, note, INS_BASS,
                         step % 4 == 2 ? velocity : velocity * 3 / 4);
            } else if (style == BASS_LONG && (step == 0 || step == 10)) {
                put_note(s, row, CH_BASS, step == 0 ? root : root + 12, INS_BASS, velocity);
            }
        }
        if (style == BASS_ROLLING) put_key_off(s, bar_row(p, bar + 1), CH_BASS);
    }
}

// Pad chords: a held chord at every chord change (`stabs`: short chords on
// the off-beats instead).
void pads(Score& s, const Part& p, int from, int to, const Chord* const* progression,
          int bars_per_chord, bool stabs, int velocity) {
    constexpr int PAD_CHANNELS[3] = {CH_PAD1, CH_PAD2, CH_PAD3};
    for (int bar = from; bar < to; ++bar) {
        const Chord& chord = chord_at(progression, bar, bars_per_chord);
        for (int v = 0; v < 3; ++v) {
            if (stabs) {
                for (int step = 2; step < MUSIC_ROWS_PER_BAR; step += 4) {
                    put_note(s, bar_row(p, bar, step), PAD_CHANNELS[v], chord.pad[v] + 12, INS_PAD,
                             velocity);
                    put_key_off(s, bar_row(p, bar, step + 1), PAD_CHANNELS[v]);
                }
            } else if ((bar - from) % bars_per_chord == 0 || bar == from) {
                put_note(s, bar_row(p, bar), PAD_CHANNELS[v], chord.pad[v], INS_PAD, velocity);
            }
        }
    }
    for (int v = 0; v < 3; ++v)
        put_key_off(s, bar_row(p, to) - 1, PAD_CHANNELS[v]);
}

// Sixteenth-note arpeggios panned from side to side.
void arps(Score& s, const Part& p, int from, int to, const Chord* const* progression,
          int bars_per_chord, int velocity, int octave_shift = 0) {
    for (int bar = from; bar < to; ++bar) {
        const Chord& chord = chord_at(progression, bar, bars_per_chord);
        for (int step = 0; step < MUSIC_ROWS_PER_BAR; ++step) {
            int pan = (step % 2) ? 255 - CHANNEL_MIX[CH_ARP].pan : CHANNEL_MIX[CH_ARP].pan;
            int accent = (step % 4 == 0) ? velocity : velocity * 3 / 4;
            put_note(s, bar_row(p, bar, step), CH_ARP,
                     chord.arp[ARP_ORDER[step]] + 12 * octave_shift, INS_PLUCK, accent, pan);
        }
    }
}

// Acid line: sixteenths of chord tones an octave down on the lead channel,
// sliding (tone portamento) into some of them.
void acid(Score& s, const Part& p, int from, int to, const Chord* const* progression,
          int velocity) {
    constexpr uint8_t XM_EFFECT_TONE_PORTA = 0x03;
    constexpr uint8_t SLIDE_SPEED = 0x40;
    for (int bar = from; bar < to; ++bar) {
        const Chord& chord = chord_at(progression, bar, 1);
        for (int step = 0; step < MUSIC_ROWS_PER_BAR; ++step) {
            int row = bar_row(p, bar, step);
            int note = chord.arp[ACID_ORDER[step]] - 12;
            int accent = (step % 4 == 2) ? velocity : velocity * 5 / 8;
            put_note(s, row, CH_LEAD, note, INS_ACID, accent);
            if (ACID_SLIDE[step] && row < s.write_end) {
                XmCell& c = score_cell(s, row, CH_LEAD);
                c.instrument = 0; // keep the sliding note's envelope going
                c.effect = XM_EFFECT_TONE_PORTA;
                c.param = SLIDE_SPEED;
            }
        }
    }
    put_key_off(s, bar_row(p, to), CH_LEAD);
}

// ---- melodies -------------------------------------------------------------

int parse_note(const std::string& token) {
    static const int SEMITONES[7] = {A, B, C, D, E, F, G}; // for 'A'..'G'
    int semitone = SEMITONES[token[0] - 'A'];
    size_t at = 1;
    if (token.size() > 2 && token[1] == '#') {
        ++semitone;
        ++at;
    }
    return note_of(token[at] - '0', semitone);
}

// Writes one bar of a melody (eight eighth-note tokens) at `row`.
void melody_bar(Score& s, int row, int channel, int instrument, const char* text, int velocity,
                int transpose) {
    std::string line(text);
    size_t pos = 0;
    for (int eighth = 0; eighth < 8 && pos < line.size(); ++eighth) {
        size_t end = line.find(' ', pos);
        if (end == std::string::npos) end = line.size();
        std::string token = line.substr(pos, end - pos);
        pos = end + 1;
        int r = row + eighth * 2;
        if (token == ".")
            put_key_off(s, r, channel);
        else if (token != "-")
            put_note(s, r, channel, parse_note(token) + transpose, instrument, velocity);
    }
}

// A melody of `count` bars, repeated to fill bars [from, to).
void melody(Score& s, const Part& p, int from, int to, int channel, int instrument,
            const char* const* bars, int count, int velocity, int transpose = 0) {
    for (int bar = from; bar < to; ++bar)
        melody_bar(s, bar_row(p, bar), channel, instrument, bars[(bar - from) % count], velocity,
                   transpose);
    put_key_off(s, bar_row(p, to), channel);
}

// ---- the sections ---------------------------------------------------------

// 42 bars: pad alone, then arpeggio and bell, the beat from bar 10
// (about 18 s), full drums from bar 16 (29 s), the theme from bar 24 and a
// two-bar build into the tunnel.
void write_intro(Score& s, const Part& p) {
    pads(s, p, 0, 16, MAIN_CHORDS, 2, false, 56);
    pads(s, p, 16, 42, MAIN_CHORDS, 1, false, 50);
    for (int bar = 2; bar < 24; ++bar)
        arps(s, p, bar, bar + 1, MAIN_CHORDS, bar < 16 ? 2 : 1, std::min(60, 18 + bar * 3));
    melody(s, p, 8, 16, CH_BELL, INS_BELL, INTRO_BELL, 8, 54);
    kick(s, p, 10, 42, 50);
    hats(s, p, 10, 16, 4, 48);
    shaker(s, p, 12, 16, 36);
    bass(s, p, 12, 16, MAIN_CHORDS, 2, BASS_OFFBEAT, 56);
    crash(s, p, 16);
    backbeat(s, p, 16, 40, false, true, 54);
    hats(s, p, 16, 40, 1, 56);
    open_hats(s, p, 20, 40, 40);
    fills(s, p, 16, 40, 8, 50);
    bass(s, p, 16, 40, MAIN_CHORDS, 1, BASS_ROLLING, 58);
    crash(s, p, 24);
    melody(s, p, 24, 32, CH_LEAD, INS_LEAD, HOOK_A, 4, 56);
    melody(s, p, 32, 40, CH_LEAD, INS_LEAD, HOOK_B, 4, 58);
    arps(s, p, 24, 42, MAIN_CHORDS, 1, 44);
    bass(s, p, 40, 42, MAIN_CHORDS, 1, BASS_OFFBEAT, 56);
    hats(s, p, 40, 42, 2, 48);
    snare_roll(s, bar_row(p, 40), 2 * MUSIC_ROWS_PER_BAR, 16, 64);
    sweep(s, p, 40, 2);
}

// 14 bars: everything at once with stabs, the theme from bar 4, a build at
// the end.
void write_tunnel(Score& s, const Part& p) {
    crash(s, p, 0);
    kick(s, p, 0, 14, 60);
    backbeat(s, p, 0, 12, true, true, 56);
    hats(s, p, 0, 14, 1, 62);
    open_hats(s, p, 0, 12, 48);
    shaker(s, p, 0, 12, 40);
    fills(s, p, 0, 12, 4, 56);
    bass(s, p, 0, 14, MAIN_CHORDS, 1, BASS_ROLLING, 62);
    pads(s, p, 0, 4, MAIN_CHORDS, 1, true, 56);
    pads(s, p, 4, 14, MAIN_CHORDS, 1, false, 46);
    arps(s, p, 0, 14, MAIN_CHORDS, 1, 50, 1);
    melody(s, p, 4, 8, CH_LEAD, INS_LEAD, HOOK_A, 4, 58);
    melody(s, p, 8, 12, CH_LEAD, INS_LEAD, HOOK_HIGH, 4, 60);
    snare_roll(s, bar_row(p, 12), 2 * MUSIC_ROWS_PER_BAR, 24, 64);
    sweep(s, p, 12, 2);
}

// 10 1/2 bars: a groove of drums, bass and chord stabs with bell calls, and
// a half-bar roll.
void write_groove(Score& s, const Part& p) {
    int bars = part_bars(p); // the last bar is half a bar
    crash(s, p, 0, 52);
    kick(s, p, 0, bars, 60);
    backbeat(s, p, 0, 10, false, true, 60);
    hats(s, p, 0, bars, 1, 58);
    open_hats(s, p, 0, 10, 44);
    shaker(s, p, 0, 10, 44);
    bass(s, p, 0, bars, TURN_CHORDS, 1, BASS_ROLLING, 62);
    pads(s, p, 0, bars, TURN_CHORDS, 1, true, 60);
    arps(s, p, 6, bars, TURN_CHORDS, 1, 32);
    acid(s, p, 2, 10, TURN_CHORDS, 62);
    fills(s, p, 0, 8, 4, 54);
    melody(s, p, 2, 10, CH_BELL, INS_BELL, GROOVE_CALL, 4, 52, 12);
    snare_roll(s, bar_row(p, 10), p.rows - 10 * MUSIC_ROWS_PER_BAR, 30, 64);
}

// 21 bars: the theme in full, its high answer, and a one-bar build.
void write_statement(Score& s, const Part& p) {
    for (int bar : {0, 8, 16})
        crash(s, p, bar);
    kick(s, p, 0, 21, 62);
    backbeat(s, p, 0, 20, true, true, 58);
    hats(s, p, 0, 21, 1, 60);
    open_hats(s, p, 0, 20, 46);
    fills(s, p, 0, 16, 8, 58);
    bass(s, p, 0, 21, MAIN_CHORDS, 1, BASS_ROLLING, 62);
    pads(s, p, 0, 21, MAIN_CHORDS, 1, false, 52);
    pads(s, p, 8, 16, MAIN_CHORDS, 1, true, 40);
    arps(s, p, 0, 21, MAIN_CHORDS, 1, 44);
    melody(s, p, 0, 4, CH_LEAD, INS_LEAD, HOOK_A, 4, 60);
    melody(s, p, 4, 8, CH_LEAD, INS_LEAD, HOOK_B, 4, 60);
    melody(s, p, 8, 16, CH_LEAD, INS_LEAD, HOOK_HIGH, 4, 62);
    melody(s, p, 16, 20, CH_LEAD, INS_LEAD, HOOK_B, 4, 62);
    melody(s, p, 16, 20, CH_BELL, INS_BELL, HOOK_B, 4, 44, 12);
    snare_roll(s, bar_row(p, 20), MUSIC_ROWS_PER_BAR, 30, 64);
    sweep(s, p, 20, 1);
}

// 55 bars: slow chords, the bell's melody, a soft beat with a half-time
// snare; the lead answers from bar 20, the groove fills up from bar 36 and
// three bars build into the climax.
void write_landscape(Score& s, const Part& p) {
    crash(s, p, 0, 40);
    kick(s, p, 0, 55, 40);
    pads(s, p, 0, 52, LAND_CHORDS, 2, false, 60);
    bass(s, p, 0, 36, LAND_CHORDS, 2, BASS_LONG, 52);
    hats(s, p, 0, 36, 2, 34);
    half_time(s, p, 4, 36, 38);
    melody(s, p, 4, 20, CH_BELL, INS_BELL, LAND_MELODY, 8, 58);
    melody(s, p, 20, 36, CH_LEAD, INS_LEAD, LAND_ANSWER, 8, 50);
    arps(s, p, 20, 52, LAND_CHORDS, 2, 30);
    shaker(s, p, 28, 52, 30);
    backbeat(s, p, 36, 52, false, true, 46);
    fills(s, p, 36, 52, 8, 44);
    hats(s, p, 36, 52, 1, 46);
    bass(s, p, 36, 52, LAND_CHORDS, 2, BASS_OFFBEAT, 56);
    melody(s, p, 36, 44, CH_LEAD, INS_LEAD, LAND_MELODY, 8, 52);
    melody(s, p, 36, 44, CH_BELL, INS_BELL, LAND_MELODY, 8, 36, 12);
    melody(s, p, 44, 52, CH_BELL, INS_BELL, LAND_ANSWER, 8, 50, 12);
    pads(s, p, 52, 55, MAIN_CHORDS, 1, false, 48);
    bass(s, p, 52, 55, MAIN_CHORDS, 1, BASS_OFFBEAT, 58);
    hats(s, p, 52, 55, 2, 46);
    snare_roll(s, bar_row(p, 52), 3 * MUSIC_ROWS_PER_BAR, 10, 64);
    sweep(s, p, 52, 3);
}

// 22 bars: the theme at full strength, the bell doubling it an octave up.
void write_climax(Score& s, const Part& p) {
    for (int bar : {0, 8, 16})
        crash(s, p, bar);
    kick(s, p, 0, 22, 64);
    backbeat(s, p, 0, 21, true, true, 62);
    hats(s, p, 0, 22, 1, 64);
    open_hats(s, p, 0, 21, 50);
    shaker(s, p, 0, 21, 44);
    fills(s, p, 0, 16, 4, 60);
    bass(s, p, 0, 22, MAIN_CHORDS, 1, BASS_ROLLING, 64);
    pads(s, p, 0, 22, MAIN_CHORDS, 1, false, 56);
    arps(s, p, 0, 22, MAIN_CHORDS, 1, 46, 1);
    const char* const* lines[] = {HOOK_A, HOOK_B, HOOK_HIGH, HOOK_HIGH, HOOK_A};
    for (int i = 0; i < 5; ++i) {
        melody(s, p, 4 * i, 4 * i + 4, CH_LEAD, INS_LEAD, lines[i], 4, 62);
        melody(s, p, 4 * i, 4 * i + 4, CH_BELL, INS_BELL, lines[i], 4, 40, 12);
    }
    melody(s, p, 20, 22, CH_LEAD, INS_LEAD, HOOK_B, 4, 60);
    snare_roll(s, bar_row(p, 21), MUSIC_ROWS_PER_BAR, 30, 60);
}

// 16 bars that loop into themselves: beat, bass, pads, arpeggio and the
// bell, with nothing held over the end.
void write_outro(Score& s, const Part& p) {
    crash(s, p, 0, 44);
    kick(s, p, 0, 16, 56);
    backbeat(s, p, 0, 16, false, true, 48);
    hats(s, p, 0, 16, 1, 50);
    shaker(s, p, 0, 16, 30);
    bass(s, p, 0, 16, MAIN_CHORDS, 1, BASS_OFFBEAT, 58);
    pads(s, p, 0, 16, MAIN_CHORDS, 1, false, 52);
    arps(s, p, 0, 16, MAIN_CHORDS, 1, 36);
    melody(s, p, 4, 16, CH_BELL, INS_BELL, OUTRO_BELL, 4, 50);
}

typedef void (*SectionWriter)(Score&, const Part&);
constexpr SectionWriter SECTION_WRITERS[MUSIC_SECTION_COUNT] = {
    write_intro,     write_tunnel, write_groove, write_statement,
    write_landscape, write_climax, write_outro};

// Echo channels: copies of their source, later and softer.
void write_echoes(Score& s) {
    for (const Echo& e : ECHOES)
        for (int row = s.rows - 1 - e.delay_rows; row >= 0; --row) {
            const XmCell& src = score_cell(s, row, e.source);
            if (src.note == XM_NOTE_NONE) continue;
            XmCell& dst = score_cell(s, row + e.delay_rows, e.target);
            if (src.note == XM_NOTE_OFF) {
                put_key_off(s, row + e.delay_rows, e.target);
                continue;
            }
            int velocity = (src.volume - XM_VOLUME_SET) * 64 / CHANNEL_MIX[e.source].volume;
            put_note(s, row + e.delay_rows, e.target, src.note, src.instrument, velocity);
            (void)dst;
        }
}

// ---- tempo ----------------------------------------------------------------

constexpr int64_t TEMPO_BASE_FRAMES = MUSIC_MIX_RATE * 5 / 2; // frames x BPM per tick
constexpr int TEMPO_MIN = 32;
constexpr int TEMPO_MAX = 255;

int64_t section_end_frame(int section) {
    return MUSIC_SECTION_START_MS[section + 1] * MUSIC_MIX_RATE / 1000;
}

// Row tempos of one section so that its `rows` rows last `frames` frames as
// closely as whole ticks allow: rows at `tempo` and, spread evenly among
// them, rows at `tempo` - 1.
void plan_section_tempo(Score& s, int first_row, int rows, int64_t frames) {
    int64_t ticks = static_cast<int64_t>(rows) * MUSIC_SPEED;
    int tempo = TEMPO_MAX;
    while (tempo > TEMPO_MIN + 1 && music_tick_frames(tempo) * ticks < frames)
        --tempo;
    // Now rows at `tempo` + 1 are too short and rows at `tempo` long enough.
    int fast = tempo + 1;
    int64_t fast_row = music_tick_frames(fast) * MUSIC_SPEED;
    int64_t slow_row = music_tick_frames(tempo) * MUSIC_SPEED;
    int64_t slow_rows =
        (frames - fast_row * rows + (slow_row - fast_row) / 2) / (slow_row - fast_row);
    slow_rows = std::max<int64_t>(0, std::min<int64_t>(rows, slow_rows));
    for (int i = 0; i < rows; ++i) {
        bool slow = (i + 1) * slow_rows / rows != i * slow_rows / rows;
        s.row_tempo[first_row + i] = slow ? tempo : fast;
    }
}

// Writes a tempo command wherever the tempo changes and at every section
// start (so the loop back into the outro restores its tempo).
void write_tempo_commands(Score& s, const MusicLayout& layout) {
    for (int row = 0; row < s.rows; ++row) {
        bool section_start = false;
        for (int first : layout.section_first_row)
            section_start = section_start || first == row;
        if (!section_start && s.row_tempo[row] == s.row_tempo[row - 1]) continue;
        XmCell& c = score_cell(s, row, CH_TEMPO);
        c.effect = XM_EFFECT_TEMPO;
        c.param = static_cast<uint8_t>(s.row_tempo[row]);
    }
}

void plan_tempo(Score& s, MusicLayout& layout) {
    int64_t frame = 0;
    for (int section = 0; section < MUSIC_SECTION_COUNT; ++section) {
        int first = layout.section_first_row[section];
        int rows = MUSIC_SECTION_BEATS[section] * MUSIC_ROWS_PER_BEAT;
        layout.section_start_frame[section] = frame;
        if (section + 1 < MUSIC_SECTION_COUNT)
            plan_section_tempo(s, first, rows, section_end_frame(section) - frame);
        else
            std::fill(s.row_tempo.begin() + first, s.row_tempo.begin() + first + rows,
                      MUSIC_OUTRO_TEMPO);
        for (int i = 0; i < rows; ++i)
            frame += music_tick_frames(s.row_tempo[first + i]) * MUSIC_SPEED;
    }
    layout.end_frame = frame;
    write_tempo_commands(s, layout);
}

// ---- patterns and orders --------------------------------------------------

// Cuts each section into patterns of at most MUSIC_PATTERN_ROWS rows, one
// pattern per order.
void cut_patterns(const Score& s, XmModule& m, MusicLayout& layout) {
    for (int section = 0; section < MUSIC_SECTION_COUNT; ++section) {
        layout.section_first_order[section] = static_cast<int>(m.orders.size());
        int first = layout.section_first_row[section];
        int end = first + MUSIC_SECTION_BEATS[section] * MUSIC_ROWS_PER_BEAT;
        for (int row = first; row < end; row += MUSIC_PATTERN_ROWS) {
            int rows = std::min(MUSIC_PATTERN_ROWS, end - row);
            XmPattern pattern = xm_empty_pattern(rows, MUSIC_CHANNELS);
            std::copy(s.cells.begin() + static_cast<ptrdiff_t>(row) * MUSIC_CHANNELS,
                      s.cells.begin() + static_cast<ptrdiff_t>(row + rows) * MUSIC_CHANNELS,
                      pattern.cells.begin());
            m.orders.push_back(static_cast<uint8_t>(m.patterns.size()));
            m.patterns.push_back(pattern);
        }
    }
}

} // namespace

int64_t music_tick_frames(int tempo) {
    return TEMPO_BASE_FRAMES / tempo;
}

XmModule music_compose(MusicLayout* layout_out) {
    MusicLayout layout;
    Score s;
    for (int section = 0; section < MUSIC_SECTION_COUNT; ++section) {
        layout.section_first_row[section] = s.rows;
        s.rows += MUSIC_SECTION_BEATS[section] * MUSIC_ROWS_PER_BEAT;
    }
    layout.total_rows = s.rows;
    s.cells.assign(static_cast<size_t>(s.rows) * MUSIC_CHANNELS, XmCell());
    s.row_tempo.assign(s.rows, MUSIC_OUTRO_TEMPO);
    for (int section = 0; section < MUSIC_SECTION_COUNT; ++section) {
        Part p = {layout.section_first_row[section],
                  MUSIC_SECTION_BEATS[section] * MUSIC_ROWS_PER_BEAT};
        s.write_end = p.first_row + p.rows;
        SECTION_WRITERS[section](s, p);
    }
    s.write_end = s.rows;
    write_echoes(s);
    plan_tempo(s, layout);

    XmModule m;
    m.name = "Kvadrat - Vintermoot";
    m.tracker = "Vintermoot composer";
    m.channels = MUSIC_CHANNELS;
    m.speed = MUSIC_SPEED;
    m.tempo = s.row_tempo[0];
    m.linear_frequencies = true;
    m.instruments = music_instruments();
    cut_patterns(s, m, layout);
    m.restart_position = layout.section_first_order[MUSIC_OUTRO];
    if (layout_out) *layout_out = layout;
    return m;
}
