// Shared by the polyhedra scene's tests: solids built in code (the regular
// icosahedron and dodecahedron with corners 1 from their centre, faces wound
// counter-clockwise seen from outside, as the loader leaves them), small
// floor textures, and the virtual clock set to exact binary times.
#pragma once

#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "support/test_backends.h"
#include "support/test_window.h"
#include "scenes/scene_gl.h"
#include "scenes/polyhedra/precise_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace polytest {

// Counts per second of the tests' virtual clock: a power of two, so every
// time the tests set is exact in both the double clock and the float mark.
constexpr std::int64_t kFrequency = std::int64_t(1) << 20;

inline void startVirtualClock(std::int64_t frequency = kFrequency) {
    platform::useBackends(testBackendsOnVirtualClock(frequency));
    counterFrequency = platform::performanceFrequency();
    clockMarkSeconds = 0.0f;
}

// The start-up's part before the scene's set-up, on a built window: the
// shader context, the vertex profile and the multitexture entry points, as
// the start-up fetches them. Every test of the scene needs all of them: a
// missing one is a failure, never a reason to skip (the suite's display has
// GL, GLSL and multitexture).
inline ::testing::AssertionResult preparedLikeStartUp(const TestWindow& window) {
    if (!window.ok) return ::testing::AssertionFailure() << "no GL window: " << SDL_GetError();
    sceneGl.cgContext = shader::createContext();
    sceneGl.vertexProfile = shader::latestProfile(shader::Stage::vertex);
    if (SDL_GL_ExtensionSupported("GL_ARB_multitexture")) {
        sceneGl.glActiveTextureARB =
            reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(SDL_GL_GetProcAddress("glActiveTextureARB"));
        sceneGl.glMultiTexCoord2fARB =
            reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(SDL_GL_GetProcAddress("glMultiTexCoord2fARB"));
    }
    if (sceneGl.cgContext == 0) return ::testing::AssertionFailure() << "no shader context";
    if (sceneGl.vertexProfile == 0) return ::testing::AssertionFailure() << "no GLSL vertex profile";
    if (!sceneGl.glActiveTextureARB || !sceneGl.glMultiTexCoord2fARB)
        return ::testing::AssertionFailure() << "no multitexture entry points";
    return ::testing::AssertionSuccess();
}

// Moves the virtual clock to `seconds` (forwards or back).
inline void setClock(double seconds) {
    std::int64_t target =
        static_cast<std::int64_t>(std::llround(seconds * double(platform::performanceFrequency())));
    platform::advanceVirtualClock(target - platform::performanceCounter());
}

struct Vec3 {
    double x, y, z;
};

inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 unit(const Vec3& v) {
    double n = std::sqrt(dot(v, v));
    return {v.x / n, v.y / n, v.z / n};
}

// A solid record owned by a test, released as the loader's own are.
struct SolidRelease {
    void operator()(Polyhedron* solid) const { freePolyhedron(solid); }
};
using Solid = std::unique_ptr<Polyhedron, SolidRelease>;

// A record as the loader hands it over: malloc'd arrays, lowest corner
// found, animation fields zero.
inline Polyhedron* makeRecord(const std::vector<Vec3>& corners,
                              const std::vector<std::vector<int>>& faces) {
    auto* solid = static_cast<Polyhedron*>(std::calloc(1, sizeof(Polyhedron)));
    solid->vertexCount = static_cast<std::int32_t>(corners.size());
    solid->vertices = static_cast<PolyVertex*>(std::calloc(corners.size() + 1, sizeof(PolyVertex)));
    for (std::size_t i = 0; i < corners.size(); ++i) {
        solid->vertices[i] = {float(corners[i].x), float(corners[i].y), float(corners[i].z)};
        if (solid->vertices[i].y < solid->vertices[solid->lowestVertex].y)
            solid->lowestVertex = static_cast<std::int32_t>(i);
    }
    solid->faceCount = static_cast<std::int32_t>(faces.size());
    solid->faces = static_cast<PolyFace*>(std::calloc(faces.size() + 1, sizeof(PolyFace)));
    for (std::size_t f = 0; f < faces.size(); ++f) {
        solid->faces[f].count = static_cast<std::int32_t>(faces[f].size());
        solid->faces[f].indices =
            static_cast<std::int32_t*>(std::calloc(faces[f].size() + 1, sizeof(std::int32_t)));
        std::copy(faces[f].begin(), faces[f].end(), solid->faces[f].indices);
    }
    return solid;
}

