// The instruments of the soundtrack, synthesised from scratch.
//
// Tonal instruments are additive: sums of sine partials whose cycle counts
// are whole numbers over the loop, so every loop is seamless and every
// waveform is band-limited for the notes it plays.  Their samples play note
// C-4 with a period of TONE_PERIOD samples.  Drums are rendered at 44100 Hz
// from decaying oscillators and a deterministic noise source, and play that
// rate on note C-4.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "music.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Tonal samples: C-4 is TONE_PERIOD samples long at TONE_RATE Hz (two
// octaves above the XM base rate of 8363 Hz, so relative note +24).
constexpr int TONE_PERIOD = 128;
constexpr double TONE_RATE = 8363.0 * 4.0;
constexpr int8_t TONE_RELATIVE_NOTE = 24;

// Drum samples: 44100 Hz on C-4 (8363 Hz x 2^(28.79 / 12)).
constexpr double DRUM_RATE = 44100.0;
constexpr int8_t DRUM_RELATIVE_NOTE = 29;
constexpr int8_t DRUM_FINETUNE = -27;

// Peak level of every sample before instrument and channel volumes.
constexpr double SAMPLE_PEAK = 30000.0;

typedef std::vector<double> Wave;

// Deterministic noise in [-1, 1] from a 32-bit linear congruential
// generator; each instrument starts its own sequence from its own seed.
struct Noise {
    uint32_t state;
};

double noise_next(Noise& n) {
    n.state = n.state * 1664525u + 1013904223u;
    return static_cast<double>(n.state >> 8) / 8388608.0 - 1.0;
}

// Adds `count` harmonics of a tone with `cycles` periods over the wave,
// harmonic k with amplitude amp(k) and a random start phase.
template <typename Amplitude>
void add_partials(Wave& w, double cycles, int count, double gain, Noise& phases, Amplitude amp) {
    int n = static_cast<int>(w.size());
    for (int k = 1; k <= count; ++k) {
        double a = gain * amp(k);
        double phase = PI * noise_next(phases);
        double step = 2.0 * PI * cycles * k / n;
        for (int i = 0; i < n; ++i)
            w[i] += a * std::sin(step * i + phase);
    }
}

// Harmonic amplitudes: a sawtooth, a square and a gentle low-pass slope.
double saw_amp(int k) {
    return 1.0 / k;
}
double square_amp(int k) {
    return (k % 2) ? 1.0 / k : 0.0;
}
double low_pass(int k, double corner) {
    double r = k / corner;
    return 1.0 / (1.0 + r * r);
}

std::vector<int16_t> to_pcm(const Wave& w) {
    double peak = 1e-9;
    for (double v : w)
        peak = std::max(peak, std::fabs(v));
    std::vector<int16_t> pcm(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lrint(w[i] / peak * SAMPLE_PEAK));
    return pcm;
}

XmSample tone_sample(const char* name, const Wave& w, bool looped) {
    XmSample s;
    s.name = name;
    s.data = to_pcm(w);
    s.relative_note = TONE_RELATIVE_NOTE;
    if (looped) {
        s.loop_type = XM_LOOP_FORWARD;
        s.loop_start = 0;
        s.loop_length = static_cast<uint32_t>(w.size());
    }
    return s;
}

XmSample drum_sample(const char* name, Wave w) {
    // A short fade at the end so a cut-off tail never clicks.
    size_t fade = std::min<size_t>(w.size(), 256);
    for (size_t i = 0; i < fade; ++i)
        w[w.size() - 1 - i] *= static_cast<double>(i) / fade;
    XmSample s;
    s.name = name;
    s.data = to_pcm(w);
    s.relative_note = DRUM_RELATIVE_NOTE;
    s.finetune = DRUM_FINETUNE;
    return s;
}

XmInstrument one_sample_instrument(const char* name, const XmSample& sample) {
    XmInstrument ins;
    ins.name = name;
    ins.samples.push_back(sample);
    return ins;
}

