// runFrame and updateDemo on a real window: the event pump, minimised
// waiting, tick arithmetic, the control keys and the scene clock.
#include "app/clock.h"
#include "app/frame.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "support/test_backends.h"
#include "support/test_window.h"
#include "scenes/polyhedra/precise_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

int framesDrawn = 0;
void countFrame(AppWindow*, platform::FrameMoment moment) {
    if (moment == platform::FrameMoment::drawn) framesDrawn++;
}

// A virtual clock from `firstTick`, every drawn frame counted.
void chooseBackends(std::uint32_t firstTick) {
    platform::Backends backends = testBackendsOnVirtualClock(1000, firstTick);
    backends.frameHook = countFrame;
    platform::useBackends(backends);
}

struct FrameTest : ::testing::Test {
    void SetUp() override {
        chooseBackends(5000);
        framesDrawn = 0;
        demo.timeline.demoTime = 0.0f;
        demo.timeline.paused = 0;
    }
};

Uint32 pushLaterEvent(Uint32, void*) {
    pushUserEvent(SDL_USEREVENT, 0);
    return 0;
}

// The app's private events waiting in SDL's queue, left there.
struct PrivateEvents {
    int quits = 0, toggles = 0;
    bool operator==(const PrivateEvents& other) const { return quits == other.quits && toggles == other.toggles; }
};
std::ostream& operator<<(std::ostream& out, const PrivateEvents& events) {
    return out << events.quits << " quits, " << events.toggles << " toggles";
}
PrivateEvents pendingPrivateEvents() {
    SDL_Event events[8];
    SDL_PumpEvents();
    const int n = SDL_PeepEvents(events, 8, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT);
    PrivateEvents found;
    for (int i = 0; i < n; i++) {
        found.quits += events[i].type == appEvents().quit;
        found.toggles += events[i].type == appEvents().toggleFullscreen;
    }
    return found;
}

}  // namespace

TEST_F(FrameTest, EventsBeforeAQuitAreHandledThenNothingIsDrawn) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    pushKey(w.appWindow, SDLK_a, true);
    pushUserEvent(appEvents().quit, windowIdOf(w.appWindow));
    pushKey(w.appWindow, SDLK_b, true);
    platform::advanceVirtualClock(20);
    FrameReport report{123, 1.0};
    EXPECT_EQ(runFrame(&w.appWindow, &report), 0);
    EXPECT_EQ(report.elapsedMs, 0u);
    EXPECT_EQ(w.keyTable.down['A'], 1);
    EXPECT_EQ(w.keyTable.down['B'], 0);  // still queued behind the quit
    EXPECT_EQ(framesDrawn, 0);
    EXPECT_EQ(demo.timeline.demoTime, 0.0f);
    // The next call handles what was left.
    EXPECT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(w.keyTable.down['B'], 1);
}

TEST_F(FrameTest, QuitForAnEarlierWindowIsDropped) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    pushUserEvent(appEvents().quit, windowIdOf(w.appWindow) + 100);
    FrameReport report;
    EXPECT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(framesDrawn, 1);
}

TEST_F(FrameTest, MinimisedWaitsForAnEventAndCountsNothing) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    FrameReport report;
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    float before = demo.timeline.demoTime;

    pushWindowEvent(w.appWindow, SDL_WINDOWEVENT_MINIMIZED);
    platform::advanceVirtualClock(1000);  // a second spent minimised
    SDL_TimerID timer = SDL_AddTimer(30, pushLaterEvent, nullptr);
    EXPECT_EQ(runFrame(&w.appWindow, &report), 1);  // blocks until the timer's event
    SDL_RemoveTimer(timer);
    EXPECT_EQ(w.appWindow.visible, 0);
    EXPECT_EQ(report.elapsedMs, 0u);
    EXPECT_EQ(framesDrawn, 1);
    EXPECT_EQ(demo.timeline.demoTime, before);
    EXPECT_EQ(w.appWindow.lastTickCount, platform::tickCount());

    // After the restore the first frame counts from the last event only.
    pushWindowEvent(w.appWindow, SDL_WINDOWEVENT_RESTORED);
    platform::advanceVirtualClock(16);
    EXPECT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(w.appWindow.visible, 1);
    EXPECT_EQ(report.elapsedMs, 16u);
    EXPECT_EQ(framesDrawn, 2);
}

