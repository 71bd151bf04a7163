// The pass loop, driven through real SDL events under Xvfb: quits, toggles,
// refused mode switches and failed builds.
#include "app/frame.h"
#include "app/notice.h"
#include "app/shell.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "support/test_backends.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

// What the observer saw at the first frame of each pass.
struct PassSeen {
    int fullscreen;
    int keepRunning;
    int fullscreenWanted;
    int f1Down;
    int modeNotices;
};

std::vector<PassSeen> passes;
int framesInPass = 0;
int lastBuilds = 0;
std::function<void(AppWindow*, int pass, int frame)> script;

void observe(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::drawn) return;
    if (windowStats().builds != lastBuilds) {
        lastBuilds = windowStats().builds;
        framesInPass = 0;
        int notices = 0;
        for (auto& text : platform::recordedNotices())
            if (text == "Mode Switch Failed.\nRunning In Windowed Mode.") notices++;
        passes.push_back({appWindow->fullscreen, keepRunning(), fullscreenWanted(),
                          appWindow->keys->down[VK_F1_CODE], notices});
    }
    framesInPass++;
    script(appWindow, static_cast<int>(passes.size()), framesInPass);
}

int runScripted(TestApp& app, std::function<void(AppWindow*, int, int)> steps, bool paced = false) {
    passes.clear();
    framesInPass = 0;
    resetWindowStats();
    lastBuilds = 0;
    script = std::move(steps);
    platform::Backends backends = testBackends();
    backends.frameHook = observe;
    backends.pacedByDisplay = paced;
    platform::useBackends(backends);
    return runPasses(demoCallbacks(), &app.appClass, &app.appWindow, &app.keyTable);
}

bool displayOffersDemoMode() {
    AppClass appClass{};
    if (!registerWindowClass(&appClass)) return false;
    bool offered = changeScreenResolution(1024, 768, 32) == 1;
    unregisterWindowClass(&appClass);
    return offered;
}

}  // namespace

