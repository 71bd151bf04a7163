// The logo on the underside of the glass slab, the demo's first picture:
// deep blue glass in a chrome frame, a wire icosahedron of glass in a gold
// orbit ring, and the title in chrome. Opaque where it is drawn, the glass
// around it partly transparent.
#include "tools/assetgen/pictures/emblem.h"
#include "tools/assetgen/pictures/lettering.h"
#include "tools/assetgen/pictures/painters.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 512;
constexpr double kGlassAlpha = 0.6;

// Over-operator for one layer: colour c with coverage t.
void paint(Colour& dst, const Colour& c, double t) {
    blend(dst, c, t);
    dst.a = dst.a + t * (1 - dst.a);
}

// Signed distance to a rounded square frame's centre line.
double roundedSquareDistance(double x, double y, double centre, double half, double radius) {
    double qx = std::fabs(x - centre) - (half - radius);
    double qy = std::fabs(y - centre) - (half - radius);
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// The silhouette of the projected solid: the convex hull of its corners.
Contours silhouette(const std::vector<WireEdge>& edges) {
    std::vector<Point> points;
    for (const WireEdge& e : edges) {
        points.push_back(e.a);
        points.push_back(e.b);
    }
    std::sort(points.begin(), points.end(), [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    auto turn = [](Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); };
    std::vector<Point> hull;
    for (int pass = 0; pass < 2; ++pass) {
        size_t start = hull.size();
        for (const Point& p : points) {
            while (hull.size() >= start + 2 && turn(hull[hull.size() - 2], hull.back(), p) <= 0) hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();
        std::reverse(points.begin(), points.end());
    }
    return {hull};
}

void paintRing(Canvas& canvas, const OrbitRing& ring, RingHalf half) {
    Mask line = ringMask(kSize, kSize, ring, half);
    OrbitRing wide = ring;
    wide.width = ring.width * 4;
    Mask glow = blurred(ringMask(kSize, kSize, wide, half), 6);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Colour& c = at(canvas, x, y);
            double g = at(glow, x, y);
            if (g > 0) c = added(c, scaled(rgb(255, 150, 50), 0.35 * g));
            double t = at(line, x, y);
            if (t <= 0) continue;
            // Gold, brighter towards the front.
            double front = clamp01((y - (ring.cy - ring.ry)) / (2 * ring.ry));
            paint(c, mix(rgb(170, 100, 30), rgb(255, 214, 130), 0.3 + 0.7 * front), t);
        }
    }
}

void paintSolid(Canvas& canvas, const std::vector<WireEdge>& edges) {
    // Glass body: a translucent blue fill, lighter at the top.
    Mask body = fillContours(silhouette(edges), kSize, kSize);
    double top = kSize, bottom = 0;
    for (const WireEdge& e : edges) {
        top = std::min({top, e.a.y, e.b.y});
        bottom = std::max({bottom, e.a.y, e.b.y});
    }
    Mask lines = makeMask(kSize, kSize);
    Mask glow = makeMask(kSize, kSize);
    for (const WireEdge& e : edges) {
        double depth = 0.5 * (e.depthA + e.depthB);  // -1 far .. 1 near
        double width = depth < -0.2 ? 1.4 : 2.6;
        double level = depth < -0.2 ? 0.45 : 1.0;
        int x0 = static_cast<int>(std::min(e.a.x, e.b.x)) - 4, x1 = static_cast<int>(std::max(e.a.x, e.b.x)) + 4;
        int y0 = static_cast<int>(std::min(e.a.y, e.b.y)) - 4, y1 = static_cast<int>(std::max(e.a.y, e.b.y)) + 4;
        for (int y = std::max(0, y0); y <= std::min(kSize - 1, y1); ++y) {
            for (int x = std::max(0, x0); x <= std::min(kSize - 1, x1); ++x) {
                double d = segmentDistance(x + 0.5, y + 0.5, e.a.x, e.a.y, e.b.x, e.b.y);
                at(lines, x, y) = std::max(at(lines, x, y), lineCoverage(d, width) * level);
                at(glow, x, y) = std::max(at(glow, x, y), lineCoverage(d, 5.0) * level);
            }
        }
    }
    glow = blurred(glow, 4);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Colour& c = at(canvas, x, y);
            double b = at(body, x, y);
            if (b > 0) {
                double h = clamp01((y - top) / (bottom - top));
                paint(c, mix(rgb(70, 120, 210), rgb(12, 26, 80), h), 0.55 * b);
            }
            c = added(c, scaled(rgb(90, 170, 255), 0.5 * at(glow, x, y)));
            double t = at(lines, x, y);
            if (t > 0) paint(c, rgb(225, 240, 255), t);
        }
    }
    // Corners as small bright points.
    for (const WireEdge& e : edges) {
        for (auto [p, depth] : {std::make_pair(e.a, e.depthA), std::make_pair(e.b, e.depthB)}) {
            double r = depth < -0.2 ? 1.6 : 3.0;
            for (int y = static_cast<int>(p.y) - 5; y <= static_cast<int>(p.y) + 5; ++y) {
                for (int x = static_cast<int>(p.x) - 5; x <= static_cast<int>(p.x) + 5; ++x) {
                    if (x < 0 || y < 0 || x >= kSize || y >= kSize) continue;
                    double d = std::hypot(x + 0.5 - p.x, y + 0.5 - p.y);
                    paint(at(canvas, x, y), {1, 1, 1, 1}, edgeCoverage(d - r) * (depth < -0.2 ? 0.5 : 1.0));
                }
            }
        }
    }
}

