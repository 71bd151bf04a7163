// The one OpenGL window: build, tear-down, display-mode switch, the event
// handler (the window procedure's behaviour) and the viewport for a size,
// with the projection the program's callback sets.
//
// Owns the last size given to reshapeGL, the window counters and the
// identity of the GL context (in app's private state record, read through
// the accessors below). The AppWindow it fills belongs to the entry (shell). How windows
// are sized and paced is the backends' choice. Everything runs on the main
// thread; the handler runs only inside runFrame's event pump.
#pragma once

#include "app/shell.h"

#include <SDL.h>

#include <cstdint>

// The last drawable size given to reshapeGL other than (0, 0); 0 x 0 before
// any.
std::int32_t viewWidth();
std::int32_t viewHeight();

// How many windows this process has built and torn down (tests and the bench
// check that every pass ends with exactly one tear-down), and what the last
// build's vertical-sync request got.
struct WindowStats {
    int builds = 0;
    int teardowns = 0;
    int syncRequests = 0;  // builds that asked for vertical sync
    int swapInterval = 0;  // in force after the last build: -1 adaptive, 1 plain, 0 none
};
const WindowStats& windowStats();
// Counts from zero again (a test's or a bench run's own count).
void resetWindowStats();

// A number for the GL context current on this thread, unique for the whole
// run (a new context never gets an old one's number, as it may get its
// address); 0 when none of ours is current. Whatever keeps GL names (the
// texture cache, the shader layer) tells by it that they belong to a context
// that is gone.
std::uint64_t currentContextSerial();

// Returns 1 when the window and a current GL context exist, 0 otherwise (with
// everything it acquired released again; also before the app's callbacks
// are set, SDL_GetError says so). The window comes up on the display
// the last one was on. Fullscreen asks that display for the requested mode
// (chooseDisplayMode) and keeps whatever fullscreen window is granted, at
// whatever size: the frame is fitted to its drawable (present.h). Only a
// display without the mode, or a window left windowed, gives the notice and
// the windowed fallback.
int createGLWindow(AppWindow* appWindow);
// Releases the offscreen frame, the context and the window, restores the
// desktop mode and the cursor, and keeps the display the window was on for
// the next build. Always 1.
int destroyGLWindow(AppWindow* appWindow);
// 1 when the display the next window comes up on offers exactly width x
// height at `bits`, so the switch can take place; 0 when it would be refused.
int changeScreenResolution(int width, int height, int bits);

// Whether `mode` is width x height with at least `bits` per pixel.
bool displayModeMatches(const SDL_DisplayMode& mode, int width, int height, int bits);
// The mode a switch asks for among the `count` a display offers: one that
// matches, at 60 Hz where there is one (the motion is made for 60 frames a
// second), else the first that matches (SDL lists the highest rate first).
// False when none matches.
bool chooseDisplayMode(const SDL_DisplayMode* offered, int count, int width, int height, int bits,
                       SDL_DisplayMode* chosen);

// Handles one event addressed to the window, as the window procedure would:
// size and minimise, close, keys, the toggle message.
void windowProc(AppWindow* appWindow, const SDL_Event& event);

// Maps an SDL key to the Windows virtual-key code the KeyTable is indexed
// by; returns -1 for keys that have none (and for system keys: with Alt held,
// or F10, which never reach the key table).
int virtualKeyFor(const SDL_Keysym& keysym);

// Viewport and projection for a drawable size in pixels; (0, 0) means the
// last size. The viewport is the frame's area (present.h: the whole drawable
// but for a fullscreen frame drawn at the mode's size), and the projection is
// the program's (its projection callback) for that area, on the identity;
// the modelview matrix is left current and the identity.
void reshapeGL(int width, int height);
