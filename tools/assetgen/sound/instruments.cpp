#include "tools/assetgen/sound/instruments.h"

#include "tools/assetgen/sound/dsp.h"
#include "tools/assetgen/sound/wav.h"

#include <cmath>

namespace assetgen::sound {

namespace {

// ---- helpers -----------------------------------------------------------------

Sample makeSample(const char* name, const char* fileName, const std::vector<double>& signal,
                  double sampleRate, double fundamentalHz) {
    Sample sample;
    sample.name = name;
    sample.fileName = fileName;
    sample.data.reserve(signal.size());
    for (double value : signal) sample.data.push_back(toPcm16(value));
    // Note 0x40 plays the sample at c2spd: make that middle C for pitched
    // sounds, the sample's own rate for drums (fundamentalHz 0).
    double rate = fundamentalHz > 0 ? sampleRate * noteHz(60) / fundamentalHz : sampleRate;
    sample.c2spd = std::uint32_t(rate + 0.5);
    return sample;
}

void setLoop(Sample& sample, std::size_t start, std::size_t end) {
    sample.loop = true;
    sample.loopStart = std::uint32_t(start);
    sample.loopEnd = std::uint32_t(end);
}

// Magnitude of a two-pole low-pass at `hz` for cutoff `cutoff` and quality q.
double lowpassGain(double hz, double cutoff, double q) {
    double r = hz / cutoff;
    double a = 1.0 - r * r;
    double b = r / q;
    return 1.0 / std::sqrt(a * a + b * b);
}

// One oscillator of a looped additive voice: `cycles` whole periods per loop,
// so every partial meets itself at the loop's end and the loop is seamless.
struct Oscillator {
    int cycles;
    double gain;
    double phase;  // in turns
    int shape;     // 0 saw, 1 square (odd harmonics), 2 sine, 3 triangle
};

double harmonicWeight(int shape, int h) {
    switch (shape) {
        case 0: return 1.0 / h;
        case 1: return (h % 2) ? 1.0 / h : 0.0;
        case 2: return h == 1 ? 1.0 : 0.0;
        default: return (h % 2) ? ((h % 4 == 1) ? 1.0 : -1.0) / double(h * h) : 0.0;
    }
}

// A looped additive voice: `head` samples of onset, then a loop of
// `loopLength` samples. The partial amplitudes follow `cutoffAt(t)` (a static
// low-pass whose cutoff may move during the head and must be constant from
// the loop on) and `ampAt(t)` (constant from the loop on).
template <typename Cutoff, typename Amp>
std::vector<double> additiveVoice(const std::vector<Oscillator>& oscillators, int head,
                                  int loopLength, double sampleRate, double q, Cutoff cutoffAt,
                                  Amp ampAt) {
    std::vector<double> out(std::size_t(head + loopLength), 0.0);
    double nyquist = sampleRate * 0.5;
    // The head changes its filter over time, so it is computed per sample;
    // the loop's partials are fixed and summed once each.
    for (const Oscillator& osc : oscillators) {
        double baseHz = osc.cycles * sampleRate / loopLength;
        int harmonics = int(nyquist * 0.92 / baseHz);
        for (int h = 1; h <= harmonics; ++h) {
            double weight = harmonicWeight(osc.shape, h);
            if (weight == 0.0) continue;
            double hz = baseHz * h;
            double turnsPerSample = double(osc.cycles) * h / loopLength;
            // Fade the top partials out so that nothing sits right at the edge.
            double edge = hz / (nyquist * 0.92);
            double edgeGain = edge > 0.8 ? (1.0 - edge) / 0.2 : 1.0;
            double loopGain = weight * lowpassGain(hz, cutoffAt(double(head) / sampleRate), q);
            if (std::fabs(loopGain) * edgeGain < 1e-5 && h > 1) {
                // Check the head too: its filter may be brighter.
                double headGain = weight * lowpassGain(hz, cutoffAt(0.0), q);
                if (std::fabs(headGain) * edgeGain < 1e-5) continue;
            }
            for (int i = 0; i < head + loopLength; ++i) {
                double gain = i < head ? weight * lowpassGain(hz, cutoffAt(i / sampleRate), q)
                                       : loopGain;
                double turns = osc.phase * h + turnsPerSample * (i % loopLength);
                out[std::size_t(i)] += osc.gain * edgeGain * gain * sinTurns(turns);
            }
        }
    }
    for (int i = 0; i < head + loopLength; ++i) out[std::size_t(i)] *= ampAt(i / sampleRate);
    return out;
}

double envelope(double t, double attack, double decay, double sustain, double decayTime) {
    if (t < attack) return t / attack;
    double into = t - attack;
    if (into >= decayTime) return sustain;
    // Exponential-looking fall from 1 to `sustain`, landing exactly at decayTime.
    double x = into / decayTime;
    double curve = (expOf(-decay * x) - expOf(-decay)) / (1.0 - expOf(-decay));
    return sustain + (1.0 - sustain) * curve;
}

// Fades the last `seconds` of a signal to zero (a one-shot must end silent).
void fadeTail(std::vector<double>& signal, double sampleRate, double seconds) {
    std::size_t count = std::size_t(seconds * sampleRate);
    if (count > signal.size()) count = signal.size();
    for (std::size_t i = 0; i < count; ++i) {
        double x = double(i) / double(count);
        signal[signal.size() - 1 - i] *= x * x;
    }
}

// ---- drums ---------------------------------------------------------------------

Sample kick() {
    const double rate = 44100;
    std::vector<double> s(std::size_t(0.5 * rate));
    Noise noise(0x4B1C);
    OnePole clickTone;
    double phase = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        double hz = 46.0 + 120.0 * expOf(-t / 0.04) + 180.0 * expOf(-t / 0.006);
        phase += hz / rate;
        double body = sinTurns(phase) * envelope(t, 0.002, 4.0, 0.0, 0.48);
        double click = clickTone.step(noise.white(), 3500.0, rate) * expOf(-t / 0.004);
        s[i] = softClip(1.6 * body + 0.6 * click);
    }
    fadeTail(s, rate, 0.05);
    normalise(s, 0.97);
    return makeSample("Kick", "kick.raw", s, rate, 0);
}

Sample snare() {
    const double rate = 44100;
    std::vector<double> dry(std::size_t(0.42 * rate));
    Noise noise(0x5A4E);
    Svf band;
    double phaseA = 0, phaseB = 0;
    for (std::size_t i = 0; i < dry.size(); ++i) {
        double t = i / rate;
        phaseA += (190.0 + 40.0 * expOf(-t / 0.02)) / rate;
        phaseB += (340.0 + 50.0 * expOf(-t / 0.02)) / rate;
        double body = (0.8 * sinTurns(phaseA) + 0.45 * sinTurns(phaseB)) * expOf(-t / 0.07);
        band.step(noise.white(), 4200.0, 0.7, rate);
        // Three quick bursts before the main hit give it a clap's edge.
        double bursts = 0.0;
        for (int b = 0; b < 3; ++b) {
            double tb = t - 0.009 * b;
            if (tb >= 0) bursts += expOf(-tb / 0.004) * 0.6;
        }
        double noiseEnv = expOf(-t / 0.13) + bursts;
        dry[i] = body + 1.1 * band.band * noiseEnv + 0.25 * band.high * expOf(-t / 0.05);
    }
    Reverb room(rate, 0.6, 0.5);
    std::vector<double> s(dry.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        double l, r;
        room.step(dry[i] * 0.3, l, r);
        s[i] = dry[i] + 0.9 * (l + r);
    }
    fadeTail(s, rate, 0.12);
    normalise(s, 0.95);
    return makeSample("Snare clap", "snare.raw", s, rate, 0);
}

// Metal: six detuned squares (the classic drum machine recipe) plus noise,
// high-passed.
std::vector<double> metal(double seconds, double decay, std::uint32_t seed, double brightness) {
    const double rate = 44100;
    const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::vector<double> s(std::size_t(seconds * rate));
    Noise noise(seed);
    Svf high1, high2;
    double phase[6] = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        double squares = 0.0;
        for (int k = 0; k < 6; ++k) {
            phase[k] += ratios[k] * 1.7 / rate;
            squares += (phase[k] - std::floor(phase[k]) < 0.5) ? 1.0 : -1.0;
        }
        double x = squares * 0.12 + noise.white() * brightness;
        high1.step(x, 7000.0, 0.8, rate);
        high2.step(high1.high, 6500.0, 0.7, rate);
        s[i] = high2.high * expOf(-t / decay);
    }
    return s;
}

