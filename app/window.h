// The one OpenGL window: build, tear-down, display-mode switch, the event
// handler (the window procedure's behaviour) and the viewport for a size,
// with the projection the program's callback sets.
//
// Owns viewWidth/viewHeight, the window counters and the identity of the GL
// context. The AppWindow it fills belongs to the entry (shell). How windows
// are sized and paced is the backends' choice. Everything runs on the main
// thread; the handler runs only inside runFrame's event pump.
#pragma once

#include "app/shell.h"

#include <SDL.h>

#include <cstdint>

extern std::int32_t viewWidth, viewHeight;  // last size given to reshapeGL

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

// A number for the GL context current on this thread, unique for the whole
// run (a new context never gets an old one's number, as it may get its
// address); 0 when none of ours is current. Whatever keeps GL names (the
// texture cache, the shader layer) tells by it that they belong to a context
// that is gone.
std::uint64_t currentContextSerial();

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
// The projection is the program's (its projection callback), on the
// identity; the modelview matrix is left current and the identity.
void reshapeGL(int width, int height);
