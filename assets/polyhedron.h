// Polyhedron description files: faces as runs of "{x, y, z}" corner groups,
// merged into one vertex table, scaled to a fixed size. The record also
// carries the polyhedra scene's per-solid animation state.
//
// The loader allocates the record and its arrays; the caller keeps them for
// the whole run.
#pragma once

#include <cstdint>

struct PolyVertex {
    float x, y, z;
};

struct PolyFace {
    std::int32_t* indices;  // count corners, in the order the line lists them
    std::int32_t count;
};

struct Polyhedron {
    PolyFace* faces;
    std::int32_t faceCount;
    PolyVertex* vertices;
    std::int32_t vertexCount;
    std::int32_t lowestVertex;  // index of the corner with the smallest y
    // Animation state of the polyhedra scene.
    double collisionElapsed;
    std::int32_t rising;
    float lastCollision;
    float actualTime;
    float amplitude;
    std::int32_t colourSet;
};

// Reads, merges, scales to span 2.0 and prints progress; ends the process
// when the file cannot be used.
Polyhedron* loadPolyhedron(const char* path);
void scalePolyhedron(Polyhedron* solid, float span);
float vertexDistance(const PolyVertex& a, const PolyVertex& b);
