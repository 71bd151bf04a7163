// Inside the platform layer: the state of the shell, the window and the frame
// loop, in one record, as Dear ImGui's backends keep theirs in one struct.
//
// Nothing outside app/ includes this header: the rest of the program reads
// the state (and the tests set what they drive) through the accessors of
// shell.h, window.h and frame.h. Each part is written only by the file named
// beside it. The sound layer, the shader layer and the modules with state of
// their own (present, notice, clock, desktop mode) keep theirs private to
// their files the same way. Main thread only.
#pragma once

#include "app/backends.h"
#include "app/frame.h"
#include "app/shell.h"
#include "app/window.h"

#include <SDL.h>

#include <cstdint>

namespace platform::detail {

struct AppState {
    // shell.cpp: the pass loop and what it runs
    std::int32_t keepRunning = 0;       // 1 while another pass is wanted
    std::int32_t fullscreenWanted = 0;  // display mode for the next pass
    AppEvents events = {0, 0};
    AppCallbacks callbacks = {};
    // backends.cpp: what it runs on
    Backends backends;
    // window.cpp: the last size given to reshapeGL, the counters, and the
    // context made last with its number
    std::int32_t viewWidth = 0, viewHeight = 0;
    WindowStats windowStats;
    SDL_GLContext liveContext = nullptr;
    std::uint64_t liveSerial = 0;
    std::uint64_t contextsMade = 0;
    // frame.cpp
    GlErrorChecks glErrorChecks = {false, 0, 0};
};

AppState& state();

}  // namespace platform::detail
