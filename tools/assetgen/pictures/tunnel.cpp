// The zoom tunnel's texture: a plasma of interfering waves drawn through a
// cyclic palette of deep blues with a narrow bright band (cyan, white,
// amber), so the wave fronts glow as fine contour lines. Two copies of it
// turn against each other on screen, and the lines weave into moiré.
//
// A palette picture by nature: every pixel is a position on the palette's
// cycle. The waves have whole numbers of periods across the tile and the
// palette closes on itself, so the picture tiles seamlessly.
#include "tools/assetgen/pictures/painters.h"

#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 256;
constexpr double kPi = 3.14159265358979323846;

struct Key {
    double at;
    Colour colour;
};

// The palette colour at position p of the cycle (0..1, wrapping).
Colour cycleColour(double p) {
    static const Key keys[] = {
        {0.00, rgb(4, 8, 34)},       {0.22, rgb(16, 44, 130)},    {0.40, rgb(6, 16, 60)},
        {0.56, rgb(26, 90, 200)},    {0.65, rgb(120, 210, 255)},  {0.69, rgb(240, 250, 255)},
        {0.72, rgb(255, 184, 80)},   {0.77, rgb(96, 36, 22)},     {0.86, rgb(12, 12, 44)},
        {1.00, rgb(4, 8, 34)},
    };
    p -= std::floor(p);
    for (size_t k = 1; k < sizeof keys / sizeof keys[0]; ++k) {
        if (p <= keys[k].at) {
            double t = (p - keys[k - 1].at) / (keys[k].at - keys[k - 1].at);
            return mix(keys[k - 1].colour, keys[k].colour, smoothstep(0, 1, t));
        }
    }
    return keys[0].colour;
}

}  // namespace

IndexedPicture paintTunnel() {
    IndexedPicture picture;
    picture.width = kSize;
    picture.height = kSize;
    for (int i = 0; i < 256; ++i) {
        Colour c = cycleColour(i / 256.0);
        picture.palette.push_back({toByte(c.r), toByte(c.g), toByte(c.b)});
    }
    // Whole wave numbers per tile: (kx, ky), weight, phase.
    struct Wave {
        int kx, ky;
        double weight, phase;
    };
    const Wave waves[] = {
        {3, 1, 1.0, 0.0}, {-1, 3, 1.0, 1.3}, {2, -3, 0.7, 0.4}, {1, 4, 0.5, 2.1}, {-4, -1, 0.45, 4.0},
    };
    picture.indices.resize(static_cast<size_t>(kSize) * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
            // Rings round the tile's centre (and its corners), bent by the
            // interfering waves.
            double rings = std::cos(2 * kPi * u) + std::cos(2 * kPi * v);
            double sum = 0;
            for (const Wave& w : waves) sum += w.weight * std::sin(2 * kPi * (w.kx * u + w.ky * v) + w.phase);
            double p = rings * 1.0 + sum * 0.12 + 8;  // positive before the wrap
            p -= std::floor(p);
            picture.indices[static_cast<size_t>(y) * kSize + x] = static_cast<std::uint8_t>(std::floor(p * 256)) ;
        }
    }
    return picture;
}

}  // namespace assetgen
