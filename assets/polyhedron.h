// Polyhedron description files: faces as runs of "{x, y, z}" corner groups,
// merged into one vertex table, scaled to a fixed size. The record also
// carries the polyhedra scene's per-solid animation state.
//
// The loader allocates the record and its arrays with malloc/realloc; the
// program keeps them for one pass (the scene's set-up frees the last pass's
// with freePolyhedron before loading new ones). Numbers are read and printed
// in the "C" locale whatever the user's locale, so a file reads the same
// everywhere.
#pragma once

#include "assets/load_report.h"

#include <cstdint>
#include <cstdio>

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

// Reads, merges, scales to span 2.0 and prints progress on standard output
// ("opening <file>", then readPolyhedron's lines); when the file cannot be
// used it returns null and `report` says why in one line, "error opening
// <file>", "error reading <file>" or "error in <file>[, line N]: <what>"
// (the caller cannot go on without the solid: the start-up fails).
Polyhedron* loadPolyhedron(const char* path, LoadReport* report);
void scalePolyhedron(Polyhedron* solid, float span);
float vertexDistance(const PolyVertex& a, const PolyVertex& b);

// The loader's work on an open file: the face lines and the summary on
// `progress`. Null when the file cannot be used, with the line that says
// why in `report` (a face line left open on `progress` is ended first);
// nothing is left allocated then. `path` only names the file in the lines.
Polyhedron* readPolyhedron(std::FILE* file, const char* path, std::FILE* progress,
                           LoadReport* report);
void freePolyhedron(Polyhedron* solid);
