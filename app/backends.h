// Backends: what the program runs on, chosen once at start, in one record.
//
// The program runs on the real clock, shows notices where someone can
// answer them, looks GL entry points up in the driver, plays through the
// sound device, hooks nothing into its frames and builds its window as a
// viewer expects it. demo-capture, demo-bench and the tests choose other
// stand-ins here, the way a dummy backend is chosen in sokol: a virtual
// clock that moves only when told, notices recorded or written to stderr,
// a lookup that lacks an entry point, the offline sound sink, a hook that
// reads each frame back, a window of exactly the size asked for. Nothing else
// in the program can be replaced.
//
// The record belongs to this module; whoever starts the process (main, a
// tool, a test) chooses it before the pass loop runs, and every module reads
// its own entry when it needs it. Main thread only.
#pragma once

#include <cstdint>

struct AppWindow;

namespace sound {
struct Operations;
}

namespace platform {

// The tick count and the performance counter: SDL's, or a virtual clock
// that stands still until its owner moves it (advanceVirtualClock).
struct ClockBackend {
    bool isVirtual = false;
    std::int64_t frequency = 1000;  // virtual: counts per second
    std::uint32_t firstTick = 0;    // virtual: the tick count at zero counts
};

enum class SoundOutput {
    device,   // SDL's audio device (SDL_AUDIODRIVER picks the driver)
    offline,  // consumes what its owner asks for and records it (sound.h)
};

// The two moments of a frame the frame hook is called at.
enum class FrameMoment {
    begin,  // runFrame has begun: nothing handled yet, a quit pushed now ends it
    drawn,  // the frame is drawn and not yet presented (the back buffer holds it)
};

// How windows are sized.
enum class WindowSizing {
    // Fullscreen first when asked, else a resizable window shown maximised.
    program,
    // Exactly the size asked for, never resized or maximised: pictures of
    // the same size on every machine.
    fixed,
};

struct Backends {
    ClockBackend clock;
    // Every notice goes here instead (null: a message box where someone can
    // answer it, else stderr; DEMO_NOTICE can force either).
    void (*notices)(const char* text) = nullptr;
    // GL entry points by name (null: the driver's, SDL_GL_GetProcAddress).
    void* (*glLookup)(const char* name) = nullptr;
    SoundOutput soundOutput = SoundOutput::device;
    // The whole sound layer (null: the real one, on soundOutput).
    const sound::Operations* sound = nullptr;
    // Runs at both moments of every runFrame (a minimised window's frames
    // are never drawn).
    void (*frameHook)(AppWindow* appWindow, FrameMoment moment) = nullptr;
    WindowSizing sizing = WindowSizing::program;
    // Every window build asks for vertical sync, so that frames come at the
    // display's rate (the per-frame motion is designed for it) and the
    // processor is left to others between refreshes. Off: every frame as
    // soon as the last one is done (capture, bench, tests).
    bool pacedByDisplay = true;
};

// Chooses the backends from now on: a virtual clock starts at zero counts,
// the offline sink with an empty recording. Call before the pass loop, once
// per process (tests: once per test).
void useBackends(const Backends& chosen);
const Backends& backends();

}  // namespace platform
