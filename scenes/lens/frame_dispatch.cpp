// Frame dispatcher and the lens scene's per-step operations. Stand-in until
// the zoom and lens scenes land: scene 0 is drawn by its own stand-in,
// scenes 1 and 2 are a cleared screen; the sound is serviced every frame.
#include "app/gl.h"
#include "app/sound/sound.h"
#include "demo/demo_state.h"

// Expects: a current context. Leaves: what the scene drew, flushed.
void drawFrame() {
    if (demo.SceneState == 0) {
        drawPolyhedraScene();
    } else if (demo.SceneState == 1 || demo.SceneState == 2) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    sound::update();  // playback advances only here
    glFlush();
}

// Expects: a current context. Leaves: texturing and blending on, smooth
// shading, an opaque white colour; demoTime back at 0.
void resetGLState() {
    demo.demoTime = 0.0f;
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// One fixed 0.009 s step: side to side between -3 and 3, falling with a
// constant acceleration and, while lensBounce holds, rebounding at -1.5.
void lensWanderStep() {
    demo.lensX += demo.lensSpeedX;
    if (demo.lensX <= -3.0f || demo.lensX >= 3.0f) demo.lensSpeedX = -demo.lensSpeedX;
    demo.lensY -= demo.lensFallSpeed;
    if (demo.lensY <= -1.5f && demo.lensBounce) {
        demo.lensY += demo.lensFallSpeed;
        demo.lensFallSpeed = -demo.lensFallSpeed;
    }
    demo.lensFallSpeed += 0.00036f;
    demo.lensClock += 0.009f;
}
