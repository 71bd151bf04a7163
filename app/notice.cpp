#include "app/notice.h"

#include "app/backends.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef DEMO_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace platform {
namespace {

SDL_Window* noticeWindow = nullptr;

#ifdef DEMO_HAVE_X11
// A window manager announces itself through _NET_SUPPORTING_WM_CHECK on the
// root window. Without one (xvfb-run, a kiosk) nobody is there to click OK.
bool x11HasWindowManager() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    bool found = false;
    if (check != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                               XA_WINDOW, &type, &format, &count, &after, &data) == Success) {
            found = type == XA_WINDOW && count == 1;
        }
        if (data) XFree(data);
    }
    XCloseDisplay(display);
    return found;
}
#endif

// Where DEMO_NOTICE does not say, the display driver decides; SDL's video
// must be running to tell which one it is.
bool boxCanBeAnswered() {
#ifdef DEMO_HAVE_X11
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) return x11HasWindowManager();
#endif
    return true;
}

// Shows the box and waits for it; false when none could be shown.
bool showBox(const char* text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", text, noticeWindow) != 0) return false;
    // The keys belong to the demo again.
    if (noticeWindow) SDL_RaiseWindow(noticeWindow);
    return true;
}

}  // namespace

void showNotice(const char* text) {
    if (backends().notices) {
        backends().notices(text);
        return;
    }
    const char* mode = std::getenv("DEMO_NOTICE");
    bool shown = false;
    if (mode && std::strcmp(mode, "box") == 0) {
        shown = showBox(text);
    } else if (!mode || std::strcmp(mode, "stderr") != 0) {
        // A notice before the shell has started SDL's video (one said before
        // any window is built) starts it for itself: without a driver to ask,
        // a box would go up on a display with no window manager, where
        // nobody can ever dismiss it.
        const bool started = SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        shown = boxCanBeAnswered() && showBox(text);
        if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (shown) return;
    std::fprintf(stderr, "Error: %s\n", text);
    std::fflush(stderr);
}

void setNoticeWindow(SDL_Window* window) { noticeWindow = window; }

std::vector<std::string>& recordedNotices() {
    static std::vector<std::string> notices;
    return notices;
}

void recordNotice(const char* text) { recordedNotices().emplace_back(text); }

}  // namespace platform