Sample hat(bool open) {
    const double rate = 44100;
    std::vector<double> s = open ? metal(0.55, 0.16, 0x0A7E, 0.7) : metal(0.11, 0.028, 0xC105, 0.7);
    fadeTail(s, rate, open ? 0.15 : 0.03);
    normalise(s, 0.9);
    return makeSample(open ? "Open hat" : "Closed hat", open ? "ohat.raw" : "chat.raw", s, rate, 0);
}

std::vector<double> cymbal(double seconds, double rate, std::uint32_t seed) {
    std::vector<double> s(std::size_t(seconds * rate));
    Noise noise(seed);
    Svf high, shimmer;
    const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double phase[6] = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        double squares = 0.0;
        for (int k = 0; k < 6; ++k) {
            phase[k] += ratios[k] * 2.3 / rate;
            squares += (phase[k] - std::floor(phase[k]) < 0.5) ? 1.0 : -1.0;
        }
        double x = noise.white() + squares * 0.08;
        high.step(x, 3800.0, 0.7, rate);
        shimmer.step(high.high, 9000.0, 1.5, rate);
        double env = 0.35 * expOf(-t / 0.06) + 0.65 * expOf(-t / 0.7);
        s[i] = (high.high * 0.7 + shimmer.band * 0.5) * env;
    }
    return s;
}

