// The timeline's stretches, each a fixed number of frames, played by the
// demo's own sequencer (runSequencer) through the bench's backends.
//
// The bench decides two things only: when each of the timeline's waits ends,
// and how much scene time each frame takes. Everything drawn and every
// parameter comes from the demo's own code, as it plays.
// - Scene 0 ends itself. The bench moves the virtual clock so that each of
//   its seven phases takes exactly its frames, spread evenly over the phase's
//   length (kPhaseLength): frame j of n is drawn (j - 1/2) / (n - 1) of the
//   length into the phase, so the last one is past it and ends the phase.
// - The zoom tunnel, the lens scene's waits and the closing stretch end on
//   the music's positions, which the bench gives the sequencer (through the
//   sound layer's position, the rest of the layer playing for real): each
//   event comes once its stretch has had its frames. The lens scene's scene
//   time sweeps each stretch's span of the real timeline, taken from the
//   module itself (the time of orders 41, 44, 46, 49 and row 32 of 49).
// Frame times run from the beginning of one frame to the beginning of the
// next, so whatever the sequencer does in between counts too; the bench's
// own libopenmpt player (mixing.cpp) steps between them, not counted.
#include "tools/bench/bench.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/frame.h"
#include "app/gl.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/polyhedra/precise_clock.h"

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace bench {
namespace {

// Counts per second of the virtual clock: fine enough for any stretch a
// bench would draw (a 1 s phase in 300 frames steps by 3.3 ms).
constexpr std::int64_t kClockFrequency = std::int64_t(1) << 20;

const char* const kPhaseNames[8] = {"",
                                    "polyhedra 1: logo",
                                    "polyhedra 2: tilt",
                                    "polyhedra 3: floor",
                                    "polyhedra 4: bouncing",
                                    "polyhedra 5: growing",
                                    "polyhedra 6: riding",
                                    "polyhedra 7: lagging"};

// The lens scene's stretches, in frames of the lens scene: the positions
// the waits end on and the scene time each stretch sweeps.
enum LensStretch { wandering, zoomingOut, twistedFalling, fastZoom, lensStretches };
const char* const kLensNames[lensStretches] = {"lens on: wandering", "lens on: zooming out",
                                               "lens on: twisted, falling", "lens off: fast zoom"};

struct Bench {
    const Options* options = nullptr;
    SceneRun* run = nullptr;
    bool failed = false;

    // The frame being drawn: its row, and when it began.
    SceneResult* row = nullptr;
    double frameBegan = 0;
    double cpuBegan = 0;
    std::int32_t lastScene = 0;
    bool firstFrameSeen = false;

    int phase = 0;          // scene 0: the phase being drawn, its frames so far
    int phaseFrames = 0;
    int tunnelFrames = 0;
    int lensFrames = 0;     // every frame of the lens scene so far
    int closingFrames = 0;
    double lensSpan[lensStretches] = {};  // seconds of scene time each stretch sweeps
    int fallingFrom = 0;    // the lens frame from which order 49 is heard
    double lensBegan = 0;   // the clock when the lens scene's first frame began
    double sceneSeconds = 0;  // scene time swept since
};

Bench bench;

SceneResult& rowNamed(const char* name) {
    for (SceneResult& scene : bench.run->scenes)
        if (scene.name == name) return scene;
    bench.run->scenes.push_back(SceneResult{name, {}, 0});
    bench.run->scenes.back().frameMs.reserve(static_cast<std::size_t>(bench.options->frames));
    return bench.run->scenes.back();
}

// Puts the virtual clock at `seconds` (it only ever moves forwards).
void clockAt(double seconds) {
    const auto target = static_cast<std::int64_t>(std::llround(seconds * double(kClockFrequency)));
    const std::int64_t now = platform::performanceCounter();
    if (target > now) platform::advanceVirtualClock(target - now);
}

int lensStretchOf(int frame) {
    const int n = bench.options->frames;
    if (frame < n) return wandering;
    if (frame < 2 * n) return zoomingOut;
    if (frame < 3 * n) return twistedFalling;
    return fastZoom;
}

// ---- the frames -----------------------------------------------------------------

// Scene 0's frame j of phase p, counted from the phase's start.
void polyhedraFrameBegins() {
    const int phase = polyhedraScene.scenePhase;
    if (phase != bench.phase) {
        bench.phase = phase;
        bench.phaseFrames = 0;
    }
    const int j = ++bench.phaseFrames;
    const int n = bench.options->frames;
    const double length = phase >= 1 && phase <= 7 ? kPhaseLength[phase] : 1.0;
    const double into = n >= 2 ? (j - 0.5) * length / (n - 1) : 1.5 * length;
    // Phases 1 to 3 are timed from the clock mark, 4 to 7 from phaseStart,
    // each set when the phase began.
    const double start = phase <= 3 ? static_cast<double>(clockMarkSeconds)
                                    : static_cast<double>(polyhedraScene.phaseStart);
    clockAt(start + into);
    bench.row = &rowNamed(kPhaseNames[phase >= 1 && phase <= 7 ? phase : 7]);
}

// The scene clock follows the tick count in whole milliseconds: the sweep
// keeps its own sum, so the steps add up to the span.
void lensFrameBegins() {
    if (bench.lensFrames == 0) bench.lensBegan = clockNow();
    const int stretch = lensStretchOf(bench.lensFrames);
    const int n = bench.options->frames;
    bench.sceneSeconds += bench.lensSpan[stretch] / n;
    clockAt(bench.lensBegan + bench.sceneSeconds);
    bench.lensFrames++;
    bench.row = &rowNamed(kLensNames[stretch]);
}

// The shadow player follows the module: from its start through scene 0,
// from order 39 through the lens scene.
void followTheModule(std::int32_t scene) {
    if (!bench.firstFrameSeen && scene == 0) startShadow(0);
    if (bench.firstFrameSeen && scene != bench.lastScene) {
        if (bench.lastScene == 0 || bench.lastScene == 2) stopShadow();
        if (scene == 2) startShadow(kLensSceneFirstOrder);
    }
    bench.lastScene = scene;
}

// The frame that has just ended, into its row.
void closeFrame() {
    if (!bench.row) return;
    const double end = monotonicSeconds();
    bench.row->cpuMs += (processCpuSeconds() - bench.cpuBegan) * 1000.0;
    bench.row->frameMs.push_back((end - bench.frameBegan) * 1000.0);
    bench.row = nullptr;
}

void frameHook(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::begin) return;
    closeFrame();
    if (!bench.firstFrameSeen) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(appWindow->window, &width, &height);
        const Options& options = *bench.options;
        if (width != options.width || height != options.height) {
            std::fprintf(stderr, "demo-bench: the window is %d x %d, not %d x %d\n", width, height,
                         options.width, options.height);
            bench.failed = true;
            postQuit(appWindow);
            return;
        }
    }
    // libopenmpt's side of the mixing cost, kept out of the frame times.
    const std::int32_t scene = demo.timeline.SceneState;
    followTheModule(scene);
    bench.firstFrameSeen = true;
    stepShadow();

    if (scene == 0) {
        polyhedraFrameBegins();
    } else if (scene == 1) {
        bench.tunnelFrames++;
        bench.row = &rowNamed("zoom tunnel");
    } else if (scene == 2) {
        lensFrameBegins();
    } else {
        bench.closingFrames++;
        bench.row = &rowNamed("closing stretch");
    }
    bench.frameBegan = monotonicSeconds();
    bench.cpuBegan = processCpuSeconds();
}

