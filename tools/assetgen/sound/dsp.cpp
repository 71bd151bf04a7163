#include "tools/assetgen/sound/dsp.h"

#include <cmath>

namespace assetgen::sound {

// ---- math ------------------------------------------------------------------
namespace {

// sin(x) for |x| <= pi/2, Taylor series to x^17 (error below 1e-12).
double sinNear(double x) {
    double x2 = x * x;
    double term = x;
    double sum = x;
    for (int k = 1; k <= 8; ++k) {
        term = -term * x2 / double((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

}  // namespace

double sinTurns(double turns) {
    double t = turns - std::floor(turns + 0.5);  // [-0.5, 0.5)
    if (t > 0.25) t = 0.5 - t;
    if (t < -0.25) t = -0.5 - t;
    return sinNear(t * 2.0 * kPi);
}

double cosTurns(double turns) { return sinTurns(turns + 0.25); }

double tanRadians(double radians) {
    double turns = radians / (2.0 * kPi);
    return sinTurns(turns) / cosTurns(turns);
}

double exp2Of(double x) {
    if (x < -1000.0) return 0.0;
    if (x > 1000.0) x = 1000.0;
    double whole = std::floor(x);
    double y = (x - whole) * 0.69314718055994530942;  // [0, ln 2)
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 16; ++k) {
        term = term * y / double(k);
        sum += term;
    }
    return std::ldexp(sum, int(whole));
}

double expOf(double x) { return exp2Of(x * 1.44269504088896340736); }

double dbToGain(double db) { return exp2Of(db / 20.0 * 3.32192809488736234787); }

double softClip(double x) {
    // x / sqrt(1 + x^2): odd, smooth, bounded by 1.
    return x / std::sqrt(1.0 + x * x);
}

double noteHz(double midiNote) { return 440.0 * exp2Of((midiNote - 69.0) / 12.0); }

// ---- noise -------------------------------------------------------------------
std::uint32_t Noise::next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double Noise::white() { return double(next()) / 2147483648.0 - 1.0; }

// ---- filters -----------------------------------------------------------------
void Svf::step(double input, double cutoffHz, double q, double sampleRate) {
    double limit = sampleRate * 0.45;
    if (cutoffHz > limit) cutoffHz = limit;
    if (cutoffHz < 5.0) cutoffHz = 5.0;
    double g = tanRadians(kPi * cutoffHz / sampleRate);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = input - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    low = v2;
    band = v1;
    high = input - k * v1 - v2;
}

double OnePole::step(double input, double cutoffHz, double sampleRate) {
    double a = 1.0 - expOf(-2.0 * kPi * cutoffHz / sampleRate);
    state += a * (input - state);
    return state;
}

// ---- reverb --------------------------------------------------------------------
namespace {

// Freeverb's delay lengths at 44.1 kHz; the right side is spread by 23 samples.
const int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int kAllpassLengths[4] = {556, 441, 341, 225};

}  // namespace

Reverb::Reverb(double sampleRate, double roomSize, double damp)
    : feedback(roomSize), damping(damp) {
    double scale = sampleRate / 44100.0;
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < 8; ++i)
            combs[side][i].buffer.assign(std::size_t((kCombLengths[i] + 23 * side) * scale), 0.0);
        for (int i = 0; i < 4; ++i)
            allpasses[side][i].buffer.assign(std::size_t((kAllpassLengths[i] + 23 * side) * scale),
                                             0.0);
    }
}

void Reverb::step(double input, double& left, double& right) {
    double out[2];
    for (int side = 0; side < 2; ++side) {
        double sum = 0.0;
        for (Line& comb : combs[side]) {
            double delayed = comb.buffer[comb.index];
            comb.filter = delayed * (1.0 - damping) + comb.filter * damping;
            comb.buffer[comb.index] = input + comb.filter * feedback;
            comb.index = (comb.index + 1) % comb.buffer.size();
            sum += delayed;
        }
        for (Line& pass : allpasses[side]) {
            double delayed = pass.buffer[pass.index];
            pass.buffer[pass.index] = sum + delayed * 0.5;
            pass.index = (pass.index + 1) % pass.buffer.size();
            sum = delayed - sum;
        }
        out[side] = sum * 0.125;
    }
    left = out[0];
    right = out[1];
}

double peakOf(const std::vector<double>& signal) {
    double peak = 0.0;
    for (double value : signal) peak = std::fmax(peak, std::fabs(value));
    return peak;
}

void normalise(std::vector<double>& signal, double peak) {
    double current = peakOf(signal);
    if (current <= 0.0) return;
    double gain = peak / current;
    for (double& value : signal) value *= gain;
}

}  // namespace assetgen::sound
