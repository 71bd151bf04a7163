// The five polyhedron files in data/: closed, outward-wound, centred solids
// in the loader's format, resting as the polyhedra scene expects, with face
// orders that keep neighbouring faces in different colours.
#include "assets/polyhedron.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Vertex {
    float x, y, z;
};

struct SolidFile {
    std::vector<Vertex> vertices;
    std::vector<std::vector<int>> faces;
    bool ok = false;
};

// Reads the polyhedron format: one face per line, corners as "{x, y, z}"
// groups back to back from the line's first character; equal points (as
// floats) are one vertex. Stricter than the loader: a line must be nothing
// but groups, so stray text in a generated file fails the test.
SolidFile readSolid(const std::string& name) {
    SolidFile solid;
    const char* source = std::getenv("DEMO_SOURCE_DIR");
    std::ifstream in(std::string(source ? source : ".") + "/data/" + name);
    if (!in) return solid;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2) continue;
        std::vector<int> face;
        const char* p = line.c_str();
        while (*p == '{') {
            Vertex v;
            int used = 0;
            if (std::sscanf(p, "{%f, %f, %f}%n", &v.x, &v.y, &v.z, &used) != 3 || used == 0) return solid;
            p += used;
            int index = -1;
            for (size_t i = 0; i < solid.vertices.size() && index < 0; ++i) {
                const Vertex& w = solid.vertices[i];
                if (w.x == v.x && w.y == v.y && w.z == v.z) index = static_cast<int>(i);
            }
            if (index < 0) {
                index = static_cast<int>(solid.vertices.size());
                solid.vertices.push_back(v);
            }
            face.push_back(index);
        }
        if (*p != '\0' && *p != '\r') return solid;
        solid.faces.push_back(face);
    }
    solid.ok = true;
    return solid;
}

struct Expected {
    const char* file;
    int faces, vertices, corners;
};

const Expected kSolids[] = {
    {"tetrahed.txt", 4, 4, 3},   {"hexahed.txt", 6, 8, 4},    {"octahed.txt", 8, 6, 3},
    {"dodecahed.txt", 12, 20, 5}, {"icosahed.txt", 20, 12, 3},
};

double length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

// Unordered edge -> the faces that hold it.
std::map<std::pair<int, int>, std::vector<int>> edgeFaces(const SolidFile& solid) {
    std::map<std::pair<int, int>, std::vector<int>> edges;
    for (size_t f = 0; f < solid.faces.size(); ++f) {
        const auto& face = solid.faces[f];
        for (size_t k = 0; k < face.size(); ++k) {
            int a = face[k], b = face[(k + 1) % face.size()];
            edges[{std::min(a, b), std::max(a, b)}].push_back(static_cast<int>(f));
        }
    }
    return edges;
}

}  // namespace

TEST(AssetgenSolids, EachIsAClosedCentredRegularSolidWoundCounterClockwiseFromOutside) {
    for (const Expected& expected : kSolids) {
        SCOPED_TRACE(expected.file);
        SolidFile solid = readSolid(expected.file);
        ASSERT_TRUE(solid.ok) << "unreadable or not in the polyhedron format";
        ASSERT_EQ(static_cast<int>(solid.faces.size()), expected.faces);
        ASSERT_EQ(static_cast<int>(solid.vertices.size()), expected.vertices);

        // Closed: every edge in exactly two faces, and Euler's V - E + F = 2.
        auto edges = edgeFaces(solid);
        for (const auto& [edge, faces] : edges)
            EXPECT_EQ(faces.size(), 2u) << "edge " << edge.first << "-" << edge.second;
        EXPECT_EQ(expected.vertices - static_cast<int>(edges.size()) + expected.faces, 2);

        // Consistently wound: each directed edge occurs once (neighbours run
        // a shared edge in opposite directions).
        std::set<std::pair<int, int>> directed;
        for (const auto& face : solid.faces) {
            EXPECT_EQ(static_cast<int>(face.size()), expected.corners);
            for (size_t k = 0; k < face.size(); ++k)
                EXPECT_TRUE(directed.insert({face[k], face[(k + 1) % face.size()]}).second);
        }

        // Centred: the corners average to the origin and, the solids being
        // regular, all lie at one distance from it.
        double cx = 0, cy = 0, cz = 0;
        for (const Vertex& v : solid.vertices) {
            cx += v.x;
            cy += v.y;
            cz += v.z;
        }
        int n = expected.vertices;
        EXPECT_LT(length(cx / n, cy / n, cz / n), 1e-5);
        double radius = length(solid.vertices[0].x, solid.vertices[0].y, solid.vertices[0].z);
        for (const Vertex& v : solid.vertices) EXPECT_NEAR(length(v.x, v.y, v.z), radius, 1e-5);

        // Outward: counter-clockwise seen from outside means the face's
        // (Newell) normal points away from the centre, and each face is flat.
        for (size_t f = 0; f < solid.faces.size(); ++f) {
            const auto& face = solid.faces[f];
            double nx = 0, ny = 0, nz = 0, mx = 0, my = 0, mz = 0;
            for (size_t k = 0; k < face.size(); ++k) {
                const Vertex& a = solid.vertices[face[k]];
                const Vertex& b = solid.vertices[face[(k + 1) % face.size()]];
                nx += (a.y - b.y) * (a.z + b.z);
                ny += (a.z - b.z) * (a.x + b.x);
                nz += (a.x - b.x) * (a.y + b.y);
                mx += a.x;
                my += a.y;
                mz += a.z;
            }
            double nl = length(nx, ny, nz);
            double outward = (nx * mx + ny * my + nz * mz) / (nl * length(mx, my, mz));
            EXPECT_GT(outward, 0.999) << "face " << f << " is not wound counter-clockwise from outside";
            for (int i : face) {
                const Vertex& v = solid.vertices[i];
                double offset = (nx * v.x + ny * v.y + nz * v.z) / nl;
                EXPECT_NEAR(offset, (nx * mx + ny * my + nz * mz) / nl / face.size(), 1e-5);
            }
        }
    }
}

