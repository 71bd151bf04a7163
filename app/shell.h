// The program's shell: the application and window records, the key table,
// and the pass loop that builds the window, runs what it is given on it and
// tears it down again, once more after every fullscreen toggle.
//
// The platform layer (app/) knows nothing of the demo it runs. main hands it
// the demo's operations as a record of callbacks (AppCallbacks), the way
// sokol_app is handed init/frame/cleanup: the start-up on each new window,
// the timeline, one frame's update and drawing, and the projection for a
// window size. What stands in for the clock, notices, sound and the rest is
// chosen in backends.h.
//
// The entry owns one AppClass, AppWindow and KeyTable for the whole run; the
// start-up keeps pointers to them. keepRunning, fullscreenWanted and the
// callbacks of the running program are process-wide and belong to this
// module.
//
// Platform: SDL2. "Registering the window class" is initialising SDL's video
// and event subsystems; the private quit and toggle messages are registered
// SDL user events addressed to the window by its window ID.
#pragma once

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

extern std::int32_t keepRunning;       // 1 while another pass is wanted
extern std::int32_t fullscreenWanted;  // display mode for the next pass

// The two private messages, as registered SDL event types (0 until
// registerWindowClass succeeded).
struct AppEvents {
    std::uint32_t quit;              // WM_QUIT addressed to our window
    std::uint32_t toggleFullscreen;  // WM_TOGGLEFULLSCREEN
};
extern AppEvents appEvents;

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

// The whole program: the desktop's mode guarded and the ending signals
// handled (desktop_mode.h), defaults, registration, the pass loop. Returns
// the exit status: 0 after a normal end, 1 when a window could not be built
// or the start-up could not make what the demo needs, -1 when the platform
// refused to start. Every way out tears the window down and shuts SDL down
// first.
int appMain(const AppCallbacks& callbacks);

// Fills the three records with the entry's defaults (everything else zero).
void setAppDefaults(AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable);

// Steps 2 to 5 of the entry on records already set to their defaults.
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
