#include "tools/assetgen/solids/geometry.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 normalised(Vec3 a) { return a * (1.0 / std::sqrt(dot(a, a))); }

namespace {

constexpr double kEpsilon = 1e-9;

// Corners of a face in counter-clockwise order seen from the tip of its
// outward normal: by angle in a right-handed frame (u, w, normal).
void windCounterClockwise(const std::vector<Vec3>& points, std::vector<int>& face, Vec3 normal) {
    Vec3 centre{0, 0, 0};
    for (int i : face) centre = centre + points[i];
    centre = centre * (1.0 / face.size());
    Vec3 u = normalised(points[face[0]] - centre);
    Vec3 w = cross(normal, u);
    std::vector<std::pair<double, int>> byAngle;
    for (int i : face) {
        Vec3 p = points[i] - centre;
        double angle = std::atan2(dot(p, w), dot(p, u));
        if (angle < -kEpsilon) angle += 2 * 3.14159265358979323846;
        byAngle.push_back({angle, i});
    }
    std::sort(byAngle.begin(), byAngle.end());
    for (size_t k = 0; k < face.size(); ++k) face[k] = byAngle[k].second;
}

Solid centredOnUnitSphere(std::vector<Vec3> points) {
    for (Vec3& p : points) p = normalised(p);
    return hullOf(points);
}

}  // namespace

Solid hullOf(const std::vector<Vec3>& points) {
    Solid solid;
    solid.vertices = points;
    int n = static_cast<int>(points.size());
    std::vector<std::vector<int>> seen;  // sorted corner sets found so far
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            for (int k = j + 1; k < n; ++k) {
                Vec3 normal = cross(points[j] - points[i], points[k] - points[i]);
                double length = std::sqrt(dot(normal, normal));
                if (length < kEpsilon) continue;
                normal = normal * (1.0 / length);
                double offset = dot(normal, points[i]);
                if (offset < 0) {
                    normal = normal * -1.0;
                    offset = -offset;
                }
                bool supporting = true;
                std::vector<int> face;
                for (int m = 0; m < n && supporting; ++m) {
                    double d = dot(normal, points[m]) - offset;
                    if (d > kEpsilon) supporting = false;
                    else if (d > -kEpsilon) face.push_back(m);
                }
                if (!supporting || std::find(seen.begin(), seen.end(), face) != seen.end()) continue;
                seen.push_back(face);
                windCounterClockwise(points, face, normal);
                solid.faces.push_back(face);
            }
        }
    }
    return solid;
}

Vec3 faceCentre(const Solid& solid, int face) {
    Vec3 centre{0, 0, 0};
    for (int i : solid.faces[face]) centre = centre + solid.vertices[i];
    return centre * (1.0 / solid.faces[face].size());
}

Vec3 faceNormal(const Solid& solid, int face) {
    const std::vector<int>& f = solid.faces[face];
    Vec3 a = solid.vertices[f[0]], b = solid.vertices[f[1]], c = solid.vertices[f[2]];
    return normalised(cross(b - a, c - a));
}

std::vector<std::pair<int, int>> edgesOf(const Solid& solid) {
    std::vector<std::pair<int, int>> edges;
    for (const auto& face : solid.faces) {
        for (size_t k = 0; k < face.size(); ++k) {
            int a = face[k], b = face[(k + 1) % face.size()];
            std::pair<int, int> edge{std::min(a, b), std::max(a, b)};
            if (std::find(edges.begin(), edges.end(), edge) == edges.end()) edges.push_back(edge);
        }
    }
    return edges;
}

void turnSolid(Solid& solid, Vec3 from, Vec3 to) {
    Vec3 axis = cross(from, to);
    double s = std::sqrt(dot(axis, axis));
    double c = dot(from, to);
    if (s < kEpsilon) {
        if (c > 0) return;
        // Half a turn about any axis across `from`.
        axis = std::fabs(from.x) < 0.9 ? cross(from, {1, 0, 0}) : cross(from, {0, 1, 0});
        axis = normalised(axis);
        s = 0;
        c = -1;
    } else {
        axis = axis * (1.0 / s);
    }
    for (Vec3& v : solid.vertices) {
        // Rodrigues' rotation formula.
        v = v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1 - c));
    }
}

void spinSolid(Solid& solid, double radians) {
    double c = std::cos(radians), s = std::sin(radians);
    for (Vec3& v : solid.vertices) v = {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
}

Solid tetrahedron() {
    Solid solid = centredOnUnitSphere({{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}});
    // Opposite the first corner lies a face: that corner up, the face down.
    turnSolid(solid, normalised({1, 1, 1}), {0, 1, 0});
    return solid;
}

Solid hexahedron() {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i) corners.push_back({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
    return centredOnUnitSphere(corners);
}

Solid octahedron() {
    return centredOnUnitSphere({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}});
}

Solid icosahedron() {
    const double phi = (1 + std::sqrt(5.0)) / 2;
    std::vector<Vec3> corners;
    for (double a : {-1.0, 1.0}) {
        for (double b : {-phi, phi}) {
            corners.push_back({0, a, b});
            corners.push_back({a, b, 0});
            corners.push_back({b, 0, a});
        }
    }
    Solid solid = centredOnUnitSphere(corners);
    // Rest it on a face: it lands flat on the glass and its mirror image
    // meets it face to face; a face-down icosahedron also reads as a gem
    // rather than a spinning top.
    turnSolid(solid, faceNormal(solid, 0), {0, -1, 0});
    return solid;
}

Solid dodecahedron() {
    Solid ico = icosahedron();
    std::vector<Vec3> centres;
    for (int f = 0; f < static_cast<int>(ico.faces.size()); ++f) centres.push_back(faceCentre(ico, f));
    return centredOnUnitSphere(centres);
}

}  // namespace assetgen
