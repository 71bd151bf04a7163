// Signal building blocks for the soundtrack's synthesiser: math that gives the
// same bits on every run and machine, a seeded noise source, filters and a
// small reverb.
//
// The generated files are compared byte for byte with the committed ones, so
// nothing here calls the C library's transcendental functions (whose last bit
// may differ between library versions): sine and exponential are our own
// polynomials built from +, -, *, / only, and the library is compiled without
// floating-point contraction.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen::sound {

constexpr double kPi = 3.14159265358979323846;

// ---- math ------------------------------------------------------------------
// sin(2 pi x) and cos(2 pi x): the argument counts turns, not radians.
double sinTurns(double turns);
double cosTurns(double turns);
double tanRadians(double radians);  // |radians| < pi/2
double exp2Of(double x);            // 2^x
double expOf(double x);             // e^x
double dbToGain(double db);
double softClip(double x);          // smooth saturation, |result| < 1
// Frequency of a note in semitones (MIDI numbering: 69 = A 440 Hz).
double noteHz(double midiNote);

// ---- noise -------------------------------------------------------------------
// xorshift32 with a fixed seed per use: the same noise on every run.
struct Noise {
    std::uint32_t state;
    explicit Noise(std::uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t next();
    double white();  // uniform in [-1, 1)
};

// ---- filters -----------------------------------------------------------------
// Topology-preserving state-variable filter (two-pole): low, band and high
// outputs from one step; cutoff and resonance may change every sample.
struct Svf {
    double ic1 = 0, ic2 = 0;
    double low = 0, band = 0, high = 0;
    void step(double input, double cutoffHz, double q, double sampleRate);
};

// One-pole low-pass, for smoothing and gentle tone shaping.
struct OnePole {
    double state = 0;
    double step(double input, double cutoffHz, double sampleRate);
};

// ---- reverb --------------------------------------------------------------------
// A Schroeder/Moorer reverb: eight damped combs in parallel, four all-passes in
// series, two slightly different tunings for left and right.
struct Reverb {
    Reverb(double sampleRate, double roomSize, double damping);
    // One input sample in, the wet left and right out.
    void step(double input, double& left, double& right);

    struct Line {
        std::vector<double> buffer;
        std::size_t index = 0;
        double filter = 0;
    };
    Line combs[2][8];
    Line allpasses[2][4];
    double feedback;
    double damping;
};

// Peak of the absolute value of a signal.
double peakOf(const std::vector<double>& signal);
// Scales a signal so that its peak is `peak`.
void normalise(std::vector<double>& signal, double peak);

}  // namespace assetgen::sound