TEST_F(FrameTest, TickWrapGivesASmallDifference) {
    chooseBackends(0xFFFFFFF0u);
    TestWindow w;
    ASSERT_TRUE(w.ok);
    platform::advanceVirtualClock(32);
    EXPECT_LT(platform::tickCount(), 0x100u);  // wrapped
    FrameReport report;
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(report.elapsedMs, 32u);
    EXPECT_FLOAT_EQ(demo.timeline.demoTime, 0.032f);
}

TEST_F(FrameTest, F2FlipsOncePerPressAndPerRepeatSeen) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    FrameReport report;
    pushKey(w.appWindow, SDLK_F2, true);
    runFrame(&w.appWindow, &report);
    EXPECT_EQ(demo.timeline.paused, 1);
    runFrame(&w.appWindow, &report);  // still held, no repeat yet
    EXPECT_EQ(demo.timeline.paused, 1);
    // Two auto-repeats between frames flip it once.
    pushKey(w.appWindow, SDLK_F2, true, true);
    pushKey(w.appWindow, SDLK_F2, true, true);
    runFrame(&w.appWindow, &report);
    EXPECT_EQ(demo.timeline.paused, 0);
    pushKey(w.appWindow, SDLK_F2, true, true);
    runFrame(&w.appWindow, &report);
    EXPECT_EQ(demo.timeline.paused, 1);
}

// A key that goes down and up between two frames (a quick tap, a slow
// frame) is seen by the next frame all the same; the table still says it is
// up, and the next frame does not see it again.
TEST_F(FrameTest, ATapBetweenTwoFramesIsSeenByTheNextFrameOnly) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    setKeepRunning(1);
    FrameReport report;
    pushKey(w.appWindow, SDLK_F2, true);
    pushKey(w.appWindow, SDLK_F2, false);
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(demo.timeline.paused, 1);
    EXPECT_EQ(w.keyTable.down[VK_F2_CODE], 0);
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(demo.timeline.paused, 1);

    // Escape and F1 tapped in one frame: both requests are made, once.
    for (SDL_Keycode key : {SDLK_F1, SDLK_ESCAPE}) {
        pushKey(w.appWindow, key, true);
        pushKey(w.appWindow, key, false);
    }
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(keepRunning(), 0);
    EXPECT_EQ(w.keyTable.down[VK_ESCAPE_CODE], 0);
    EXPECT_EQ(pendingPrivateEvents(), (PrivateEvents{1, 1}));
}

TEST_F(FrameTest, PauseFreezesDemoTimeButFramesGoOn) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    FrameReport report;
    platform::advanceVirtualClock(10);
    runFrame(&w.appWindow, &report);
    float before = demo.timeline.demoTime;
    demo.timeline.paused = 1;
    platform::advanceVirtualClock(500);
    runFrame(&w.appWindow, &report);
    EXPECT_EQ(report.elapsedMs, 500u);
    EXPECT_EQ(demo.timeline.demoTime, before);
    EXPECT_EQ(framesDrawn, 2);
}

TEST(UpdateDemo, AddsMillisecondsInSinglePrecision) {
    KeyTable keys{};
    demo.startup.keyTable = &keys;
    demo.timeline.paused = 0;
    // Find a case where the single-precision factor and a double one differ,
    // so the test tells them apart.
    float start = 1.0f;
    std::uint32_t ms = 1;
    for (; ms < 1000; ms++) {
        volatile float factor = 0.001f;
        volatile float single = start + static_cast<float>(ms) * factor;
        volatile float viaDouble = static_cast<float>(start + ms * 0.001);
        if (single != viaDouble) break;
    }
    ASSERT_LT(ms, 1000u);
    demo.timeline.demoTime = start;
    updateDemo(ms);
    volatile float factor = 0.001f;
    volatile float expected = start + static_cast<float>(ms) * factor;
    EXPECT_EQ(demo.timeline.demoTime, expected);
    demo.startup.keyTable = nullptr;
}

