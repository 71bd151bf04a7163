// The timeline against a scripted world: the backends put a script in the
// sound layer's place that logs every call and answers positions, and each
// frame is the real runFrame with the real scene-clock update (updateDemo),
// whose drawing moves the world on, as the frame's sound update would. A
// real window supplies the GL context that resetGLState and reshapeGL need.
// The last tests draw the scenes for real and end with a real Escape key.
#include "app/clock.h"
#include "app/frame.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"
#include "app/backends.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "support/test_backends.h"
#include "support/test_window.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/lens/lens_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr sound::Channel moduleChannel = 11;
constexpr sound::Channel firstChannel = 22;
constexpr sound::Channel secondChannel = 33;

std::uint64_t at(int order, int row) {
    return static_cast<std::uint64_t>(order) | (static_cast<std::uint64_t>(row) << 16);
}

// The DemoState fields the timeline reads or writes.
using Snapshot = std::tuple<int, float, float, float, float, bool, float, bool, float, float,
                            float, float, float>;
Snapshot snapshot() {
    return {demo.timeline.SceneState, demo.timeline.demoTime,  demo.timeline.zoom,       demo.timeline.rotation,
            demo.timeline.twistAngle, demo.timeline.lensActive, lensScene.lensClock, demo.timeline.lensBounce,
            lensScene.lensX,      lensScene.lensY,      lensScene.lensSpeedX, lensScene.lensFallSpeed,
            polyhedraScene.orbitAngle};
}

// What one frame found: the state the sequencer left for it to draw.
struct Seen {
    int scene;
    float demoTime, zoom, rotation, twist, lensClock;
    bool lensActive, lensBounce;
    std::uint64_t module;
};

// A module position to reach after a frame and, optionally, the demoTime
// that frame ends with.
struct Beat {
    std::uint64_t position;
    float demoTime = -1.0f;
};

struct World {
    std::vector<std::string> log;  // "frames drawn so far: call"
    std::vector<Seen> seen;        // seen[i] is frame i + 1
    int frames = 0;
    std::uint32_t frameMs = 20;

    int sceneEndsAtFrame = 5;  // the polyhedra scene hands over in this frame
    std::uint64_t module = 0, first = 0, second = 0;
    bool modulePlaying = false, firstPlaying = false, secondPlaying = false;
    // Where playback starts: the waves from their beginning unless told,
    // the module's jump at the order asked for unless told.
    std::uint64_t firstStartsAt = 0, secondStartsAt = 0;
    std::uint64_t jumpLandsAt = ~0ull;
    int rowsPerFrame = 16;        // the module's pace when no beats are given
    std::deque<Beat> beats;       // after the jump, one per frame
    std::uint64_t firstStep = 300000, secondStep = 100000;
    float rotationAtJump = -1.0f;

    std::function<bool()> quitWhen;  // asked before each frame
    std::function<void()> onFrame;   // after the world moved
    bool quit = false;
    Snapshot atQuit;
    std::size_t logAtQuit = 0;
};

World world;

void note(const std::string& call) {
    world.log.push_back(std::to_string(world.frames) + ": " + call);
}

// ---- the scripted sound layer
int fakeInit(SDL_Window*, int) { return 1; }
void fakeSetting(int) {}
sound::Channel fakeLoad(const char*) { return 0; }
void fakePrebuffer(sound::Channel) {}
void fakeShutdown() {}

void fakePlayModule(sound::Channel channel) {
    note("playModule " + std::to_string(channel));
    if (channel == moduleChannel) world.modulePlaying = true;
}

void fakePlayStream(sound::Channel channel, bool restart) {
    note("playStream " + std::to_string(channel) + (restart ? " restart" : ""));
    if (channel == firstChannel) {
        world.firstPlaying = true;
        world.first = world.firstStartsAt;
    }
    if (channel == secondChannel) {
        world.secondPlaying = true;
        world.second = world.secondStartsAt;
    }
}

void fakeStop(sound::Channel channel) {
    note("stop " + std::to_string(channel));
    if (channel == moduleChannel) world.modulePlaying = false;
    if (channel == firstChannel) world.firstPlaying = false;
    if (channel == secondChannel) world.secondPlaying = false;
}

