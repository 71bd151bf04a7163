// The picture generator's working surface: floating-point canvases, a
// deterministic random source, periodic noise and a few anti-aliased shapes.
//
// Every picture of the demo is painted on a Canvas in linear 0..1 values and
// only turned into bytes by the file writers (image_files.h). Rows run top
// to bottom, as the picture is meant to be seen; the writers take care of
// each format's own row order. Nothing here reads the clock, the locale or
// the environment, so the same code paints the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace assetgen {

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;  // width * height, row 0 at the top
};

Canvas makeCanvas(int width, int height, Colour fill);
inline Colour& at(Canvas& canvas, int x, int y) {
    return canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x];
}
inline const Colour& at(const Canvas& canvas, int x, int y) {
    return canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x];
}

// One channel of coverage or height, same layout as a Canvas.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<double> values;
};

Mask makeMask(int width, int height);
inline double& at(Mask& mask, int x, int y) {
    return mask.values[static_cast<std::size_t>(y) * mask.width + x];
}
inline double at(const Mask& mask, int x, int y) {
    return mask.values[static_cast<std::size_t>(y) * mask.width + x];
}
// Three box passes, close to a Gaussian of the given radius; `wrap` blurs
// across the edges of a tiling picture instead of clamping at them.
Mask blurred(const Mask& mask, int radius, bool wrap = false);

// ---- arithmetic -----------------------------------------------------------

double clamp01(double v);
double mix(double a, double b, double t);
Colour mix(const Colour& a, const Colour& b, double t);
double smoothstep(double edge0, double edge1, double v);
Colour rgb(int r, int g, int b);  // from 0..255 values, opaque
Colour scaled(const Colour& c, double k);
Colour added(const Colour& a, const Colour& b);
// Paint `c` over `dst` with coverage t (alpha of dst is kept).
void blend(Colour& dst, const Colour& c, double t);
// The byte a 0..1 value becomes: clamped, rounded half up.
std::uint8_t toByte(double v);

// ---- randomness -----------------------------------------------------------

// A small, fully specified generator (SplitMix64), so that scattered
// scratches and flecks land on the same pixels everywhere.
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    double uniform();                      // [0, 1)
    double range(double lo, double hi);    // [lo, hi)
};

// Smooth value noise that repeats every `period` lattice cells across the
// unit square: noise at (u, v) equals noise at (u + 1, v) and (u, v + 1).
double periodicNoise(double u, double v, int period, std::uint32_t seed);
// Sum of octaves of periodicNoise, each twice the lattice of the one before,
// normalised to roughly 0..1; tiles over the unit square like its octaves.
double periodicFbm(double u, double v, int period, int octaves, std::uint32_t seed);

// ---- shapes ---------------------------------------------------------------

struct Point {
    double x, y;
};

// Distance from p to the segment a-b.
double segmentDistance(double px, double py, double ax, double ay, double bx, double by);
// Coverage of a pixel centre at distance d from an edge of a shape whose
// inside is d < 0: a one-pixel-wide anti-aliased ramp.
double edgeCoverage(double signedDistance);

}  // namespace assetgen
