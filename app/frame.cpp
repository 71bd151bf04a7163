#include "app/frame.h"

#include "app/app_state.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/gl.h"
#include "app/present.h"
#include "app/window.h"

#include <cstdio>
#include <cstring>

using platform::detail::state;

GlErrorChecks& glErrorChecks() { return state().glErrorChecks; }

namespace {

const char* glErrorName(GLenum error) {
    switch (error) {
        case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
        case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
        case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
        case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
        case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
        case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
        case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
        default: return "unknown GL error";
    }
}

// Reports every error GL has flagged since the last check. A driver may
// flag several at once, and a lost context flags one for ever: a few per
// check are enough.
void checkGlErrors(const char* where) {
    if (!glErrorChecks().enabled) return;
    for (int i = 0; i < 8; ++i) {
        GLenum error = glGetError();
        if (error == GL_NO_ERROR) return;
        glErrorChecks().errors++;
        std::fprintf(stderr, "GL error %s (0x%04X) %s frame %llu\n", glErrorName(error),
                     static_cast<unsigned>(error), where,
                     static_cast<unsigned long long>(glErrorChecks().frame));
    }
}

bool addressedToWindow(const SDL_Event& event, Uint32 windowId) {
    switch (event.type) {
        case SDL_WINDOWEVENT:
            return event.window.windowID == windowId;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            // Keys without a focus window still belong to our only window.
            return event.key.windowID == windowId || event.key.windowID == 0;
        default:
            if (event.type >= SDL_USEREVENT) return event.user.windowID == windowId;
            return true;
    }
}

}  // namespace

int runFrame(AppWindow* appWindow, FrameReport* report) {
    report->elapsedMs = 0;
    report->elapsedSeconds = 0.0;

    const platform::Backends& backends = platform::backends();
    if (backends.frameHook) backends.frameHook(appWindow, platform::FrameMoment::begin);
    Uint32 windowId = appWindow->window ? SDL_GetWindowID(appWindow->window) : 0;
    // Pump once, then take events until the queue is empty. (SDL_PollEvent
    // would stop at a marker that an earlier wait can leave behind and keep
    // later events for the next frame.)
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        // The demo takes no files. Drops are switched off at registration;
        // one that arrives anyway carries a path SDL made for us to free.
        if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT) {
            SDL_free(event.drop.file);
            continue;
        }
        // Events left over from a window an earlier pass destroyed are
        // dropped, like messages to a window that no longer exists.
        if (!addressedToWindow(event, windowId)) continue;
        if (state().events.quit != 0 && event.type == state().events.quit) return 0;
        windowProc(appWindow, event);
    }

    if (appWindow->visible) {
        std::uint32_t now = platform::tickCount();
        report->elapsedMs = now - appWindow->lastTickCount;  // unsigned: wrap-safe
        const std::int64_t counter = platform::performanceCounter();
        report->elapsedSeconds = static_cast<double>(counter - appWindow->lastCounter) /
                                 static_cast<double>(platform::performanceFrequency());
        appCallbacks().update(report->elapsedMs);
        std::memset(appWindow->keys->pressed, 0, sizeof appWindow->keys->pressed);
        appWindow->lastTickCount = now;
        appWindow->lastCounter = counter;
        checkGlErrors("before");
        platform::beginFrame();
        appCallbacks().draw();
        platform::finishFrame(appWindow->window);  // into the back buffer, as the hook expects
        checkGlErrors("in");
        if (backends.frameHook) backends.frameHook(appWindow, platform::FrameMoment::drawn);
        SDL_GL_SwapWindow(appWindow->window);
        glErrorChecks().frame++;
    } else {
        // Minimised: wait for anything to happen, leaving it in the queue for
        // the next call, and never count the time spent waiting.
        SDL_WaitEvent(nullptr);
        appWindow->lastTickCount = platform::tickCount();
        appWindow->lastCounter = platform::performanceCounter();
    }
    return 1;
}
