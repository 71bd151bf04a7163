// The bench sequencer: the timeline's stretches, each for a fixed number of
// frames, set up the way the sequencer sets them up, drawn through runFrame.
//
// The polyhedra scene runs on the real performance counter, phase by phase:
// each phase is entered as the scene itself enters it, and a phase that ends
// by itself before its frames are drawn is entered again (phase 4 keeps its
// bounce going). The lens scene's parameters come from the scene clock
// (demoTime) through the sequencer's own formulas; the bench sweeps that
// clock over the stretch's span of the real timeline in equal steps, one per
// frame, so every run draws the same pictures as the demo draws at those
// moments whatever the frame rate (the lens moves in fixed steps of scene
// time, so its path is the demo's too). The zoom tunnel turns per frame.
#include "tools/bench/bench.h"

#include "app/clock.h"
#include "app/frame.h"
#include "app/gl.h"
#include "app/notice.h"
#include "app/shell.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace bench {
namespace {

// The lens scene's clock at the module's events (orders 41, 44, 46, 49,
// 49 row 32 and 52), in seconds from its start at order 39.
constexpr float kLensAppears = 11.25f;
constexpr float kZoomStarts = 30.0f;
constexpr float kTwistStarts = 41.25f;
constexpr float kLensFalls = 56.25f;
constexpr float kLensGone = 60.0f;
constexpr float kLensSceneEnds = 69.2f;

struct Bench {
    const Options* options = nullptr;
    SceneRun* run = nullptr;
    double lastFrameEnd = 0;  // when the previous frame returned
    double lastFrameCpu = 0;  // the process's CPU time then
    bool failed = false;      // a frame reported a quit, or the window is wrong
};

Bench bench;

// One frame through the frame loop; its time runs from the end of the
// previous frame, so whatever the bench did in between (what the sequencer
// would do) counts too. False when the frame reported a quit.
bool frame(AppWindow* appWindow, SceneResult& scene) {
    FrameReport report;
    int going = runFrame(appWindow, &report);
    double end = monotonicSeconds();
    scene.cpuMs += (processCpuSeconds() - bench.lastFrameCpu) * 1000.0;
    scene.frameMs.push_back((end - bench.lastFrameEnd) * 1000.0);
    // libopenmpt's side of the mixing cost, kept out of the frame times.
    stepShadow();
    bench.lastFrameEnd = monotonicSeconds();
    bench.lastFrameCpu = processCpuSeconds();
    return going != 0;
}

SceneResult& newScene(const char* name) {
    bench.run->scenes.push_back(SceneResult{name, {}, 0});
    bench.run->scenes.back().frameMs.reserve(static_cast<std::size_t>(bench.options->frames));
    return bench.run->scenes.back();
}

// ---- scene 0 ----------------------------------------------------------------

const char* const kPhaseNames[8] = {"",
                                    "polyhedra 1: logo",
                                    "polyhedra 2: tilt",
                                    "polyhedra 3: floor",
                                    "polyhedra 4: bouncing",
                                    "polyhedra 5: growing",
                                    "polyhedra 6: riding",
                                    "polyhedra 7: lagging"};

// What the scene itself does when it moves into `phase`: phases 1 to 4 are
// timed from the clock mark (the mark at phase 4 starts the first fall),
// phases 4 to 7 from phaseStart.
void enterPhase(int phase) {
    if (phase <= 4) clockMark();
    if (phase >= 4) demo.phaseStart = static_cast<float>(clockNow());
    demo.scenePhase = phase;
}

// The phase ended by itself: again from its start. In phase 4 the mark
// belongs to the bounce and stays.
void repeatPhase(int phase) {
    demo.SceneState = 0;
    if (phase == 4) {
        demo.phaseStart = static_cast<float>(clockNow());
        demo.scenePhase = 4;
    } else {
        enterPhase(phase);
    }
}

bool polyhedraPhase(AppWindow* appWindow, int phase) {
    SceneResult& scene = newScene(kPhaseNames[phase]);
    // Phase 1 is where the start-up left the scene.
    if (phase > 1) enterPhase(phase);
    for (int i = 0; i < bench.options->frames; ++i) {
        if (demo.SceneState != 0 || demo.scenePhase != phase) repeatPhase(phase);
        if (!frame(appWindow, scene)) return false;
        stepOrbit();
    }
    return true;
}

// ---- scene 1 ----------------------------------------------------------------

bool zoomTunnel(AppWindow* appWindow) {
    SceneResult& scene = newScene("zoom tunnel");
    soundCalls.stop(demo.moduleHandle);
    demo.SceneState = 1;  // the polyhedra scene sets it as it ends
    resetGLState();
    reshapeGL(0, 0);
    demo.zoom = 0.5f;
    soundCalls.playStream(demo.firstStream, true);
    for (int i = 0; i < bench.options->frames; ++i) {
        if (!frame(appWindow, scene)) return false;
        demo.rotation += 5.0f;
    }
    return true;
}

// ---- scene 2 ----------------------------------------------------------------

// The parameters the sequencer sets after a frame, for scene time demoTime.
using LensUpdate = void (*)();

float zoomSince(float zoomStart) { return 3.0f / (demo.demoTime + 1.5f - zoomStart); }

void wandering() { catchUpLens(); }

void zoomingOut() {
    catchUpLens();
    demo.zoom = zoomSince(kZoomStarts);
}

void twisted() {
    if (demo.demoTime >= kLensFalls) demo.lensBounce = false;
    catchUpLens();
    demo.zoom = zoomSince(kZoomStarts);
    demo.twistAngle = (demo.demoTime - kTwistStarts) * 2.0f;
}

void fastZoom() {
    const float zoomOffset = kLensGone - kZoomStarts;
    float t = demo.demoTime - kLensGone;
    demo.zoom = 3.0f / (zoomOffset + 1.5f - 3.3f * t);
    demo.rotation = 65.0f * t;
}

// Frames over [from, to) of the lens scene's clock. The frame loop adds the
// real frame time to demoTime; the sweep puts it back on the stretch.
bool lensStretch(AppWindow* appWindow, const char* name, float from, float to, LensUpdate update) {
    SceneResult& scene = newScene(name);
    const int frames = bench.options->frames;
    for (int i = 0; i < frames; ++i) {
        demo.demoTime = from + (to - from) * static_cast<float>(i) / static_cast<float>(frames);
        update();
        if (!frame(appWindow, scene)) return false;
    }
    return true;
}

bool lensScene(AppWindow* appWindow) {
    demo.SceneState = 2;
    soundCalls.setModuleOrder(demo.moduleHandle, 39);
    soundCalls.playModule(demo.moduleHandle);
    startShadow(39);
    resetGLState();
    demo.zoom = 2.0f;
    demo.rotation = 0.0f;

    // The lens is switched on where it appears, its clock at the scene's.
    demo.demoTime = kLensAppears;
    demo.lensActive = true;
    demo.lensClock = demo.demoTime;
    if (!lensStretch(appWindow, "lens on: wandering", kLensAppears, kZoomStarts, wandering)) return false;
    if (!lensStretch(appWindow, "lens on: zooming out", kZoomStarts, kTwistStarts, zoomingOut)) return false;
    if (!lensStretch(appWindow, "lens on: twisted, falling", kTwistStarts, kLensGone, twisted)) return false;
    demo.lensActive = false;
    return lensStretch(appWindow, "lens off: fast zoom", kLensGone, kLensSceneEnds, fastZoom);
}

// ---- closing ------------------------------------------------------------------

bool closingStretch(AppWindow* appWindow) {
    SceneResult& scene = newScene("closing stretch");
    soundCalls.stop(demo.moduleHandle);
    soundCalls.playStream(demo.secondStream, true);
    demo.SceneState = -1;
    for (int i = 0; i < bench.options->frames; ++i)
        if (!frame(appWindow, scene)) return false;
    soundCalls.stop(demo.secondStream);
    return true;
}

// The module plays from its start through the polyhedra scene (the
// sequencer has just started it) and from order 39 through the lens scene;
// libopenmpt alone follows it.
bool allScenes(AppWindow* appWindow) {
    startShadow(0);
    for (int phase = 1; phase <= 7; ++phase)
        if (!polyhedraPhase(appWindow, phase)) return false;
    stopShadow();
    if (!zoomTunnel(appWindow)) return false;
    if (!lensScene(appWindow)) return false;
    stopShadow();
    return closingStretch(appWindow);
}

const char* glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "(unknown)";
}

