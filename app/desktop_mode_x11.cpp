// The watchdog's hold on an X11 display's mode, through XRandR 1.2. SDL 2.26
// switches a fullscreen mode this way: the output's CRTC off, the screen
// resized to the mode, the CRTC on in the new mode (on the dummy driver the
// screen itself goes from 1920 x 1080 to 1024 x 768). Restoring takes the
// same steps back, and only for what differs from what was read.
//
// Runs in the watchdog's own process only: its display connection, its
// error handlers and what it read are that process's.
#include "app/desktop_mode.h"

#if defined(__linux__) && defined(DEMO_HAVE_XRANDR)

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <vector>

namespace platform {
namespace {

struct CrtcSetting {
    RRCrtc crtc = 0;
    RRMode mode = None;
    int x = 0, y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
    bool operator==(const CrtcSetting& other) const {
        return crtc == other.crtc && mode == other.mode && x == other.x && y == other.y &&
               rotation == other.rotation && outputs == other.outputs;
    }
};

struct ScreenSetting {
    int screen = 0;
    int width = 0, height = 0, widthMm = 0, heightMm = 0;
    std::vector<CrtcSetting> crtcs;
};

struct Held {
    Display* display = nullptr;
    std::vector<ScreenSetting> screens;
    int errors = 0;
};
Held held;

int countError(Display*, XErrorEvent*) {
    held.errors++;
    return 0;
}

// The server is gone, and with it the mode there was to restore.
int connectionLost(Display*) { _exit(0); }

std::vector<CrtcSetting> readCrtcs(Display* display, XRRScreenResources* resources) {
    std::vector<CrtcSetting> crtcs;
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (!info) continue;
        CrtcSetting setting;
        setting.crtc = resources->crtcs[i];
        setting.mode = info->mode;
        setting.x = info->x;
        setting.y = info->y;
        setting.rotation = info->rotation;
        setting.outputs.assign(info->outputs, info->outputs + info->noutput);
        crtcs.push_back(setting);
        XRRFreeCrtcInfo(info);
    }
    return crtcs;
}

bool setCrtc(Display* display, Window root, const CrtcSetting& setting) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    Status status = XRRSetCrtcConfig(display, resources, setting.crtc, CurrentTime, setting.x, setting.y,
                                     setting.mode, setting.rotation,
                                     const_cast<RROutput*>(setting.outputs.data()),
                                     static_cast<int>(setting.outputs.size()));
    XRRFreeScreenResources(resources);
    return status == RRSetConfigSuccess;
}

bool restoreScreen(Display* display, const ScreenSetting& wanted) {
    const Window root = RootWindow(display, wanted.screen);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    const std::vector<CrtcSetting> now = readCrtcs(display, resources);
    XRRFreeScreenResources(resources);
    Window ignoredRoot;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(display, root, &ignoredRoot, &x, &y, &width, &height, &border, &depth);
    const bool resize = static_cast<int>(width) != wanted.width || static_cast<int>(height) != wanted.height;

    std::vector<CrtcSetting> changed;
    for (const CrtcSetting& setting : wanted.crtcs) {
        for (const CrtcSetting& current : now)
            if (current.crtc == setting.crtc && !(current == setting)) changed.push_back(setting);
    }
    if (changed.empty() && !resize) return true;

    bool done = true;
    XGrabServer(display);
    if (resize) {
        // A CRTC must fit the screen at every step: off first, as SDL does.
        for (const CrtcSetting& setting : changed) {
            CrtcSetting off;
            off.crtc = setting.crtc;
            done = setCrtc(display, root, off) && done;
        }
        XRRSetScreenSize(display, root, wanted.width, wanted.height, wanted.widthMm, wanted.heightMm);
    }
    for (const CrtcSetting& setting : changed) done = setCrtc(display, root, setting) && done;
    XUngrabServer(display);
    XSync(display, False);
    return done;
}

void forget() {
    if (held.display) XCloseDisplay(held.display);
    held = Held{};
}

bool remember() {
    forget();
    XSetErrorHandler(countError);
    XSetIOErrorHandler(connectionLost);
    held.display = XOpenDisplay(nullptr);
    if (!held.display) return false;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(held.display, &event, &error) || !XRRQueryVersion(held.display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2)) {
        forget();
        return false;
    }
    for (int screen = 0; screen < ScreenCount(held.display); ++screen) {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(held.display, RootWindow(held.display, screen));
        if (!resources) continue;
        ScreenSetting setting;
        setting.screen = screen;
        // Read from a connection opened just now, so up to date.
        setting.width = DisplayWidth(held.display, screen);
        setting.height = DisplayHeight(held.display, screen);
        setting.widthMm = DisplayWidthMM(held.display, screen);
        setting.heightMm = DisplayHeightMM(held.display, screen);
        setting.crtcs = readCrtcs(held.display, resources);
        XRRFreeScreenResources(resources);
        held.screens.push_back(setting);
    }
    if (held.screens.empty()) forget();
    return !held.screens.empty();
}

bool restore() {
    if (!held.display) return false;
    held.errors = 0;
    bool done = true;
    for (const ScreenSetting& screen : held.screens) done = restoreScreen(held.display, screen) && done;
    return done && held.errors == 0;
}

}  // namespace

const ModeKeeper& xrandrModeKeeper() {
    static const ModeKeeper keeper{remember, restore, forget};
    return keeper;
}

}  // namespace platform

#else  // built without XRandR: nothing can be held

namespace platform {
namespace {
bool cannot() { return false; }
void nothing() {}
}  // namespace

const ModeKeeper& xrandrModeKeeper() {
    static const ModeKeeper keeper{cannot, cannot, nothing};
    return keeper;
}
}  // namespace platform

#endif
