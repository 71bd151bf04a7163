// The floor's chessboard: lapis squares (deep blue, with golden flecks) and
// pale marble squares, set in thin gold inlay. The tile is one 2 x 2 block;
// every pattern in it repeats with the tile, so the floor shows no seams.
#include "tools/assetgen/pictures/painters.h"

#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 256;
constexpr int kSquare = kSize / 2;
constexpr double kPi = 3.14159265358979323846;

// Pixel distance from x (a pixel centre) to the nearest square border,
// borders at multiples of kSquare, wrapping with the tile.
double borderDistance(double x) {
    double m = std::fmod(x, static_cast<double>(kSquare));
    return std::min(m, kSquare - m);
}

Colour lapis(double u, double v) {
    double cloud = periodicFbm(u, v, 4, 5, 11);
    double fine = periodicFbm(u, v, 32, 3, 12);
    Colour deep = rgb(6, 11, 44);
    Colour bright = rgb(28, 52, 138);
    Colour c = mix(deep, bright, smoothstep(0.25, 0.8, cloud * 0.8 + fine * 0.3));
    // Faint pale calcite clouds.
    double calcite = smoothstep(0.5, 0.85, periodicFbm(u, v, 4, 5, 13)) * 0.25;
    blend(c, rgb(110, 130, 185), calcite);
    return c;
}

Colour marble(double u, double v) {
    // Veins: a diagonal wave bent by turbulence, soft-edged.
    double turbulence = periodicFbm(u, v, 2, 6, 21);
    double wave = std::sin(2 * kPi * (u + 2 * v + 1.6 * turbulence));
    double vein = std::pow(1 - std::fabs(wave), 6);
    double thinWave = std::sin(2 * kPi * (3 * u - v + 2.0 * periodicFbm(u, v, 4, 5, 22)));
    double thinVein = std::pow(1 - std::fabs(thinWave), 12);
    double cloud = periodicFbm(u, v, 8, 4, 23);
    Colour c = mix(rgb(150, 160, 182), rgb(198, 206, 222), smoothstep(0.3, 0.75, cloud));
    blend(c, rgb(98, 110, 142), vein * 0.6);
    blend(c, rgb(124, 132, 156), thinVein * 0.35);
    return c;
}

}  // namespace

Canvas paintChessboard() {
    Canvas canvas = makeCanvas(kSize, kSize, {});
    // Golden flecks in the lapis: positions drawn once, tested per pixel with
    // wrap-around so a fleck on the tile's edge continues on the other side.
    struct Fleck {
        double x, y, radius, brightness;
    };
    std::vector<Fleck> flecks;
    Random random(0x5C4AC4);
    while (flecks.size() < 260) {
        double x = random.range(0, kSize), y = random.range(0, kSize);
        bool darkSquare = ((static_cast<int>(x) / kSquare) + (static_cast<int>(y) / kSquare)) % 2 == 0;
        double radius = random.range(0.35, 1.25);
        double brightness = random.range(0.5, 1.0);
        if (darkSquare) flecks.push_back({x, y, radius, brightness});
    }

    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double px = x + 0.5, py = y + 0.5;
            double u = px / kSize, v = py / kSize;
            bool dark = ((x / kSquare) + (y / kSquare)) % 2 == 0;
            Colour c = dark ? lapis(u, v) : marble(u, v);
            if (dark) {
                for (const Fleck& f : flecks) {
                    double dx = std::fabs(px - f.x), dy = std::fabs(py - f.y);
                    dx = std::min(dx, kSize - dx);
                    dy = std::min(dy, kSize - dy);
                    if (dx > 3 || dy > 3) continue;
                    double cover = edgeCoverage(std::sqrt(dx * dx + dy * dy) - f.radius);
                    blend(c, scaled(rgb(236, 184, 92), f.brightness), cover);
                }
            }
            // Bevel: each square a touch lighter towards its upper left edge
            // and darker towards its lower right, as if polished and set.
            double inX = std::fmod(px, static_cast<double>(kSquare)) / kSquare;
            double inY = std::fmod(py, static_cast<double>(kSquare)) / kSquare;
            double rim = std::min(std::min(inX, inY), std::min(1 - inX, 1 - inY)) * kSquare;
            double bevel = 1 - smoothstep(2.0, 7.0, rim);
            double light = (inX + inY < 1) ? 1.12 : 0.85;
            c = scaled(c, mix(1.0, light, bevel));
            // Gold inlay between the squares.
            double d = std::min(borderDistance(px), borderDistance(py));
            double inlay = edgeCoverage(d - 1.3);
            if (inlay > 0) {
                double shine = 0.5 + 0.5 * std::sin(2 * kPi * (u + v) * 2);
                Colour gold = mix(rgb(150, 98, 36), rgb(250, 204, 120), 0.35 + 0.65 * shine);
                blend(c, gold, inlay);
            }
            at(canvas, x, y) = c;
        }
    }
    return canvas;
}

}  // namespace assetgen
