// The timeline, step by step. Scene parameters are 32-bit floats and every
// computation on them is done in single precision, each result stored as a
// float, so the scenes move exactly as the numbers below say on every build.
// The numbers in the comments count the timeline's 29 steps.
#include "demo/sequencer.h"

#include "app/frame.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "scenes/lens/lens_scene.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/polyhedra/precise_clock.h"

#include <algorithm>
#include <limits>

static_assert(std::numeric_limits<float>::is_iec559,
              "the zoom relies on IEEE division: x / 0 is infinite, not a trap");


namespace {

// The tunnel's spin and the solids' orbit were made as steps of one frame at
// 60 frames a second. They move by that step for every 1/60 s a frame
// stands for, so a 144 Hz screen, an unpaced run and a capture at any rate
// show the same motion per second, and 60 frames a second exactly the
// designed steps. A frame that stood for longer than a quarter of a second
// (a stall, a window being dragged) moves them as a quarter of a second
// would rather than in one leap.
constexpr double kDesignedFrameRate = 60.0;
constexpr double kLongestFrameSeconds = 0.25;
constexpr float kTunnelStepDegrees = 5.0f;

float designedFrames(const FrameReport& report) {
    return static_cast<float>(std::min(report.elapsedSeconds, kLongestFrameSeconds) * kDesignedFrameRate);
}

// Seconds scene 0 waits at most for its music to be heard before its clock
// runs anyway (a sound server can take a second or two to start a stream).
constexpr double kLongestWaitForSound = 5.0;

// In the last part of the lens scene the zoom's divisor passes through zero
// on purpose: the zoom becomes infinite, then negative (the plane flips).
// IEEE division gives exactly that; keep a sanitizer from calling it a fault.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((no_sanitize("float-divide-by-zero")))
#endif
float ieeeDivide(float numerator, float divisor) {
    return numerator / divisor;
}

// 3 / (demoTime + 1.5 - zoomStart): 2.0 at order 44, falling with demoTime.
float zoomSince(float zoomStart) {
    float divisor = demo.timeline.demoTime + 1.5f - zoomStart;
    return ieeeDivide(3.0f, divisor);
}

// Steps 17, 19 and 21 share this body after their frame.
void followZoom(float zoomStart) {
    catchUpLens();
    demo.timeline.zoom = zoomSince(zoomStart);
}

// Steps 19 and 21: the zoom as before and a twist of 2 radians per second.
void followZoomAndTwist(float zoomStart, float twistStart) {
    followZoom(zoomStart);
    demo.timeline.twistAngle = (demo.timeline.demoTime - twistStart) * 2.0f;
}

bool beforeOrder49Row32() {
    MusicPosition position = readMusicPosition();  // both from one reading
    return position.order < kLensFallsOrder || (position.order == kLensFallsOrder && position.row < kLensGoneRow);
}

}  // namespace

MusicPosition readMusicPosition() {
    std::uint64_t position = sound::operations().position(demo.startup.moduleHandle);
    MusicPosition result;
    result.order = static_cast<std::int32_t>(position & 0xFFFFu);
    result.row = static_cast<std::int32_t>((position >> 16) & 0xFFFFu);
    return result;
}

void catchUpLens() {
    while (lensScene.lensClock < demo.timeline.demoTime) {
        float before = lensScene.lensClock;
        lensWanderStep(demo.timeline.lensBounce);
        // A step too small to move the clock any more (after some 42 hours
        // of scene time) could never catch up: leave the rest for later.
        if (!(lensScene.lensClock > before)) break;
    }
}

