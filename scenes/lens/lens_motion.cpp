// The lens's wandering: one fixed step of 0.009 s of scene time, run by the
// sequencer's catch-up loop as often as demoTime needs, so the path is the
// same at any frame rate. The motion fields of DemoState are owned here;
// they start once with the process and nothing resets them.
#include "demo/demo_state.h"

void lensWanderStep() {
    // Side to side between -3 and 3; the position may pass a bound by less
    // than a step and comes back on the next ones.
    demo.lensX += demo.lensSpeedX;
    if (demo.lensX <= -3.0f || demo.lensX >= 3.0f) demo.lensSpeedX = -demo.lensSpeedX;

    // A constant pull downwards; the floor at -1.5 reverses the speed without
    // loss (the step that would pass it is taken back), until the sequencer
    // lets the lens fall away.
    demo.lensY -= demo.lensFallSpeed;
    if (demo.lensY <= -1.5f && demo.lensBounce) {
        demo.lensY += demo.lensFallSpeed;
        demo.lensFallSpeed = -demo.lensFallSpeed;
    }
    demo.lensFallSpeed += 0.00036f;

    demo.lensClock += 0.009f;
}
