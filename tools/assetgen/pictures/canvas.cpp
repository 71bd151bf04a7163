#include "tools/assetgen/pictures/canvas.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

Canvas makeCanvas(int width, int height, Colour fill) {
    Canvas canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.pixels.assign(static_cast<size_t>(width) * height, fill);
    return canvas;
}

Mask makeMask(int width, int height) {
    Mask mask;
    mask.width = width;
    mask.height = height;
    mask.values.assign(static_cast<size_t>(width) * height, 0.0);
    return mask;
}

// One box pass along rows (step 1) or columns (step width), running sum.
static void boxPass(std::vector<double>& values, int width, int height, int radius,
                    bool alongRows, bool wrap) {
    int length = alongRows ? width : height;
    int lines = alongRows ? height : width;
    std::vector<double> line(length);
    double norm = 1.0 / (2 * radius + 1);
    for (int l = 0; l < lines; ++l) {
        auto index = [&](int i) {
            return alongRows ? static_cast<size_t>(l) * width + i
                             : static_cast<size_t>(i) * width + l;
        };
        auto sample = [&](int i) {
            if (wrap) {
                i %= length;
                if (i < 0) i += length;
            } else {
                i = std::clamp(i, 0, length - 1);
            }
            return values[index(i)];
        };
        double sum = 0;
        for (int i = -radius; i <= radius; ++i) sum += sample(i);
        for (int i = 0; i < length; ++i) {
            line[i] = sum * norm;
            sum += sample(i + radius + 1) - sample(i - radius);
        }
        for (int i = 0; i < length; ++i) values[index(i)] = line[i];
    }
}

Mask blurred(const Mask& mask, int radius, bool wrap) {
    Mask out = mask;
    if (radius <= 0) return out;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(out.values, out.width, out.height, radius, true, wrap);
        boxPass(out.values, out.width, out.height, radius, false, wrap);
    }
    return out;
}

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

double mix(double a, double b, double t) { return a + (b - a) * t; }

Colour mix(const Colour& a, const Colour& b, double t) {
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t)};
}

double smoothstep(double edge0, double edge1, double v) {
    double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Colour rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }

Colour scaled(const Colour& c, double k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

Colour added(const Colour& a, const Colour& b) { return {a.r + b.r, a.g + b.g, a.b + b.b, a.a}; }

void blend(Colour& dst, const Colour& c, double t) {
    dst.r = mix(dst.r, c.r, t);
    dst.g = mix(dst.g, c.g, t);
    dst.b = mix(dst.b, c.b, t);
}

std::uint8_t toByte(double v) {
    double scaledValue = std::floor(clamp01(v) * 255.0 + 0.5);
    return static_cast<std::uint8_t>(scaledValue);
}

std::uint64_t Random::next() {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

double Random::range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

// A lattice value in 0..1 from integer coordinates: an integer hash, so the
// lattice needs no table and wraps by plain modular indexing.
static double latticeValue(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^
                      static_cast<std::uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / 16777215.0;
}

double periodicNoise(double u, double v, int period, std::uint32_t seed) {
    double x = u * period;
    double y = v * period;
    double fx = std::floor(x);
    double fy = std::floor(y);
    double tx = x - fx;
    double ty = y - fy;
    auto wrapIndex = [period](double f) {
        long long i = static_cast<long long>(f) % period;
        return static_cast<int>(i < 0 ? i + period : i);
    };
    int x0 = wrapIndex(fx), y0 = wrapIndex(fy);
    int x1 = (x0 + 1) % period, y1 = (y0 + 1) % period;
    // Quintic fade: continuous slope and curvature at the lattice lines, so
    // no grid shows through in the shading.
    double sx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    double sy = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    double a = mix(latticeValue(x0, y0, seed), latticeValue(x1, y0, seed), sx);
    double b = mix(latticeValue(x0, y1, seed), latticeValue(x1, y1, seed), sx);
    return mix(a, b, sy);
}

double periodicFbm(double u, double v, int period, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * periodicNoise(u, v, period << o, seed + 977u * o);
        total += weight;
        weight *= 0.5;
    }
    return sum / total;
}

double segmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((px - ax) * dx + (py - ay) * dy) / lengthSquared : 0;
    t = clamp01(t);
    double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

double edgeCoverage(double signedDistance) { return clamp01(0.5 - signedDistance); }

}  // namespace assetgen
