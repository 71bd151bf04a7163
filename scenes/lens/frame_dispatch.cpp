// Frame dispatcher and the lens scene's per-step operations.
// Stand-in: every frame is a cleared screen.
#include "app/gl.h"
#include "demo/demo_state.h"

// Expects: any state. Leaves: the colour and depth buffers cleared.
void drawFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
}

void resetGLState() { demo.demoTime = 0.0f; }

void lensWanderStep() { demo.lensClock += 0.009f; }