TEST(AssetgenSolids, IcosahedronRestsOnAFaceAndTheDodecahedronInsideItOnAVertex) {
    // The bounce tests the lowest corner against the floor: a face-down
    // icosahedron has three lowest corners, forming one face.
    SolidFile ico = readSolid("icosahed.txt");
    ASSERT_TRUE(ico.ok);
    float lowest = ico.vertices[0].y;
    for (const Vertex& v : ico.vertices) lowest = std::min(lowest, v.y);
    std::set<int> bottom;
    for (size_t i = 0; i < ico.vertices.size(); ++i)
        if (ico.vertices[i].y == lowest) bottom.insert(static_cast<int>(i));
    ASSERT_EQ(bottom.size(), 3u);
    bool isFace = false;
    for (const auto& face : ico.faces) isFace = isFace || std::set<int>(face.begin(), face.end()) == bottom;
    EXPECT_TRUE(isFace);

    SolidFile dodeca = readSolid("dodecahed.txt");
    ASSERT_TRUE(dodeca.ok);
    int lowestCount = 0;
    float dodecaLowest = dodeca.vertices[0].y;
    for (const Vertex& v : dodeca.vertices) dodecaLowest = std::min(dodecaLowest, v.y);
    for (const Vertex& v : dodeca.vertices) lowestCount += v.y == dodecaLowest ? 1 : 0;
    EXPECT_EQ(lowestCount, 1);
}

TEST(AssetgenSolids, NeighbouringFacesNeverShareAColour) {
    // The icosahedron's faces are coloured by index mod 4, the
    // dodecahedron's by a table of reds by index.
    SolidFile ico = readSolid("icosahed.txt");
    ASSERT_TRUE(ico.ok);
    for (const auto& [edge, faces] : edgeFaces(ico)) {
        ASSERT_EQ(faces.size(), 2u);
        EXPECT_NE(faces[0] % 4, faces[1] % 4) << "faces " << faces[0] << " and " << faces[1];
    }
    const double reds[20] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.7,
                             0.4, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1};
    SolidFile dodeca = readSolid("dodecahed.txt");
    ASSERT_TRUE(dodeca.ok);
    for (const auto& [edge, faces] : edgeFaces(dodeca)) {
        ASSERT_EQ(faces.size(), 2u);
        EXPECT_NE(reds[faces[0]], reds[faces[1]]) << "faces " << faces[0] << " and " << faces[1];
    }
}

TEST(AssetgenSolids, TheDemosLoaderReadsTheSameSolidsAndScalesThemToTheUnitSphere) {
    for (const Expected& expected : kSolids) {
        SCOPED_TRACE(expected.file);
        SolidFile own = readSolid(expected.file);
        ASSERT_TRUE(own.ok);
        std::string path = std::string(std::getenv("DEMO_SOURCE_DIR") ? std::getenv("DEMO_SOURCE_DIR") : ".") +
                           "/data/" + expected.file;
        std::FILE* file = std::fopen(path.c_str(), "r");
        ASSERT_NE(file, nullptr);
        std::FILE* progress = std::tmpfile();
        Polyhedron* solid = readPolyhedron(file, path.c_str(), progress, nullptr);
        std::fclose(file);
        std::fclose(progress);
        ASSERT_NE(solid, nullptr);
        EXPECT_EQ(solid->faceCount, expected.faces);
        EXPECT_EQ(solid->vertexCount, expected.vertices);
        // The same corners merged the same way: identical index lists.
        for (int f = 0; f < solid->faceCount && f < static_cast<int>(own.faces.size()); ++f) {
            ASSERT_EQ(solid->faces[f].count, static_cast<int>(own.faces[f].size()));
            for (int k = 0; k < solid->faces[f].count; ++k) EXPECT_EQ(solid->faces[f].indices[k], own.faces[f][k]);
        }
        // Scaled to span 2 from vertex 0: the solids with opposite corners
        // end on the unit sphere; the tetrahedron with edges 2 long.
        const PolyVertex& low = solid->vertices[solid->lowestVertex];
        std::string name = expected.file;
        if (name == "icosahed.txt") {
            EXPECT_NEAR(low.y, -0.7946545, 1e-5);  // on a face
        }
        if (name == "dodecahed.txt") {
            EXPECT_NEAR(low.y, -1.0, 1e-5);  // on a vertex
        }
        if (name == "tetrahed.txt") {
            EXPECT_NEAR(vertexDistance(solid->vertices[0], solid->vertices[1]), 2.0, 1e-5);
        } else {
            for (int i = 0; i < solid->vertexCount; ++i) {
                const PolyVertex& v = solid->vertices[i];
                EXPECT_NEAR(length(v.x, v.y, v.z), 1.0, 1e-5);
            }
        }
        freePolyhedron(solid);
    }
}