// Volume envelope from (tick, value) pairs with an optional sustain point.
XmEnvelope envelope(std::initializer_list<XmEnvelopePoint> points, int sustain_point) {
    XmEnvelope e;
    e.points = points;
    e.enabled = true;
    e.sustain = sustain_point >= 0;
    e.sustain_point = static_cast<uint8_t>(std::max(0, sustain_point));
    return e;
}

Wave drum_wave(double seconds) {
    return Wave(static_cast<size_t>(seconds * DRUM_RATE), 0.0);
}

// One-pole high-pass filter in place (coefficient close to 1 = low corner).
void high_pass(Wave& w, double coefficient) {
    double prev_in = 0.0, prev_out = 0.0;
    for (double& v : w) {
        double out = coefficient * (prev_out + v - prev_in);
        prev_in = v;
        prev_out = out;
        v = out;
    }
}

// One-pole low-pass filter in place (coefficient close to 1 = low corner).
void low_pass_filter(Wave& w, double coefficient) {
    double y = 0.0;
    for (double& v : w) {
        y += (1.0 - coefficient) * (v - y);
        v = y;
    }
}

// ---- tonal instruments ----------------------------------------------------

// Bass: a low-passed sawtooth with a sine one octave below, on a two-period
// loop so the sub-octave fits.
XmInstrument make_bass() {
    Wave w(2 * TONE_PERIOD, 0.0);
    Noise phases = {11};
    add_partials(w, 2.0, 40, 1.0, phases, [](int k) { return saw_amp(k) * low_pass(k, 9.0); });
    add_partials(w, 1.0, 1, 0.6, phases, [](int) { return 1.0; });
    XmInstrument ins = one_sample_instrument("bass", tone_sample("saw bass", w, true));
    ins.volume_envelope = envelope({{0, 64}, {6, 50}, {40, 38}}, 2);
    ins.fadeout = 4000;
    return ins;
}

// Acid: a sawtooth through a resonant low-pass, frozen at one setting: the
// harmonics around the eighth are lifted, those above fall away.
XmInstrument make_acid() {
    Wave w(TONE_PERIOD, 0.0);
    Noise phases = {17};
    add_partials(w, 1.0, 40, 1.0, phases, [](int k) {
        double resonance = 1.8 * std::exp(-(k - 8.0) * (k - 8.0) / 6.0);
        return saw_amp(k) * (low_pass(k, 7.0) + resonance);
    });
    XmInstrument ins = one_sample_instrument("acid", tone_sample("resonant saw", w, true));
    ins.volume_envelope = envelope({{0, 64}, {4, 46}, {16, 34}}, 2);
    ins.fadeout = 6000;
    return ins;
}

// Pad: three detuned, softened sawtooths beating slowly against each other.
XmInstrument make_pad() {
    constexpr int CYCLES = 256;
    Wave w(CYCLES * TONE_PERIOD, 0.0);
    Noise phases = {23};
    for (int detune : {-1, 0, 1})
        add_partials(w, CYCLES + detune, 16, 1.0, phases,
                     [](int k) { return saw_amp(k) * low_pass(k, 4.0); });
    XmInstrument ins = one_sample_instrument("pad", tone_sample("ice pad", w, true));
    ins.volume_envelope = envelope({{0, 0}, {30, 64}, {60, 52}}, 2);
    ins.fadeout = 500;
    return ins;
}

// A bright sawtooth with two detuned squares (lead and chord stabs).
Wave lead_wave() {
    constexpr int CYCLES = 128;
    Wave w(CYCLES * TONE_PERIOD, 0.0);
    Noise phases = {37};
    add_partials(w, CYCLES, 14, 1.0, phases, [](int k) { return saw_amp(k) * low_pass(k, 8.0); });
    for (int detune : {-1, 1})
        add_partials(w, CYCLES + detune, 13, 0.6, phases,
                     [](int k) { return square_amp(k) * low_pass(k, 6.0); });
    return w;
}

