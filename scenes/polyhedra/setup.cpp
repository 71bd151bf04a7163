// Scene 0's set-up: the distort program and the scene's own multitexture
// entry points (the process ends without them), the GL state the scene
// begins with, then the clock mark, the five solids (the process ends on a
// solid that is not a closed surface, too) and the floor textures.
#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "assets/texture.h"
#include "demo/demo_state.h"
#include "scenes/polyhedra/polyhedra.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

namespace {

// GLX hands out an entry point for any name beginning with "gl", offered or
// not, so the extension string decides whether the driver has them.
void* driverEntryPoint(const char* name) {
    if (!SDL_GL_ExtensionSupported("GL_ARB_multitexture")) return nullptr;
    return SDL_GL_GetProcAddress(name);
}

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

// loadPolyhedron, which ends the process itself on a file it cannot read,
// and then the same for a solid that cannot be shown, with a line in the
// loader's own form.
Polyhedron* loadClosedSolid(const char* path) {
    Polyhedron* solid = loadPolyhedron(path);
    const std::string why = whyNotClosed(solid);
    if (!why.empty()) {
        std::printf("error in %s: %s\n", path, why.c_str());
        std::exit(1);
    }
    return solid;
}

}  // namespace

EntryPointLookup sceneEntryPointLookup = driverEntryPoint;

void initPolyhedraScene() {
    demo.distortProgram = shader::createProgramFromFile(demo.cgContext, "data/distort.cg",
                                                        demo.vertexProfile, "main");
    if (demo.distortProgram == 0) {
        std::printf("%s\n", shader::errorString(shader::lastError()));
        std::exit(1);
    }
    shader::loadProgram(demo.distortProgram);

    demo.positionParam = shader::namedParameter(demo.distortProgram, "IN.position");
    demo.colorParam = shader::namedParameter(demo.distortProgram, "IN.color");
    demo.distortModelViewProj = shader::namedParameter(demo.distortProgram, "ModelViewProj");
    demo.actualtParam = shader::namedParameter(demo.distortProgram, "actualt");
    demo.lastcollParam = shader::namedParameter(demo.distortProgram, "lastcoll");
    demo.amplitudeParam = shader::namedParameter(demo.distortProgram, "amplitude");

    demo.sceneActiveTexture =
        reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(sceneEntryPointLookup("glActiveTextureARB"));
    demo.sceneMultiTexCoord2f = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(
        sceneEntryPointLookup("glMultiTexCoord2fARB"));
    if (!demo.sceneActiveTexture || !demo.sceneMultiTexCoord2f) {
        // The message is Latin-1, as the demo has always written it.
        std::printf("Multitexturing w\xE4re nicht so schlecht...\n");
        std::exit(1);
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
}

void loadPolyhedraScene() {
    counterFrequency = platform::performanceFrequency();
    // The first phase is timed from here; the line keeps the full reading.
    double now = clockNow();
    clockMarkSeconds = static_cast<float>(now);
    std::printf("sys up time: %f\n", now);

    demo.tiltX = 0.0f;
    demo.orbitAngle = 0.0f;
    demo.tiltZ = 0.0f;

    // A start-up after a fullscreen toggle makes new solids with fresh
    // animation state; the last pass's go first, or every toggle would leave
    // five solids behind.
    for (Polyhedron*& solid : demo.solidTable) {
        freePolyhedron(solid);
        solid = nullptr;
    }
    demo.primarySolid = nullptr;
    demo.secondarySolid = nullptr;

    demo.solidTable[4] = loadClosedSolid("data/tetrahed.txt");
    demo.solidTable[3] = loadClosedSolid("data/hexahed.txt");
    demo.solidTable[2] = loadClosedSolid("data/octahed.txt");
    demo.solidTable[1] = loadClosedSolid("data/dodecahed.txt");
    demo.solidTable[0] = loadClosedSolid("data/icosahed.txt");

    // Nothing changes selectedSolid; an index outside the table still picks
    // the icosahedron rather than reading past it.
    int selected = demo.selectedSolid >= 0 && demo.selectedSolid < 5 ? demo.selectedSolid : 0;
    demo.primarySolid = demo.solidTable[selected];
    demo.secondarySolid = demo.solidTable[1];

    const std::uint32_t flags = TEXLOAD_COMPRESSED | TEXLOAD_ALPHA | 0x1;
    demo.chessboardTexture = loadTexture("data/schach.tga", flags);
    demo.scratchTexture = loadTexture("data/kratzer.tga", flags);
    demo.logoTexture = loadTexture("data/amber_kite_nuts.tga", flags);

    demo.primarySolid->amplitude = 0.25f;
    demo.secondarySolid->amplitude = 0.4f;
    demo.primarySolid->colourSet = 0;
    demo.secondarySolid->colourSet = 1;
}