std::uint64_t fakePosition(sound::Channel channel) {
    if (channel == moduleChannel) return world.module;
    if (channel == firstChannel) return world.first;
    if (channel == secondChannel) return world.second;
    return 0;
}

void fakeSetModuleOrder(sound::Channel channel, int order) {
    note("setModuleOrder " + std::to_string(channel) + " " + std::to_string(order));
    world.rotationAtJump = demo.timeline.rotation;
    if (channel == moduleChannel)
        world.module = world.jumpLandsAt != ~0ull ? world.jumpLandsAt : at(order, 0);
}

// The timeline never asks for a length; the start-up does.
std::uint64_t fakeLength(sound::Channel) { return ~0ull; }
const char* fakeLastError() { return ""; }
// How long until the module's start is heard, frame by frame (empty: heard).
std::deque<double> untilHeard;
double fakeSecondsUntilHeard(sound::Channel channel) {
    if (channel != moduleChannel || untilHeard.empty()) return -1.0;
    double seconds = untilHeard.front();
    if (untilHeard.size() > 1) untilHeard.pop_front();
    return seconds;
}

void fakeUpdate() {}

// The scripted world in the sound layer's place.
sound::Operations scriptedSound() {
    sound::Operations operations = sound::layerOperations();
    operations.init = fakeInit;
    operations.setUpdatePeriod = fakeSetting;
    operations.setBufferLength = fakeSetting;
    operations.loadModule = fakeLoad;
    operations.createStream = fakeLoad;
    operations.prebuffer = fakePrebuffer;
    operations.playModule = fakePlayModule;
    operations.playStream = fakePlayStream;
    operations.stop = fakeStop;
    operations.position = fakePosition;
    operations.setModuleOrder = fakeSetModuleOrder;
    operations.update = fakeUpdate;
    operations.shutdown = fakeShutdown;
    operations.length = fakeLength;
    operations.lastError = fakeLastError;
    operations.secondsUntilHeard = fakeSecondsUntilHeard;
    return operations;
}
const sound::Operations scripted = scriptedSound();

// What the frame's sound update and the polyhedra scene would do.
void moveWorld() {
    if (demo.timeline.SceneState == 0 && world.frames >= world.sceneEndsAtFrame) demo.timeline.SceneState = 1;
    if (world.firstPlaying) world.first += world.firstStep;
    if (world.secondPlaying) world.second += world.secondStep;
    if (!world.modulePlaying) return;
    if (!world.beats.empty() && demo.timeline.SceneState == 2) {
        Beat beat = world.beats.front();
        world.beats.pop_front();
        world.module = beat.position;
        if (beat.demoTime >= 0.0f) demo.timeline.demoTime = beat.demoTime;
        return;
    }
    std::uint64_t order = world.module & 0xFFFF, row = (world.module >> 16) & 0xFFFF;
    row += world.rowsPerFrame;
    if (row >= 64) {
        order++;
        row = 0;
    }
    world.module = at(static_cast<int>(order), static_cast<int>(row));
}

// Thrown by a frame asked for after a quit, which the sequencer must never
// do; ends the run instead of letting a wait spin on.
struct FrameAfterQuit {};

// Every frame is the real runFrame with its real update (updateDemo). As it
// begins, the world decides whether it sees a quit (then nothing is drawn
// and no time counted) and the virtual clock moves by the frame's time; the
// drawing is the world's: it notes what the frame sees and moves on, as the
// frame's sound update and the polyhedra scene would.
void noteAndMove() {
    world.frames++;
    world.seen.push_back(Seen{demo.timeline.SceneState, demo.timeline.demoTime, demo.timeline.zoom,
                              demo.timeline.rotation, demo.timeline.twistAngle, lensScene.lensClock,
                              demo.timeline.lensActive, demo.timeline.lensBounce, world.module});
    moveWorld();
    if (world.onFrame) world.onFrame();
}

void frameBegins(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::begin) return;
    if (world.quit) throw FrameAfterQuit{};
    if (world.quitWhen && world.quitWhen()) {
        world.quit = true;
        world.atQuit = snapshot();
        world.logAtQuit = world.log.size();
        pushUserEvent(appEvents().quit, windowIdOf(*appWindow));
        return;
    }
    platform::advanceVirtualClock(world.frameMs);
}

struct SequencerTest : ::testing::Test {
    std::unique_ptr<TestWindow> window;