// The convex solid with these corners whose faces lie across the given
// directions: each face takes the corners farthest along its direction,
// ordered counter-clockwise seen from outside.
inline Polyhedron* makeSolid(std::vector<Vec3> corners, const std::vector<Vec3>& directions) {
    for (Vec3& c : corners) c = unit(c);
    std::vector<std::vector<int>> faces;
    for (const Vec3& raw : directions) {
        Vec3 n = unit(raw);
        double best = -1e9;
        for (const Vec3& c : corners) best = std::max(best, dot(c, n));
        std::vector<int> face;
        for (std::size_t i = 0; i < corners.size(); ++i)
            if (dot(corners[i], n) > best - 1e-6) face.push_back(static_cast<int>(i));
        Vec3 a = unit(cross(n, std::fabs(n.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
        Vec3 b = cross(n, a);
        std::sort(face.begin(), face.end(), [&](int i, int j) {
            return std::atan2(dot(corners[i], b), dot(corners[i], a)) <
                   std::atan2(dot(corners[j], b), dot(corners[j], a));
        });
        faces.push_back(face);
    }
    return makeRecord(corners, faces);
}

inline std::vector<Vec3> icosahedronCorners() {
    const double p = (1 + std::sqrt(5.0)) / 2;
    std::vector<Vec3> v;
    for (double s : {-1.0, 1.0})
        for (double t : {-1.0, 1.0}) {
            v.push_back({0, s, t * p});
            v.push_back({s, t * p, 0});
            v.push_back({t * p, 0, s});
        }
    return v;
}

// The icosahedron's face centres: the corners of its dual, the
// dodecahedron, in the same orientation.
inline std::vector<Vec3> dodecahedronCorners() {
    std::vector<Vec3> v = icosahedronCorners();
    std::vector<Vec3> centres;
    auto distance = [&](int i, int j) {
        Vec3 d{v[i].x - v[j].x, v[i].y - v[j].y, v[i].z - v[j].z};
        return std::sqrt(dot(d, d));
    };
    const double edge = 2.0;  // of the corners above, before scaling
    auto isEdge = [&](int i, int j) { return std::fabs(distance(i, j) - edge) < 1e-9; };
    int n = static_cast<int>(v.size());
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            for (int k = j + 1; k < n; ++k)
                if (isEdge(i, j) && isEdge(j, k) && isEdge(i, k))
                    centres.push_back(unit({v[i].x + v[j].x + v[k].x, v[i].y + v[j].y + v[k].y,
                                            v[i].z + v[j].z + v[k].z}));
    return centres;
}

// Each is the other's face directions.
inline Polyhedron* makeIcosahedron() { return makeSolid(icosahedronCorners(), dodecahedronCorners()); }
inline Polyhedron* makeDodecahedron() { return makeSolid(dodecahedronCorners(), icosahedronCorners()); }

// A record with no faces and no corners.
inline Polyhedron* makeEmptySolid() { return makeRecord({}, {}); }

inline double lowestY(const Polyhedron* solid) { return solid->vertices[solid->lowestVertex].y; }

// An RGBA texture of `size` x `size` texels from a colour function, sampled
// nearest so read-backs show texels unchanged.
template <typename Colour>
GLuint makeTexture(int size, Colour colour) {
    std::vector<std::uint8_t> texels(size * size * 4);
    for (int t = 0; t < size; ++t)
        for (int s = 0; s < size; ++s) {
            std::uint32_t rgba = colour(s, t);
            for (int k = 0; k < 4; ++k) texels[(t * size + s) * 4 + k] = (rgba >> (24 - 8 * k)) & 0xFF;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

}  // namespace polytest

// Under ASan+UBSan: leaks that SDL, D-Bus and Mesa keep on purpose are theirs.
// (No slow unwinding on malloc here: llvmpipe's JIT allocates while holding
// the unwinder's lock, and that deadlocks.)
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\nleak:libGLX_mesa.so\nleak:libSDL2-2.0.so\n";
}
