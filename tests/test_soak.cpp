// The soak: twenty fullscreen toggles spread over the whole timeline, in the
// program's own pass loop, start-up and sequencer, on the virtual clock and
// the offline sound sink (one frame of time per frame, as demo-capture runs
// it). F1 is pressed by key events pushed from the frame hook, held for
// one frame, as a viewer would.
//
// It needs a screen exactly the window's size, so that every fullscreen
// request succeeds and the passes really switch between fullscreen and a
// window: tests/CMakeLists.txt starts one (Soak.*OnAFittingScreen); under any
// other screen the test skips. The sanitizer build runs the same program
// under LeakSanitizer.
//
// What every frame must show: no GL error; the sound layer holding this
// pass's three channels and nothing of an earlier pass. What every new pass
// must show: the other display mode, in force; the timeline resuming from
// the DemoState the last pass left (scene 0 goes on in the phase it had
// reached; any later scene restarts the zoom tunnel's music from step 3 with
// SceneState and the lens values kept until the steps that set them). And
// across the passes: the heap flat (no memory of a pass is left behind).
#include "support/test_backends.h"
#include "support/test_window.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/frame.h"
#include "app/gl.h"
#include "app/notice.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/lens/lens_scene.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 160, kHeight = 120;  // window and screen
constexpr int kFps = 60;
constexpr std::int64_t kUnitsPerFrame = 1000;   // virtual clock: fps * 1000 a second
constexpr std::uint64_t kFrameLimit = 60000;    // far more than the schedule needs
constexpr std::uint64_t kBytesPerFrame = 4;     // the waves: 16-bit stereo

// Where the timeline is, as the state shows it while a frame is drawn.
enum Step {
    phase1, phase2, phase3, phase4, phase5, phase6, phase7,  // scene 0
    tunnel,       // steps 3-8 (module stopped, first wave), whatever SceneState says
    beforeLens,   // step 13: order 39 to 41
    lensWanders,  // 15: to order 44
    zoomFalls,    // 17: to order 46
    twist,        // 19: to order 49
    lensFalls,    // 21: order 49 before row 32
    spin,         // 23: to order 52
    closing,      // 27: the second wave
};

const char* stepName(Step step) {
    static const char* const names[] = {
        "scene 0 phase 1", "scene 0 phase 2", "scene 0 phase 3", "scene 0 phase 4",
        "scene 0 phase 5", "scene 0 phase 6", "scene 0 phase 7", "the tunnel's wave",
        "lens scene to order 41", "lens scene to order 44", "lens scene to order 46",
        "lens scene to order 49", "order 49 before row 32", "lens scene to order 52",
        "closing stretch"};
    return names[step];
}

// The schedule: in which step, after how many frames of it in the current
// pass, F1 goes down. Scene 0 goes on across toggles, so its phases are
// visited in turn; every later toggle costs a replay from the tunnel on.
struct Toggle {
    Step step;
    int afterFrames;
    std::int32_t scene;  // SceneState at the toggle (the tunnel shows 1, 2 or -1)
};
const Toggle kSchedule[20] = {
    {phase1, 60, 0},      {phase2, 20, 0},      {phase3, 60, 0},     {phase4, 60, 0},
    {phase5, 30, 0},      {phase6, 60, 0},      {phase7, 60, 0},     {phase7, 400, 0},
    {tunnel, 100, 1},     {tunnel, 300, 1},     {beforeLens, 100, 2}, {tunnel, 100, 2},
    {lensWanders, 300, 2}, {zoomFalls, 300, 2}, {twist, 300, 2},     {lensFalls, 60, 2},
    {spin, 200, 2},       {closing, 20, -1},    {tunnel, 100, -1},   {beforeLens, 20, 2},
};

bool playing(sound::Channel channel) {
    for (const sound::ChannelInfo& held : sound::channelsHeld())
        if (held.handle == channel) return held.playing;
    return false;
}

Step stepNow() {
    // Scene 0 sets SceneState 1 itself while drawing its last frame.
    if (demo.timeline.SceneState == 0 || (demo.timeline.SceneState == 1 && playing(demo.startup.moduleHandle)))
        return static_cast<Step>(phase1 + (polyhedraScene.scenePhase - 1));
    if (playing(demo.startup.moduleHandle)) {
        MusicPosition at = readMusicPosition();
        if (at.order < 41) return beforeLens;
        if (at.order < 44) return lensWanders;
        if (at.order < 46) return zoomFalls;
        if (at.order < 49) return twist;
        if (at.order == 49 && at.row < 32) return lensFalls;
        return spin;
    }
    return playing(demo.startup.secondStream) ? closing : tunnel;
}

