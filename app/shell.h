// The program's shell: the application and window records, the key table,
// and the pass loop that builds the window, runs what it is given on it and
// tears it down again, once more after every fullscreen toggle.
//
// The platform layer (app/) knows nothing of the demo it runs. Whoever
// starts an app describes it in one record (AppDesc), the way sokol_app is
// handed an sapp_desc, and runs it with one call (runApp): the demo's
// operations as callbacks (the start-up on each new window, the timeline,
// one frame's update and drawing, the projection for a window size), the
// window's size, title and mode, and the backends it runs on (backends.h:
// clock, notices, sound, frame hook, window sizing and pacing). The program,
// demo-capture, demo-bench and the tests each fill one.
//
// runApp owns one AppClass, AppWindow and KeyTable for the whole run; the
// start-up keeps pointers to them. keepRunning, fullscreenWanted and the
// callbacks of the running app are process-wide and belong to this module
// (kept in app's private state record; read through the accessors below).
//
// Platform: SDL2. "Registering the window class" is initialising SDL's video
// and event subsystems; the private quit and toggle messages are registered
// SDL user events addressed to the window by its window ID.
#pragma once

#include "app/backends.h"

#include <SDL.h>

#include <cstdint>

struct AppClass {
    void* instance;         // unused under SDL; kept for the record's shape
    const char* className;  // "OpenGL"
};

// Indexed by Windows virtual-key code. `down` says what is held now. A key
// can go down and up again between two frames (a quick tap, a busy
// machine): `pressed` keeps that it went down until the next drawn frame's
// update has seen it, so no tap is ever lost.
struct KeyTable {
    std::int32_t down[256];     // 1 while down
    std::int32_t pressed[256];  // 1 when it went down since the last drawn frame's update
};

// The window record. SDL draws through the window itself, so there is no
// separate device context.
struct AppWindow {
    KeyTable* keys;
    SDL_Window* window;          // null while no window exists
    SDL_GLContext glContext;     // null while no context exists
    AppClass* appClass;
    const char* title;
    std::int32_t width, height;  // requested size
    std::int32_t bitsPerPixel;
    std::int32_t fullscreen;     // 1 fullscreen (wanted or in force), 0 window
    std::int32_t visible;        // 0 while minimised
    std::uint32_t lastTickCount; // tick count at the last drawn frame
    std::int64_t lastCounter;    // performance counter at the last drawn frame
};

// Virtual-key codes the demo reads.
enum : int { VK_ESCAPE_CODE = 27, VK_F1_CODE = 112, VK_F2_CODE = 113 };

// 1 while another pass is wanted: set as the pass loop starts, cleared by
// postQuit and by a failed window build. A test that drives the timeline
// without the pass loop sets it as the loop would.
std::int32_t keepRunning();
void setKeepRunning(std::int32_t value);
// The display mode for the next pass: the first pass's, flipped by the
// toggle message.
std::int32_t fullscreenWanted();

// The two private messages, as registered SDL event types (0 until
// registerWindowClass succeeded).
struct AppEvents {
    std::uint32_t quit;              // WM_QUIT addressed to our window
    std::uint32_t toggleFullscreen;  // WM_TOGGLEFULLSCREEN
};
const AppEvents& appEvents();

// What the pass loop runs. Every pointer must be set.
struct AppCallbacks {
    // The start-up on a freshly built window, its GL context current; 0 when
    // the demo cannot run (it has said why), and the program then ends with
    // status 1 after the window's tear-down.
    int (*initialize)(AppWindow* appWindow, KeyTable* keyTable);
    // The timeline: draws every frame through runFrame and returns at its
    // end (after postQuit) or as soon as runFrame returns 0.
    void (*runTimeline)(AppWindow* appWindow);
    // One frame's update before it is drawn: the control keys and the clock.
    void (*update)(std::uint32_t elapsedMs);
    // One frame's drawing.
    void (*draw)();
    // The projection matrix for a client size; reshapeGL has set the
    // viewport and made the projection matrix current and the identity.
    void (*projection)(int width, int height);
};

// What the running program was given (set by runPasses; tests that build a
// window of their own set it with setAppCallbacks).
const AppCallbacks& appCallbacks();
void setAppCallbacks(const AppCallbacks& callbacks);

// ---- The app, described and run ------------------------------------------------

// Everything runApp needs. The defaults are the program's own: a window of
// 1024 x 768 at 32 bits, fullscreen first, its title, on the real thing.
struct AppDesc {
    AppCallbacks callbacks = {};  // every pointer must be set
    const char* title = "Kova's New GL Framework";
    std::int32_t width = 1024, height = 768;  // the window, or the fullscreen mode
    std::int32_t bitsPerPixel = 32;
    bool fullscreen = true;                   // the first pass's mode (F1 flips it)
    // What it runs on, chosen once as it starts: clock, notices, GL lookup,
    // sound, frame hook, how its windows are sized and paced.
    platform::Backends backends = {};
    // The program's own process: a watchdog holds the desktop's display mode
    // against a crash and the terminal's signals end the app in order
    // (desktop_mode.h). Tools and tests leave their process alone.
    bool guardsTheDesktop = false;
};

// Runs the app described: chooses its backends, fills its records
// (setAppRecords), guards the desktop when asked, then registration and the
// pass loop (runPasses). Returns the exit status: 0 after a normal end, 1
// when a window could not be built or the start-up could not make what the
// app needs, -1 when the platform refused to start. Every way out tears the
// window down, shuts the sound layer and SDL down first.
int runApp(const AppDesc& desc);

// Fills the three records from a description (everything else zero).
void setAppRecords(const AppDesc& desc, AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable);

// Registration and the pass loop on records already filled.
int runPasses(const AppCallbacks& callbacks, AppClass* appClass, AppWindow* appWindow,
              KeyTable* keyTable);

// Initialises SDL video and events and registers the private events.
// Shows "RegisterClassEx Failed!" and returns 0 on failure.
int registerWindowClass(AppClass* appClass);
void unregisterWindowClass(AppClass* appClass);

// Posts a quit addressed to the window and clears keepRunning. Returns 1 when
// the event was queued.
int postQuit(AppWindow* appWindow);
// Posts the toggle message to the window.
int postToggleFullscreen(AppWindow* appWindow);
// Per-pass clean-up after the sequencer; nothing to do yet.
void deinitialize();