void runSequencer(AppWindow* appWindow) {
    const sound::Operations& audio = sound::operations();
    const StartupHandles& made = demo.startup;
    Timeline& timeline = demo.timeline;
    FrameReport report;
    // What the last frame stood for, in frames of 60 a second. The first
    // frame of a pass has no frame before it on this window (what it
    // measured is the start-up): it stands for one.
    float framesStood = 0.0f;
    bool firstFrame = true;
    // One frame; false when it reported a quit, and then the whole call
    // returns at once, stopping nothing and changing nothing.
    auto frame = [&]() {
        if (runFrame(appWindow, &report) == 0) return false;
        framesStood = firstFrame ? 1.0f : designedFrames(report);
        firstFrame = false;
        return true;
    };

    // ---- scene 0, the polyhedra, on the module from its start
    audio.playModule(made.moduleHandle);  // 1
    // Scene 0's phases are timed from when its music is first heard. The
    // set-up's mark came before the rest of the start-up (textures,
    // prebuffering), which takes longer on a busy machine, and a sound
    // server may take a second or more to begin taking sound at all: every
    // phase would come that much early against the bar it belongs to. So
    // until the module is heard the mark moves with the clock, at the time
    // the output says its first sound will be heard; from the first frame
    // that finds it heard, the mark stays. A device that takes no sound at
    // all is not waited for longer than a few seconds. Only phase 1 is timed
    // from the set-up's mark: a pass begun later in the scene (a fullscreen
    // toggle in phases 4 to 7, where the mark belongs to the bounce) leaves
    // it alone, or the solid would hover until the sound is heard.
    const double waitBegan = clockNow();
    bool musicHeard = false;
    while (timeline.SceneState == 0) {  // 2: the scene ends itself
        if (!musicHeard) {
            const double untilHeard = audio.secondsUntilHeard(made.moduleHandle);
            musicHeard = untilHeard <= 0.0 || clockNow() - waitBegan > kLongestWaitForSound ||
                         !startPhaseOneAt(clockNow() + untilHeard);
        }
        if (!frame()) return;
        stepOrbit(framesStood);
    }

    // ---- scene 1, the zoom tunnel, on the first wave
    audio.stop(made.moduleHandle);  // 3
    resetGLState();  // 4
    timeline.demoTime = 0.0f;
    reshapeGL(0, 0);  // 5: the scenes' projection
    timeline.zoom = 0.5f;  // 6
    audio.playStream(made.firstStream, true);  // 7
    while (audio.position(made.firstStream) < kFirstStreamEnd) {  // 8
        if (!frame()) return;
        timeline.rotation += kTunnelStepDegrees * framesStood;
    }

    // ---- scene 2, the lens scene, on the module from order 39
    timeline.SceneState = 2;  // 9
    audio.setModuleOrder(made.moduleHandle, kLensSceneFirstOrder);  // 10 (the wave goes on)
    audio.playModule(made.moduleHandle);
    resetGLState();  // 11
    timeline.demoTime = 0.0f;
    timeline.zoom = 2.0f;  // 12
    timeline.rotation = 0.0f;
    while (readMusicPosition().order < kLensAppearsOrder) {  // 13
        if (!frame()) return;
    }
    timeline.lensActive = true;  // 14
    startLensClock(timeline.demoTime);
    while (readMusicPosition().order < kZoomStartsOrder) {  // 15
        if (!frame()) return;
        catchUpLens();
    }
    const float zoomStart = timeline.demoTime;  // 16
    while (readMusicPosition().order < kTwistStartsOrder) {  // 17
        if (!frame()) return;
        followZoom(zoomStart);
    }
    const float twistStart = timeline.demoTime;  // 18
    while (readMusicPosition().order < kLensFallsOrder) {  // 19
        if (!frame()) return;
        followZoomAndTwist(zoomStart, twistStart);
    }
    timeline.lensBounce = false;  // 20: the lens falls away from here on
    while (beforeOrder49Row32()) {  // 21
        if (!frame()) return;
        followZoomAndTwist(zoomStart, twistStart);
    }
    timeline.lensActive = false;  // 22
    const float zoomOffset = timeline.demoTime - zoomStart;
    const float spinStart = timeline.demoTime;
    while (readMusicPosition().order < kLensSceneLastOrder) {  // 23: the lens is no longer stepped
        if (!frame()) return;
        float t = timeline.demoTime - spinStart;
        float divisor = zoomOffset + 1.5f - 3.3f * t;
        timeline.zoom = ieeeDivide(3.0f, divisor);
        timeline.rotation = 65.0f * t;
    }

    // ---- the closing stretch on the second wave
    audio.stop(made.moduleHandle);  // 24
    audio.playStream(made.secondStream, true);  // 25
    timeline.SceneState = -1;  // 26
    while (audio.position(made.secondStream) < kSecondStreamEnd) {  // 27
        if (!frame()) return;
    }
    audio.stop(made.secondStream);  // 28
    postQuit(appWindow);  // 29
}
