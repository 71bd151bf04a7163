#include "tools/assetgen/pictures/emblem.h"

#include "tools/assetgen/solids/geometry.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

double lineCoverage(double distance, double width) {
    return clamp01(width * 0.5 + 0.5 - distance) * std::min(1.0, width);
}

Mask ringMask(int width, int height, const OrbitRing& ring, RingHalf half) {
    Mask mask = makeMask(width, height);
    double c = std::cos(ring.angle), s = std::sin(ring.angle);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double dx = x + 0.5 - ring.cx, dy = y + 0.5 - ring.cy;
            double lx = c * dx + s * dy, ly = -s * dx + c * dy;
            if (half == RingHalf::back && ly > 0) continue;
            if (half == RingHalf::front && ly <= 0) continue;
            double ex = lx / ring.rx, ey = ly / ring.ry;
            double f = std::sqrt(ex * ex + ey * ey);
            if (f == 0) continue;
            // Distance to the ellipse to first order: (f - 1) over the
            // length of f's gradient.
            double gx = lx / (ring.rx * ring.rx * f), gy = ly / (ring.ry * ring.ry * f);
            double d = std::fabs(f - 1) / std::sqrt(gx * gx + gy * gy);
            at(mask, x, y) = lineCoverage(d, ring.width);
        }
    }
    return mask;
}

Point ringPoint(const OrbitRing& ring, double t) {
    double lx = ring.rx * std::cos(t), ly = ring.ry * std::sin(t);
    double c = std::cos(ring.angle), s = std::sin(ring.angle);
    return {ring.cx + c * lx - s * ly, ring.cy + s * lx + c * ly};
}

Colour chromeColour(double along, double nx, double ny) {
    double e = along + 0.45 * ny;
    Colour c;
    if (e < 0.5) {
        // Sky: white at the top, steel blue down to the horizon.
        c = mix(rgb(250, 252, 255), rgb(126, 160, 214), smoothstep(-0.2, 0.5, e));
    } else {
        // Ground: dark navy right under the horizon, warming to amber.
        c = mix(rgb(16, 24, 62), rgb(226, 142, 52), smoothstep(0.5, 1.15, e));
    }
    // A highlight from the upper left.
    double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
    double lx = -0.45, ly = -0.55, lz = 0.70;
    double spec = std::pow(std::max(0.0, nx * lx + ny * ly + nz * lz), 24);
    blend(c, {1, 1, 1, 1}, 0.8 * spec);
    return c;
}

void bevelNormal(const Mask& softened, int x, int y, double strength, double& nx, double& ny) {
    auto sample = [&](int sx, int sy) {
        sx = std::clamp(sx, 0, softened.width - 1);
        sy = std::clamp(sy, 0, softened.height - 1);
        return at(softened, sx, sy);
    };
    double gx = (sample(x + 1, y) - sample(x - 1, y)) * 0.5 * strength;
    double gy = (sample(x, y + 1) - sample(x, y - 1)) * 0.5 * strength;
    double length = std::sqrt(gx * gx + gy * gy + 1);
    nx = -gx / length;
    ny = -gy / length;
}

std::vector<WireEdge> wireIcosahedron(double cx, double cy, double radius) {
    Solid solid = icosahedron();
    // A three-quarter view: turned about the vertical, then tipped towards
    // the viewer so the top shows.
    spinSolid(solid, 0.35);
    double tilt = 0.42, c = std::cos(tilt), s = std::sin(tilt);
    for (Vec3& v : solid.vertices) v = {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
    std::vector<WireEdge> edges;
    for (auto [a, b] : edgesOf(solid)) {
        const Vec3 &va = solid.vertices[a], &vb = solid.vertices[b];
        edges.push_back({{cx + radius * va.x, cy - radius * va.y},
                         {cx + radius * vb.x, cy - radius * vb.y},
                         va.z,
                         vb.z});
    }
    return edges;
}

}  // namespace assetgen
