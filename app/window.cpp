#include "app/window.h"

#include "app/app_state.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/desktop_mode.h"
#include "app/gl.h"
#include "app/notice.h"
#include "app/present.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using platform::detail::state;

namespace {

// The display the last window was on when it was torn down: the next one,
// fullscreen or not, comes up there (F1 on a window moved to another
// display switches that display).
int lastDisplay = 0;

// Whether the window built last has depth and stencil (what it asked for
// until its context is made, then what it got); a window whose frame is drawn
// offscreen has colour only.
bool windowHasDepth = true;

int nextDisplay() {
    return lastDisplay >= 0 && lastDisplay < SDL_GetNumVideoDisplays() ? lastDisplay : 0;
}

bool fixedSize() { return platform::backends().sizing == platform::WindowSizing::fixed; }

// The mode to ask for on `display`: chooseDisplayMode among those it offers.
bool modeToAskFor(int display, int width, int height, int bits, SDL_DisplayMode* mode) {
    std::vector<SDL_DisplayMode> offered;
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode one;
        if (SDL_GetDisplayMode(display, i, &one) == 0) offered.push_back(one);
    }
    return chooseDisplayMode(offered.data(), static_cast<int>(offered.size()), width, height, bits,
                             mode);
}

// Vertical sync on the new context (each context starts with the driver's
// default): adaptive first, so that a frame that misses a refresh is shown
// at once instead of a whole refresh later; plain where the driver has no
// adaptive sync; none where it has neither (Mesa's llvmpipe under Xvfb).
void requestVerticalSync() {
    state().windowStats.syncRequests++;
    if (SDL_GL_SetSwapInterval(-1) != 0 && SDL_GL_SetSwapInterval(1) != 0) SDL_GL_SetSwapInterval(0);
    state().windowStats.swapInterval = SDL_GL_GetSwapInterval();
}

// What a fullscreen window was granted, judged by the window and not by the
// display's mode: on Wayland the display goes on reporting the output's own
// mode while the window has the one asked for, emulated.
enum class Granted {
    modeSize,   // the mode's size: a real switch, drawn directly
    otherSize,  // fullscreen at another size (XWayland: the output's)
    // The mode's size while the display shows another: the server scales the
    // window to its output and may stretch the frame's shape across a wider
    // one (SDL on Wayland does).
    scaledByServer,
    refused,  // not fullscreen at all
};

Granted judgeFullscreen(SDL_Window* window, int width, int height) {
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)) return Granted::refused;
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0) return Granted::refused;
    if (drawableWidth != width || drawableHeight != height) return Granted::otherSize;
    SDL_DisplayMode current;
    const int display = SDL_GetWindowDisplayIndex(window);
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &current) == 0 &&
        (current.w != width || current.h != height)) {
        return Granted::scaledByServer;
    }
    return Granted::modeSize;
}

// The frame's target and the viewport for the drawable as it is now.
void followDrawable(AppWindow* appWindow) {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(appWindow->window, &width, &height);
    if (appWindow->fullscreen != 1) {
        platform::drawDirect();  // a window's frame follows the window
    } else if (SDL_GL_GetCurrentContext()) {
        platform::fitFrameToDrawable(appWindow->width, appWindow->height, width, height, windowHasDepth);
    }
    reshapeGL(width, height);
}

// Releases what a failed build acquired: the context is gone already.
int undoBuild(AppWindow* appWindow) {
    if (appWindow->window) SDL_DestroyWindow(appWindow->window);
    appWindow->window = nullptr;
    platform::desktopModeBack();
    return 0;
}

