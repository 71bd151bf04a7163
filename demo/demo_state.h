// DemoState: the one process-wide record of everything the demo's parts
// share, and the operations through which they call one another.
//
// The record is made of parts, one per owner, and only its owner writes a
// part; everyone may read every part:
//   timeline   demo/ (the sequencer, the frame update): which scene plays
//              and the parameters it is drawn with;
//   startup    demo/startup.cpp: the window records, the sound channels and
//              the lens programs each pass makes;
//   gl         demo/startup.cpp: the multitexture entry points;
//   lens       scenes/lens: the lens's motion and the textures of scenes 1
//              and 2;
//   polyhedra  scenes/polyhedra: scene 0's program, solids, textures and
//              motion.
// Two changes cross a boundary because the scenes' contracts make them: the
// polyhedra scene ends itself (SceneState 1) and resetGLState starts the
// scene clock again (demoTime 0); both go through the timeline's own
// operations below.
//
// The record is static, zero at process start except for the start values
// set in its initialisers, and never reset: a pass after a fullscreen toggle
// finds it as the last pass left it. Only the start-up and the scene set-up
// overwrite the handles they create. Everything runs on the main thread.
#pragma once

#include "app/gl.h"
#include "app/shader/handles.h"
#include "app/sound/handles.h"

#include <cstdint>

struct AppCallbacks;
struct AppWindow;
struct KeyTable;
struct Polyhedron;

// ---- demo/: the timeline ----------------------------------------------------------
struct Timeline {
    std::int32_t SceneState = 0;  // 0 polyhedra, 1 zoom tunnel, 2 lens, -1 closing
    float demoTime = 0.0f;        // scene clock, seconds
    std::int32_t paused = 0;
    float zoom = 0.0f;
    float rotation = 0.0f;    // degrees
    float twistAngle = 0.0f;  // radians
    bool lensActive = false;
    bool lensBounce = true;
};

// ---- demo/startup.cpp: made on every pass -------------------------------------------
struct StartupHandles {
    AppWindow* appWindow = nullptr;
    KeyTable* keyTable = nullptr;
    sound::Channel moduleHandle = 0;
    sound::Channel firstStream = 0;
    sound::Channel secondStream = 0;
    shader::Context cgContext = 0;
    shader::Profile fragmentProfile = 0;
    shader::Profile vertexProfile = 0;
    shader::Program lensProgram = 0;
    shader::Program twistProgram = 0;
    shader::Parameter displacementParam = 0;
    shader::Parameter zoomParam = 0;
    shader::Parameter distortscaleParam = 0;
    shader::Parameter twistModelViewProj = 0;
};

// ---- demo/startup.cpp: the multitexture entry points, null where the driver
// lacks them (callers test before calling) -----------------------------------------------
struct GlEntryPoints {
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
};

// ---- scenes/lens: the lens's motion and the textures of scenes 1 and 2 ------------
struct LensScene {
    float lensClock = 0.0f;
    float lensX = -3.0f;
    float lensY = 1.5f;
    float lensSpeedX = 0.018f;
    float lensFallSpeed = 0.0f;
    GLuint lensSceneTextures[5] = {0, 0, 0, 0, 0};
};

// ---- scenes/polyhedra: scene 0 -------------------------------------------------------
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
};

struct DemoState {
    Timeline timeline;
    StartupHandles startup;
    GlEntryPoints gl;
    LensScene lens;
    PolyhedraScene polyhedra;
};

extern DemoState demo;

// Indices into lensSceneTextures.
enum LensSceneTexture : int {
    planeTexture = 0,
    displacementMap = 1,
    lensTintTexture = 2,
    tunnelTexture = 3,
    centreTexture = 4,
};

// ---- the demo as the platform runs it ------------------------------------------------

// The demo's operations for the pass loop: initialize, runSequencer,
// updateDemo, drawFrame and sceneProjection.
AppCallbacks demoCallbacks();

// ---- the demo's operations -------------------------------------------------------------

// Loads and creates everything on the current GL context; non-zero means the
// demo can run. 0 after a failure it has said (a sound file that cannot be
// played, the polyhedra scene's set-up), and the program ends with status 1.
int initialize(AppWindow* appWindow, KeyTable* keyTable);
// Plays the timeline, one runFrame per iteration of every wait; returns at
// its end (after postQuit) or as soon as runFrame returns 0.
void runSequencer(AppWindow* appWindow);
// Escape, F1 and F2, then demoTime += elapsedMs * 0.001f unless paused.
void updateDemo(std::uint32_t elapsedMs);
// The projection for a client size: scene 0's (60 degrees, near 0.1) or that
// of scenes 1, 2 and -1 (45 degrees, near 1), both far 100.
void sceneProjection(int width, int height);
// Draws the scene SceneState selects, services the sound, flushes GL.
void drawFrame();
// Creates the five textures of lensSceneTextures.
void createLensSceneTextures();
// The polyhedra scene's shader and GL set-up, then its clock mark, solids,
// textures and starting values. Each returns 0 after saying on stdout what
// it cannot do (the distort program, a multitexture entry point, a solid),
// and the start-up then fails.
int initPolyhedraScene();
int loadPolyhedraScene();
// The GL state scenes 1 and 2 begin with; sets demoTime to 0.
void resetGLState();
// One fixed 0.009 s step of the lens motion.
void lensWanderStep();
// The lens motion's clock, set to the scene clock when the lens appears.
void startLensClock(float sceneTime);
// orbitAngle += 0.6 degrees for each frame of 60 a second that passed.
void stepOrbit(float frames);
// One frame of scene 0; sets SceneState to 1 when the scene is over.
void drawPolyhedraScene();

// The timeline's two operations for the scenes (see the top of this file).
void endPolyhedraScene();   // SceneState = 1
void restartSceneClock();   // demoTime = 0