// What a pass left behind when its last frame reported the toggle.
struct PassEnd {
    std::int32_t scene, phase;
    float phaseStart, zoom, rotation, twistAngle;
    bool lensActive, lensBounce;
    sound::Channel lastHandle;
};

struct PassRecord {
    int pass;
    Step firstStep;
    std::int32_t scene;
    bool fullscreen;
    long rssKb;
    long heapKb;
};

struct Soak {
    AppWindow* appWindow = nullptr;
    std::uint64_t frame = 0;
    int pass = 0;                 // passes whose first frame was seen
    std::size_t toggles = 0;      // F1 presses made
    bool releaseNext = false;     // F1 goes up at the next frame
    Step step = phase1;
    int framesInStep = 0;         // in this pass
    bool bounceOver = false;      // lensBounce went false once
    bool endSeen = false;         // the closing stretch reached its end
    PassEnd left{};
    std::vector<PassRecord> passes;
    std::vector<std::string> faults;
    bool quitPosted = false;
};

Soak* soak = nullptr;

void fault(const std::string& text) {
    if (soak->faults.size() < 40)
        soak->faults.push_back("frame " + std::to_string(soak->frame) + " (pass " +
                               std::to_string(soak->pass) + ", " + stepName(soak->step) + "): " + text);
}

// The offline sink keeps the whole mix, through every pass (about 10 MB a
// minute): that is the capture's record, not memory a pass left behind.
long mixKb() {
    return static_cast<long>(sound::offlineRecording().capacity() * sizeof(std::int16_t) / 1024);
}