// Pixel format: double-buffered RGBA with, unless the frame is drawn
// offscreen, >= 16 depth bits and >= 1 stencil bit. EGL (Wayland) takes it
// when a window is made, X11 when its context is.
void requestPixelFormat(bool withDepth) {
    windowHasDepth = withDepth;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, withDepth ? 16 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, withDepth ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// The fullscreen window given up for an ordinary one, with the notice; the
// old window is gone already or destroyed here. False when none was made.
bool fallBackToWindow(AppWindow* appWindow, const SDL_Rect& bounds) {
    if (appWindow->window) SDL_DestroyWindow(appWindow->window);
    platform::desktopModeBack();
    SDL_ShowCursor(SDL_ENABLE);
    platform::showNotice("Mode Switch Failed.\nRunning In Windowed Mode.");
    appWindow->fullscreen = 0;
    requestPixelFormat(true);
    appWindow->window = SDL_CreateWindow(appWindow->title, bounds.x, bounds.y, appWindow->width,
                                         appWindow->height,
                                         SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI |
                                             (fixedSize() ? 0 : SDL_WINDOW_RESIZABLE));
    return appWindow->window != nullptr;
}

// The window's context, current and numbered; false (nothing kept) when it
// cannot be made.
bool makeContext(AppWindow* appWindow) {
    appWindow->glContext = SDL_GL_CreateContext(appWindow->window);
    if (!appWindow->glContext) return false;
    if (SDL_GL_MakeCurrent(appWindow->window, appWindow->glContext) != 0) {
        SDL_GL_DeleteContext(appWindow->glContext);
        appWindow->glContext = nullptr;
        return false;
    }
    state().liveContext = appWindow->glContext;
    state().liveSerial = ++state().contextsMade;
    return true;
}

}  // namespace

bool displayModeMatches(const SDL_DisplayMode& mode, int width, int height, int bits) {
    // A 32-bit request is met by any mode with four bytes per pixel (SDL
    // reports X11's 24-bit-in-32 modes as 24 bits per pixel).
    int modeBits = SDL_BYTESPERPIXEL(mode.format) * 8;
    return mode.w == width && mode.h == height && modeBits >= bits;
}

bool chooseDisplayMode(const SDL_DisplayMode* offered, int count, int width, int height, int bits,
                       SDL_DisplayMode* chosen) {
    // SDL reports a rate in whole hertz, 59.94 Hz as 59 or 60.
    auto nearSixty = [](const SDL_DisplayMode& mode) { return std::abs(mode.refresh_rate - 60) <= 1; };
    const SDL_DisplayMode* best = nullptr;
    for (int i = 0; i < count; ++i) {
        if (!displayModeMatches(offered[i], width, height, bits)) continue;
        if (!best || (nearSixty(offered[i]) && !nearSixty(*best))) best = &offered[i];
    }
    if (best) *chosen = *best;
    return best != nullptr;
}

int changeScreenResolution(int width, int height, int bits) {
    SDL_DisplayMode mode;
    return modeToAskFor(nextDisplay(), width, height, bits, &mode) ? 1 : 0;
}

