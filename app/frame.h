// The frame loop: one runFrame per iteration of every sequencer wait.
//
// runFrame handles every pending event, then (while the window is visible)
// measures the frame, lets updateDemo act on the control keys and advance
// demoTime, draws through drawFrame and presents. It reports a quit by
// returning 0, which unwinds the sequencer up to the pass loop.
//
// The frame observer is the seam for tools and tests: it runs after a frame
// is drawn and before it is presented (the back buffer still holds it), on
// the main thread. demo-capture reads pixels and moves its virtual clock
// there; tests push their events there.
#pragma once

#include "app/shell.h"

#include <cstdint>

struct FrameReport {
    std::uint32_t elapsedMs;  // ms of the frame drawn by this call; 0 if none
};

// 0 when a quit addressed to the window was retrieved (nothing drawn), else 1.
int runFrame(AppWindow* appWindow, FrameReport* report);

// Escape, F1 and F2, then demoTime += elapsedMs * 0.001f unless paused.
void updateDemo(std::uint32_t elapsedMs);

using FrameObserver = void (*)(AppWindow* appWindow);
void setFrameObserver(FrameObserver observer);

// GL error checks. While `enabled`, runFrame reads glGetError before and
// after drawing each frame (so an error is placed either between frames:
// start-up, sequencer, window; or in the drawing of one frame) and writes
// one line per error on stderr, e.g.
//   GL error GL_INVALID_ENUM (0x0500) in frame 1234
// counting them in `errors`. Enabled from the start in builds configured
// with DEMO_GL_CHECKS=ON (the sanitizer build's default); tests switch it on.
struct GlErrorChecks {
    bool enabled;
    std::uint64_t frame;   // frames runFrame has drawn in this process
    std::uint64_t errors;  // errors reported so far
};
extern GlErrorChecks glErrorChecks;
