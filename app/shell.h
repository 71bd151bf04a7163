// The program's shell: the application and window records, the key table,
// and the pass loop that builds the window, runs the demo on it and tears it
// down again, once more after every fullscreen toggle.
//
// The entry owns one AppClass, AppWindow and KeyTable for the whole run; the
// start-up hands pointers to them to DemoState. keepRunning and
// fullscreenWanted are process-wide and belong to this module.
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

struct KeyTable {
    std::int32_t down[256];  // indexed by Windows virtual-key code, 1 while down
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

// The whole program: defaults, registration, the pass loop. Returns the exit
// status: 0 after a normal end, 1 when a window could not be built or the
// start-up could not make what the demo needs, -1 when the platform refused
// to start.
int appMain();

// Fills the three records with the entry's defaults (everything else zero).
void setAppDefaults(AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable);

// Steps 2 to 5 of the entry on records already set to their defaults.
int runPasses(AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable);

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
