// The soundtrack composer: synthesises the instruments, writes the score and
// the order list of the show's module "data/Kvadrat2.xm" and plans the tempo
// so that every section starts at the song time the show's timeline expects.
#pragma once

#include <cstdint>
#include <vector>

#include "xm_writer.h"

// Sections of the piece, in song order.
enum MusicSection {
    MUSIC_INTRO,     // calm opening that builds; drums from about 18 s
    MUSIC_TUNNEL,    // energetic part under the bit tunnel
    MUSIC_GROOVE,    // driving groove under the sphere greetings
    MUSIC_STATEMENT, // the main theme under the flying words
    MUSIC_LANDSCAPE, // melodic, calmer part
    MUSIC_CLIMAX,    // the finale
    MUSIC_OUTRO,     // the part the module loops into
    MUSIC_SECTION_COUNT
};

// Song time (ms) at which each section begins.
constexpr int64_t MUSIC_SECTION_START_MS[MUSIC_SECTION_COUNT] = {0,      77000,  102500, 121800,
                                                                 159760, 260000, 300000};

// Beats (quarter notes) in each section.  Every section but the outro is
// stretched or squeezed by its tempo to end exactly where the next begins;
// the outro runs at OUTRO_TEMPO.
constexpr int MUSIC_SECTION_BEATS[MUSIC_SECTION_COUNT] = {168, 56, 42, 84, 220, 88, 64};
constexpr int MUSIC_OUTRO_TEMPO = 132;

// Instrument numbers (1-based, as in the module).  Instrument 2 is the one
// whose notes the pictures follow: a kick on every beat.
enum MusicInstrument {
    INS_BASS = 1,
    INS_KICK,
    INS_SNARE,
    INS_CLOSED_HAT,
    INS_OPEN_HAT,
    INS_PAD,
    INS_LEAD,
    INS_PLUCK,
    INS_BELL,
    INS_CLAP,
    INS_CRASH,
    INS_STAB,
    INS_SWEEP,
    INS_ACID,
};
constexpr int MUSIC_BEAT_INSTRUMENT = INS_KICK;

// Mixing rate at which the section times are exact (the show's rate).
constexpr int MUSIC_MIX_RATE = 44100;

constexpr int MUSIC_SPEED = 6;         // ticks per row throughout
constexpr int MUSIC_ROWS_PER_BEAT = 4; // a row is a sixteenth note
constexpr int MUSIC_ROWS_PER_BAR = 16; // 4/4 throughout
constexpr int MUSIC_PATTERN_ROWS = 64; // longest pattern the composer writes
constexpr int MUSIC_CHANNELS = 18;

// Where the composer put things, for tools and tests.
struct MusicLayout {
    int section_first_order[MUSIC_SECTION_COUNT] = {};
    int section_first_row[MUSIC_SECTION_COUNT] = {}; // row counted from the song start
    int total_rows = 0;
    int64_t section_start_frame[MUSIC_SECTION_COUNT] = {}; // planned, at MUSIC_MIX_RATE
    int64_t end_frame = 0;                                 // planned end of the first pass
};

// The show's instruments, in instrument-number order (instrument 1 first).
std::vector<XmInstrument> music_instruments();

// Composes the whole module.  Deterministic: the same module every call.
// Fills `layout` when it is not null.
XmModule music_compose(MusicLayout* layout);

// Frames of one tick at `tempo` BPM and the show's mixing rate, as the
// player counts them (2.5 s / tempo, truncated to whole frames).
int64_t music_tick_frames(int tempo);