TEST(UpdateDemo, EscapeAndF1BothPostInOneFrame) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    setKeepRunning(1);
    w.keyTable.down[VK_ESCAPE_CODE] = 1;
    w.keyTable.down[VK_F1_CODE] = 1;
    updateDemo(0);
    EXPECT_EQ(keepRunning(), 0);
    EXPECT_EQ(w.keyTable.down[VK_F1_CODE], 1);  // left for the rebuild to clear
    EXPECT_EQ(pendingPrivateEvents(), (PrivateEvents{1, 1}));
}

TEST(Keys, SystemKeysAndCodesAbove255AreNotRecorded) {
    SDL_Keysym keysym{};
    keysym.sym = SDLK_F2;
    EXPECT_EQ(virtualKeyFor(keysym), 113);
    keysym.mod = KMOD_LALT;
    EXPECT_EQ(virtualKeyFor(keysym), -1);
    keysym.mod = 0;
    keysym.sym = SDLK_F10;
    EXPECT_EQ(virtualKeyFor(keysym), -1);
    keysym.sym = SDLK_AUDIOPLAY;
    EXPECT_EQ(virtualKeyFor(keysym), -1);
    keysym.sym = SDLK_q;
    EXPECT_EQ(virtualKeyFor(keysym), 'Q');
}

TEST(PreciseClock, MarkErrorIsTiny) {
    counterFrequency = platform::performanceFrequency();
    clockMark();
    double error = clockElapsed();
    EXPECT_LT(std::abs(error), 0.001);

    // A day into the counter the single-precision mark is off by at most
    // half a float step (~4 ms), a constant offset rather than a drift.
    platform::useBackends(testBackendsOnVirtualClock(1000000));
    platform::advanceVirtualClock(86400LL * 1000000 + 123457);
    counterFrequency = platform::performanceFrequency();
    clockMark();
    double offset = clockElapsed();
    EXPECT_LT(std::abs(offset), 0.004);
    platform::advanceVirtualClock(250000);
    EXPECT_NEAR(clockElapsed() - offset, 0.25, 1e-9);
}

namespace {

// SDL's allocator, counted: which blocks it handed out and took back.
SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;
std::vector<void*> freed;
void countedFree(void* block) {
    if (block) freed.push_back(block);
    sdlFree(block);
}

}  // namespace

TEST_F(FrameTest, DroppedFilesAreRefusedAndTheirPathsFreed) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    // SDL queues no drops for the demo ...
    EXPECT_EQ(SDL_EventState(SDL_DROPFILE, SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(SDL_EventState(SDL_DROPTEXT, SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(SDL_EventState(SDL_DROPBEGIN, SDL_QUERY), SDL_DISABLE);
    // ... and one that is pushed all the same gives its path back.
    SDL_GetMemoryFunctions(&sdlMalloc, &sdlCalloc, &sdlRealloc, &sdlFree);
    SDL_SetMemoryFunctions(sdlMalloc, sdlCalloc, sdlRealloc, countedFree);
    std::vector<void*> paths;
    for (Uint32 type : {SDL_DROPFILE, SDL_DROPTEXT}) {
        SDL_Event event;
        SDL_zero(event);
        event.type = type;
        event.drop.file = SDL_strdup("/home/someone/picture.png");
        event.drop.windowID = windowIdOf(w.appWindow);
        paths.push_back(event.drop.file);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    FrameReport report;
    EXPECT_EQ(runFrame(&w.appWindow, &report), 1);
    SDL_SetMemoryFunctions(sdlMalloc, sdlCalloc, sdlRealloc, sdlFree);
    for (void* path : paths) EXPECT_NE(std::find(freed.begin(), freed.end(), path), freed.end());
}