// ---- the music's positions --------------------------------------------------------

std::uint64_t at(int order, int row) {
    return static_cast<std::uint64_t>(order) | (static_cast<std::uint64_t>(row) << 16);
}

// What the sequencer hears: each wait's event once its stretch has had its
// frames. Scene 0's music plays as it plays: nothing waits on it.
std::uint64_t scriptedPosition(sound::Channel channel) {
    const int n = bench.options->frames;
    const StartupHandles& made = demo.startup;
    if (channel == made.firstStream) return bench.tunnelFrames >= n ? kFirstStreamEnd : 0;
    if (channel == made.secondStream) return bench.closingFrames >= n ? kSecondStreamEnd : 0;
    if (channel != made.moduleHandle || demo.timeline.SceneState != 2) return sound::position(channel);
    const int frame = bench.lensFrames;
    if (frame < n) return at(kLensAppearsOrder, 0);
    if (frame < 2 * n) return at(kZoomStartsOrder, 0);
    if (frame < bench.fallingFrom) return at(kTwistStartsOrder, 0);
    if (frame < 3 * n) return at(kLensFallsOrder, 0);
    if (frame < 4 * n) return at(kLensFallsOrder, kLensGoneRow);
    return at(kLensSceneLastOrder, 0);
}

// The bench hears the music as soon as it starts: it times scene 0 itself.
double heardAtOnce(sound::Channel) { return -1.0; }

sound::Operations soundForTheBench() {
    sound::Operations operations = benchSound();
    operations.position = scriptedPosition;
    operations.secondsUntilHeard = heardAtOnce;
    return operations;
}

