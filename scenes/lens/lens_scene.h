// Scenes 1 and 2, the zoom tunnel and the lens scene, as the rest of the
// demo sees them: their state and their entry points.
//
// The zoom tunnel is a textured plane and a copy turning the other way over
// it, with a picture in the centre; the lens scene a turning, zooming plane
// over which a magnifying lens wanders and bounces, drawn through the lens
// (fragment) and twist (vertex) programs. How far they are turned, zoomed
// and twisted, and whether the lens is shown, is the timeline's to say: it
// hands those over with each frame (LensSceneDrive). What the scene's own
// files and tests share is in lens_parts.h.
//
// The scenes own this record: the lens's motion (which starts once with the
// process and is never reset), the five textures and the two programs each
// start-up makes. Only the scenes' files write it; everyone may read it.
// Main thread only, with the GL context current.
#pragma once

#include "app/gl.h"
#include "app/shader/handles.h"

struct LensScene {
    float lensClock = 0.0f;
    float lensX = -3.0f;
    float lensY = 1.5f;
    float lensSpeedX = 0.018f;
    float lensFallSpeed = 0.0f;
    GLuint lensSceneTextures[5] = {0, 0, 0, 0, 0};
    shader::Program lensProgram = 0;
    shader::Program twistProgram = 0;
    shader::Parameter displacementParam = 0;
    shader::Parameter zoomParam = 0;
    shader::Parameter distortscaleParam = 0;
    shader::Parameter twistModelViewProj = 0;
};

extern LensScene lensScene;

// Indices into lensSceneTextures.
enum LensSceneTexture : int {
    planeTexture = 0,
    displacementMap = 1,
    lensTintTexture = 2,
    tunnelTexture = 3,
    centreTexture = 4,
};

// What the timeline draws scenes 1 and 2 with, frame by frame.
struct LensSceneDrive {
    float zoom;        // the plane's scale: its texture repeats every 2 x zoom units
    float rotation;    // degrees the plane is turned
    float twistAngle;  // radians the lens is turned about its vertical axis
    bool lensActive;   // the lens is shown
};

// The lens and twist programs, compiled on the shader context of sceneGl;
// one that does not compile is said on stdout (its file and the compiler's
// log) and leaves 0 handles, which every later call accepts: the scene then
// draws as far as the other stage allows.
void createLensPrograms();
// Creates the five textures of lensSceneTextures. A picture that is missing
// or cannot be used is said in a notice and replaced by a checkerboard.
// Expects: a current GL context. Leaves: centreTexture bound on the active
// unit, the unpack alignment as it was.
void createLensSceneTextures();
// The GL state scenes 1 and 2 begin with.
// Expects: any state. Leaves: texturing on for the active unit, blending by
// source alpha, clear colour (0, 0, 0, 0.5), clear depth 1, depth function
// LEQUAL (depth testing itself stays off), smooth shading, perspective hint
// NICEST, the colour (1, 1, 1, 1).
void resetGLState();
// The lens's wandering: one fixed step of 0.009 s of scene time, run by the
// timeline's catch-up loop as often as its scene clock needs, so the path is
// the same at any frame rate. While `bounce`, the floor at -1.5 throws the
// lens back up; after, it falls away.
void lensWanderStep(bool bounce);
// The lens motion's clock, set to the scene clock when the lens appears.
void startLensClock(float sceneTime);
// Expects: resetGLState's state, the modelview current. Leaves: the modelview
// at the tunnel's centre (translated, unrotated), centreTexture bound, the
// colour (1, 1, 1, 0.7).
void drawZoomTunnel(const LensSceneDrive& drive);
// Expects: resetGLState's state, the modelview current. Leaves: the modelview
// at the lens; after a lens: unit 2 selected with planeTexture, unit 1 with
// displacementMap, unit 0 with lensTintTexture, both shader stages disabled.
// Without the lens: unit 0 selected with planeTexture.
void drawLensScene(const LensSceneDrive& drive);