Sample crash() {
    const double rate = 32000;
    std::vector<double> s = cymbal(1.9, rate, 0xC2A5);
    fadeTail(s, rate, 0.6);
    normalise(s, 0.9);
    return makeSample("Crash", "crash.raw", s, rate, 0);
}

Sample reverseCymbal() {
    const double rate = 22050;
    std::vector<double> forward = cymbal(kReverseCymbalSeconds, rate, 0x5EC2);
    fadeTail(forward, rate, 0.4);  // the reversed start fades in from nothing
    std::vector<double> s(forward.rbegin(), forward.rend());
    // End on the loudest moment, then a few milliseconds down to zero.
    std::size_t tail = std::size_t(0.004 * rate);
    for (std::size_t i = 0; i < tail; ++i) s[s.size() - 1 - i] *= double(i) / double(tail);
    normalise(s, 0.9);
    return makeSample("Reverse cymbal", "revcym.raw", s, rate, 0);
}

// ---- pitched voices ------------------------------------------------------------

Sample bass() {
    // 110 Hz at 22,050 Hz (with a sine an octave below); a 2 s loop gives
    // 0.5 Hz steps for the detune.
    const double rate = 22050;
    const int loop = 44100, head = int(0.3 * rate);
    std::vector<Oscillator> osc = {
        {219, 0.5, 0.0, 0}, {221, 0.5, 0.31, 0}, {110, 0.9, 0.0, 2}};
    auto cutoff = [](double t) { return t >= 0.3 ? 700.0 : 700.0 + 2300.0 * expOf(-t / 0.06); };
    auto amp = [](double t) { return t >= 0.3 ? 0.75 : 0.75 + 0.25 * envelope(t, 0.003, 3.0, 0.0, 0.3); };
    std::vector<double> s = additiveVoice(osc, head, loop, rate, 1.3, cutoff, amp);
    for (double& v : s) v = softClip(v * 1.2);
    normalise(s, 0.95);
    Sample sample = makeSample("Bass", "bass.raw", s, rate, 110.0);
    setLoop(sample, std::size_t(head), std::size_t(head + loop));
    return sample;
}