// The spans of the lens scene's stretches, from the module's own timing.
bool measureLensSpans(std::string& error) {
    const std::vector<std::pair<int, int>> events = {
        {kLensAppearsOrder, 0}, {kZoomStartsOrder, 0}, {kTwistStartsOrder, 0},
        {kLensFallsOrder, 0},   {kLensFallsOrder, kLensGoneRow}, {kLensSceneLastOrder, 0}};
    std::vector<double> t;
    if (!musicTimes(events, t, error)) return false;
    bench.lensSpan[wandering] = t[1] - t[0];
    bench.lensSpan[zoomingOut] = t[2] - t[1];
    bench.lensSpan[twistedFalling] = t[4] - t[2];
    bench.lensSpan[fastZoom] = t[5] - t[4];
    // Within the third stretch, order 49 comes where the music has it.
    const int n = bench.options->frames;
    const double share = bench.lensSpan[twistedFalling] > 0 ? (t[3] - t[2]) / bench.lensSpan[twistedFalling] : 0;
    bench.fallingFrom = 2 * n + static_cast<int>(std::lround(share * n));
    return true;
}

// ---- the run -------------------------------------------------------------------------

const char* glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "(unknown)";
}

// The timeline, after what it needs from the start-up's window: the GL
// strings, the sound driver, the shadow player and the music's timing.
void benchTimeline(AppWindow* appWindow) {
    bench.run->renderer = glText(GL_RENDERER);
    bench.run->glVersion = glText(GL_VERSION);
    const char* driver = SDL_GetCurrentAudioDriver();
    bench.run->soundOutput = driver ? std::string("SDL audio driver \"") + driver + "\""
                                    : std::string("none (") + SDL_GetError() + ")";
    std::string error;
    const long before = residentKiB();
    if (!makeShadowPlayer(error) || !measureLensSpans(error)) {
        std::fprintf(stderr, "demo-bench: %s\n", error.c_str());
        bench.failed = true;
        postQuit(appWindow);
        return;
    }
    bench.run->comparisonPlayerKiB = residentKiB() - before;
    runSequencer(appWindow);
    // The timeline's own end: the last frame ends here.
    closeFrame();
    stopShadow();
    const int n = bench.options->frames;
    bench.run->completed = !bench.failed && bench.closingFrames == n && bench.tunnelFrames == n &&
                           bench.lensFrames == 4 * n;
    for (const SceneResult& scene : bench.run->scenes)
        if (static_cast<int>(scene.frameMs.size()) != n) bench.run->completed = false;
}

void noticeToStderr(const char* text) { std::fprintf(stderr, "demo-bench: notice: %s\n", text); }

}  // namespace

int runBenchPass(const AppCallbacks& callbacks, const platform::Backends& backends, int width, int height) {
    // A window of exactly that drawable, every frame as soon as the last is
    // done: raw capacity.
    AppDesc desc{callbacks};
    desc.width = width;
    desc.height = height;
    desc.fullscreen = false;
    desc.backends = backends;
    desc.backends.notices = noticeToStderr;
    desc.backends.sizing = platform::WindowSizing::fixed;
    desc.backends.pacedByDisplay = false;
    return runApp(desc);
}

int runScenes(const Options& options, SceneRun& run) {
    bench = Bench{};
    bench.options = &options;
    bench.run = &run;
    // The rows in the timeline's order, whatever comes first.
    for (int phase = 1; phase <= 7; ++phase) rowNamed(kPhaseNames[phase]);
    rowNamed("zoom tunnel");
    for (const char* name : kLensNames) rowNamed(name);
    rowNamed("closing stretch");

    static const sound::Operations sound = soundForTheBench();
    platform::Backends backends;
    backends.clock.isVirtual = true;
    backends.clock.frequency = kClockFrequency;
    backends.sound = &sound;
    backends.frameHook = frameHook;
    AppCallbacks callbacks = demoCallbacks();
    callbacks.runTimeline = benchTimeline;

    // The start-up's progress lines would bury the table: they go nowhere
    // during the run (the launch probes still write theirs, to a pipe).
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (savedOut >= 0 && nowhere >= 0) dup2(nowhere, STDOUT_FILENO);
    int status = runBenchPass(callbacks, backends, options.width, options.height);
    std::fflush(stdout);
    if (savedOut >= 0 && nowhere >= 0) dup2(savedOut, STDOUT_FILENO);
    if (savedOut >= 0) close(savedOut);
    if (nowhere >= 0) close(nowhere);

    if (status == 0 && (bench.failed || !run.completed)) status = 3;
    return status;
}

}  // namespace bench