// Takes the timeline's place at its first frame (the sequencer has just
// started the module, as it does), runs every stretch, then ends the pass:
// the quit it posts ends the pass loop, and 0 returns from the sequencer.
int benchSequencer(AppWindow* appWindow, FrameReport* report) {
    report->elapsedMs = 0;
    bench.run->renderer = glText(GL_RENDERER);
    bench.run->glVersion = glText(GL_VERSION);
    const char* driver = SDL_GetCurrentAudioDriver();
    bench.run->soundOutput = driver ? std::string("SDL audio driver \"") + driver + "\""
                                    : std::string("none (") + SDL_GetError() + ")";
    std::string error;
    const long before = residentKiB();
    if (!makeShadowPlayer(error)) {
        std::fprintf(stderr, "demo-bench: %s\n", error.c_str());
        bench.failed = true;
        postQuit(appWindow);
        return 0;
    }
    bench.run->comparisonPlayerKiB = residentKiB() - before;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(appWindow->window, &width, &height);
    const Options& options = *bench.options;
    if (width != options.width || height != options.height) {
        std::fprintf(stderr, "demo-bench: the window is %d x %d, not %d x %d\n", width, height, options.width,
                     options.height);
        bench.failed = true;
    } else {
        bench.lastFrameEnd = monotonicSeconds();
        bench.lastFrameCpu = processCpuSeconds();
        bench.failed = !allScenes(appWindow);
        bench.run->completed = !bench.failed;
    }
    postQuit(appWindow);
    return 0;
}

void noticeToStderr(const char* text) { std::fprintf(stderr, "demo-bench: notice: %s\n", text); }

}  // namespace

int runBenchWindow(int width, int height) {
    static AppClass appClass;
    static AppWindow appWindow;
    static KeyTable keyTable;
    setAppDefaults(&appClass, &appWindow, &keyTable);
    // Raw capacity: every frame as soon as the last one is done.
    syncToDisplay = false;
    appWindow.width = width;
    appWindow.height = height;
    appWindow.fullscreen = 0;
    return runPasses(&appClass, &appWindow, &keyTable);
}

int runScenes(const Options& options, SceneRun& run) {
    bench = Bench{};
    bench.options = &options;
    bench.run = &run;

    platform::setNoticeSink(noticeToStderr);
    keepRequestedWindowSize = true;
    sequencerFrame = benchSequencer;

    // The start-up's progress lines would bury the table: they go nowhere
    // during the run (the launch probes still write theirs, to a pipe).
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (savedOut >= 0 && nowhere >= 0) dup2(nowhere, STDOUT_FILENO);
    int status = runBenchWindow(options.width, options.height);
    std::fflush(stdout);
    if (savedOut >= 0 && nowhere >= 0) dup2(savedOut, STDOUT_FILENO);
    if (savedOut >= 0) close(savedOut);
    if (nowhere >= 0) close(nowhere);

    sequencerFrame = runFrame;
    if (status == 0 && bench.failed) status = 3;
    return status;
}

}  // namespace bench
