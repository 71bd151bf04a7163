// DemoState: the one process-wide record of everything the demo's parts
// share, and the operations through which they call one another.
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

struct AppWindow;
struct KeyTable;
struct Polyhedron;

struct DemoState {
    // ---- shell and timeline
    std::int32_t SceneState = 0;  // 0 polyhedra, 1 zoom tunnel, 2 lens, -1 closing
    float demoTime = 0.0f;        // scene clock, seconds
    std::int32_t paused = 0;
    AppWindow* appWindow = nullptr;
    KeyTable* keyTable = nullptr;
    float zoom = 0.0f;
    float rotation = 0.0f;    // degrees
    float twistAngle = 0.0f;  // radians
    bool lensActive = false;
    float lensClock = 0.0f;
    bool lensBounce = true;
    float lensX = -3.0f;
    float lensY = 1.5f;
    float lensSpeedX = 0.018f;
    float lensFallSpeed = 0.0f;

    // ---- created by the start-up on every pass
    sound::Channel moduleHandle = 0;
    sound::Channel firstStream = 0;
    sound::Channel secondStream = 0;
    PFNGLMULTITEXCOORD1FARBPROC glMultiTexCoord1fARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
    PFNGLMULTITEXCOORD3FARBPROC glMultiTexCoord3fARB = nullptr;
    PFNGLMULTITEXCOORD4FARBPROC glMultiTexCoord4fARB = nullptr;
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
    shader::Context cgContext = 0;
    shader::Profile fragmentProfile = 0;
    shader::Profile vertexProfile = 0;
    shader::Program lensProgram = 0;
    shader::Program twistProgram = 0;
    shader::Parameter displacementParam = 0;
    shader::Parameter zoomParam = 0;
    shader::Parameter distortscaleParam = 0;
    shader::Parameter twistModelViewProj = 0;
    GLuint lensSceneTextures[5] = {0, 0, 0, 0, 0};

    // ---- polyhedra scene
    shader::Program distortProgram = 0;
    shader::Parameter positionParam = 0;
    shader::Parameter colorParam = 0;
    shader::Parameter distortModelViewProj = 0;
    shader::Parameter actualtParam = 0;
    shader::Parameter lastcollParam = 0;
    shader::Parameter amplitudeParam = 0;
    PFNGLACTIVETEXTUREARBPROC sceneActiveTexture = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC sceneMultiTexCoord2f = nullptr;
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

extern DemoState demo;

// Indices into lensSceneTextures.
enum LensSceneTexture : int {
    planeTexture = 0,
    displacementMap = 1,
    lensTintTexture = 2,
    tunnelTexture = 3,
    centreTexture = 4,
};

// ---- the demo's operations ------------------------------------------------

// Loads and creates everything on the current GL context; non-zero means the
// demo can run.
int initialize(AppWindow* appWindow, KeyTable* keyTable);
// Plays the timeline, one runFrame per iteration of every wait; returns at
// its end (after postQuit) or as soon as runFrame returns 0.
void runSequencer(AppWindow* appWindow);
// Draws the scene SceneState selects, services the sound, flushes GL.
void drawFrame();
// Creates the five textures of lensSceneTextures.
void createLensSceneTextures();
// The polyhedra scene's shader and GL set-up (ends the process on a missing
// program or multitexture entry point), then its clock mark, solids,
// textures and starting values.
void initPolyhedraScene();
void loadPolyhedraScene();
// The GL state scenes 1 and 2 begin with; sets demoTime to 0.
void resetGLState();
// One fixed 0.009 s step of the lens motion.
void lensWanderStep();
// orbitAngle += 0.6 degrees.
void stepOrbit();
// One frame of scene 0; sets SceneState to 1 when the scene is over.
void drawPolyhedraScene();