Sample acid() {
    // A resonant, plucked saw for the sixteenth-note line: a one-shot.
    const double rate = 22050;
    std::vector<double> s(std::size_t(0.45 * rate));
    Svf filter;
    double phase = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        phase += 110.0 / rate;
        // A band-limited saw (sum of harmonics up to 9 kHz).
        double saw = 0;
        for (int h = 1; h * 110.0 < 9000.0; ++h) saw += sinTurns(phase * h) / h;
        double cutoff = 380.0 + 3200.0 * expOf(-t / 0.07);
        filter.step(saw, cutoff, 4.5, rate);
        s[i] = softClip(1.4 * filter.low) * envelope(t, 0.002, 2.5, 0.0, 0.44);
    }
    fadeTail(s, rate, 0.05);
    normalise(s, 0.93);
    return makeSample("Acid", "acid.raw", s, rate, 110.0);
}

Sample pad(bool glass) {
    // 220 Hz at 22,050 Hz, a 2 s loop: the detuned oscillators beat slowly
    // and each meets itself at the loop's end.
    const double rate = 22050;
    const int loop = 44100, head = int(0.12 * rate);
    std::vector<Oscillator> osc;
    if (!glass) {
        const int offsets[7] = {-7, -4, -2, 0, 2, 4, 7};
        for (int k = 0; k < 7; ++k)
            osc.push_back({440 + offsets[k], 0.3, 0.137 * k, 0});
        osc.push_back({220, 0.35, 0.0, 2});  // an octave below, for body
    } else {
        // Soft and airy: triangles and sines, a fifth and an octave above.
        osc = {{440, 0.5, 0.0, 3}, {442, 0.4, 0.4, 3}, {879, 0.16, 0.2, 2},
               {1321, 0.06, 0.7, 2}, {1760, 0.05, 0.1, 2}, {438, 0.3, 0.77, 2}};
    }
    double cut = glass ? 5000.0 : 2400.0;
    auto cutoff = [cut](double) { return cut; };
    auto amp = [head, rate](double t) {
        double attack = double(head) / rate;
        return t >= attack ? 1.0 : t / attack;
    };
    std::vector<double> s = additiveVoice(osc, head, loop, rate, 0.75, cutoff, amp);
    normalise(s, 0.9);
    Sample sample = glass ? makeSample("Glass pad", "glasspad.raw", s, rate, 220.0)
                          : makeSample("Pad", "pad.raw", s, rate, 220.0);
    setLoop(sample, std::size_t(head), std::size_t(head + loop));
    return sample;
}

Sample lead() {
    // 440 Hz at 32 kHz, a 1 s loop: two saws 1 Hz either side and a square.
    const double rate = 32000;
    const int loop = 32000, head = int(0.15 * rate);
    std::vector<Oscillator> osc = {{439, 0.5, 0.0, 0}, {441, 0.5, 0.25, 0}, {440, 0.3, 0.6, 1},
                                   {220, 0.2, 0.0, 2}};
    auto cutoff = [](double t) { return t >= 0.15 ? 3600.0 : 3600.0 + 3000.0 * expOf(-t / 0.04); };
    auto amp = [](double t) {
        return t >= 0.15 ? 0.8 : (t < 0.004 ? t / 0.004 : 0.8 + 0.2 * expOf(-(t - 0.004) / 0.05));
    };
    std::vector<double> s = additiveVoice(osc, head, loop, rate, 0.9, cutoff, amp);
    normalise(s, 0.9);
    Sample sample = makeSample("Lead", "lead.raw", s, rate, 440.0);
    setLoop(sample, std::size_t(head), std::size_t(head + loop));
    return sample;
}

Sample pluck() {
    const double rate = 32000;
    std::vector<double> s(std::size_t(0.55 * rate));
    Svf filter;
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        double phase = 440.0 * t;
        double x = 0;
        for (int h = 1; h * 440.0 < 14000.0; ++h)
            x += (sinTurns(phase * h) + (h % 2 ? 0.6 * sinTurns(phase * h * 1.003) : 0.0)) / h;
        filter.step(x, 900.0 + 5200.0 * expOf(-t / 0.06), 1.1, rate);
        s[i] = filter.low * envelope(t, 0.002, 4.0, 0.0, 0.54);
    }
    fadeTail(s, rate, 0.05);
    normalise(s, 0.9);
    return makeSample("Pluck", "pluck.raw", s, rate, 440.0);
}

