#include "support/test_window.h"

#include "app/gl.h"
#include "app/notice.h"
#include "app/window.h"
#include "demo/demo_state.h"

TestApp::TestApp() {
    // The demo's operations, for windows the test builds itself.
    AppDesc desc;
    desc.callbacks = demoCallbacks();
    setAppRecords(desc, &appClass, &appWindow, &keyTable);
    setAppCallbacks(desc.callbacks);
    platform::recordedNotices().clear();
}

TestWindow::TestWindow(int width, int height, int fullscreen) {
    appWindow.width = width;
    appWindow.height = height;
    appWindow.fullscreen = fullscreen;
    if (!registerWindowClass(&appClass)) return;
    if (createGLWindow(&appWindow) != 1) return;
    demo.startup.appWindow = &appWindow;
    demo.startup.keyTable = &keyTable;
    ok = true;
}

TestWindow::~TestWindow() {
    destroyGLWindow(&appWindow);
    unregisterWindowClass(&appClass);
    demo.startup.appWindow = nullptr;
    demo.startup.keyTable = nullptr;
}

std::uint32_t windowIdOf(const AppWindow& appWindow) {
    return appWindow.window ? SDL_GetWindowID(appWindow.window) : 0;
}

void pushKey(const AppWindow& appWindow, SDL_Keycode key, bool down, bool repeat) {
    SDL_Event event;
    SDL_zero(event);
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = windowIdOf(appWindow);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    SDL_PushEvent(&event);
}

void pushWindowEvent(const AppWindow& appWindow, std::uint8_t windowEvent, int data1,
                     int data2) {
    SDL_Event event;
    SDL_zero(event);
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowIdOf(appWindow);
    event.window.event = windowEvent;
    event.window.data1 = data1;
    event.window.data2 = data2;
    SDL_PushEvent(&event);
}

void pushUserEvent(std::uint32_t type, std::uint32_t windowId) {
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    event.user.windowID = windowId;
    SDL_PushEvent(&event);
}

std::vector<std::uint8_t> readPixel(int x, int y) {
    std::vector<std::uint8_t> rgba(4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