    void SetUp() override {
        demo = DemoState{};
        platform::Backends backends = testBackendsOnVirtualClock(1000, 5000);
        backends.sound = &scripted;
        backends.frameHook = frameBegins;
        platform::useBackends(backends);
        window = std::make_unique<TestWindow>();
        ASSERT_TRUE(window->ok);
        AppCallbacks callbacks = demoCallbacks();
        callbacks.draw = noteAndMove;
        setAppCallbacks(callbacks);
        startPass();
    }
    void TearDown() override { window.reset(); }
    // A fresh world and the handles a start-up leaves, DemoState untouched;
    // the quit an earlier run posted went with its pass.
    void startPass() {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        world = World{};
        demo.startup.moduleHandle = moduleChannel;
        demo.startup.firstStream = firstChannel;
        demo.startup.secondStream = secondChannel;
        setKeepRunning(1);
    }
    void run() {
        try {
            runSequencer(&window->appWindow);
        } catch (FrameAfterQuit&) {
            ADD_FAILURE() << "a frame was asked for after a quit";
        }
    }
    const Seen& frame(int number) { return world.seen.at(number - 1); }
};

}  // namespace

TEST_F(SequencerTest, WholeTimelineHandsOverRightAfterEachMusicalEvent) {
    run();
    // The polyhedra scene ends in frame 5, the first wave reaches its limit
    // in frame 9 (4 x 300,000), the module moves 16 rows a frame from order
    // 39 and reaches 52 in frame 61, the second wave 240,000 in frame 64.
    std::vector<std::string> expected = {
        "0: playModule 11",      "5: stop 11",           "5: playStream 22 restart",
        "9: setModuleOrder 11 39", "9: playModule 11",   "61: stop 11",
        "61: playStream 33 restart", "64: stop 33"};
    EXPECT_EQ(world.log, expected);
    EXPECT_EQ(world.frames, 64);
    EXPECT_EQ(keepRunning(), 0);  // postQuit at the end

    // The world's 20 ms frames each stand for 1.2 frames of 60 a second:
    // scene 0 turns the solids 0.72 degrees a frame (36 a second), the
    // tunnel turns 6 (300 a second). The pass's first frame, which only
    // measured the start-up, stands for one (0.6 degrees).
    EXPECT_FLOAT_EQ(polyhedraScene.orbitAngle, 0.6f + 4 * 0.72f);
    for (int f = 1; f <= 5; f++) EXPECT_EQ(frame(f).scene, 0) << f;

    // Scene 1: scene clock from 0, zoom 0.5, six degrees per 20 ms frame.
    const float oneFrame = 0x1.47ae16p-6f;  // 20 x 0.001f in single precision
    EXPECT_EQ(frame(6).scene, 1);
    EXPECT_EQ(frame(6).demoTime, oneFrame);
    for (int f = 6; f <= 9; f++) {
        EXPECT_EQ(frame(f).zoom, 0.5f);
        EXPECT_EQ(frame(f).rotation, 6.0f * (f - 6)) << f;
    }
    EXPECT_EQ(world.rotationAtJump, 24.0f);

    // Scene 2 from order 39: clock from 0 again, zoom 2, no spin, no lens
    // until order 41 is heard (after frame 17).
    EXPECT_EQ(frame(10).scene, 2);
    EXPECT_EQ(frame(10).demoTime, oneFrame);
    EXPECT_EQ(frame(10).zoom, 2.0f);
    EXPECT_EQ(frame(10).rotation, 0.0f);
    EXPECT_FALSE(frame(17).lensActive);
    EXPECT_TRUE(frame(18).lensActive);
    EXPECT_EQ(frame(18).lensClock, frame(17).demoTime);
    EXPECT_EQ(frame(17).module, at(40, 48));

    // The lens is stepped up to the scene clock after every frame.
    for (int f = 19; f <= 52; f++) {
        EXPECT_GE(frame(f).lensClock, frame(f - 1).demoTime) << f;
        EXPECT_LT(frame(f).lensClock - 0.009f, frame(f - 1).demoTime) << f;
    }

    // Order 44 heard after frame 29: the zoom is 2 on both sides of it and
    // falls from there; order 46 after frame 37 starts the twist.
    EXPECT_EQ(frame(30).zoom, 2.0f);
    EXPECT_EQ(frame(31).zoom, 3.0f / (frame(30).demoTime + 1.5f - frame(29).demoTime));
    EXPECT_LT(frame(37).zoom, 2.0f);
    EXPECT_EQ(frame(38).twist, 0.0f);
    EXPECT_EQ(frame(39).twist, (frame(38).demoTime - frame(37).demoTime) * 2.0f);
    EXPECT_GT(frame(49).twist, frame(39).twist);

    // Order 49 after frame 49: the lens stops bouncing; row 32 after frame
    // 51: the lens goes, the plane spins at 65 degrees per second.
    EXPECT_TRUE(frame(49).lensBounce);
    EXPECT_FALSE(frame(50).lensBounce);
    EXPECT_TRUE(frame(51).lensActive);
    EXPECT_FALSE(frame(52).lensActive);
    EXPECT_EQ(frame(52).rotation, 0.0f);
    EXPECT_EQ(frame(53).rotation, 65.0f * (frame(52).demoTime - frame(51).demoTime));
    EXPECT_FALSE(demo.timeline.lensBounce);

    // The closing stretch draws nothing new and ends the program.
    EXPECT_EQ(frame(61).scene, 2);
    for (int f = 62; f <= 64; f++) EXPECT_EQ(frame(f).scene, -1) << f;
    EXPECT_EQ(demo.timeline.SceneState, -1);
}