Sample bell() {
    // Two-operator FM glass bell at 880 Hz: an inharmonic ratio for the
    // strike, a harmonic one for the ring.
    const double rate = 32000;
    std::vector<double> s(std::size_t(1.9 * rate));
    for (std::size_t i = 0; i < s.size(); ++i) {
        double t = i / rate;
        double f = 880.0 * t;
        double strikeIndex = 2.2 * expOf(-t / 0.25);
        double strike = sinTurns(f + strikeIndex * sinTurns(f * 3.5) / (2 * kPi));
        double ringIndex = 0.8 * expOf(-t / 0.6);
        double ring = sinTurns(f + ringIndex * sinTurns(f * 2.0) / (2 * kPi));
        double env = t < 0.002 ? t / 0.002 : 1.0;
        s[i] = env * (0.55 * strike * expOf(-t / 0.5) + 0.6 * ring * expOf(-t / 0.75) +
                      0.1 * sinTurns(f * 4.0) * expOf(-t / 0.12));
    }
    fadeTail(s, rate, 0.5);
    normalise(s, 0.9);
    return makeSample("Glass bell", "bell.raw", s, rate, 880.0);
}

// ---- effects -------------------------------------------------------------------

Sample boom() {
    const double rate = 22050;
    std::vector<double> dry(std::size_t(2.0 * rate));
    Noise noise(0xB0B0);
    Svf rumble;
    double phase = 0;
    for (std::size_t i = 0; i < dry.size(); ++i) {
        double t = i / rate;
        phase += (36.0 + 70.0 * expOf(-t / 0.12)) / rate;
        rumble.step(noise.white(), 180.0 + 1400.0 * expOf(-t / 0.05), 0.7, rate);
        dry[i] = sinTurns(phase) * envelope(t, 0.004, 3.5, 0.0, 1.9) +
                 0.8 * rumble.low * expOf(-t / 0.25);
    }
    Reverb hall(rate, 0.84, 0.4);
    std::vector<double> s(dry.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        double l, r;
        hall.step(dry[i] * 0.25, l, r);
        s[i] = softClip(1.3 * dry[i]) + 0.6 * (l + r);
    }
    fadeTail(s, rate, 0.5);
    normalise(s, 0.95);
    return makeSample("Impact", "boom.raw", s, rate, 0);
}

Sample noiseRiser() {
    // Band-limited noise, looped: pitched up row by row it becomes a riser.
    // Filtered twice around the loop so its end meets its start.
    const double rate = 22050;
    const std::size_t length = std::size_t(0.5 * rate);
    std::vector<double> raw(length);
    Noise noise(0x41CE);
    for (double& v : raw) v = noise.white();
    Svf filter;
    std::vector<double> s(length);
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t i = 0; i < length; ++i) {
            filter.step(raw[i], 1800.0, 0.9, rate);
            s[i] = filter.band + 0.3 * filter.high;
        }
    }
    normalise(s, 0.85);
    Sample sample = makeSample("Noise", "noise.raw", s, rate, 0);
    setLoop(sample, 0, length);
    return sample;
}

}  // namespace

std::vector<Sample> synthesiseInstruments() {
    std::vector<Sample> samples;
    samples.push_back(kick());
    samples.push_back(snare());
    samples.push_back(hat(false));
    samples.push_back(hat(true));
    samples.push_back(crash());
    samples.push_back(bass());
    samples.push_back(acid());
    samples.push_back(pad(false));
    samples.push_back(pad(true));
    samples.push_back(lead());
    samples.push_back(pluck());
    samples.push_back(bell());
    samples.push_back(boom());
    samples.push_back(reverseCymbal());
    samples.push_back(noiseRiser());
    return samples;
}

}  // namespace assetgen::sound
