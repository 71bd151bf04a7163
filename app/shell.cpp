#include "app/shell.h"

#include "app/app_state.h"

#include "app/desktop_mode.h"
#include "app/notice.h"
#include "app/sound/sound.h"
#include "app/window.h"

#include <cstdio>
#include <cstring>

using platform::detail::AppState;
using platform::detail::state;

namespace {

int pushWindowEvent(AppWindow* appWindow, std::uint32_t type) {
    if (type == 0) return 0;
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    event.user.windowID = appWindow->window ? SDL_GetWindowID(appWindow->window) : 0;
    event.user.timestamp = SDL_GetTicks();
    return SDL_PushEvent(&event) == 1 ? 1 : 0;
}

// When SDL cannot reach the display it quietly falls back to its offscreen
// driver, and the demo would play to nobody. An X server can refuse a
// connection now and then right after an earlier one closed, so try again a
// few times; without a display, refuse to start. Whoever asks for a driver by
// name (SDL_VIDEODRIVER) gets it.
bool initVideo() {
    const Uint32 subsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER;
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    for (int attempt = 0; attempt < 5; attempt++) {
        if (SDL_Init(subsystems) != 0) return false;
        const char* driver = SDL_GetCurrentVideoDriver();
        if ((requested && *requested) || !driver || std::strcmp(driver, "offscreen") != 0) {
            return true;
        }
        SDL_Quit();
        SDL_Delay(20);
    }
    SDL_SetError("no display; only SDL's offscreen driver would start");
    return false;
}

}  // namespace

void setAppRecords(const AppDesc& desc, AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable) {
    std::memset(appClass, 0, sizeof *appClass);
    std::memset(appWindow, 0, sizeof *appWindow);
    std::memset(keyTable, 0, sizeof *keyTable);
    appClass->className = "OpenGL";
    appWindow->title = desc.title;
    appWindow->width = desc.width;
    appWindow->height = desc.height;
    appWindow->bitsPerPixel = desc.bitsPerPixel;
    appWindow->fullscreen = desc.fullscreen ? 1 : 0;
    appWindow->keys = keyTable;
    appWindow->appClass = appClass;
}

int registerWindowClass(AppClass* appClass) {
    (void)appClass;
    // Closing the window must arrive as a close event we handle ourselves,
    // never as SDL's own application-wide quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Let the screen saver rule come from us (held off while a window exists).
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    // The fullscreen window stays up when it loses the focus. SDL would
    // minimise it, and a minimised demo draws nothing and feeds no sound:
    // a notice box over it (which takes the focus) would leave a black,
    // silent screen once dismissed, and switching to another program would
    // cut the music off.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (!initVideo()) {
        std::fprintf(stderr, "Cannot reach a display: %s\n", SDL_GetError());
        platform::showNotice("RegisterClassEx Failed!");
        return 0;
    }
    std::uint32_t first = SDL_RegisterEvents(2);
    if (first == static_cast<std::uint32_t>(-1)) {
        SDL_Quit();
        platform::showNotice("RegisterClassEx Failed!");
        return 0;
    }
    state().events.quit = first;
    state().events.toggleFullscreen = first + 1;
    // Nothing can be dropped on the demo: without these, every file dragged
    // onto the window would queue an event holding a copy of its path.
    SDL_EventState(SDL_DROPFILE, SDL_DISABLE);
    SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
    SDL_EventState(SDL_DROPBEGIN, SDL_DISABLE);
    SDL_EventState(SDL_DROPCOMPLETE, SDL_DISABLE);
    return 1;
}

void unregisterWindowClass(AppClass* appClass) {
    (void)appClass;
    state().events = {0, 0};
    SDL_Quit();
}

int postQuit(AppWindow* appWindow) {
    int result = pushWindowEvent(appWindow, state().events.quit);
    state().keepRunning = 0;
    return result;
}

int postToggleFullscreen(AppWindow* appWindow) {
    return pushWindowEvent(appWindow, state().events.toggleFullscreen);
}

void deinitialize() {}

const AppCallbacks& appCallbacks() { return state().callbacks; }

void setAppCallbacks(const AppCallbacks& callbacks) { state().callbacks = callbacks; }

std::int32_t keepRunning() { return state().keepRunning; }

void setKeepRunning(std::int32_t value) { state().keepRunning = value; }

std::int32_t fullscreenWanted() { return state().fullscreenWanted; }

const AppEvents& appEvents() { return state().events; }

int runPasses(const AppCallbacks& callbacks, AppClass* appClass, AppWindow* appWindow,
              KeyTable* keyTable) {
    setAppCallbacks(callbacks);
    if (!registerWindowClass(appClass)) {
        platform::showNotice("Error Registering Window Class!");
        return -1;
    }
    AppState& app = state();
    app.keepRunning = 1;
    app.fullscreenWanted = appWindow->fullscreen;

    int status = 0;
    do {
        appWindow->fullscreen = app.fullscreenWanted;
        if (createGLWindow(appWindow) != 1) {
            platform::showNotice("Error Creating OpenGL Window");
            app.keepRunning = 0;
            // A window that cannot be built is a failure, not a normal end.
            status = 1;
            break;
        }
        if (callbacks.initialize(appWindow, keyTable)) {
            callbacks.runTimeline(appWindow);
        } else {
            postQuit(appWindow);
            // The start-up has said what is missing; the demo could not run.
            status = 1;
        }
        deinitialize();
        destroyGLWindow(appWindow);
    } while (app.keepRunning);

    // Every way out lets go of the sound layer's device, channels and
    // decoded sound before SDL goes (SDL_Quit would close the device behind
    // its back and leave the rest allocated).
    sound::operations().shutdown();
    unregisterWindowClass(appClass);
    return status;
}

int runApp(const AppDesc& desc) {
    platform::useBackends(desc.backends);
    static AppClass appClass;
    static AppWindow appWindow;
    static KeyTable keyTable;
    setAppRecords(desc, &appClass, &appWindow, &keyTable);
    if (desc.guardsTheDesktop) {
        // The watchdog is a fork of this process: before SDL starts any thread.
        platform::guardDesktopMode();
        platform::handleEndingSignals();
    }
    return runPasses(desc.callbacks, &appClass, &appWindow, &keyTable);
}
