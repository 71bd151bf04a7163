// The lens's wandering: one fixed step of 0.009 s of scene time, run by the
// timeline's catch-up loop as often as its scene clock needs, so the path is
// the same at any frame rate. The motion fields of lensScene start once with
// the process and nothing resets them.
#include "scenes/lens/lens_scene.h"

void lensWanderStep(bool bounce) {
    LensScene& lens = lensScene;
    // Side to side between -3 and 3; the position may pass a bound by less
    // than a step and comes back on the next ones.
    lens.lensX += lens.lensSpeedX;
    if (lens.lensX <= -3.0f || lens.lensX >= 3.0f) lens.lensSpeedX = -lens.lensSpeedX;

    // A constant pull downwards; the floor at -1.5 reverses the speed without
    // loss (the step that would pass it is taken back), until the timeline
    // lets the lens fall away.
    lens.lensY -= lens.lensFallSpeed;
    if (lens.lensY <= -1.5f && bounce) {
        lens.lensY += lens.lensFallSpeed;
        lens.lensFallSpeed = -lens.lensFallSpeed;
    }
    lens.lensFallSpeed += 0.00036f;

    lens.lensClock += 0.009f;
}

void startLensClock(float sceneTime) { lensScene.lensClock = sceneTime; }
