// Polyhedron description files: reading, vertex merging, scaling.
#include "assets/polyhedron.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <map>
#include <string>

namespace {

// fgets into a buffer of this size: longer lines come in pieces.
constexpr int kLineBufferSize = 4096;

// Makes the "C" locale current for this thread while it lives, so that
// "%f" reads and prints a decimal point whatever the user's locale says.
#ifdef _WIN32
// Windows has no per-thread locale objects: the thread is given a locale of
// its own for the while, set to "C" for numbers, and both are put back.
struct CLocaleScope {
    int previousMode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    std::string previous;
    CLocaleScope() {
        if (const char* name = setlocale(LC_NUMERIC, nullptr)) previous = name;
        setlocale(LC_NUMERIC, "C");
    }
    ~CLocaleScope() {
        if (!previous.empty()) setlocale(LC_NUMERIC, previous.c_str());
        _configthreadlocale(previousMode);
    }
};
#else
struct CLocaleScope {
    locale_t previous = nullptr;
    CLocaleScope() {
        static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        if (cLocale) previous = uselocale(cLocale);
    }
    ~CLocaleScope() {
        if (previous) uselocale(previous);
    }
};
#endif

// fgets as it behaves on a stream opened in text mode where a line ends in a
// carriage return and a line feed: the pair arrives as one line feed, so such
// files read exactly like files with line feeds alone.
// Returns the number of characters stored.
int readLinePiece(std::FILE* file, char* buffer, int size) {
    int used = 0;
    while (used < size - 1) {
        int c = std::getc(file);
        if (c == EOF) break;
        if (c == '\r') {
            int next = std::getc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        buffer[used++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[used] = '\0';
    return used;
}

// Vertices are merged on exact float equality, under which -0 equals 0; NaN
// never gets this far. Adding +0 turns -0 into +0, so equal points have equal
// bit patterns and a map finds the one earlier vertex a point can match.
using VertexKey = std::array<std::uint32_t, 3>;

VertexKey keyOf(float x, float y, float z) {
    VertexKey key;
    float values[3] = {x + 0.0f, y + 0.0f, z + 0.0f};
    for (int i = 0; i < 3; i++) std::memcpy(&key[i], &values[i], sizeof(float));
    return key;
}

struct Reading {
    std::string path;
    std::FILE* progress;
    LoadReport* report;
    PolyFace* faces = nullptr;
    std::int32_t faceCount = 0;
    PolyVertex* vertices = nullptr;
    std::int32_t vertexCount = 0;
    std::int32_t lowestVertex = 0;
    std::map<VertexKey, std::int32_t> known;
    bool faceLineOpen = false;
};

void releaseReading(Reading& r) {
    for (std::int32_t i = 0; i < r.faceCount; i++) std::free(r.faces[i].indices);
    std::free(r.faces);
    std::free(r.vertices);
    r.faces = nullptr;
    r.vertices = nullptr;
    r.faceCount = r.vertexCount = 0;
}

// Ends the open progress line, so that what is wrong can follow on a line
// of its own, reports it and gives everything back.
std::nullptr_t fail(Reading& r, int line, const char* problem) {
    if (r.faceLineOpen) std::fputs("\n", r.progress);
    std::fflush(r.progress);
    std::string where = line > 0 ? ", line " + std::to_string(line) : std::string();
    reportLoad(r.report, "error in " + r.path + where + ": " + problem);
    releaseReading(r);
    return nullptr;
}

// The index of (x, y, z), appending it as a new vertex when it is new; -1
// when the table cannot grow.
std::int32_t vertexIndex(Reading& r, float x, float y, float z) {
    VertexKey key = keyOf(x, y, z);
    auto found = r.known.find(key);
    if (found != r.known.end()) return found->second;
    if (r.vertexCount == INT32_MAX) return -1;
    auto* grown = static_cast<PolyVertex*>(
        std::realloc(r.vertices, sizeof(PolyVertex) * (static_cast<std::size_t>(r.vertexCount) + 1)));
    if (!grown) return -1;
    r.vertices = grown;
    std::int32_t index = r.vertexCount++;
    r.vertices[index] = PolyVertex{x, y, z};
    // The first vertex compares with itself and stays; on equal y the
    // earlier vertex stays the lowest.
    if (y < r.vertices[r.lowestVertex].y) r.lowestVertex = index;
    r.known.emplace(key, index);
    return index;
}

// The largest distance from vertex 0, which scaling maps to the span.
float farthestFromFirst(const Polyhedron* solid) {
    float d = 0.0f;
    for (std::int32_t i = 1; i < solid->vertexCount; i++) {
        float distance = vertexDistance(solid->vertices[0], solid->vertices[i]);
        if (distance > d) d = distance;
    }
    return d;
}

}  // namespace

float vertexDistance(const PolyVertex& a, const PolyVertex& b) {
    float dx = a.x - b.x;
    float dy = a.y - b.y;
    float dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Only distances from vertex 0 count, and nothing is moved: the file's
// origin stays the origin. A solid without extent is left as it is rather
// than filled with infinities.
void scalePolyhedron(Polyhedron* solid, float span) {
    if (!solid || solid->vertexCount < 1) return;
    float d = farthestFromFirst(solid);
    if (!(d > 0.0f)) return;
    float factor = span / d;
    for (std::int32_t i = 0; i < solid->vertexCount; i++) {
        solid->vertices[i].x *= factor;
        solid->vertices[i].y *= factor;
        solid->vertices[i].z *= factor;
    }
}

Polyhedron* readPolyhedron(std::FILE* file, const char* path, std::FILE* progress,
                           LoadReport* report) {
    CLocaleScope cLocale;
    reportLoad(report, std::string());
    Reading r;
    r.path = path ? path : "(null)";
    r.progress = progress;
    r.report = report;
    char line[kLineBufferSize];
    int lineNumber = 1;
    bool pieceEndedLine = false;

    for (int stored; (stored = readLinePiece(file, line, kLineBufferSize)) > 0;
         lineNumber += pieceEndedLine ? 1 : 0) {
        pieceEndedLine = line[stored - 1] == '\n';
        // Like fgets, a NUL byte ends the line as far as scanning goes.
        std::size_t length = std::strlen(line);
        // An empty line, or one character and its line end.
        if (length < 3) continue;

        if (r.faceCount == INT32_MAX) return fail(r, lineNumber, "too many faces");
        auto* grown = static_cast<PolyFace*>(
            std::realloc(r.faces, sizeof(PolyFace) * (static_cast<std::size_t>(r.faceCount) + 1)));
        if (!grown) return fail(r, 0, "out of memory");
        r.faces = grown;
        PolyFace& face = r.faces[r.faceCount++];
        face = PolyFace{nullptr, 0};
        std::fprintf(progress, "face %d ", r.faceCount);
        r.faceLineOpen = true;

        // Groups follow one another with nothing in between; the list ends
        // where no group begins.
        const char* at = line;
        for (;;) {
            float x = 0.0f, y = 0.0f, z = 0.0f;
            int numbers = std::sscanf(at, "{%f, %f, %f}", &x, &y, &z);
            if (numbers < 1) break;
            if (numbers < 3) {
                // An over-long line is read in pieces, and a piece may end
                // inside a group that is whole in the file.
                bool cutPiece = !pieceEndedLine && stored == kLineBufferSize - 1;
                return fail(r, lineNumber,
                            cutPiece ? "a corner is cut in two where the line passes 4095 characters"
                                     : "a corner needs three numbers");
            }
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
                return fail(r, lineNumber, "a coordinate is not a finite number");
            }
            // A group cut off before its closing brace (the line ends, or
            // the piece of an over-long line does) is the face's last.
            const char* close = std::strchr(at, '}');
            at = close ? close + 1 : line + length;

            if (face.count == INT32_MAX) return fail(r, lineNumber, "too many corners");
            auto* indices = static_cast<std::int32_t*>(std::realloc(
                face.indices, sizeof(std::int32_t) * (static_cast<std::size_t>(face.count) + 1)));
            if (!indices) return fail(r, 0, "out of memory");
            face.indices = indices;
            std::int32_t index = vertexIndex(r, x, y, z);
            if (index < 0) return fail(r, 0, "out of memory");
            face.indices[face.count++] = index;
            std::fprintf(progress, "p%d=%d ", face.count, index);
        }
        std::fprintf(progress, " - %d vertices\n", face.count);
        r.faceLineOpen = false;
    }
    if (std::ferror(file)) {
        std::fflush(progress);
        reportLoad(report, "error reading " + r.path);
        releaseReading(r);
        return nullptr;
    }
    if (r.vertexCount == 0) return fail(r, 0, "no vertices");

    auto* solid = static_cast<Polyhedron*>(std::calloc(1, sizeof(Polyhedron)));
    if (!solid) return fail(r, 0, "out of memory");
    solid->faces = r.faces;
    solid->faceCount = r.faceCount;
    solid->vertices = r.vertices;
    solid->vertexCount = r.vertexCount;
    solid->lowestVertex = r.lowestVertex;

    // A solid without extent, or one whose scale factor or scaled corners
    // leave the float range, cannot be shown at the fixed size.
    float d = farthestFromFirst(solid);
    if (d == 0.0f) {
        std::free(solid);
        return fail(r, 0, "every vertex lies at vertex 0, so the solid has no size");
    }
    scalePolyhedron(solid, 2.0f);
    bool finite = std::isfinite(d) && std::isfinite(2.0f / d);
    for (std::int32_t i = 0; finite && i < solid->vertexCount; i++) {
        const PolyVertex& v = solid->vertices[i];
        finite = std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    }
    if (!finite) {
        std::free(solid);
        return fail(r, 0, "the solid cannot be scaled to a finite size");
    }

    std::fprintf(progress, "%d faces, %d vertices, lowest y=%f (vertex %d)\n\n", solid->faceCount,
                 solid->vertexCount, static_cast<double>(solid->vertices[solid->lowestVertex].y),
                 solid->lowestVertex);
    return solid;
}

Polyhedron* loadPolyhedron(const char* path, LoadReport* report) {
    std::FILE* file = path ? std::fopen(path, "r") : nullptr;
    if (!file) {
        reportLoad(report, std::string("error opening ") + (path ? path : "(null)"));
        return nullptr;
    }
    std::printf("opening %s\n", path);
    Polyhedron* solid = readPolyhedron(file, path, stdout, report);
    std::fclose(file);
    return solid;
}

void freePolyhedron(Polyhedron* solid) {
    if (!solid) return;
    for (std::int32_t i = 0; i < solid->faceCount; i++) std::free(solid->faces[i].indices);
    std::free(solid->faces);
    std::free(solid->vertices);
    std::free(solid);
}
