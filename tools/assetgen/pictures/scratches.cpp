// Scratches on the floor's glass, multiplied into the chessboard. A
// multiplied picture can only darken, so the glass itself is a slightly
// dimmed, faintly cool grey (darker towards the floor's edges, like thick
// glass seen at its rim) and the scratches stand out by being brighter:
// long fine hairlines, swirls left by a cloth, short nicks, a few deep
// gouges with a dark shoulder.
#include "tools/assetgen/pictures/painters.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr int kSize = 512;
constexpr double kPi = 3.14159265358979323846;

struct Stroke {
    std::vector<Point> points;
    double width;      // pixels
    double intensity;  // 0..1 at the brightest
    double shoulder;   // darkening beside the stroke, 0..1
    double gapSeed;    // breaks the line up along its length
};

// Strokes are drawn into two masks: light (max of the scratches' brightness)
// and shade (max of the shoulders' darkness).
struct StrokeMasks {
    Mask light = makeMask(kSize, kSize);
    Mask shade = makeMask(kSize, kSize);
};

void drawStroke(StrokeMasks& masks, const Stroke& stroke) {
    double reach = stroke.width * 0.5 + (stroke.shoulder > 0 ? 2.5 : 1.0);
    double along = 0;
    for (size_t i = 0; i + 1 < stroke.points.size(); ++i) {
        Point a = stroke.points[i], b = stroke.points[i + 1];
        double length = std::hypot(b.x - a.x, b.y - a.y);
        // Brightness along the stroke: faded at both ends, broken by noise.
        double t0 = along, t1 = along + length;
        int x0 = std::max(0, static_cast<int>(std::floor(std::min(a.x, b.x) - reach)));
        int x1 = std::min(kSize - 1, static_cast<int>(std::ceil(std::max(a.x, b.x) + reach)));
        int y0 = std::max(0, static_cast<int>(std::floor(std::min(a.y, b.y) - reach)));
        int y1 = std::min(kSize - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + reach)));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                double px = x + 0.5, py = y + 0.5;
                double d = segmentDistance(px, py, a.x, a.y, b.x, b.y);
                if (d > reach) continue;
                double half = stroke.width * 0.5;
                double core = clamp01(half + 0.5 - d) * std::min(1.0, stroke.width);
                double dx = b.x - a.x, dy = b.y - a.y;
                double proj = length > 0 ? clamp01(((px - a.x) * dx + (py - a.y) * dy) / (length * length)) : 0;
                double s = mix(t0, t1, proj);
                double gap = periodicNoise(s / 900.0, stroke.gapSeed, 24, 77);
                double level = stroke.intensity * smoothstep(0.25, 0.55, gap);
                at(masks.light, x, y) = std::max(at(masks.light, x, y), core * level);
                if (stroke.shoulder > 0) {
                    double ring = clamp01(1 - std::fabs(d - half - 1.0) / 1.2);
                    at(masks.shade, x, y) = std::max(at(masks.shade, x, y), ring * stroke.shoulder * level);
                }
            }
        }
        along = t1;
    }
}

// A gently bent line: a quadratic curve from a to c through the pull of b.
std::vector<Point> bentLine(Point a, Point b, Point c, int pieces) {
    std::vector<Point> points;
    for (int i = 0; i <= pieces; ++i) {
        double t = static_cast<double>(i) / pieces, u = 1 - t;
        points.push_back({u * u * a.x + 2 * u * t * b.x + t * t * c.x, u * u * a.y + 2 * u * t * b.y + t * t * c.y});
    }
    return points;
}

std::vector<Point> arc(Point centre, double radius, double from, double to, int pieces) {
    std::vector<Point> points;
    for (int i = 0; i <= pieces; ++i) {
        double angle = mix(from, to, static_cast<double>(i) / pieces);
        points.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    return points;
}

}  // namespace

Canvas paintScratches() {
    StrokeMasks masks;
    Random random(0x6B7261747A);  // fixed seed: the same scratches every time

    // Long hairlines, mostly along two directions, as glass gets scratched
    // by things slid across it.
    for (int i = 0; i < 70; ++i) {
        double angle = (i % 3 == 0 ? 0.5 : -0.35) + random.range(-0.35, 0.35);
        double length = random.range(80, 380);
        Point mid{random.range(0, kSize), random.range(0, kSize)};
        Point dir{std::cos(angle), std::sin(angle)};
        Point a{mid.x - dir.x * length / 2, mid.y - dir.y * length / 2};
        Point c{mid.x + dir.x * length / 2, mid.y + dir.y * length / 2};
        double bend = random.range(-0.08, 0.08) * length;
        Point b{mid.x - dir.y * bend, mid.y + dir.x * bend};
        drawStroke(masks, {bentLine(a, b, c, 24), random.range(0.5, 1.0), random.range(0.35, 0.8), 0,
                           random.uniform()});
    }
    // Cloth swirls: bundles of faint concentric arcs.
    for (int cluster = 0; cluster < 7; ++cluster) {
        Point centre{random.range(0, kSize), random.range(0, kSize)};
        double start = random.range(0, 2 * kPi);
        int arcs = 8 + static_cast<int>(random.range(0, 10));
        for (int i = 0; i < arcs; ++i) {
            double radius = random.range(30, 150);
            double from = start + random.range(-0.4, 0.4);
            double span = random.range(0.5, 1.6);
            drawStroke(masks, {arc(centre, radius, from, from + span, 40), random.range(0.4, 0.7),
                               random.range(0.15, 0.35), 0, random.uniform()});
        }
    }
    // Short nicks in every direction.
    for (int i = 0; i < 160; ++i) {
        double angle = random.range(0, kPi);
        double length = random.range(4, 26);
        Point a{random.range(0, kSize), random.range(0, kSize)};
        Point c{a.x + std::cos(angle) * length, a.y + std::sin(angle) * length};
        drawStroke(masks, {{a, c}, random.range(0.6, 1.1), random.range(0.3, 0.75), 0, random.uniform()});
    }
    // A few deep gouges.
    for (int i = 0; i < 4; ++i) {
        double angle = random.range(-0.6, 0.6);
        double length = random.range(120, 260);
        Point a{random.range(60, kSize - 60), random.range(60, kSize - 60)};
        Point c{a.x + std::cos(angle) * length, a.y + std::sin(angle) * length};
        Point b{mix(a.x, c.x, 0.5) + random.range(-12, 12), mix(a.y, c.y, 0.5) + random.range(-12, 12)};
        drawStroke(masks, {bentLine(a, b, c, 32), random.range(1.4, 2.0), 0.95, 0.35, random.uniform()});
    }

    Canvas canvas = makeCanvas(kSize, kSize, {});
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
            double rx = u * 2 - 1, ry = v * 2 - 1;
            double rim = std::max(std::fabs(rx), std::fabs(ry));
            double glass = mix(0.86, 0.72, smoothstep(0.55, 1.0, rim));
            glass += (periodicFbm(u, v, 3, 3, 31) - 0.5) * 0.05;  // faint smudges
            Colour c{glass * 0.97, glass * 0.99, glass, 1};
            c = scaled(c, 1 - 0.3 * at(masks.shade, x, y));
            blend(c, {1, 1, 1, 1}, at(masks.light, x, y));
            at(canvas, x, y) = c;
        }
    }
    return canvas;
}

}  // namespace assetgen
