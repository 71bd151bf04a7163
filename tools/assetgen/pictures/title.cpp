// The zoom tunnel's centre picture: the title in chrome with an orbit ring
// round it, over a dark halo that calms the spinning layers behind it. The
// picture holds a grey level and an opacity per pixel (the file carries them
// as red and green). The centre quad fills most of the screen's height, so
// everything fades out well inside the picture's edges.
#include "tools/assetgen/pictures/emblem.h"
#include "tools/assetgen/pictures/lettering.h"
#include "tools/assetgen/pictures/painters.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 512;

double luminance(const Colour& c) { return 0.3 * c.r + 0.55 * c.g + 0.15 * c.b; }

// Grey level in r (g and b kept equal to it), opacity in a.
void paintGrey(Colour& dst, double grey, double t) {
    double r = mix(dst.r, grey, t);
    dst = {r, r, r, dst.a + t * (1 - dst.a)};
}

}  // namespace

bool paintTitle(Canvas& canvas) {
    canvas = makeCanvas(kSize, kSize, {0, 0, 0, 0});

    // Dark halo: an ellipse round the lettering, soft to nothing.
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double u = (x + 0.5 - 256) / 245, v = (y + 0.5 - 256) / 135;
            double r = std::sqrt(u * u + v * v);
            at(canvas, x, y).a = 0.85 * (1 - smoothstep(0.45, 1.0, r));
        }
    }

    const OrbitRing ring{256, 258, 224, 62, -0.12, 4.0};
    auto paintRing = [&](RingHalf half) {
        Mask line = ringMask(kSize, kSize, ring, half);
        OrbitRing wide = ring;
        wide.width = ring.width * 4;
        Mask glow = blurred(ringMask(kSize, kSize, wide, half), 5);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                Colour& c = at(canvas, x, y);
                paintGrey(c, 0.9, 0.35 * at(glow, x, y));
                double front = clamp01((y - (ring.cy - ring.ry)) / (2 * ring.ry));
                paintGrey(c, 0.55 + 0.45 * front, at(line, x, y));
            }
        }
    };
    paintRing(RingHalf::back);

    TextLayout layout;
    layout.text = "ORBITA";
    layout.centreX = 256;
    layout.baselineY = 288;
    layout.capHeight = 64;
    layout.tracking = 0.12;
    layout.widthScale = 1.08;
    Contours outlines;
    if (!layoutText(layout, outlines)) return false;
    Mask letters = fillContours(outlines, kSize, kSize);
    Mask soft = blurred(letters, 2);
    Mask rim = blurred(letters, 4);
    double capTop = layout.baselineY - layout.capHeight;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Colour& c = at(canvas, x, y);
            paintGrey(c, 0.0, clamp01(at(rim, x, y) * 3.0));
            double t = at(letters, x, y);
            if (t <= 0) continue;
            double nx, ny;
            bevelNormal(soft, x, y, 6.0, nx, ny);
            double along = (y + 0.5 - capTop) / layout.capHeight;
            // Lifted a little: the picture is shown at 70 % over a busy,
            // moving background, and the chrome's dark band must not vanish.
            paintGrey(c, 0.22 + 0.78 * luminance(chromeColour(along, nx, ny)), t);
        }
    }

    paintRing(RingHalf::front);
    // A bright moon on the ring's front, with a small glow.
    Point moon = ringPoint(ring, 0.9);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double dx = (x + 0.5 - moon.x) / 7.5, dy = (y + 0.5 - moon.y) / 7.5;
            double r = std::sqrt(dx * dx + dy * dy);
            if (r > 4) continue;
            Colour& c = at(canvas, x, y);
            paintGrey(c, 1.0, 0.5 * std::exp(-2 * (r - 1) * (r - 1)) * (r > 1 ? 1 : 0));
            double cover = edgeCoverage((r - 1) * 7.5);
            double nz = std::sqrt(std::max(0.0, 1 - r * r));
            double light = clamp01(-0.5 * dx - 0.6 * dy + 0.62 * nz);
            paintGrey(c, 0.35 + 0.65 * light, cover);
        }
    }
    return true;
}

}  // namespace assetgen
