// The one OpenGL window: build, tear-down, display-mode switch, the event
// handler (the window procedure's behaviour) and the projection for a size.
//
// Owns viewWidth/viewHeight and the window counters. The AppWindow it fills
// belongs to the entry (shell). Everything runs on the main thread; the
// handler runs only inside runFrame's event pump.
#pragma once

#include "app/shell.h"

#include <SDL.h>

#include <cstdint>

extern std::int32_t viewWidth, viewHeight;  // last size given to reshapeGL

// Set by demo-capture: windows are built at exactly the requested size, not
// resizable and never maximised, so that its pictures have the same size on
// every machine. Off for the program.
extern bool keepRequestedWindowSize;

// Frames are paced by the display: every window build asks for vertical
// sync (adaptive where the driver offers it, else plain). At the display's
// rate the per-frame motion (the tunnel's spin, the solids' orbit) moves as
// designed, and the demo leaves the processor to others between refreshes.
// demo-capture, demo-bench and the tests switch it off to run as fast as
// they can. On for the program.
extern bool syncToDisplay;

// How many windows this process has built and torn down (tests and the bench
// check that every pass ends with exactly one tear-down), and what the last
// build's vertical-sync request got.
struct WindowStats {
    int builds = 0;
    int teardowns = 0;
    int syncRequests = 0;  // builds that asked for vertical sync
    int swapInterval = 0;  // in force after the last build: -1 adaptive, 1 plain, 0 none
};
extern WindowStats windowStats;

// Returns 1 when the window and a current GL context exist, 0 otherwise (with
// everything it acquired released again).
int createGLWindow(AppWindow* appWindow);
// Releases the context and the window, restores the desktop mode and the
// cursor. Always 1.
int destroyGLWindow(AppWindow* appWindow);
// 1 when the display offers exactly width x height at `bits`, so the switch
// can take place; 0 when it would be refused.
int changeScreenResolution(int width, int height, int bits);

// Handles one event addressed to the window, as the window procedure would:
// size and minimise, close, keys, the toggle message.
void windowProc(AppWindow* appWindow, const SDL_Event& event);

// Maps an SDL key to the Windows virtual-key code the KeyTable is indexed
// by; returns -1 for keys that have none (and for system keys: with Alt held,
// or F10, which never reach the key table).
int virtualKeyFor(const SDL_Keysym& keysym);

// Viewport and projection for a client size; (0, 0) means the last size.
void reshapeGL(int width, int height);
