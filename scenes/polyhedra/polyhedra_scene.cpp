// The polyhedra scene. Stand-in until the scene itself lands: it takes the
// clock mark as the real set-up does and ends itself after the scene's 44.8 s
// of the precise clock, so the timeline runs on to its end.
#include "app/clock.h"
#include "app/gl.h"
#include "demo/demo_state.h"

void initPolyhedraScene() {}

void loadPolyhedraScene() {
    counterFrequency = platform::performanceFrequency();
    clockMark();
}

void stepOrbit() { demo.orbitAngle += 0.6f; }

// Expects: any state. Leaves: the colour and depth buffers cleared.
void drawPolyhedraScene() {
    glClearColor(0.0f, 0.0f, 0.2f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (counterFrequency != 0 && clockElapsed() >= 44.8) demo.SceneState = 1;
}
