// The lens's tint: what the glass adds to the magnified plane. Clear pale
// blue in the middle, deepening to blue at the rim, a bright crescent where
// the light catches the upper left edge and a warm glint on the lower right.
// The lens disc fills the picture (its radius matches the displacement
// map's opaque disc); outside it the tint runs on as a plain vertical
// gradient, so a lens that samples the tint along one edge still gets a
// sensible blue.
//
// Few colours, all on one ramp from deep blue to white plus a short warm
// ramp: a palette picture with a 128-entry colour table.
#include "tools/assetgen/pictures/painters.h"

#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 256;
constexpr int kBlueEntries = 96;
constexpr int kWarmEntries = 32;

Colour blueRamp(double t) {
    // deep blue -> clear pale blue -> white
    return t < 0.7 ? mix(rgb(40, 78, 176), rgb(196, 220, 255), t / 0.7)
                   : mix(rgb(196, 220, 255), rgb(255, 255, 255), (t - 0.7) / 0.3);
}

Colour warmRamp(double t) { return mix(rgb(255, 246, 230), rgb(255, 168, 70), t); }

}  // namespace

IndexedPicture paintLensTint() {
    IndexedPicture picture;
    picture.width = kSize;
    picture.height = kSize;
    for (int i = 0; i < kBlueEntries; ++i) {
        Colour c = blueRamp(i / (kBlueEntries - 1.0));
        picture.palette.push_back({toByte(c.r), toByte(c.g), toByte(c.b)});
    }
    for (int i = 0; i < kWarmEntries; ++i) {
        Colour c = warmRamp(i / (kWarmEntries - 1.0));
        picture.palette.push_back({toByte(c.r), toByte(c.g), toByte(c.b)});
    }

    const double discRadius = std::sqrt(0.95);
    picture.indices.resize(static_cast<size_t>(kSize) * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Lens coordinates: -1..1, y up (row 0 is the top of the picture).
            double lx = x / 128.0 - 1, ly = 1 - y / 128.0;
            double r = std::sqrt(lx * lx + ly * ly) / discRadius;
            // Brightness on the blue ramp: clear centre, deeper rim.
            double inside = 0.78 - 0.42 * std::pow(std::min(r, 1.0), 3);
            double outside = 0.52 + 0.12 * ly;
            double level = mix(inside, outside, smoothstep(1.0, 1.06, r));
            // The light from the upper left catches the rim in a crescent.
            double towardsLight = (-lx * 0.6 + ly * 0.8) / std::max(1e-9, std::sqrt(lx * lx + ly * ly));
            double rimBand = std::exp(-std::pow((r - 0.9) / 0.05, 2));
            level += 0.5 * rimBand * smoothstep(0.3, 0.95, towardsLight);
            // And a warm glint on the opposite side.
            double glint = rimBand * smoothstep(0.75, 0.98, -towardsLight);
            std::uint8_t index;
            if (glint > 0.35) {
                index = static_cast<std::uint8_t>(kBlueEntries + std::lround(clamp01((glint - 0.35) / 0.65) * (kWarmEntries - 1)));
            } else {
                index = static_cast<std::uint8_t>(std::lround(clamp01(level) * (kBlueEntries - 1)));
            }
            picture.indices[static_cast<size_t>(y) * kSize + x] = index;
        }
    }
    return picture;
}

}  // namespace assetgen
