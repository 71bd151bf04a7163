#include "tools/assetgen/sound/waves.h"

#include "tools/assetgen/sound/dsp.h"
#include "tools/assetgen/sound/wav.h"

#include <cmath>

namespace assetgen::sound {

namespace {

constexpr double kRate = kWaveRate;
// The module's row at tempo 128, speed 6: the sweep's pulses keep its grid,
// counted back from the moment the module comes in.
constexpr double kRow = 6 * 2.5 / 128.0;

// A band-limited sawtooth (polyBLEP), phase in turns.
struct Saw {
    double phase = 0.0;
    double step(double hz) {
        double dt = hz / kRate;
        phase += dt;
        phase -= std::floor(phase);
        double value = 2.0 * phase - 1.0;
        if (phase < dt) {
            double t = phase / dt;
            value -= t + t - t * t - 1.0;
        } else if (phase > 1.0 - dt) {
            double t = (phase - 1.0) / dt;
            value -= t * t + t + t + 1.0;
        }
        return value;
    }
};

struct Stereo {
    std::vector<double> left, right;
    explicit Stereo(std::size_t frames) : left(frames, 0.0), right(frames, 0.0) {}
};

std::vector<std::int16_t> interleave(const Stereo& s, double peak) {
    double current = std::fmax(peakOf(s.left), peakOf(s.right));
    double gain = current > 0 ? peak / current : 0.0;
    std::vector<std::int16_t> out;
    out.reserve(s.left.size() * 2);
    for (std::size_t i = 0; i < s.left.size(); ++i) {
        out.push_back(toPcm16(s.left[i] * gain));
        out.push_back(toPcm16(s.right[i] * gain));
    }
    return out;
}

// A low boom with a burst of noise: the hit both waves open with.
double boomAt(double t, double& phase, Svf& rumble, Noise& noise) {
    phase += (34.0 + 80.0 * expOf(-t / 0.1)) / kRate;
    rumble.step(noise.white(), 200.0 + 2500.0 * expOf(-t / 0.04), 0.7, kRate);
    double attack = t < 0.003 ? t / 0.003 : 1.0;
    return attack * (sinTurns(phase) * expOf(-t / 0.45) + 0.7 * rumble.low * expOf(-t / 0.12));
}

}  // namespace

std::vector<std::int16_t> synthesiseTunnelSweep() {
    const std::size_t frames = kTunnelFrames + kTunnelTailFrames;
    const double end = double(kTunnelFrames) / kRate;  // 6.4626 s
    Stereo dry(frames);
    Noise noiseL(0x7E11), noiseR(0x7E12), hitNoise(0x7E13), boomNoise(0x7E14);
    Svf bandL, bandR, chordFilter, hitFilter, rumble;
    Saw saws[6];
    // A and E in three octaves: the dominant, with no third to clash with
    // whatever chord the module arrives on.
    const double chordHz[6] = {110.0, 110.3, 164.81, 165.2, 220.0, 329.63};
    double boomPhase = 0, spin = 0;
    double hitStart = -1.0, hitLevel = 0.0;
    int lastPulse = -1;

    for (std::size_t i = 0; i < kTunnelFrames; ++i) {
        double t = i / kRate;
        double x = t / end;  // 0 .. 1 over the rise
        double rise = x * x;

        // The noise sweep: a band-pass climbing from 250 Hz to 9 kHz,
        // thrown around the stereo field faster and faster (the tunnel spins).
        double centre = 250.0 * exp2Of(x * 5.17);
        bandL.step(noiseL.white(), centre, 1.5 + 3.0 * x, kRate);
        bandR.step(noiseR.white(), centre * 1.04, 1.5 + 3.0 * x, kRate);
        spin += (0.4 + 5.5 * rise) / kRate;
        double pan = 0.5 + 0.35 * sinTurns(spin);
        double sweep = (0.12 + 0.55 * rise);

        // The chord: detuned saws through a low-pass that opens.
        double chord = 0.0;
        for (int k = 0; k < 6; ++k) chord += saws[k].step(chordHz[k]) * (k < 2 ? 0.5 : 0.35);
        chordFilter.step(chord, 180.0 * exp2Of(x * 5.0), 1.2 + 1.5 * x, kRate);
        double chordLevel = 0.05 + 0.45 * rise;

        // Pulses on the module's grid, counted back from the end: eighths,
        // then sixteenths in the last bar, thirty-seconds in the last beat.
        double rowsLeft = (end - t) / kRow;
        double spacing = rowsLeft > 16 ? 2.0 : (rowsLeft > 4 ? 1.0 : 0.5);
        int pulse = int(std::floor(rowsLeft / spacing));
        if (rowsLeft < 40 && pulse != lastPulse) {
            hitStart = t;
            hitLevel = 0.15 + 0.6 * (1.0 - rowsLeft / 40.0);
        }
        lastPulse = pulse;
        double hit = 0.0;
        if (hitStart >= 0) {
            double age = t - hitStart;
            hitFilter.step(hitNoise.white(), 2500.0, 0.8, kRate);
            hit = hitFilter.band * hitLevel * expOf(-age / 0.035);
        }

        double boom = t < 2.0 ? boomAt(t, boomPhase, rumble, boomNoise) : 0.0;
        // The last 8 ms fade so the cut at the module's entry does not click.
        double gate = end - t < 0.008 ? (end - t) / 0.008 : 1.0;
        double centreMix = (chordFilter.low * chordLevel + hit) * gate;
        dry.left[i] = (bandL.band * sweep * (1.0 - pan) * 2.0) * gate + centreMix + 0.9 * boom;
        dry.right[i] = (bandR.band * sweep * pan * 2.0) * gate + centreMix + 0.9 * boom;
    }

    // Past the end the sweep falls away: a wash of noise whose low-pass
    // closes from 9 kHz to 300 Hz while it decays, the last of the spin.
    Noise washL(0x7E15), washR(0x7E16);
    Svf washFilterL, washFilterR;
    for (std::size_t i = kTunnelFrames; i < frames; ++i) {
        double age = double(i - kTunnelFrames) / kRate;
        double cutoff = 300.0 + 8700.0 * expOf(-age / 0.35);
        washFilterL.step(washL.white(), cutoff, 0.8, kRate);
        washFilterR.step(washR.white(), cutoff, 0.8, kRate);
        double level = 0.22 * expOf(-age / 0.55) * (age < 0.01 ? age / 0.01 : 1.0);
        dry.left[i] = washFilterL.low * level;
        dry.right[i] = washFilterR.low * level;
    }
    // A large hall carries the sweep past its end: with the wash, that
    // ringing is the tail that blends into the lens scene's first bar.
    Reverb hall(kRate, 0.9, 0.3);
    Stereo out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double mono = (dry.left[i] + dry.right[i]) * 0.5;
        double l, r;
        hall.step(mono * 0.5, l, r);
        out.left[i] = dry.left[i] + 1.4 * l;
        out.right[i] = dry.right[i] + 1.4 * r;
    }
    // The last half second fades to nothing by the end of the file.
    const std::size_t fadeFrames = 22050;
    for (std::size_t i = frames - fadeFrames; i < frames; ++i) {
        double x = double(i - (frames - fadeFrames)) / double(fadeFrames);
        out.left[i] *= (1.0 - x) * (1.0 - x);
        out.right[i] *= (1.0 - x) * (1.0 - x);
    }
    return interleave(out, 0.72);
}

