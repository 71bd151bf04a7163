// DemoState: what the timeline owns, and the demo's own operations, which
// the platform runs (demoCallbacks).
//
// The record is made of two parts, one per writer; everyone may read both:
//   timeline  demo/ (the sequencer, the frame update, the frame dispatcher):
//             which scene plays and the parameters it is drawn with;
//   startup   demo/startup.cpp: the window records and the sound channels
//             each pass makes.
// Each scene keeps its own state with itself (scenes/polyhedra/
// polyhedra_scene.h, scenes/lens/lens_scene.h, and what both draw with,
// scenes/scene_gl.h); the timeline reads it, and tells the scenes what to
// draw through their entry points.
//
// The record is static, zero at process start except for the start values
// set in its initialisers, and never reset: a pass after a fullscreen toggle
// finds it as the last pass left it. Only the start-up overwrites the handles
// it creates. Everything runs on the main thread.
#pragma once

#include "app/sound/handles.h"

#include <cstdint>

struct AppCallbacks;
struct AppWindow;
struct KeyTable;

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
};

struct DemoState {
    Timeline timeline;
    StartupHandles startup;
};

extern DemoState demo;

// ---- the demo as the platform runs it ------------------------------------------------

// The demo's operations for the pass loop: initialize, runSequencer,
// updateDemo, drawFrame and sceneProjection.
AppCallbacks demoCallbacks();

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
// Draws the scene SceneState selects (and moves on to scene 1 in the frame
// the polyhedra scene finishes), services the sound, flushes GL.
// Expects: the modelview matrix current, the projection reshapeGL leaves.
// Leaves: what the scene drawn leaves (nothing at all for the closing
// stretch, not even a clear: its last picture stays).
void drawFrame();