TEST_F(SequencerTest, EventsThatHaveAlreadyComeCostNoFrame) {
    // Scene 0 already over, the first wave at its limit as soon as it plays,
    // the jump landing at order 52, the second wave at its limit at once.
    demo.timeline.SceneState = 1;
    demo.timeline.rotation = 7.0f;
    world.firstStartsAt = 1140000;
    world.jumpLandsAt = at(52, 0);
    world.secondStartsAt = 240000;
    run();
    EXPECT_EQ(world.frames, 0);
    // The module is still started and stopped, and every hand-over happens.
    std::vector<std::string> expected = {
        "0: playModule 11",        "0: stop 11",       "0: playStream 22 restart",
        "0: setModuleOrder 11 39", "0: playModule 11", "0: stop 11",
        "0: playStream 33 restart", "0: stop 33"};
    EXPECT_EQ(world.log, expected);
    EXPECT_EQ(world.rotationAtJump, 7.0f);  // no tunnel frame turned it
    EXPECT_EQ(polyhedraScene.orbitAngle, 0.0f);
    EXPECT_FALSE(demo.timeline.lensActive);
    EXPECT_FALSE(demo.timeline.lensBounce);
    EXPECT_EQ(demo.timeline.zoom, 2.0f);  // as the lens scene starts
    EXPECT_EQ(demo.timeline.SceneState, -1);
    EXPECT_EQ(keepRunning(), 0);

    // One byte short of the limit costs exactly one tunnel frame.
    demo = DemoState{};
    demo.startup.appWindow = &window->appWindow;
    demo.startup.keyTable = &window->keyTable;
    startPass();
    demo.timeline.SceneState = 1;
    world.firstStartsAt = 1139999;
    world.jumpLandsAt = at(52, 0);
    world.secondStartsAt = 240000;
    run();
    EXPECT_EQ(world.frames, 1);
    EXPECT_EQ(world.rotationAtJump, 5.0f);  // the pass's first frame stands for one
}

