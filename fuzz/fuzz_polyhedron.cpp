// libFuzzer target: any bytes as a polyhedron description file. A solid
// that loads must be whole: indices inside the vertex table, the lowest
// vertex the lowest, every coordinate finite; a file refused must say why.
#include "assets/polyhedron.h"

#include <cmath>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static std::FILE* progress = std::fopen("/dev/null", "w");
    if (size == 0 || !progress) return 0;
    std::FILE* file = fmemopen(const_cast<unsigned char*>(data), size, "r");
    if (!file) return 0;
    LoadReport report;
    Polyhedron* solid = readPolyhedron(file, "fuzz.txt", progress, &report);
    std::fclose(file);
    if (!solid) {
        if (report.message.rfind("error ", 0) != 0) __builtin_trap();
        return 0;
    }
    if (solid->vertexCount < 2 || solid->lowestVertex < 0 ||
        solid->lowestVertex >= solid->vertexCount) {
        __builtin_trap();
    }
    for (int i = 0; i < solid->vertexCount; i++) {
        const PolyVertex& v = solid->vertices[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) __builtin_trap();
        if (v.y < solid->vertices[solid->lowestVertex].y) __builtin_trap();
    }
    for (int f = 0; f < solid->faceCount; f++) {
        for (int c = 0; c < solid->faces[f].count; c++) {
            int index = solid->faces[f].indices[c];
            if (index < 0 || index >= solid->vertexCount) __builtin_trap();
        }
    }
    freePolyhedron(solid);
    return 0;
}