// Lead: the bright wave held, with delayed vibrato.
XmInstrument make_lead() {
    XmInstrument ins =
        one_sample_instrument("lead", tone_sample("supersaw lead", lead_wave(), true));
    ins.volume_envelope = envelope({{0, 0}, {1, 64}, {12, 52}, {40, 46}}, 3);
    ins.fadeout = 1800;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 40;
    ins.vibrato_depth = 6;
    ins.vibrato_rate = 10;
    return ins;
}

// Stab: the lead's wave cut short, for off-beat chords.
XmInstrument make_stab() {
    XmInstrument ins = one_sample_instrument("stab", tone_sample("chord stab", lead_wave(), true));
    ins.volume_envelope = envelope({{0, 64}, {3, 44}, {9, 16}, {18, 0}}, -1);
    ins.fadeout = 8000;
    return ins;
}

// Sweep: looped high-passed noise, raised in pitch and volume by the score
// before a new section.
XmInstrument make_sweep() {
    Wave w(static_cast<size_t>(0.5 * TONE_RATE), 0.0);
    Noise noise = {101};
    for (double& v : w)
        v = noise_next(noise);
    high_pass(w, 0.7);
    low_pass_filter(w, 0.3);
    XmInstrument ins = one_sample_instrument("sweep", tone_sample("noise sweep", w, true));
    ins.volume_envelope = envelope({{0, 64}, {4, 64}, {5, 0}}, 1);
    return ins;
}

// Arpeggio pluck: a soft square that dies away within a sixteenth or two.
XmInstrument make_pluck() {
    Wave w(TONE_PERIOD, 0.0);
    Noise phases = {41};
    add_partials(w, 1.0, 17, 1.0, phases,
                 [](int k) { return square_amp(k) * low_pass(k, 7.0) + 0.3 * saw_amp(k); });
    XmInstrument ins = one_sample_instrument("pluck", tone_sample("square pluck", w, true));
    ins.volume_envelope = envelope({{0, 64}, {4, 36}, {14, 14}, {40, 0}}, -1);
    ins.fadeout = 3000;
    return ins;
}

// Bell: two-operator FM with an inharmonic modulator and a decaying index.
XmInstrument make_bell() {
    Wave w(static_cast<size_t>(1.8 * TONE_RATE), 0.0);
    double f = TONE_RATE / TONE_PERIOD;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = i / TONE_RATE;
        double index = 0.4 + 2.6 * std::exp(-t / 0.25);
        double mod = std::sin(2.0 * PI * 3.5 * f * t);
        double warm = std::sin(2.0 * PI * f * t + 0.8 * std::sin(2.0 * PI * f * t));
        double attack = std::min(1.0, t / 0.002);
        w[i] = attack * (std::exp(-t / 0.5) * std::sin(2.0 * PI * f * t + index * mod) +
                         0.5 * std::exp(-t / 0.9) * warm);
    }
    XmInstrument ins = one_sample_instrument("bell", tone_sample("fm bell", w, false));
    // Held at full level; a key-off lets the ring fade over about 0.8 s.
    ins.volume_envelope = envelope({{0, 64}, {1, 64}}, 1);
    ins.fadeout = 1500;
    return ins;
}

// ---- drums ----------------------------------------------------------------

// Kick: a sine falling from about 165 Hz to 48 Hz with a short click.
XmInstrument make_kick() {
    Wave w = drum_wave(0.42);
    Noise noise = {53};
    double phase = 0.0;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = i / DRUM_RATE;
        double f = 48.0 + 117.0 * std::exp(-t / 0.028) + 20.0 * std::exp(-t / 0.15);
        phase += 2.0 * PI * f / DRUM_RATE;
        double body = std::sin(phase) * std::exp(-t / 0.2) * std::min(1.0, t / 0.0008);
        double click = 0.35 * noise_next(noise) * std::exp(-t / 0.0015);
        w[i] = std::tanh(1.6 * (body + click));
    }
    return one_sample_instrument("kick", drum_sample("kick", w));
}