std::vector<std::int16_t> synthesiseClosingSting() {
    const std::size_t frames = kStingFrames;
    Stereo dry(frames);
    Noise noise(0x5716), boomNoise(0x5717);
    Svf rumble, filterL, filterR, air;
    // D minor with an added ninth, spread over three octaves.
    const double notes[7] = {50, 57, 62, 65, 69, 74, 76};
    Saw sawsL[7], sawsR[7];
    double boomPhase = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        double t = i / kRate;
        double chordL = 0, chordR = 0;
        for (int k = 0; k < 7; ++k) {
            double hz = noteHz(notes[k]);
            chordL += sawsL[k].step(hz * 0.998);
            chordR += sawsR[k].step(hz * 1.002);
        }
        double cutoff = 500.0 + 5500.0 * expOf(-t / 0.18);
        filterL.step(chordL, cutoff, 1.0, kRate);
        filterR.step(chordR, cutoff, 1.0, kRate);
        double chordEnv = (t < 0.004 ? t / 0.004 : 1.0) * expOf(-t / 0.28);
        // A bell an octave above the top, and a short crash of air.
        double bell = sinTurns(noteHz(86) * t + 0.3 * sinTurns(noteHz(86) * 3.5 * t) * expOf(-t / 0.2)) *
                      expOf(-t / 0.35);
        air.step(noise.white(), 7000.0, 0.8, kRate);
        double crash = air.high * expOf(-t / 0.22);
        double boom = boomAt(t, boomPhase, rumble, boomNoise);
        dry.left[i] = 0.16 * filterL.low * chordEnv + 0.25 * bell + 0.35 * crash + 0.8 * boom;
        dry.right[i] = 0.16 * filterR.low * chordEnv + 0.25 * bell + 0.33 * crash + 0.8 * boom;
    }
    Reverb room(kRate, 0.78, 0.45);
    Stereo out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double t = i / kRate;
        double l, r;
        room.step((dry.left[i] + dry.right[i]) * 0.2, l, r);
        // Silence is reached well before the demo stops the stream: a fade
        // from 0.9 s lands exactly on zero at 1.25 s.
        double fade = t < 0.9 ? 1.0 : (t < 1.25 ? (1.25 - t) / 0.35 : 0.0);
        fade *= fade;
        out.left[i] = (dry.left[i] + l) * fade;
        out.right[i] = (dry.right[i] + r) * fade;
    }
    return interleave(out, 0.8);
}

}  // namespace assetgen::sound