TEST(PassLoop, EscapeEndsWithOneTeardownAndStatusZero) {
    TestApp app;
    app.appWindow.fullscreen = 0;
    int status = runScripted(app, [](AppWindow* w, int, int frame) {
        if (frame == 3) pushKey(*w, SDLK_ESCAPE, true);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(passes.size(), 1u);
    EXPECT_EQ(windowStats().builds, 1);
    EXPECT_EQ(windowStats().teardowns, 1);
    EXPECT_EQ(keepRunning(), 0);
    EXPECT_EQ(app.appWindow.window, nullptr);
    EXPECT_EQ(app.appWindow.glContext, nullptr);
}

TEST(PassLoop, ClosingTheWindowQuits) {
    TestApp app;
    app.appWindow.fullscreen = 0;
    int status = runScripted(app, [](AppWindow* w, int, int frame) {
        if (frame == 2) pushWindowEvent(*w, SDL_WINDOWEVENT_CLOSE);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(windowStats().teardowns, 1);
}

TEST(PassLoop, F1RebuildsInTheOtherModeWithKeysCleared) {
    TestApp app;
    app.appWindow.fullscreen = 0;
    int status = runScripted(app, [](AppWindow* w, int pass, int frame) {
        if (pass == 1 && frame == 2) pushKey(*w, SDLK_F1, true);  // never released
        if (pass == 2 && frame == 2) pushKey(*w, SDLK_ESCAPE, true);
    });
    EXPECT_EQ(status, 0);
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0].fullscreenWanted, 0);
    // The second pass asks for fullscreen: in force where the display offers
    // 1024 x 768, otherwise refused with the notice and run in a window.
    EXPECT_EQ(passes[1].fullscreenWanted, 1);
    EXPECT_EQ(passes[1].keepRunning, 1);
    EXPECT_EQ(passes[1].f1Down, 0);
    if (passes[1].fullscreen == 0) {
        EXPECT_EQ(passes[1].modeNotices, 1);
    }
    EXPECT_EQ(windowStats().builds, 2);
    EXPECT_EQ(windowStats().teardowns, 2);
}

namespace {

// Whether this driver paces swaps at all: asked on a context of its own.
bool driverHonoursVerticalSync() {
    TestWindow w;
    if (!w.ok) return false;
    return SDL_GL_SetSwapInterval(1) == 0 && SDL_GL_GetSwapInterval() != 0;
}

}  // namespace

TEST(PassLoop, EveryBuildAsksTheDisplayToPaceItsFrames) {
    const bool honoured = driverHonoursVerticalSync();
    TestApp app;
    app.appWindow.fullscreen = 0;
    std::vector<int> inForce;
    int status = runScripted(app, [&](AppWindow* w, int pass, int frame) {
        if (frame != 2) return;
        inForce.push_back(SDL_GL_GetSwapInterval());
        pushKey(*w, pass == 1 ? SDLK_F1 : SDLK_ESCAPE, true);
    }, /*paced=*/true);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(windowStats().builds, 2);
    EXPECT_EQ(windowStats().syncRequests, 2);
    ASSERT_EQ(inForce.size(), 2u);
    for (int interval : inForce) {
        EXPECT_EQ(interval, windowStats().swapInterval);
        // Adaptive or plain where the driver paces; none where it cannot
        // (llvmpipe under Xvfb), and the demo then runs on unpaced.
        if (honoured) EXPECT_TRUE(interval == -1 || interval == 1) << interval;
        else EXPECT_EQ(interval, 0);
    }
}

TEST(PassLoop, ToolsAndTestsRunUnpaced) {
    TestApp app;  // on the tests' backends: unpaced, as demo-capture and demo-bench run
    app.appWindow.fullscreen = 0;
    int interval = -2;
    int status = runScripted(app, [&](AppWindow* w, int, int frame) {
        if (frame != 2) return;
        interval = SDL_GL_GetSwapInterval();
        pushKey(*w, SDLK_ESCAPE, true);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(windowStats().syncRequests, 0);
    EXPECT_EQ(interval, 0);
}

TEST(PassLoop, EscapeAndF1InOneFrameEndTheProgram) {
    TestApp app;
    app.appWindow.fullscreen = 0;
    int status = runScripted(app, [](AppWindow* w, int, int frame) {
        if (frame == 2) {
            pushKey(*w, SDLK_ESCAPE, true);
            pushKey(*w, SDLK_F1, true);
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(passes.size(), 1u);
    EXPECT_EQ(windowStats().teardowns, 1);
}

TEST(PassLoop, RefusedModeSwitchKeepsFullscreenWanted) {
    if (displayOffersDemoMode()) GTEST_SKIP() << "this display offers 1024 x 768";
    TestApp app;  // fullscreen by default
    int status = runScripted(app, [](AppWindow* w, int pass, int frame) {
        if (frame == 2 && pass < 3) pushKey(*w, SDLK_F1, true);
        if (frame == 2 && pass == 3) pushKey(*w, SDLK_ESCAPE, true);
    });
    EXPECT_EQ(status, 0);
    ASSERT_EQ(passes.size(), 3u);
    // Pass 1: refused, so a window, while fullscreen is still what is wanted.
    EXPECT_EQ(passes[0].fullscreen, 0);
    EXPECT_EQ(passes[0].fullscreenWanted, 1);
    EXPECT_EQ(passes[0].modeNotices, 1);
    // The first F1 asks for a window again: no new notice.
    EXPECT_EQ(passes[1].fullscreenWanted, 0);
    EXPECT_EQ(passes[1].modeNotices, 1);
    // Only the second F1 asks for fullscreen again, and is refused again.
    EXPECT_EQ(passes[2].fullscreenWanted, 1);
    EXPECT_EQ(passes[2].modeNotices, 2);
}

TEST(PassLoop, FullscreenSwitchInForceWhereTheDisplayOffersIt) {
    if (!displayOffersDemoMode()) GTEST_SKIP() << "this display lacks 1024 x 768";
    TestApp app;
    int fullscreenFlags = 0;
    int status = runScripted(app, [&fullscreenFlags](AppWindow* w, int, int frame) {
        if (frame == 2) {
            fullscreenFlags = SDL_GetWindowFlags(w->window) & SDL_WINDOW_FULLSCREEN;
            pushKey(*w, SDLK_ESCAPE, true);
        }
    });
    EXPECT_EQ(status, 0);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].fullscreen, 1);
    EXPECT_EQ(passes[0].modeNotices, 0);
    EXPECT_NE(fullscreenFlags, 0);
}

TEST(PassLoop, FailedBuildEndsWithStatusOne) {
    // SDL's dummy video driver has no OpenGL: the window cannot be built.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    TestApp app;
    int status = runScripted(app, [](AppWindow*, int, int) {});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(passes.size(), 0u);
    EXPECT_EQ(keepRunning(), 0);
    ASSERT_FALSE(platform::recordedNotices().empty());
    EXPECT_EQ(platform::recordedNotices().back(), "Error Creating OpenGL Window");
    EXPECT_EQ(windowStats().teardowns, 0);
    EXPECT_EQ(app.appWindow.window, nullptr);
    unsetenv("SDL_VIDEODRIVER");
}

TEST(PassLoop, RefusedStartEndsWithMinusOne) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    TestApp app;
    int status = runScripted(app, [](AppWindow*, int, int) {});
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(status, -1);
    std::vector<std::string> expected = {"RegisterClassEx Failed!",
                                         "Error Registering Window Class!"};
    EXPECT_EQ(platform::recordedNotices(), expected);
}

TEST(PassLoop, NoDisplayRefusesToStartRatherThanPlayingToNobody) {
    // Without a display SDL would fall back to its offscreen driver.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    TestApp app;
    int status = runScripted(app, [](AppWindow*, int, int) {});
    EXPECT_EQ(status, -1);
    EXPECT_EQ(passes.size(), 0u);
    ASSERT_FALSE(platform::recordedNotices().empty());
    EXPECT_EQ(platform::recordedNotices().front(), "RegisterClassEx Failed!");
}

// A window asked for before the app's callbacks are set fails cleanly: the
// build would set its projection through a callback that is not there.
TEST(PassLoop, AWindowBuiltBeforeTheCallbacksAreSetFailsCleanly) {
    TestApp app;
    setAppCallbacks(AppCallbacks{});
    app.appWindow.fullscreen = 0;
    ASSERT_EQ(registerWindowClass(&app.appClass), 1);
    EXPECT_EQ(createGLWindow(&app.appWindow), 0);
    EXPECT_EQ(app.appWindow.window, nullptr);
    EXPECT_EQ(app.appWindow.glContext, nullptr);
    EXPECT_NE(std::string(SDL_GetError()).find("callbacks"), std::string::npos) << SDL_GetError();
    unregisterWindowClass(&app.appClass);
}
