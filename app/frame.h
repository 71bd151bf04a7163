// The frame loop: one runFrame per iteration of every wait of the timeline.
//
// runFrame handles every pending event, then (while the window is visible)
// measures the frame, hands its milliseconds to the program's update
// callback (the demo's control keys and scene clock), draws through its draw
// callback and presents. It reports a quit by returning 0, which unwinds the
// timeline up to the pass loop. Once the update has run, the keys' `pressed`
// marks are cleared: the update is where a tap is seen.
//
// The backends' frame hook runs as runFrame begins (tests decide there
// whether the frame sees a quit) and after the frame is drawn, before it is
// presented (the back buffer still holds it), on the main thread:
// demo-capture reads pixels and moves its virtual clock there; tests push
// their events there.
#pragma once

#include "app/shell.h"

#include <cstdint>

struct FrameReport {
    std::uint32_t elapsedMs;  // ms of the frame drawn by this call; 0 if none
    // The same time from the performance counter, in seconds: what motion
    // made per second measures itself by (whole milliseconds are 15 % off
    // for a single frame at 144 Hz). 0 if none.
    double elapsedSeconds;
};

// 0 when a quit addressed to the window was retrieved (nothing drawn), else 1.
int runFrame(AppWindow* appWindow, FrameReport* report);

// GL error checks. While `enabled`, runFrame reads glGetError before and
// after drawing each frame (so an error is placed either between frames:
// start-up, the timeline, window; or in the drawing of one frame) and writes
// one line per error on stderr, e.g.
//   GL error GL_INVALID_ENUM (0x0500) in frame 1234
// counting them in `errors`. Enabled from the start in builds configured
// with DEMO_GL_CHECKS=ON (the sanitizer build's default); tests switch it on.
struct GlErrorChecks {
    bool enabled;
    std::uint64_t frame;   // frames runFrame has drawn in this process
    std::uint64_t errors;  // errors reported so far
};
// The checks' switch and counts (in app's state record): tools and tests
// switch them on and read them.
GlErrorChecks& glErrorChecks();
