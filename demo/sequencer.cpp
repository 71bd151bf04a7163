// The timeline, step by step. Scene parameters are 32-bit floats and every
// computation on them is done in single precision, each result stored as a
// float, so the scenes move exactly as the numbers below say on every build.
// The numbers in the comments count the timeline's 29 steps.
#include "demo/sequencer.h"

#include "app/clock.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"

#include <limits>

static_assert(std::numeric_limits<float>::is_iec559,
              "the zoom relies on IEEE division: x / 0 is infinite, not a trap");

SoundCalls soundLayerCalls() {
    return SoundCalls{sound::init,       sound::setUpdatePeriod, sound::setBufferLength,
                      sound::loadModule, sound::createStream,    sound::prebuffer,
                      sound::playModule, sound::playStream,      sound::stop,
                      sound::position,   sound::setModuleOrder,  sound::shutdown,
                      sound::length,     sound::lastError,       sound::secondsUntilHeard};
}

SoundCalls soundCalls = soundLayerCalls();
SequencerFrame sequencerFrame = runFrame;

namespace {

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
    float divisor = demo.demoTime + 1.5f - zoomStart;
    return ieeeDivide(3.0f, divisor);
}

// Steps 17, 19 and 21 share this body after their frame.
void followZoom(float zoomStart) {
    catchUpLens();
    demo.zoom = zoomSince(zoomStart);
}

// Steps 19 and 21: the zoom as before and a twist of 2 radians per second.
void followZoomAndTwist(float zoomStart, float twistStart) {
    followZoom(zoomStart);
    demo.twistAngle = (demo.demoTime - twistStart) * 2.0f;
}

bool beforeOrder49Row32() {
    MusicPosition position = readMusicPosition();  // both from one reading
    return position.order < 49 || (position.order == 49 && position.row < 32);
}

}  // namespace

MusicPosition readMusicPosition() {
    std::uint64_t position = soundCalls.position(demo.moduleHandle);
    MusicPosition result;
    result.order = static_cast<std::int32_t>(position & 0xFFFFu);
    result.row = static_cast<std::int32_t>((position >> 16) & 0xFFFFu);
    return result;
}

void catchUpLens() {
    while (demo.lensClock < demo.demoTime) {
        float before = demo.lensClock;
        lensWanderStep();
        // A step too small to move the clock any more (after some 42 hours
        // of scene time) could never catch up: leave the rest for later.
        if (!(demo.lensClock > before)) break;
    }
}

void runSequencer(AppWindow* appWindow) {
    FrameReport report;
    // One frame; false when it reported a quit, and then the whole call
    // returns at once, stopping nothing and changing nothing.
    auto frame = [&]() { return sequencerFrame(appWindow, &report) != 0; };

    // ---- scene 0, the polyhedra, on the module from its start
    soundCalls.playModule(demo.moduleHandle);  // 1
    // Scene 0's phases are timed from when its music is first heard. The
    // set-up's mark came before the rest of the start-up (textures,
    // prebuffering), which takes longer on a busy machine, and a sound
    // server may take a second or more to begin taking sound at all: every
    // phase would come that much early against the bar it belongs to. So
    // until the module is heard the mark moves with the clock, at the time
    // the output says its first sound will be heard; from the first frame
    // that finds it heard, the mark stays. A device that takes no sound at
    // all is not waited for longer than a few seconds.
    const double waitBegan = clockNow();
    bool musicHeard = false;
    while (demo.SceneState == 0) {  // 2: the scene ends itself
        if (!musicHeard) {
            const double untilHeard = soundCalls.secondsUntilHeard(demo.moduleHandle);
            musicHeard = untilHeard < 0.0 || clockNow() - waitBegan > kLongestWaitForSound;
            if (!musicHeard) clockMarkSeconds = static_cast<float>(clockNow() + untilHeard);
        }
        if (!frame()) return;
        stepOrbit();
    }

    // ---- scene 1, the zoom tunnel, on the first wave
    soundCalls.stop(demo.moduleHandle);          // 3
    resetGLState();                              // 4: demoTime = 0
    reshapeGL(0, 0);                             // 5: the scenes' projection
    demo.zoom = 0.5f;                            // 6
    soundCalls.playStream(demo.firstStream, true);  // 7
    while (soundCalls.position(demo.firstStream) < firstStreamEnd) {  // 8
        if (!frame()) return;
        demo.rotation += 5.0f;  // per frame, not per second
    }

    // ---- scene 2, the lens scene, on the module from order 39
    demo.SceneState = 2;                              // 9
    soundCalls.setModuleOrder(demo.moduleHandle, lensSceneFirstOrder);  // 10 (the wave goes on)
    soundCalls.playModule(demo.moduleHandle);
    resetGLState();  // 11
    demo.zoom = 2.0f;  // 12
    demo.rotation = 0.0f;
    while (readMusicPosition().order < 41) {  // 13
        if (!frame()) return;
    }
    demo.lensActive = true;  // 14
    demo.lensClock = demo.demoTime;
    while (readMusicPosition().order < 44) {  // 15
        if (!frame()) return;
        catchUpLens();
    }
    const float zoomStart = demo.demoTime;  // 16
    while (readMusicPosition().order < 46) {  // 17
        if (!frame()) return;
        followZoom(zoomStart);
    }
    const float twistStart = demo.demoTime;  // 18
    while (readMusicPosition().order < 49) {  // 19
        if (!frame()) return;
        followZoomAndTwist(zoomStart, twistStart);
    }
    demo.lensBounce = false;  // 20: the lens falls away from here on
    while (beforeOrder49Row32()) {  // 21
        if (!frame()) return;
        followZoomAndTwist(zoomStart, twistStart);
    }
    demo.lensActive = false;  // 22
    const float zoomOffset = demo.demoTime - zoomStart;
    const float spinStart = demo.demoTime;
    while (readMusicPosition().order < lensSceneLastOrder) {  // 23: the lens is no longer stepped
        if (!frame()) return;
        float t = demo.demoTime - spinStart;
        float divisor = zoomOffset + 1.5f - 3.3f * t;
        demo.zoom = ieeeDivide(3.0f, divisor);
        demo.rotation = 65.0f * t;
    }

    // ---- the closing stretch on the second wave
    soundCalls.stop(demo.moduleHandle);               // 24
    soundCalls.playStream(demo.secondStream, true);   // 25
    demo.SceneState = -1;                             // 26
    while (soundCalls.position(demo.secondStream) < secondStreamEnd) {  // 27
        if (!frame()) return;
    }
    soundCalls.stop(demo.secondStream);  // 28
    postQuit(appWindow);                 // 29
}