int createGLWindow(AppWindow* appWindow) {
    // The build sets the projection through the app's callback: a window
    // asked for before the callbacks are set cannot be made.
    const AppCallbacks& callbacks = appCallbacks();
    if (!callbacks.projection) {
        SDL_SetError("the window was asked for before the app's callbacks were set");
        return 0;
    }
    requestPixelFormat(true);

    const int display = nextDisplay();
    SDL_Rect bounds{0, 0, 0, 0};
    SDL_GetDisplayBounds(display, &bounds);
    SDL_DisplayMode mode;
    SDL_zero(mode);
    // Everything is sized by the drawable, in pixels: on a scaled desktop the
    // window's own size is in points.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (appWindow->fullscreen == 1) {
        if (modeToAskFor(display, appWindow->width, appWindow->height,
                         appWindow->bitsPerPixel & 0xFF, &mode)) {
            SDL_ShowCursor(SDL_DISABLE);
            flags |= SDL_WINDOW_FULLSCREEN | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_BORDERLESS;
        } else {
            platform::showNotice("Mode Switch Failed.\nRunning In Windowed Mode.");
            appWindow->fullscreen = 0;
            if (!fixedSize()) flags |= SDL_WINDOW_RESIZABLE;
        }
    } else if (!fixedSize()) {
        flags |= SDL_WINDOW_RESIZABLE;
    }

    // The watchdog reads the desktop's mode before it changes.
    if (flags & SDL_WINDOW_FULLSCREEN) platform::desktopModeSwitching();
    appWindow->window = SDL_CreateWindow(appWindow->title, bounds.x, bounds.y, appWindow->width,
                                         appWindow->height, flags);
    if (!appWindow->window) return undoBuild(appWindow);

    if (flags & SDL_WINDOW_FULLSCREEN) {
        // The switch itself happens when the window is shown.
        SDL_SetWindowDisplayMode(appWindow->window, &mode);
        SDL_ShowWindow(appWindow->window);
        Granted granted = judgeFullscreen(appWindow->window, appWindow->width, appWindow->height);
        // Both draw the frame offscreen at the mode's size and scale it in
        // (present.h), so the window's own framebuffer needs no depth or
        // stencil.
        if (granted == Granted::scaledByServer) {
            // The output's own size instead (a window made so has it from
            // the start); the mode switch gains nothing.
            SDL_DestroyWindow(appWindow->window);
            platform::desktopModeBack();
            requestPixelFormat(false);
            appWindow->window = SDL_CreateWindow(appWindow->title, bounds.x, bounds.y, appWindow->width,
                                                 appWindow->height, flags | SDL_WINDOW_FULLSCREEN_DESKTOP);
            if (!appWindow->window) return undoBuild(appWindow);
            SDL_ShowWindow(appWindow->window);
            granted = judgeFullscreen(appWindow->window, appWindow->width, appWindow->height) ==
                              Granted::otherSize
                          ? Granted::otherSize
                          : Granted::refused;
        } else if (granted == Granted::otherSize) {
            // The window stays (making it again races a window manager that
            // is still busy with it); X11 takes the framebuffer from the
            // context's configuration.
            requestPixelFormat(false);
        }
        if (granted == Granted::refused && !fallBackToWindow(appWindow, bounds)) return 0;
    }

    bool made = makeContext(appWindow);
    if (!made && !windowHasDepth) {  // a driver that wants the window's own configuration
        requestPixelFormat(true);
        made = makeContext(appWindow);
    }
    if (!made) return undoBuild(appWindow);
    // What the window's framebuffer really has decides whether the frame may
    // be drawn straight into it.
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    windowHasDepth = depthBits > 0 && stencilBits > 0;
    // Only a frame drawn offscreen fits a colour-only window; without
    // framebuffer objects, a window as for any refused switch.
    if (!windowHasDepth && !platform::canDrawOffscreen()) {
        SDL_GL_MakeCurrent(appWindow->window, nullptr);
        SDL_GL_DeleteContext(appWindow->glContext);
        appWindow->glContext = nullptr;
        state().liveContext = nullptr;
        state().liveSerial = 0;
        if (!fallBackToWindow(appWindow, bounds) || !makeContext(appWindow)) return undoBuild(appWindow);
        windowHasDepth = true;
    }

    if (platform::backends().pacedByDisplay) {
        requestVerticalSync();
    } else {
        SDL_GL_SetSwapInterval(0);
        state().windowStats.swapInterval = SDL_GL_GetSwapInterval();
    }

    // Shown maximised; a fullscreen window already covers its display.
    SDL_ShowWindow(appWindow->window);
    platform::setNoticeWindow(appWindow->window);
    if (appWindow->fullscreen != 1 && !fixedSize()) SDL_MaximizeWindow(appWindow->window);
    SDL_DisableScreenSaver();

    appWindow->visible = 1;
    followDrawable(appWindow);

    std::memset(appWindow->keys, 0, sizeof *appWindow->keys);
    appWindow->lastTickCount = platform::tickCount();
    appWindow->lastCounter = platform::performanceCounter();
    state().windowStats.builds++;
    return 1;
}

int destroyGLWindow(AppWindow* appWindow) {
    if (appWindow->window) {
        platform::setNoticeWindow(nullptr);
        const int display = SDL_GetWindowDisplayIndex(appWindow->window);
        if (display >= 0) lastDisplay = display;
        platform::drawDirect();  // the offscreen frame goes with its context
        SDL_GL_MakeCurrent(appWindow->window, nullptr);
        if (appWindow->glContext) SDL_GL_DeleteContext(appWindow->glContext);
        if (state().liveContext == appWindow->glContext) {
            state().liveContext = nullptr;
            state().liveSerial = 0;
        }
        appWindow->glContext = nullptr;
        SDL_DestroyWindow(appWindow->window);  // also restores the desktop mode
        platform::desktopModeBack();
        appWindow->window = nullptr;
        SDL_EnableScreenSaver();
        state().windowStats.teardowns++;
    }
    if (appWindow->fullscreen) SDL_ShowCursor(SDL_ENABLE);
    return 1;
}