// Snare: two decaying tones and a band of noise.
XmInstrument make_snare() {
    Wave w = drum_wave(0.3);
    Wave n = drum_wave(0.3);
    Noise noise = {67};
    for (double& v : n)
        v = noise_next(noise);
    high_pass(n, 0.75);
    for (size_t i = 0; i < w.size(); ++i) {
        double t = i / DRUM_RATE;
        double tone = 0.55 * std::sin(2.0 * PI * 185.0 * t) * std::exp(-t / 0.05) +
                      0.3 * std::sin(2.0 * PI * 330.0 * t) * std::exp(-t / 0.03);
        w[i] = tone + 0.9 * n[i] * std::exp(-t / 0.1);
    }
    return one_sample_instrument("snare", drum_sample("snare", w));
}

// Clap: three quick bursts of band-passed noise and a short tail.
XmInstrument make_clap() {
    Wave w = drum_wave(0.35);
    Noise noise = {71};
    for (double& v : w)
        v = noise_next(noise);
    high_pass(w, 0.85);
    low_pass_filter(w, 0.35);
    for (size_t i = 0; i < w.size(); ++i) {
        double t = i / DRUM_RATE;
        double env = 0.0;
        for (double start : {0.0, 0.011, 0.022}) {
            if (t >= start) env = std::max(env, std::exp(-(t - start) / 0.005));
        }
        if (t >= 0.025) env = std::max(env, 0.8 * std::exp(-(t - 0.025) / 0.07));
        w[i] *= env;
    }
    return one_sample_instrument("clap", drum_sample("clap", w));
}

// Metallic noise for hats and cymbals: six inharmonic square waves plus
// noise, high-passed twice, under a decay of `decay` seconds.
Wave metal(double seconds, double decay, uint32_t seed) {
    constexpr double FREQS[] = {587.0, 845.0, 1031.0, 1452.0, 1783.0, 2206.0};
    Wave w = drum_wave(seconds);
    Noise noise = {seed};
    for (size_t i = 0; i < w.size(); ++i) {
        double t = i / DRUM_RATE;
        double m = 0.0;
        for (double f : FREQS)
            m += std::sin(2.0 * PI * f * t) > 0.0 ? 1.0 : -1.0;
        w[i] =
            (0.25 * m + 1.2 * noise_next(noise)) * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    high_pass(w, 0.6);
    high_pass(w, 0.6);
    return w;
}

XmInstrument make_closed_hat() {
    return one_sample_instrument("closed hat", drum_sample("closed hat", metal(0.12, 0.022, 83)));
}

XmInstrument make_open_hat() {
    return one_sample_instrument("open hat", drum_sample("open hat", metal(0.5, 0.16, 89)));
}

XmInstrument make_crash() {
    Wave w = metal(2.2, 0.75, 97);
    low_pass_filter(w, 0.2);
    return one_sample_instrument("crash", drum_sample("crash", w));
}

// Silent instruments after the sounding ones, whose names carry the credits
// as trackers of the time showed them.
constexpr const char* CREDIT_LINES[] = {"", "Vintermoot 2002", "music by Kvadrat", "Deer Coast",
                                        "Isbrann 2002, Norway"};

} // namespace

std::vector<XmInstrument> music_instruments() {
    std::vector<XmInstrument> instruments = {
        make_bass(),  make_kick(), make_snare(), make_closed_hat(), make_open_hat(),
        make_pad(),   make_lead(), make_pluck(), make_bell(),       make_clap(),
        make_crash(), make_stab(), make_sweep(), make_acid()};
    for (const char* line : CREDIT_LINES) {
        XmInstrument credit;
        credit.name = line;
        instruments.push_back(credit);
    }
    return instruments;
}