TEST_F(SequencerTest, RowThirtyTwoOfOrder49EndsTheLensFromOneReading) {
    struct Case {
        const char* name;
        std::vector<std::uint64_t> afterOrder49;
        int lensFramesAfterBounce;  // frames of the wait for order 49, row 32
    };
    const std::uint64_t junk = 0xDEADBEEF00000000ull;  // upper half means nothing
    std::vector<Case> cases = {
        {"row 31 stays, row 32 leaves", {at(49, 31), at(49, 31), at(49, 32)}, 3},
        {"any order above 49 leaves", {at(49, 31), at(50, 0)}, 2},
        {"the upper 32 bits are ignored", {junk | at(49, 31), junk | at(49, 32)}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        demo = DemoState{};
        demo.startup.appWindow = &window->appWindow;
        demo.startup.keyTable = &window->keyTable;
        startPass();
        world.sceneEndsAtFrame = 1;
        world.firstStartsAt = 1140000;
        world.beats = {{at(41, 0)}, {at(44, 0)}, {at(46, 0)}, {at(49, 0)}};
        for (std::uint64_t p : c.afterOrder49) world.beats.push_back({p});
        world.beats.push_back({at(52, 0)});
        run();
        int waited = 0;
        for (const Seen& s : world.seen)
            if (s.lensActive && !s.lensBounce) waited++;
        EXPECT_EQ(waited, c.lensFramesAfterBounce);
        EXPECT_FALSE(demo.timeline.lensActive);
        EXPECT_EQ(keepRunning(), 0);
    }

    // Order 49 row 32 as the very reading that ends the wait for order 49:
    // the bounce and the lens both end without a frame between them.
    demo = DemoState{};
    demo.startup.appWindow = &window->appWindow;
    demo.startup.keyTable = &window->keyTable;
    startPass();
    world.sceneEndsAtFrame = 1;
    world.firstStartsAt = 1140000;
    world.beats = {{at(41, 0)}, {at(44, 0)}, {at(46, 0)}, {at(49, 32)}, {at(52, 0)}};
    run();
    for (const Seen& s : world.seen) EXPECT_FALSE(s.lensActive && !s.lensBounce);
}

TEST(MusicPosition, OrderAndRowAreTheLowTwoUnsignedHalfWords) {
    demo = DemoState{};
    demo.startup.moduleHandle = moduleChannel;
    platform::Backends backends = testBackends();
    backends.sound = &scripted;
    platform::useBackends(backends);
    world = World{};
    world.module = 0x0000000100200031ull;
    MusicPosition p = readMusicPosition();
    EXPECT_EQ(p.order, 49);
    EXPECT_EQ(p.row, 32);
    world.module = ~0ull;
    p = readMusicPosition();
    EXPECT_EQ(p.order, 65535);  // never negative
    EXPECT_EQ(p.row, 65535);
}

TEST(CatchUpLens, StepsStrictlyUntilTheLensClockReachesTheSceneClock) {
    auto stepsFor = [](float lensClock, float demoTime) {
        demo = DemoState{};
        lensScene.lensClock = lensClock;
        demo.timeline.demoTime = demoTime;
        catchUpLens();
        EXPECT_GE(lensScene.lensClock, demoTime);
        return static_cast<int>(std::lround((lensScene.lensClock - lensClock) / 0.009f));
    };
    EXPECT_EQ(stepsFor(0.5f, 0.5f), 0);  // equal: no step
    EXPECT_EQ(lensScene.lensX, -3.0f);
    // A 0.05 s frame: 6 steps from a clock that had just caught up exactly,
    // 5 from one that had overshot by 0.006 s.
    EXPECT_EQ(stepsFor(1.0f, 1.05f), 6);
    EXPECT_EQ(stepsFor(1.006f, 1.05f), 5);
    EXPECT_EQ(stepsFor(2.0f, 1.0f), 0);  // ahead: waits for the scene clock
}

TEST_F(SequencerTest, ZoomIsOneAtOneAndAHalfSecondsAfterOrder44AndAHalfAtFourAndAHalf) {
    world.sceneEndsAtFrame = 1;
    world.firstStartsAt = 1140000;
    world.secondStartsAt = 240000;
    world.frameMs = 0;  // the scene clock comes from the beats alone
    world.beats = {{at(41, 0), 0.5f},  {at(44, 0), 2.0f},  // zoomStart = 2
                   {at(44, 32), 3.5f}, {at(45, 0), 6.5f},  // 1.5 s, 4.5 s after
                   {at(46, 0), 6.5f},                       // twistStart = 6.5
                   {at(47, 0), 8.0f},  {at(49, 0), 8.0f},
                   {at(49, 32), 8.0f}, {at(52, 0), 8.0f}};
    run();
    ASSERT_EQ(world.seen.size(), 10u);  // scene 0, then 9 lens scene frames
    EXPECT_EQ(world.seen[3].zoom, 2.0f);  // order 44 heard: 3 / 1.5
    EXPECT_EQ(world.seen[4].zoom, 1.0f);
    EXPECT_EQ(world.seen[5].zoom, 0.5f);
    EXPECT_EQ(world.seen[7].zoom, 0.4f);  // 3 / (8 + 1.5 - 2)
    EXPECT_EQ(world.seen[7].twist, 3.0f);  // (8 - 6.5) x 2
    // From row 32 on the zoom counts from the same offset: 3 / (6 + 1.5).
    EXPECT_EQ(demo.timeline.zoom, 0.4f);
    EXPECT_EQ(demo.timeline.rotation, 0.0f);
}

TEST_F(SequencerTest, ZoomPassesThroughInfinityToNegativeWithoutATrap) {
    world.sceneEndsAtFrame = 1;
    world.firstStartsAt = 1140000;
    world.secondStartsAt = 240000;
    world.frameMs = 0;
    // zoomStart 0; at row 32 the clock stands at 1.8, so the divisor is
    // 1.8 + 1.5 - 3.3 t, exactly 0 in single precision at t = 1.
    world.beats = {{at(41, 0), 0.0f},   {at(44, 0), 0.0f},  {at(46, 0), 0.0f},
                   {at(49, 0), 0.0f},   {at(49, 32), 1.8f}, {at(49, 48), 2.8f},
                   {at(50, 0), 3.0f},   {at(52, 0), 3.0f}};
    run();
    ASSERT_EQ(world.seen.size(), 9u);
    const Seen& infinite = world.seen[7];
    EXPECT_TRUE(std::isinf(infinite.zoom));
    EXPECT_GT(infinite.zoom, 0.0f);
    EXPECT_EQ(infinite.rotation, 65.0f);
    // t = 3.0 - 1.8 = 1.2000000477 in single precision; the zoom is the
    // single-precision result (double arithmetic would give -0x1.22e8b4p+2).
    EXPECT_EQ(world.seen[8].zoom, -0x1.22e8b8p+2f);
    EXPECT_EQ(world.seen[8].rotation, 78.0f);
    EXPECT_EQ(demo.timeline.SceneState, -1);
    EXPECT_EQ(keepRunning(), 0);
}

TEST_F(SequencerTest, APauseHoldsTheClockDrivenValuesButTheMusicGoesOn) {
    world.sceneEndsAtFrame = 1;
    world.firstStartsAt = 1140000;
    // Pause in the frame that hears order 46: zoom, twist and lens freeze.
    world.onFrame = [] {
        if (world.module == at(46, 0)) demo.timeline.paused = 1;
    };
    run();
    EXPECT_EQ(keepRunning(), 0);  // the music still ended every wait
    const Seen* first = nullptr;
    for (const Seen& s : world.seen) {
        if (s.scene != 2 || (s.module & 0xFFFF) < 47) continue;
        if (!first) first = &s;
        if (s.lensActive) {
            EXPECT_EQ(s.lensClock, first->lensClock);
            EXPECT_EQ(s.zoom, first->zoom);
            EXPECT_EQ(s.twist, first->twist);
        }
        EXPECT_EQ(s.rotation, 0.0f);  // 65 x 0 s since row 32
    }
    ASSERT_NE(first, nullptr);
}

TEST_F(SequencerTest, AQuitInTheMiddleOfAnyWaitStopsNothingAndChangesNothing) {
    struct Wait {
        const char* name;
        std::function<bool()> quitWhen;
    };
    auto module = [](int order, int row) {
        return [=] { return demo.timeline.SceneState == 2 && world.module == at(order, row); };
    };
    std::vector<Wait> waits = {
        {"scene 0", [] { return demo.timeline.SceneState == 0 && world.frames == 2; }},
        {"first wave", [] { return demo.timeline.SceneState == 1 && world.first == 600000; }},
        {"order 41", module(40, 16)},
        {"order 44", module(42, 16)},
        {"order 46", module(45, 16)},
        {"order 49", module(47, 16)},
        {"order 49 row 32", module(49, 16)},
        {"order 52", module(50, 16)},
        {"second wave", [] { return demo.timeline.SceneState == -1 && world.second == 100000; }},
    };
    for (const Wait& wait : waits) {
        SCOPED_TRACE(wait.name);
        demo = DemoState{};
        demo.startup.appWindow = &window->appWindow;
        demo.startup.keyTable = &window->keyTable;
        startPass();
        world.quitWhen = wait.quitWhen;
        run();
        ASSERT_TRUE(world.quit);
        EXPECT_EQ(world.log.size(), world.logAtQuit);  // nothing stopped or started
        EXPECT_EQ(snapshot(), world.atQuit);
        EXPECT_EQ(keepRunning(), 1);  // a toggle's quit: the pass loop goes on
        EXPECT_GE(world.frames, 2);  // it was in the middle of the wait
    }
}

TEST_F(SequencerTest, AfterAToggleTheTimelineResumesFromTheStateItFinds) {
    // Pass 1 is cut off in the wait for order 49 (lens on, twisting).
    world.quitWhen = [] { return demo.timeline.SceneState == 2 && world.module == at(47, 16); };
    run();
    ASSERT_TRUE(world.quit);
    const float twist = demo.timeline.twistAngle, rotation = demo.timeline.rotation;
    EXPECT_GT(twist, 0.0f);

    // Pass 2, with the channels a new start-up opened (here: the same
    // numbers, a world back at the start).
    startPass();
    world.quitWhen = [] { return world.module == at(41, 0); };
    run();
    ASSERT_TRUE(world.quit);
    // Step 1 starts the new module, the wait for scene 0 ends at once.
    ASSERT_GE(world.log.size(), 3u);
    EXPECT_EQ(world.log[0], "0: playModule 11");
    EXPECT_EQ(world.log[1], "0: stop 11");
    EXPECT_EQ(world.log[2], "0: playStream 22 restart");
    // The tunnel plays with the old scene number and lens until step 9.
    for (int f = 1; f <= 4; f++) {
        EXPECT_EQ(frame(f).scene, 2) << f;
        EXPECT_TRUE(frame(f).lensActive);
        EXPECT_EQ(frame(f).twist, twist);
        EXPECT_EQ(frame(f).zoom, 0.5f);
        EXPECT_FLOAT_EQ(frame(f).rotation, f == 1 ? rotation : rotation + 5.0f + 6.0f * (f - 2));
    }
    EXPECT_EQ(frame(5).rotation, 0.0f);  // scene 2 starts again
    EXPECT_TRUE(frame(5).lensActive);    // until step 14 sets it anew

    // Cut off after the bounce ended: it never comes back.
    startPass();
    world.quitWhen = [] { return demo.timeline.SceneState == 2 && world.module == at(50, 0); };
    run();
    ASSERT_FALSE(demo.timeline.lensBounce);
    startPass();
    run();
    EXPECT_EQ(keepRunning(), 0);  // this pass played to the end
    for (const Seen& s : world.seen) EXPECT_FALSE(s.lensBounce);
}

TEST_F(SequencerTest, AfterAToggleInSceneZeroTheNewModulePlaysTheSceneOn) {
    world.sceneEndsAtFrame = 100;
    world.quitWhen = [] { return world.frames == 3; };
    run();
    ASSERT_TRUE(world.quit);
    EXPECT_FLOAT_EQ(polyhedraScene.orbitAngle, 0.6f + 2 * 0.72f);
    startPass();
    world.sceneEndsAtFrame = 2;
    world.quitWhen = [] { return demo.timeline.SceneState == 1; };
    run();
    std::vector<std::string> expected = {"0: playModule 11", "2: stop 11",
                                         "2: playStream 22 restart"};
    EXPECT_EQ(world.log, expected);
    // The orbit goes on from where it was.
    EXPECT_FLOAT_EQ(polyhedraScene.orbitAngle, 2 * (0.6f + 0.72f) + 0.72f);
}

// ---- through the real frame loop ------------------------------------------

namespace {

// The frames draw for real (the zoom tunnel, the lens scene) before the
// world moves, 16 ms apart, and a real Escape key can be pressed after one.
int escapeAtFrame = -1;
void drawForReal() {
    drawFrame();
    noteAndMove();
    if (world.frames == escapeAtFrame) pushKey(*demo.startup.appWindow, SDLK_ESCAPE, true);
}

struct RealFrameTest : SequencerTest {
    void SetUp() override {
        SequencerTest::SetUp();
        AppCallbacks callbacks = demoCallbacks();
        callbacks.draw = drawForReal;
        setAppCallbacks(callbacks);
        world.frameMs = 16;
        escapeAtFrame = -1;
        demo.timeline.SceneState = 1;  // scene 0's drawing is its own business
    }
};

}  // namespace

TEST_F(RealFrameTest, PlaysToTheEndAndPostsTheQuit) {
    run();
    EXPECT_EQ(world.frames, 59);  // 4 tunnel, 52 lens, 3 closing frames
    ASSERT_FALSE(world.log.empty());
    EXPECT_EQ(world.log.back(), "59: stop 33");
    EXPECT_EQ(keepRunning(), 0);
    // The quit it posted reaches the next frame, as it reaches the pass loop.
    FrameReport report;
    EXPECT_EQ(runFrame(&window->appWindow, &report), 0);
    // Real 16 ms frames: 0.016 s of scene clock per frame since scene 2 began.
    EXPECT_NEAR(frame(6).demoTime - frame(5).demoTime, 0.016f, 1e-6f);
}

TEST_F(RealFrameTest, EscapeDuringTheTunnelLeavesEverythingPlaying) {
    escapeAtFrame = 2;
    run();
    // Frame 3 sees the key and posts the quit; the next frame retrieves it.
    EXPECT_EQ(world.frames, 3);
    std::vector<std::string> expected = {"0: playModule 11", "0: stop 11",
                                         "0: playStream 22 restart"};
    EXPECT_EQ(world.log, expected);
    EXPECT_TRUE(world.firstPlaying);
    // The pass's first frame stands for one step, then two 16 ms frames at
    // 300 degrees a second.
    EXPECT_FLOAT_EQ(demo.timeline.rotation, 5.0f + 2 * 4.8f);
    EXPECT_EQ(demo.timeline.SceneState, 1);
    EXPECT_EQ(keepRunning(), 0);
}

TEST_F(SequencerTest, SceneZeroIsTimedFromWhenItsMusicIsFirstHeard) {
    // The set-up marked the clock at 0.1 s; the rest of the start-up took
    // until 1.2 s. The sound device then takes two frames to begin, and the
    // module's start is heard in the third: the mark follows the clock to
    // the time the output gives for it, and then stays.
    counterFrequency = 1000;
    clockMarkSeconds = 0.1f;
    platform::advanceVirtualClock(1200);
    untilHeard = {0.0116, 0.0116, 0.005, -0.01, -0.02};
    std::vector<float> marks;
    world.onFrame = [&]() { marks.push_back(clockMarkSeconds); };
    world.sceneEndsAtFrame = 6;
    run();
    const std::vector<float> expected = {1.2116f, 1.2316f, 1.245f, 1.245f, 1.245f, 1.245f};
    ASSERT_GE(marks.size(), expected.size());
    marks.resize(expected.size());
    EXPECT_EQ(marks, expected);
    untilHeard.clear();
}

// "0 or less once it is heard": a start heard exactly now keeps the mark.
TEST_F(SequencerTest, MusicHeardExactlyNowLeavesTheMarkWhereTheSetUpPutIt) {
    counterFrequency = 1000;
    clockMarkSeconds = 0.1f;
    platform::advanceVirtualClock(1200);
    untilHeard = {0.0};
    world.sceneEndsAtFrame = 3;
    run();
    EXPECT_EQ(clockMarkSeconds, 0.1f);
    untilHeard.clear();
}

// A fullscreen toggle in phase 5: the new pass's module is not heard yet,
// but the mark is the bounce's now and stays, so the solid goes on falling.
TEST_F(SequencerTest, AfterAToggleInPhaseFiveTheWaitForTheMusicLeavesTheBouncesMark) {
    counterFrequency = 1000;
    polyhedraScene.scenePhase = 5;
    clockMarkSeconds = 30.5f;
    untilHeard = {0.5, 0.4, 0.3};
    world.sceneEndsAtFrame = 3;
    run();
    EXPECT_EQ(clockMarkSeconds, 30.5f);
    untilHeard.clear();
}

TEST_F(SequencerTest, ADeviceThatNeverTakesSoundHoldsSceneZeroBackFiveSecondsAtMost) {
    counterFrequency = 1000;
    untilHeard = {0.0116};
    world.frameMs = 100;
    float markAtFiveSeconds = 0.0f;
    world.onFrame = [&]() {
        if (platform::performanceCounter() == 5100) markAtFiveSeconds = clockMarkSeconds;
    };
    world.sceneEndsAtFrame = 80;
    run();
    EXPECT_EQ(clockMarkSeconds, markAtFiveSeconds);
    EXPECT_LT(clockMarkSeconds, 5.2f);
    untilHeard.clear();
}
