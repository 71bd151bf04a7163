#include "app/window.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/desktop_mode.h"
#include "app/gl.h"
#include "app/notice.h"

#include <cstring>

std::int32_t viewWidth = 0, viewHeight = 0;
WindowStats windowStats;

namespace {

// The context this module made last, and its number.
struct LiveContext {
    SDL_GLContext context = nullptr;
    std::uint64_t serial = 0;
};
LiveContext live;
std::uint64_t contextsMade = 0;

bool fixedSize() { return platform::backends().sizing == platform::WindowSizing::fixed; }

bool displayModeMatches(const SDL_DisplayMode& mode, int width, int height, int bits) {
    // A 32-bit request is met by any mode with four bytes per pixel (SDL
    // reports X11's 24-bit-in-32 modes as 24 bits per pixel).
    int modeBits = SDL_BYTESPERPIXEL(mode.format) * 8;
    return mode.w == width && mode.h == height && modeBits >= bits;
}

// Vertical sync on the new context (each context starts with the driver's
// default): adaptive first, so that a frame that misses a refresh is shown
// at once instead of a whole refresh later; plain where the driver has no
// adaptive sync; none where it has neither (Mesa's llvmpipe under Xvfb).
void requestVerticalSync() {
    windowStats.syncRequests++;
    if (SDL_GL_SetSwapInterval(-1) != 0 && SDL_GL_SetSwapInterval(1) != 0) SDL_GL_SetSwapInterval(0);
    windowStats.swapInterval = SDL_GL_GetSwapInterval();
}

// Releases what a failed build acquired: the context is gone already.
int undoBuild(AppWindow* appWindow) {
    if (appWindow->window) SDL_DestroyWindow(appWindow->window);
    appWindow->window = nullptr;
    platform::desktopModeBack();
    return 0;
}

}  // namespace

int changeScreenResolution(int width, int height, int bits) {
    SDL_DisplayMode wanted;
    SDL_zero(wanted);
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest)) return 0;
    return displayModeMatches(closest, width, height, bits) ? 1 : 0;
}

int createGLWindow(AppWindow* appWindow) {
    // Pixel format: double-buffered RGBA, >= 16 depth bits, >= 1 stencil bit.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (appWindow->fullscreen == 1) {
        if (changeScreenResolution(appWindow->width, appWindow->height,
                                   appWindow->bitsPerPixel & 0xFF)) {
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
    appWindow->window = SDL_CreateWindow(appWindow->title, 0, 0, appWindow->width,
                                         appWindow->height, flags);
    if (!appWindow->window) return undoBuild(appWindow);

    if (flags & SDL_WINDOW_FULLSCREEN) {
        // The switch itself happens when the window becomes fullscreen; check
        // the mode actually in force, since some servers accept the request
        // and keep their mode.
        SDL_DisplayMode mode;
        SDL_zero(mode);
        mode.w = appWindow->width;
        mode.h = appWindow->height;
        SDL_SetWindowDisplayMode(appWindow->window, &mode);
        SDL_DisplayMode current;
        int display = SDL_GetWindowDisplayIndex(appWindow->window);
        SDL_ShowWindow(appWindow->window);
        if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &current) != 0 ||
            !displayModeMatches(current, appWindow->width, appWindow->height,
                                appWindow->bitsPerPixel & 0xFF)) {
            SDL_DestroyWindow(appWindow->window);
            platform::desktopModeBack();
            SDL_ShowCursor(SDL_ENABLE);
            platform::showNotice("Mode Switch Failed.\nRunning In Windowed Mode.");
            appWindow->fullscreen = 0;
            appWindow->window = SDL_CreateWindow(appWindow->title, 0, 0, appWindow->width,
                                                 appWindow->height,
                                                 SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN |
                                                     (fixedSize() ? 0 : SDL_WINDOW_RESIZABLE));
            if (!appWindow->window) return 0;
        }
    }

    appWindow->glContext = SDL_GL_CreateContext(appWindow->window);
    if (!appWindow->glContext) return undoBuild(appWindow);
    if (SDL_GL_MakeCurrent(appWindow->window, appWindow->glContext) != 0) {
        SDL_GL_DeleteContext(appWindow->glContext);
        appWindow->glContext = nullptr;
        return undoBuild(appWindow);
    }
    live = LiveContext{appWindow->glContext, ++contextsMade};

    if (platform::backends().pacedByDisplay) {
        requestVerticalSync();
    } else {
        SDL_GL_SetSwapInterval(0);
        windowStats.swapInterval = SDL_GL_GetSwapInterval();
    }

    // Shown maximised; a fullscreen window already covers its display.
    SDL_ShowWindow(appWindow->window);
    platform::setNoticeWindow(appWindow->window);
    if (appWindow->fullscreen != 1 && !fixedSize()) SDL_MaximizeWindow(appWindow->window);
    SDL_DisableScreenSaver();

    int clientWidth = 0, clientHeight = 0;
    SDL_GL_GetDrawableSize(appWindow->window, &clientWidth, &clientHeight);
    appWindow->visible = 1;
    reshapeGL(clientWidth, clientHeight);

    std::memset(appWindow->keys, 0, sizeof *appWindow->keys);
    appWindow->lastTickCount = platform::tickCount();
    appWindow->lastCounter = platform::performanceCounter();
    windowStats.builds++;
    return 1;
}

int destroyGLWindow(AppWindow* appWindow) {
    if (appWindow->window) {
        platform::setNoticeWindow(nullptr);
        SDL_GL_MakeCurrent(appWindow->window, nullptr);
        if (appWindow->glContext) SDL_GL_DeleteContext(appWindow->glContext);
        if (live.context == appWindow->glContext) live = LiveContext{};
        appWindow->glContext = nullptr;
        SDL_DestroyWindow(appWindow->window);  // also restores the desktop mode
        platform::desktopModeBack();
        appWindow->window = nullptr;
        SDL_EnableScreenSaver();
        windowStats.teardowns++;
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
                reshapeGL(event.window.data1, event.window.data2);
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED: {
                int width = 0, height = 0;
                SDL_GL_GetDrawableSize(appWindow->window, &width, &height);
                appWindow->visible = 1;
                reshapeGL(width, height);
                break;
            }
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
    if (appEvents.toggleFullscreen != 0 && event.type == appEvents.toggleFullscreen) {
        fullscreenWanted = fullscreenWanted == 1 ? 0 : 1;
        SDL_Event quit;
        SDL_zero(quit);
        quit.type = appEvents.quit;
        quit.user.windowID = event.user.windowID;
        quit.user.timestamp = SDL_GetTicks();
        SDL_PushEvent(&quit);
        return;
    }
}

void reshapeGL(int width, int height) {
    if (width == 0 && height == 0) {
        width = viewWidth;
        height = viewHeight;
    } else {
        viewWidth = width;
        viewHeight = height;
    }
    // A size event can come before the context is current; then only the
    // stored size changes and the build sets the projection again.
    if (!SDL_GL_GetCurrentContext()) return;

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    appCallbacks().projection(width, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::uint64_t currentContextSerial() {
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    return current && current == live.context ? live.serial : 0;
}
