// The lens scene's plane: atoms on a faint blueprint grid in deep blue
// space, each a warm nucleus in three chrome orbits with their electrons.
// The lens wanders over it magnifying, so it is rich in fine, crisp detail.
// Two large and two small atoms per tile, each wholly inside the tile; the
// space and the grid repeat with the tile, so the plane shows no seams.
#include "tools/assetgen/pictures/emblem.h"
#include "tools/assetgen/pictures/painters.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 512;
constexpr double kPi = 3.14159265358979323846;

struct Atom {
    double cx, cy, radius, turn;
    double electronPhase;
};

// Sphere shading for nucleus and electrons: a lit ball between a dark and
// a light colour, with a white highlight.
void paintBall(Canvas& canvas, double cx, double cy, double radius, Colour dark, Colour light) {
    for (int y = static_cast<int>(cy - radius - 2); y <= static_cast<int>(cy + radius + 2); ++y) {
        for (int x = static_cast<int>(cx - radius - 2); x <= static_cast<int>(cx + radius + 2); ++x) {
            if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) continue;
            double dx = (x + 0.5 - cx) / radius, dy = (y + 0.5 - cy) / radius;
            double r = std::sqrt(dx * dx + dy * dy);
            double cover = edgeCoverage((r - 1) * radius);
            if (cover <= 0) continue;
            double nz = std::sqrt(std::max(0.0, 1 - r * r));
            double light_ = clamp01(-0.45 * dx - 0.55 * dy + 0.70 * nz);
            Colour c = mix(dark, light, light_);
            blend(c, {1, 1, 1, 1}, 0.9 * std::pow(light_, 20));
            blend(at(canvas, x, y), c, cover);
        }
    }
}

// Additive glow of radius `reach` round a point.
void paintGlow(Canvas& canvas, double cx, double cy, double reach, Colour colour, double strength) {
    for (int y = static_cast<int>(cy - reach * 2); y <= static_cast<int>(cy + reach * 2); ++y) {
        for (int x = static_cast<int>(cx - reach * 2); x <= static_cast<int>(cx + reach * 2); ++x) {
            if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) continue;
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / reach;
            Colour& c = at(canvas, x, y);
            c = added(c, scaled(colour, strength * std::exp(-2.5 * d * d)));
        }
    }
}

void paintOrbits(Canvas& canvas, const Atom& atom, RingHalf half) {
    for (int k = 0; k < 3; ++k) {
        OrbitRing ring{atom.cx, atom.cy, atom.radius, atom.radius * 0.34, atom.turn + k * kPi / 3,
                       atom.radius > 70 ? 2.2 : 1.6};
        Mask line = ringMask(kSize, kSize, ring, half);
        OrbitRing wide = ring;
        wide.width = ring.width * 3;
        Mask glow = blurred(ringMask(kSize, kSize, wide, half), 3);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                Colour& c = at(canvas, x, y);
                double g = at(glow, x, y);
                if (g > 0) c = added(c, scaled(rgb(70, 140, 255), 0.45 * g));
                double t = at(line, x, y);
                if (t > 0) blend(c, half == RingHalf::front ? rgb(215, 232, 255) : rgb(120, 150, 205), t);
            }
        }
    }
}

void paintElectrons(Canvas& canvas, const Atom& atom, RingHalf half) {
    for (int k = 0; k < 3; ++k) {
        OrbitRing ring{atom.cx, atom.cy, atom.radius, atom.radius * 0.34, atom.turn + k * kPi / 3, 0};
        double t = atom.electronPhase + k * 2.1;
        bool front = std::sin(t) > 0;  // the ring's lower half in its own frame
        if (front != (half == RingHalf::front)) continue;
        Point p = ringPoint(ring, t);
        double size = atom.radius > 70 ? 5.0 : 3.6;
        paintGlow(canvas, p.x, p.y, size * 2.2, rgb(90, 200, 255), front ? 0.6 : 0.3);
        paintBall(canvas, p.x, p.y, size, rgb(20, 70, 150), front ? rgb(190, 240, 255) : rgb(110, 150, 200));
    }
}

}  // namespace

Canvas paintAtomLattice() {
    Canvas canvas = makeCanvas(kSize, kSize, {});
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
            double cloud = periodicFbm(u, v, 4, 5, 41);
            Colour c = mix(rgb(3, 6, 24), rgb(16, 34, 92), smoothstep(0.3, 0.85, cloud));
            double wisp = smoothstep(0.6, 0.9, periodicFbm(u, v, 8, 4, 42));
            c = added(c, scaled(rgb(40, 30, 70), 0.35 * wisp));
            // Blueprint grid: fine lines every 32 pixels, stronger every 128.
            auto gridDistance = [](double p, double step) {
                double m = std::fmod(p, step);
                return std::min(m, step - m);
            };
            double px = x + 0.5, py = y + 0.5;
            double fine = std::max(lineCoverage(gridDistance(px, 32), 0.8), lineCoverage(gridDistance(py, 32), 0.8));
            double major = std::max(lineCoverage(gridDistance(px, 128), 1.2), lineCoverage(gridDistance(py, 128), 1.2));
            blend(c, rgb(40, 80, 150), 0.22 * fine);
            blend(c, rgb(60, 110, 190), 0.4 * major);
            at(canvas, x, y) = c;
        }
    }
    // Small stars between the atoms.
    Random random(0xA70313);
    for (int i = 0; i < 90; ++i) {
        double x = random.range(8, kSize - 8), y = random.range(8, kSize - 8);
        double strength = random.range(0.15, 0.6);
        paintGlow(canvas, x, y, random.range(0.8, 1.8), rgb(200, 220, 255), strength);
    }

    const Atom atoms[] = {
        {128, 128, 104, 0.25, 0.6},
        {384, 384, 104, -0.45, 2.4},
        {384, 128, 58, 0.9, 1.3},
        {128, 384, 58, -0.1, 4.0},
    };
    for (const Atom& atom : atoms) {
        paintOrbits(canvas, atom, RingHalf::back);
        paintElectrons(canvas, atom, RingHalf::back);
        double nucleus = atom.radius > 70 ? 15 : 9;
        paintGlow(canvas, atom.cx, atom.cy, nucleus * 2.2, rgb(255, 140, 40), 0.55);
        paintBall(canvas, atom.cx, atom.cy, nucleus, rgb(110, 38, 8), rgb(255, 196, 100));
        paintOrbits(canvas, atom, RingHalf::front);
        paintElectrons(canvas, atom, RingHalf::front);
    }
    return canvas;
}

}  // namespace assetgen
