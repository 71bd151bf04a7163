// writeSolids: the five polyhedron description files. One face per line,
// its corners as "{x, y, z}" groups back to back, counter-clockwise seen
// from outside. Every corner is printed the same way wherever it appears,
// so the loader's exact comparison merges the faces' shared corners.
//
// The face order matters to the scene: the icosahedron's faces take their
// colours from a table of four by face index (index mod 4), the
// dodecahedron's from a table of reds by index. The orders below are chosen
// so that no two faces sharing an edge get the same colour.
#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/solids/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace assetgen {

namespace {

std::vector<std::vector<bool>> faceNeighbours(const Solid& solid) {
    size_t n = solid.faces.size();
    std::vector<std::vector<bool>> adjacent(n, std::vector<bool>(n, false));
    for (size_t a = 0; a < n; ++a) {
        for (size_t b = a + 1; b < n; ++b) {
            int shared = 0;
            for (int i : solid.faces[a])
                shared += std::count(solid.faces[b].begin(), solid.faces[b].end(), i) ? 1 : 0;
            adjacent[a][b] = adjacent[b][a] = shared >= 2;
        }
    }
    return adjacent;
}

// Puts the faces into slots 0..n-1, trying faces in the order given, so that
// `clash(slotA, slotB)` holds for no two neighbouring faces and `fits(face,
// slot)` for every face. Returns the faces in slot order (empty if none).
std::vector<int> arrangeFaces(const Solid& solid, const std::vector<int>& candidates,
                              const std::function<bool(int, int)>& fits,
                              const std::function<bool(int, int)>& clash) {
    auto adjacent = faceNeighbours(solid);
    size_t n = solid.faces.size();
    std::vector<int> slotOf(n, -1), order;
    std::function<bool(size_t)> place = [&](size_t slot) {
        if (slot == n) return true;
        for (int face : candidates) {
            if (slotOf[face] >= 0 || !fits(face, static_cast<int>(slot))) continue;
            bool ok = true;
            for (size_t other = 0; other < n && ok; ++other)
                if (adjacent[face][other] && slotOf[other] >= 0 && clash(static_cast<int>(slot), slotOf[other]))
                    ok = false;
            if (!ok) continue;
            slotOf[face] = static_cast<int>(slot);
            order.push_back(face);
            if (place(slot + 1)) return true;
            order.pop_back();
            slotOf[face] = -1;
        }
        return false;
    };
    if (!place(0)) return {};
    return order;
}

// Faces from the bottom up, and round the vertical axis within a level.
std::vector<int> bottomUp(const Solid& solid) {
    std::vector<int> faces(solid.faces.size());
    for (size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<int>(i);
    auto key = [&](int f) {
        Vec3 c = faceCentre(solid, f);
        return std::make_pair(std::lround(c.y * 1e6), std::atan2(c.z, c.x));
    };
    std::stable_sort(faces.begin(), faces.end(), [&](int a, int b) { return key(a) < key(b); });
    return faces;
}

void reorderFaces(Solid& solid, const std::vector<int>& order) {
    std::vector<std::vector<int>> faces;
    for (int f : order) faces.push_back(solid.faces[f]);
    solid.faces = faces;
}

// Icosahedron: colour = index mod 4; each of the four colours on five faces,
// no two neighbours alike.
void orderIcosahedronFaces(Solid& solid) {
    std::vector<int> order = arrangeFaces(
        solid, bottomUp(solid), [](int, int) { return true; },
        [](int slotA, int slotB) { return slotA % 4 == slotB % 4; });
    if (!order.empty()) reorderFaces(solid, order);
}

// Dodecahedron: reds by index, dark at the bottom and bright at the top (as
// if lit from above); indices 3 and 10, 6 and 9, 8 and 11 share a red, so
// those may not be neighbours.
void orderDodecahedronFaces(Solid& solid) {
    const double reds[12] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.7, 0.4, 0.9};
    std::vector<int> levels = bottomUp(solid);
    std::vector<int> levelOf(solid.faces.size());
    for (size_t i = 0; i < levels.size(); ++i) levelOf[levels[i]] = static_cast<int>(i) / 3;
    std::vector<int> order = arrangeFaces(
        solid, levels, [&](int face, int slot) { return levelOf[face] == slot / 3; },
        [&](int slotA, int slotB) { return reds[slotA] == reds[slotB]; });
    if (!order.empty()) reorderFaces(solid, order);
}

std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    return s == "-0.000000" ? "0.000000" : s;
}

bool writeSolid(const std::string& path, const Solid& solid) {
    std::string text;
    for (const auto& face : solid.faces) {
        for (int i : face) {
            const Vec3& v = solid.vertices[i];
            text += "{" + coordinate(v.x) + ", " + coordinate(v.y) + ", " + coordinate(v.z) + "}";
        }
        text += "\n";
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file) ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

bool writeSolids(const std::string& outDir) {
    Solid ico = icosahedron();
    orderIcosahedronFaces(ico);
    Solid dodeca = dodecahedron();
    orderDodecahedronFaces(dodeca);

    bool ok = writeSolid(outDir + "/tetrahed.txt", tetrahedron());
    ok = writeSolid(outDir + "/hexahed.txt", hexahedron()) && ok;
    ok = writeSolid(outDir + "/octahed.txt", octahedron()) && ok;
    ok = writeSolid(outDir + "/dodecahed.txt", dodeca) && ok;
    ok = writeSolid(outDir + "/icosahed.txt", ico) && ok;
    return ok;
}

}  // namespace assetgen
