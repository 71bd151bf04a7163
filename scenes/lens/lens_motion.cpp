// The lens's wandering: one fixed step of 0.009 s of scene time, run by the
// sequencer's catch-up loop as often as demoTime needs, so the path is the
// same at any frame rate. The motion fields of DemoState (demo.lens) are
// owned here; they start once with the process and nothing resets them.
#include "demo/demo_state.h"

void lensWanderStep() {
    LensScene& lens = demo.lens;
    // Side to side between -3 and 3; the position may pass a bound by less
    // than a step and comes back on the next ones.
    lens.lensX += lens.lensSpeedX;
    if (lens.lensX <= -3.0f || lens.lensX >= 3.0f) lens.lensSpeedX = -lens.lensSpeedX;

    // A constant pull downwards; the floor at -1.5 reverses the speed without
    // loss (the step that would pass it is taken back), until the sequencer
    // lets the lens fall away.
    lens.lensY -= lens.lensFallSpeed;
    if (lens.lensY <= -1.5f && demo.timeline.lensBounce) {
        lens.lensY += lens.lensFallSpeed;
        lens.lensFallSpeed = -lens.lensFallSpeed;
    }
    lens.lensFallSpeed += 0.00036f;

    lens.lensClock += 0.009f;
}

void startLensClock(float sceneTime) { demo.lens.lensClock = sceneTime; }