int virtualKeyFor(const SDL_Keysym& keysym) {
    // Keys pressed with Alt, and F10, are system keys: never recorded.
    if (keysym.mod & KMOD_ALT) return -1;
    SDL_Keycode key = keysym.sym;
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F9) return 112 + (key - SDLK_F1);
    if (key >= SDLK_F11 && key <= SDLK_F12) return 122 + (key - SDLK_F11);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_ESCAPE: return 27;
        case SDLK_BACKSPACE: return 8;
        case SDLK_TAB: return 9;
        case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
        case SDLK_LCTRL: case SDLK_RCTRL: return 17;
        case SDLK_PAUSE: return 19;
        case SDLK_CAPSLOCK: return 20;
        case SDLK_SPACE: return 32;
        case SDLK_PAGEUP: return 33;
        case SDLK_PAGEDOWN: return 34;
        case SDLK_END: return 35;
        case SDLK_HOME: return 36;
        case SDLK_LEFT: return 37;
        case SDLK_UP: return 38;
        case SDLK_RIGHT: return 39;
        case SDLK_DOWN: return 40;
        case SDLK_PRINTSCREEN: return 44;
        case SDLK_INSERT: return 45;
        case SDLK_DELETE: return 46;
        case SDLK_LGUI: return 91;
        case SDLK_RGUI: return 92;
        case SDLK_APPLICATION: return 93;
        case SDLK_KP_0: return 96;
        case SDLK_KP_MULTIPLY: return 106;
        case SDLK_KP_PLUS: return 107;
        case SDLK_KP_MINUS: return 109;
        case SDLK_KP_PERIOD: return 110;
        case SDLK_KP_DIVIDE: return 111;
        case SDLK_NUMLOCKCLEAR: return 144;
        case SDLK_SCROLLLOCK: return 145;
        case SDLK_SEMICOLON: return 186;
        case SDLK_EQUALS: return 187;
        case SDLK_COMMA: return 188;
        case SDLK_MINUS: return 189;
        case SDLK_PERIOD: return 190;
        case SDLK_SLASH: return 191;
        case SDLK_BACKQUOTE: return 192;
        case SDLK_LEFTBRACKET: return 219;
        case SDLK_BACKSLASH: return 220;
        case SDLK_RIGHTBRACKET: return 221;
        case SDLK_QUOTE: return 222;
        default: return -1;
    }
}

void windowProc(AppWindow* appWindow, const SDL_Event& event) {
    if (event.type == SDL_WINDOWEVENT) {
        switch (event.window.event) {
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (SDL_GetWindowFlags(appWindow->window) & SDL_WINDOW_MINIMIZED) break;
                appWindow->visible = 1;
                followDrawable(appWindow);  // the event's size is in points
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
                appWindow->visible = 1;
                followDrawable(appWindow);
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                appWindow->visible = 0;
                break;
            case SDL_WINDOWEVENT_CLOSE:
                // The window itself is left to the tear-down.
                postQuit(appWindow);
                break;
            default:
                break;
        }
        return;
    }
    if (event.type == SDL_QUIT) {
        // Asked to end from outside (a signal, the session closing): same as
        // closing the window.
        postQuit(appWindow);
        return;
    }
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        int code = virtualKeyFor(event.key.keysym);
        if (code >= 0 && code <= 255) {
            appWindow->keys->down[code] = event.type == SDL_KEYDOWN ? 1 : 0;
            if (event.type == SDL_KEYDOWN) appWindow->keys->pressed[code] = 1;
        }
        return;
    }
    if (state().events.toggleFullscreen != 0 && event.type == state().events.toggleFullscreen) {
        state().fullscreenWanted = state().fullscreenWanted == 1 ? 0 : 1;
        SDL_Event quit;
        SDL_zero(quit);
        quit.type = state().events.quit;
        quit.user.windowID = event.user.windowID;
        quit.user.timestamp = SDL_GetTicks();
        SDL_PushEvent(&quit);
        return;
    }
}

void reshapeGL(int width, int height) {
    if (width == 0 && height == 0) {
        width = state().viewWidth;
        height = state().viewHeight;
    } else {
        state().viewWidth = width;
        state().viewHeight = height;
    }
    // A size event can come before the context is current; then only the
    // stored size changes and the build sets the projection again.
    if (!SDL_GL_GetCurrentContext()) return;

    // The frame's own area: the whole drawable, unless a fullscreen frame is
    // drawn at the mode's size in a drawable of another (present.h).
    const platform::FrameArea area = platform::frameArea(width, height);
    glViewport(area.x, area.y, area.width, area.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    appCallbacks().projection(area.width, area.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::uint64_t currentContextSerial() {
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    return current && current == state().liveContext ? state().liveSerial : 0;
}

std::int32_t viewWidth() { return state().viewWidth; }

std::int32_t viewHeight() { return state().viewHeight; }

const WindowStats& windowStats() { return state().windowStats; }

void resetWindowStats() { state().windowStats = WindowStats{}; }
