// Scene 0's set-up: the distort program and the check for the multitexture
// entry points the start-up fetched (the demo cannot start without them),
// the GL state the scene begins with, then the clock mark, the five solids
// (the demo cannot start with one that cannot be read or is not a closed
// surface, either) and the floor textures. A failure is said on stdout and
// returned to the start-up; what the loaders report is said on stdout too.
#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "assets/texture.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/scene_gl.h"

#include <SDL.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace {

// Why a solid cannot be shown as the jelly renderer shows it, or "": the
// glass shells need a closed surface whose faces all turn the same way
// (counter-clockwise seen from outside, for the two culling passes), that
// is every edge run along once each way by two faces. A file cut short or
// mangled still reads as faces, but leaves a hole or a stray corner.
std::string whyNotClosed(const Polyhedron* solid) {
    std::map<std::pair<std::int32_t, std::int32_t>, int> runs;  // directed edge -> faces
    for (std::int32_t f = 0; f < solid->faceCount; f++) {
        const PolyFace& face = solid->faces[f];
        if (face.count < 3) {
            return "face " + std::to_string(f + 1) + " has " + std::to_string(face.count) +
                   " corners; a face of a solid needs three or more";
        }
        for (std::int32_t i = 0; i < face.count; i++)
            runs[{face.indices[i], face.indices[(i + 1) % face.count]}]++;
    }
    for (const auto& [edge, count] : runs) {
        const std::string name = "the edge from vertex " + std::to_string(edge.first) +
                                 " to vertex " + std::to_string(edge.second);
        if (count > 1) {
            return name + " is run along the same way by " + std::to_string(count) +
                   " faces (a face turned inside out, or given twice)";
        }
        if (runs.count({edge.second, edge.first}) == 0) {
            return name + " borders one face only, so the solid is not closed (is the file cut "
                          "short?)";
        }
    }
    return "";
}

// What a loader reports about a solid or a picture, as a line on stdout
// (where the loaders' progress lines go too).
void sayOnStdout(const LoadReport& report) {
    if (report.message.empty()) return;
    std::printf("%s\n", report.message.c_str());
    std::fflush(stdout);
}

// loadPolyhedron, with its line saying why a file cannot be read, and then
// the same for a solid that cannot be shown, in the loader's own form. Null
// after either.
Polyhedron* loadClosedSolid(const char* path) {
    LoadReport report;
    Polyhedron* solid = loadPolyhedron(path, &report);
    sayOnStdout(report);
    if (!solid) return nullptr;
    const std::string why = whyNotClosed(solid);
    if (!why.empty()) {
        std::printf("error in %s: %s\n", path, why.c_str());
        freePolyhedron(solid);
        return nullptr;
    }
    return solid;
}

// loadTexture, with its line about a failed or short picture.
GLuint loadSceneTexture(const char* path, std::uint32_t flags) {
    LoadReport report;
    GLuint texture = loadTexture(path, flags, &report);
    sayOnStdout(report);
    return texture;
}

}  // namespace

PolyhedraScene polyhedraScene;

int initPolyhedraScene() {
    PolyhedraScene& scene = polyhedraScene;
    scene.distortProgram = shader::createProgramFromFile(sceneGl.cgContext, "data/distort.cg",
                                                         sceneGl.vertexProfile, "main");
    if (scene.distortProgram == 0) {
        std::printf("%s\n", shader::errorString(shader::lastError()));
        return 0;
    }
    shader::loadProgram(scene.distortProgram);

    scene.positionParam = shader::namedParameter(scene.distortProgram, "IN.position");
    scene.colorParam = shader::namedParameter(scene.distortProgram, "IN.color");
    scene.distortModelViewProj = shader::namedParameter(scene.distortProgram, "ModelViewProj");
    scene.actualtParam = shader::namedParameter(scene.distortProgram, "actualt");
    scene.lastcollParam = shader::namedParameter(scene.distortProgram, "lastcoll");
    scene.amplitudeParam = shader::namedParameter(scene.distortProgram, "amplitude");

    if (!sceneGl.glActiveTextureARB || !sceneGl.glMultiTexCoord2fARB) {
        // The message is Latin-1, as the demo has always written it.
        std::printf("Multitexturing w\xE4re nicht so schlecht...\n");
        return 0;
    }

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDisable(GL_CULL_FACE);
    // Nothing in scene 0 turns the depth test on: the order of drawing
    // decides what covers what.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return 1;
}

int loadPolyhedraScene() {
    PolyhedraScene& scene = polyhedraScene;
    counterFrequency = platform::performanceFrequency();
    // The first phase is timed from here; the line keeps the full reading.
    double now = clockNow();
    clockMarkSeconds = static_cast<float>(now);
    std::printf("sys up time: %f\n", now);

    scene.tiltX = 0.0f;
    scene.orbitAngle = 0.0f;
    scene.tiltZ = 0.0f;

    // A start-up after a fullscreen toggle makes new solids with fresh
    // animation state; the last pass's go first, or every toggle would leave
    // five solids behind.
    for (Polyhedron*& solid : scene.solidTable) {
        freePolyhedron(solid);
        solid = nullptr;
    }
    scene.primarySolid = nullptr;
    scene.secondarySolid = nullptr;

    // In this order, up to the first that cannot be used (which has said
    // why): the start-up ends there.
    const char* const files[5] = {"data/tetrahed.txt", "data/hexahed.txt", "data/octahed.txt",
                                  "data/dodecahed.txt", "data/icosahed.txt"};
    for (int i = 0; i < 5; i++) {
        Polyhedron* solid = loadClosedSolid(files[i]);
        if (!solid) return 0;
        scene.solidTable[4 - i] = solid;
    }

    // Nothing changes selectedSolid; an index outside the table still picks
    // the icosahedron rather than reading past it.
    int selected = scene.selectedSolid >= 0 && scene.selectedSolid < 5 ? scene.selectedSolid : 0;
    scene.primarySolid = scene.solidTable[selected];
    scene.secondarySolid = scene.solidTable[1];

    const std::uint32_t flags = TEXLOAD_COMPRESSED | TEXLOAD_ALPHA | 0x1;
    scene.chessboardTexture = loadSceneTexture("data/schach.tga", flags);
    scene.scratchTexture = loadSceneTexture("data/kratzer.tga", flags);
    scene.logoTexture = loadSceneTexture("data/amber_kite_nuts.tga", flags);

    scene.primarySolid->amplitude = 0.25f;
    scene.secondarySolid->amplitude = 0.4f;
    scene.primarySolid->colourSet = 0;
    scene.secondarySolid->colourSet = 1;
    return 1;
}
