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

bool boxCanBeAnswered() {
    const char* mode = std::getenv("DEMO_NOTICE");
    if (mode && std::strcmp(mode, "stderr") == 0) return false;
    if (mode && std::strcmp(mode, "box") == 0) return true;
#ifdef DEMO_HAVE_X11
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) return x11HasWindowManager();
#endif
    return true;
}

}  // namespace

void showNotice(const char* text) {
    if (backends().notices) {
        backends().notices(text);
        return;
    }
    if (boxCanBeAnswered() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", text, noticeWindow) == 0) {
        // The keys belong to the demo again.
        if (noticeWindow) SDL_RaiseWindow(noticeWindow);
        return;
    }
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