// A small amber sphere riding on the ring.
void paintMoon(Canvas& canvas, Point centre, double radius) {
    for (int y = static_cast<int>(centre.y - radius * 3); y <= static_cast<int>(centre.y + radius * 3); ++y) {
        for (int x = static_cast<int>(centre.x - radius * 3); x <= static_cast<int>(centre.x + radius * 3); ++x) {
            if (x < 0 || y < 0 || x >= kSize || y >= kSize) continue;
            Colour& c = at(canvas, x, y);
            double dx = (x + 0.5 - centre.x) / radius, dy = (y + 0.5 - centre.y) / radius;
            double r = std::sqrt(dx * dx + dy * dy);
            c = added(c, scaled(rgb(255, 160, 60), 0.6 * std::exp(-3 * (r - 1) * (r - 1)) * (r > 1 ? 1 : 0.3)));
            double cover = edgeCoverage((r - 1) * radius);
            if (cover <= 0) continue;
            double nz = std::sqrt(std::max(0.0, 1 - dx * dx - dy * dy));
            double light = clamp01(-0.5 * dx - 0.6 * dy + 0.62 * nz);
            Colour sphere = mix(rgb(120, 50, 10), rgb(255, 190, 90), light);
            blend(sphere, {1, 1, 1, 1}, std::pow(light, 18));
            paint(c, sphere, cover);
        }
    }
}

}  // namespace

bool paintLogo(Canvas& canvas) {
    canvas = makeCanvas(kSize, kSize, {});
    // Deep blue glass, lit from the centre, with a faint diagonal sheen.
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double u = (x + 0.5) / kSize - 0.5, v = (y + 0.5) / kSize - 0.42;
            double r = std::sqrt(u * u + v * v);
            Colour c = mix(rgb(26, 50, 112), rgb(3, 7, 26), smoothstep(0.0, 0.62, r));
            double sheen = std::exp(-std::pow((u + v + 0.35) * 9, 2));
            c = added(c, scaled(rgb(60, 90, 140), 0.18 * sheen));
            c.a = kGlassAlpha;
            at(canvas, x, y) = c;
        }
    }

    const OrbitRing ring{256, 220, 214, 54, -0.2, 4.0};
    std::vector<WireEdge> solid = wireIcosahedron(256, 220, 114);
    paintRing(canvas, ring, RingHalf::back);
    paintSolid(canvas, solid);
    paintRing(canvas, ring, RingHalf::front);
    paintMoon(canvas, ringPoint(ring, 0.75), 8.5);

    // The title in chrome, with a dark rim and a warm glow behind it.
    TextLayout layout;
    layout.text = "ORBITA";
    layout.centreX = 256;
    layout.baselineY = 444;
    layout.capHeight = 58;
    layout.tracking = 0.16;
    layout.widthScale = 1.1;
    Contours outlines;
    if (!layoutText(layout, outlines)) return false;
    Mask letters = fillContours(outlines, kSize, kSize);
    Mask soft = blurred(letters, 2);
    Mask rim = blurred(letters, 3);
    Mask glow = blurred(letters, 12);
    double capTop = layout.baselineY - layout.capHeight;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Colour& c = at(canvas, x, y);
            c = added(c, scaled(rgb(255, 140, 40), 0.45 * at(glow, x, y)));
            paint(c, rgb(2, 4, 14), clamp01(at(rim, x, y) * 2.2));
            double t = at(letters, x, y);
            if (t <= 0) continue;
            double nx, ny;
            bevelNormal(soft, x, y, 6.0, nx, ny);
            double along = (y + 0.5 - capTop) / layout.capHeight;
            paint(c, chromeColour(along, nx, ny), t);
        }
    }

    // Chrome frame round the plate, with a thin amber line inside it.
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Colour& c = at(canvas, x, y);
            double d = roundedSquareDistance(x + 0.5, y + 0.5, 256, 240, 22);
            double frame = lineCoverage(std::fabs(d), 3.0);
            if (frame > 0) paint(c, mix(rgb(230, 238, 250), rgb(110, 130, 170), clamp01((y + 0.5) / kSize)), frame);
            double inner = lineCoverage(std::fabs(d + 7), 1.2);
            if (inner > 0) paint(c, rgb(230, 150, 60), 0.8 * inner);
        }
    }
    return true;
}

bool paintIcon(Canvas& icon) {
    Canvas logo;
    if (!paintLogo(logo)) return false;
    // A menu shows the icon on whatever background it has: the glass plate
    // is made opaque over its own darkest blue, and everything outside the
    // frame's outer edge is clear. Each icon pixel is the mean of two by two
    // of the logo's, weighted by how much of each is inside.
    const Colour backing = rgb(3, 7, 26);
    icon = makeCanvas(kSize / 2, kSize / 2, {0, 0, 0, 0});
    for (int y = 0; y < icon.height; ++y) {
        for (int x = 0; x < icon.width; ++x) {
            Colour sum{0, 0, 0, 0};
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const int lx = 2 * x + dx, ly = 2 * y + dy;
                    const Colour& c = at(logo, lx, ly);
                    const double inside =
                        edgeCoverage(roundedSquareDistance(lx + 0.5, ly + 0.5, 256, 240, 22) - 1.5);
                    sum.r += inside * mix(backing.r, c.r, c.a);
                    sum.g += inside * mix(backing.g, c.g, c.a);
                    sum.b += inside * mix(backing.b, c.b, c.a);
                    sum.a += inside;
                }
            }
            Colour& out = at(icon, x, y);
            if (sum.a > 0) out = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / 4};
        }
    }
    return true;
}

}  // namespace assetgen
