// Scene 0, the polyhedra scene, as the rest of the demo sees it: its state
// and its entry points.
//
// A glass floor slab with a chessboard under scratched glass, and
// translucent jelly solids that bounce on it, wobble after each impact and
// are mirrored in it through the stencil buffer. The scene times its seven
// phases on its own clock (precise_clock.h) and says when it is over
// (`finished`); the timeline then moves on. The scene's operations shared by
// its own files and its tests are in polyhedra.h.
//
// The scene owns this record and the Polyhedron records it points to; only
// the scene's files write them, everyone may read them. The record is static,
// zero at process start except for its start values, and never reset: a pass
// after a fullscreen toggle finds it as the last pass left it, and the
// set-up overwrites what it makes anew. Main thread only, GL context current.
#pragma once

#include "app/gl.h"
#include "app/shader/handles.h"

#include <cstdint>

struct Polyhedron;

struct PolyhedraScene {
    shader::Program distortProgram = 0;
    shader::Parameter positionParam = 0;
    shader::Parameter colorParam = 0;
    shader::Parameter distortModelViewProj = 0;
    shader::Parameter actualtParam = 0;
    shader::Parameter lastcollParam = 0;
    shader::Parameter amplitudeParam = 0;
    Polyhedron* solidTable[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    std::int32_t selectedSolid = 0;
    Polyhedron* primarySolid = nullptr;
    Polyhedron* secondarySolid = nullptr;
    GLuint chessboardTexture = 0;
    GLuint scratchTexture = 0;
    GLuint logoTexture = 0;
    float orbitAngle = 0.0f;  // degrees
    float tiltX = 0.0f;
    float tiltZ = 0.0f;
    std::int32_t scenePhase = 1;
    float phaseStart = 0.0f;
    std::int32_t secondaryDirection = -1;
    bool finished = false;  // the last phase is over: the timeline moves on
};

extern PolyhedraScene polyhedraScene;

// The scene's shader and GL set-up (on sceneGl, which must be prepared),
// then its clock mark, solids, textures and starting values. Each returns 0
// after saying on stdout what it cannot do (the distort program, a
// multitexture entry point, a solid), and the start-up then fails.
int initPolyhedraScene();
int loadPolyhedraScene();
// One frame of the scene; sets `finished` in the frame its last phase ends.
// GL on entry: the scene-0 projection, modelview the current matrix mode,
// the state initPolyhedraScene set. Leaves the modelview matrix as found,
// blending and the stencil test off, the colour mask open; the stencil
// function and operation keep what the mirror last set.
void drawPolyhedraScene();
// orbitAngle += 0.6 degrees for each frame of 60 a second that passed.
void stepOrbit(float frames);
// Phase 1 is timed from the set-up's mark; until its music is heard the
// timeline moves the start of phase 1 to `seconds` of the scene's clock
// (when the music will be heard). Returns false, moving nothing, once the
// mark no longer belongs to phase 1 (a pass begun later in the scene, after
// a fullscreen toggle: the mark is the bounce's then).
bool startPhaseOneAt(double seconds);
