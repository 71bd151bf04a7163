// Test helpers: a real SDL window with a current llvmpipe context, and ways
// to drive the program with SDL events, as the program itself receives them.
#pragma once

#include "app/shell.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// The entry's three records as runApp fills them for the demo (AppDesc's
// defaults), the demo's callbacks in place, notices recorded.
struct TestApp {
    AppClass appClass;
    AppWindow appWindow;
    KeyTable keyTable;
    TestApp();
};

// A TestApp whose window is built (windowed unless asked otherwise), with the
// demo's pointers in place as the start-up would leave them. Torn down and
// unregistered at the end of the scope.
struct TestWindow : TestApp {
    explicit TestWindow(int width = 320, int height = 240, int fullscreen = 0);
    ~TestWindow();
    bool ok = false;
};

std::uint32_t windowIdOf(const AppWindow& appWindow);
void pushKey(const AppWindow& appWindow, SDL_Keycode key, bool down, bool repeat = false);
void pushWindowEvent(const AppWindow& appWindow, std::uint8_t windowEvent, int data1 = 0,
                     int data2 = 0);
void pushUserEvent(std::uint32_t type, std::uint32_t windowId);

// RGBA of one pixel of the current read buffer (GL's bottom-left origin).
std::vector<std::uint8_t> readPixel(int x, int y);
