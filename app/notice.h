// Notices: the program's modal error messages ("Error" caption, one OK).
//
// Every message the shell or the demo shows to the viewer goes through
// showNotice. On a desktop it is an SDL message box that waits to be
// dismissed. Where no one could dismiss a box it goes to stderr instead: when
// SDL cannot show one, on an X server without a window manager (a bare Xvfb),
// or when DEMO_NOTICE=stderr is set (DEMO_NOTICE=box always tries a box). The
// same rule holds before any window is built: such a notice starts SDL's
// video for itself to tell. Tools and tests choose where notices go
// with the backends (backends.h); the tests choose the recorder below, so
// that no test can ever block on a box.
#pragma once

#include <string>
#include <vector>

struct SDL_Window;

namespace platform {

void showNotice(const char* text);

// The window a box belongs to, while one is up (null: none). A box with a
// parent is kept in front of it by the window manager: a fullscreen window
// stays above every window of no one's, and a box behind it would wait for
// a click nobody can give. The window module sets and clears it.
void setNoticeWindow(SDL_Window* window);

// A ready-made stand-in that keeps every notice in order.
std::vector<std::string>& recordedNotices();
void recordNotice(const char* text);

}  // namespace platform
