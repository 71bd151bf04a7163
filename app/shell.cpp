#include "app/shell.h"

#include "app/desktop_mode.h"
#include "app/notice.h"
#include "app/sound/sound.h"
#include "app/window.h"

#include <cstdio>
#include <cstring>

std::int32_t keepRunning = 0;
std::int32_t fullscreenWanted = 0;
AppEvents appEvents = {0, 0};

namespace {

AppCallbacks running = {};

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

void setAppDefaults(AppClass* appClass, AppWindow* appWindow, KeyTable* keyTable) {
    std::memset(appClass, 0, sizeof *appClass);
    std::memset(appWindow, 0, sizeof *appWindow);
    std::memset(keyTable, 0, sizeof *keyTable);
    appClass->className = "OpenGL";
    appWindow->title = "Kova's New GL Framework";
    appWindow->width = 1024;
    appWindow->height = 768;
    appWindow->bitsPerPixel = 32;
    appWindow->fullscreen = 1;
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
    appEvents.quit = first;
    appEvents.toggleFullscreen = first + 1;
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
    appEvents = {0, 0};
    SDL_Quit();
}

int postQuit(AppWindow* appWindow) {
    int result = pushWindowEvent(appWindow, appEvents.quit);
    keepRunning = 0;
    return result;
}

int postToggleFullscreen(AppWindow* appWindow) {
    return pushWindowEvent(appWindow, appEvents.toggleFullscreen);
}

void deinitialize() {}

const AppCallbacks& appCallbacks() { return running; }

void setAppCallbacks(const AppCallbacks& callbacks) { running = callbacks; }

int runPasses(const AppCallbacks& callbacks, AppClass* appClass, AppWindow* appWindow,
              KeyTable* keyTable) {
    setAppCallbacks(callbacks);
    if (!registerWindowClass(appClass)) {
        platform::showNotice("Error Registering Window Class!");
        return -1;
    }
    keepRunning = 1;
    fullscreenWanted = appWindow->fullscreen;

    int status = 0;
    do {
        appWindow->fullscreen = fullscreenWanted;
        if (createGLWindow(appWindow) != 1) {
            platform::showNotice("Error Creating OpenGL Window");
            keepRunning = 0;
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
    } while (keepRunning);

    // Every way out lets go of the sound layer's device, channels and
    // decoded sound before SDL goes (SDL_Quit would close the device behind
    // its back and leave the rest allocated).
    sound::operations().shutdown();
    unregisterWindowClass(appClass);
    return status;
}

int appMain(const AppCallbacks& callbacks) {
    static AppClass appClass;
    static AppWindow appWindow;
    static KeyTable keyTable;
    setAppDefaults(&appClass, &appWindow, &keyTable);
    // The watchdog is a fork of this process: before SDL starts any thread.
    platform::guardDesktopMode();
    platform::handleEndingSignals();
    return runPasses(callbacks, &appClass, &appWindow, &keyTable);
}