long residentKb() {
    long pages = 0, resident = 0;
    if (std::FILE* file = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(file);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long heapKb() {
    struct mallinfo2 info = mallinfo2();
    // Small blocks in the arenas, and large ones mapped on their own.
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

// The sequencer's frames pass through here: when one reports the quit that
// ends a pass, the state the next pass finds is the state now.
// The timeline, then what the pass left (a quit ends it at once, changing
// nothing).
void timelineAndNoteTheEnd(AppWindow* appWindow) {
    runSequencer(appWindow);
    soak->left = PassEnd{demo.timeline.SceneState, polyhedraScene.scenePhase, polyhedraScene.phaseStart,
                         demo.timeline.zoom,       demo.timeline.rotation,   demo.timeline.twistAngle,
                         demo.timeline.lensActive, demo.timeline.lensBounce,
                         std::max({demo.startup.moduleHandle, demo.startup.firstStream, demo.startup.secondStream})};
}

// The first frame of a pass after a toggle.
void checkResumed(Soak& s) {
    const PassEnd& left = s.left;
    bool wantFullscreen = s.pass % 2 == 1;  // the first pass starts fullscreen
    if ((s.appWindow->fullscreen == 1) != wantFullscreen)
        fault("the pass is not in the other display mode");
    bool inForce = (SDL_GetWindowFlags(s.appWindow->window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (inForce != wantFullscreen) fault("the window's fullscreen flag does not match the mode");
    if (demo.startup.moduleHandle <= left.lastHandle || demo.startup.firstStream <= left.lastHandle ||
        demo.startup.secondStream <= left.lastHandle)
        fault("the start-up did not open the sound anew");
    if (polyhedraScene.phaseStart != left.phaseStart) fault("phaseStart changed across the toggle");

    if (left.scene == 0) {
        // Steps 1-2 again on the new module; the scene in the phase it had.
        if (demo.timeline.SceneState != 0) fault("scene 0 did not resume");
        if (polyhedraScene.scenePhase != left.phase)
            fault("scene 0 resumed in phase " + std::to_string(polyhedraScene.scenePhase) + ", not " +
                  std::to_string(left.phase));
        MusicPosition at = readMusicPosition();
        if (!playing(demo.startup.moduleHandle) || at.order != 0)
            fault("the new module does not play from its start");
        return;
    }
    // From step 3 on: the tunnel's wave from its start, SceneState and the
    // lens values as they were, the zoom of step 6.
    if (demo.timeline.SceneState != left.scene)
        fault("SceneState " + std::to_string(demo.timeline.SceneState) + " instead of the kept " +
              std::to_string(left.scene));
    if (playing(demo.startup.moduleHandle)) fault("the module plays during the tunnel's wave");
    if (!playing(demo.startup.firstStream) || sound::position(demo.startup.firstStream) > 2 * (44100 / kFps) * kBytesPerFrame)
        fault("the tunnel's wave does not play from its start");
    if (demo.timeline.zoom != 0.5f) fault("zoom is not step 6's 0.5");
    if (!(demo.timeline.demoTime >= 0.0f && demo.timeline.demoTime < 0.02f)) fault("demoTime was not reset");
    if (demo.timeline.rotation != left.rotation) fault("rotation was not kept");
    if (demo.timeline.twistAngle != left.twistAngle) fault("twistAngle was not kept");
    if (demo.timeline.lensActive != left.lensActive) fault("lensActive was not kept");
    if (demo.timeline.lensBounce != left.lensBounce) fault("lensBounce was not kept");
}

// Every pass draws with textures of its own context: names handed out in
// an earlier one mean nothing here.
void checkTextures() {
    const GLuint scene0[] = {polyhedraScene.chessboardTexture, polyhedraScene.scratchTexture, polyhedraScene.logoTexture};
    for (GLuint name : scene0)
        if (!glIsTexture(name)) fault("scene 0's texture " + std::to_string(name) + " is none of this context");
    for (GLuint name : lensScene.lensSceneTextures)
        if (!glIsTexture(name)) fault("texture " + std::to_string(name) + " is none of this context");
}

// Every frame: the sound layer holds this pass's three channels, nothing
// else, and at most one module plays.
void checkSound() {
    const std::vector<sound::ChannelInfo> channels = sound::channelsHeld();
    if (channels.size() != 3) {
        fault("the sound layer holds " + std::to_string(channels.size()) + " channels");
        return;
    }
    int modulesPlaying = 0;
    for (const auto& record : channels) {
        if (record.handle != demo.startup.moduleHandle && record.handle != demo.startup.firstStream &&
            record.handle != demo.startup.secondStream)
            fault("a channel of an earlier pass is still there");
        if (record.playing && record.isModule) modulesPlaying++;
    }
    if (modulesPlaying > 1) fault("more than one module plays");
}

void observe(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::drawn) return;
    Soak& s = *soak;
    s.appWindow = appWindow;
    if (windowStats().builds != s.pass) {
        s.pass = windowStats().builds;
        s.framesInStep = 0;
        s.step = stepNow();
        if (s.pass > 1) checkResumed(s);
        checkTextures();
        s.passes.push_back(PassRecord{s.pass, s.step, demo.timeline.SceneState, appWindow->fullscreen == 1,
                                      residentKb() - mixKb(), heapKb() - mixKb()});
    }
    Step step = stepNow();
    // The lens scene's first frame in a pass: step 9 set SceneState 2 and
    // steps 10-12 the order, zoom and rotation.
    if (s.step == tunnel && step != tunnel && step != closing) {
        MusicPosition at = readMusicPosition();
        if (demo.timeline.SceneState != 2 || at.order != 39 || demo.timeline.zoom != 2.0f || demo.timeline.rotation != 0.0f)
            fault("the lens scene began with SceneState " + std::to_string(demo.timeline.SceneState) +
                  ", order " + std::to_string(at.order) + " row " + std::to_string(at.row) +
                  ", zoom " + std::to_string(demo.timeline.zoom) + ", rotation " +
                  std::to_string(demo.timeline.rotation) + ", not as steps 9-12 set them");
    }
    if (step != s.step) s.framesInStep = 0;
    s.step = step;
    s.framesInStep++;
    checkSound();

    if (s.bounceOver && demo.timeline.lensBounce) fault("lensBounce came back");
    if (!demo.timeline.lensBounce) s.bounceOver = true;
    if (demo.timeline.SceneState == -1 && sound::position(demo.startup.secondStream) >= 240000 - 44100 / kFps * kBytesPerFrame)
        s.endSeen = true;

    if (s.releaseNext) {
        pushKey(*appWindow, SDLK_F1, false);
        s.releaseNext = false;
    } else if (s.toggles < std::size(kSchedule)) {
        const Toggle& next = kSchedule[s.toggles];
        if (step == next.step && s.framesInStep >= next.afterFrames) {
            if (demo.timeline.SceneState != next.scene)
                fault("the toggle meant for SceneState " + std::to_string(next.scene) + " came in " +
                      std::to_string(demo.timeline.SceneState));
            pushKey(*appWindow, SDLK_F1, true);
            s.releaseNext = true;
            s.toggles++;
        }
    }

    // One frame of time, for the clock now and the sound at the next update.
    const std::uint64_t rate = static_cast<std::uint64_t>(sound::outputRate());
    platform::advanceVirtualClock(kUnitsPerFrame);
    sound::consumeOffline((s.frame + 1) * rate / kFps - s.frame * rate / kFps);
    s.frame++;
    if (s.frame >= kFrameLimit && !s.quitPosted) {
        fault("the schedule did not finish");
        postQuit(appWindow);
        s.quitPosted = true;
    }
}

bool screenFitsTheWindow() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    bool fits = changeScreenResolution(kWidth, kHeight, 32) == 1;
    SDL_Quit();
    return fits;
}

TEST(Soak, TwentyTogglesAcrossTheTimeline) {
    if (!screenFitsTheWindow())
        GTEST_SKIP() << "needs a screen of exactly " << kWidth << " x " << kHeight
                     << " (xvfb-run -s \"-screen 0 " << kWidth << "x" << kHeight << "x24\")";
    Soak state;
    soak = &state;
    AppDesc desc;
    desc.callbacks = demoCallbacks();
    desc.callbacks.runTimeline = timelineAndNoteTheEnd;
    desc.width = kWidth;
    desc.height = kHeight;
    desc.backends = testBackendsOnVirtualClock(static_cast<std::int64_t>(kFps) * kUnitsPerFrame);
    desc.backends.soundOutput = platform::SoundOutput::offline;
    desc.backends.frameHook = observe;
    glErrorChecks().enabled = true;
    int status = runApp(desc);
    soak = nullptr;
    platform::useBackends(testBackends());

    // Memory at each pass's first frame, less the recorded mix.
    std::printf("pass  first step                 SceneState  mode        RSS MB   heap MB\n");
    for (const PassRecord& p : state.passes)
        std::printf("%4d  %-26s %10d  %-10s %7.1f  %8.2f\n", p.pass, stepName(p.firstStep), p.scene,
                    p.fullscreen ? "fullscreen" : "window", p.rssKb / 1024.0, p.heapKb / 1024.0);
    std::printf("frames %llu, toggles %zu, GL errors %llu\n",
                static_cast<unsigned long long>(state.frame), state.toggles,
                static_cast<unsigned long long>(glErrorChecks().errors));

    for (const std::string& text : state.faults) ADD_FAILURE() << text;
#if !defined(__SANITIZE_ADDRESS__)
    // The heap at the first frame of passes that begin alike stays within a
    // band (what differs is where the music and the scene stand); anything a
    // pass left behind would pile up pass after pass. (LeakSanitizer does
    // this job, to the byte, in the sanitizer build.)
    for (bool sceneZero : {true, false}) {
        long low = LONG_MAX, high = 0;
        for (const PassRecord& p : state.passes) {
            if (p.pass < 2 || (p.firstStep <= phase7) != sceneZero) continue;
            low = std::min(low, p.heapKb);
            high = std::max(high, p.heapKb);
        }
        EXPECT_LT(high - low, 5 * 1024) << (sceneZero ? "scene 0" : "later") << " passes: the heap grew";
    }
#endif
    EXPECT_EQ(status, 0);
    EXPECT_EQ(state.toggles, std::size(kSchedule));
    EXPECT_EQ(windowStats().builds, 21);
    EXPECT_EQ(windowStats().teardowns, 21);
    EXPECT_EQ(demo.timeline.SceneState, -1);
    EXPECT_TRUE(state.endSeen) << "the last pass did not play the closing stretch to its end";
    EXPECT_EQ(glErrorChecks().errors, 0u);
    EXPECT_TRUE(platform::recordedNotices().empty()) << platform::recordedNotices().front();
}

// The GL check the soak relies on: each error is one stderr line naming the
// frame, counted; with the check off, errors are left for whoever asks.
void raiseAnError(AppWindow*, platform::FrameMoment moment) {
    if (moment == platform::FrameMoment::drawn) glMatrixMode(GL_TEXTURE_2D);
}

TEST(GlErrorChecks, EachErrorIsOneLineNamingWhereItCameFrom) {
    platform::useBackends(testBackends());
    TestWindow w;
    ASSERT_TRUE(w.ok);
    demo.timeline.SceneState = -1;  // the closing stretch draws nothing
    glErrorChecks() = GlErrorChecks{true, 41, 0};
    FrameReport report;

    testing::internal::CaptureStderr();
    glEnable(0x1234);  // raised between frames
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    platform::Backends raising = testBackends();
    raising.frameHook = raiseAnError;  // raised after the check of frame 42
    platform::useBackends(raising);
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    platform::useBackends(testBackends());
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "GL error GL_INVALID_ENUM (0x0500) before frame 41\n"
              "GL error GL_INVALID_ENUM (0x0500) before frame 43\n");
    EXPECT_EQ(glErrorChecks().errors, 2u);
    EXPECT_EQ(glErrorChecks().frame, 44u);

    glErrorChecks().enabled = false;
    glEnable(0x1234);
    ASSERT_EQ(runFrame(&w.appWindow, &report), 1);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    EXPECT_EQ(glErrorChecks().errors, 2u);
}

}  // namespace
