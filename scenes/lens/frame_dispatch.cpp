// The frame dispatcher: every drawn frame of the demo goes through drawFrame,
// which draws the scene SceneState selects, then keeps the sound going and
// flushes GL. Also the GL state scenes 1 and 2 begin with.
#include "app/gl.h"
#include "app/sound/sound.h"
#include "demo/demo_state.h"
#include "scenes/lens/lens_scene.h"

// Expects: the modelview matrix current, the projection reshapeGL leaves.
// Leaves: what the scene drawn leaves (nothing at all for the closing
// stretch, not even a clear: its last picture stays).
void drawFrame() {
    switch (demo.timeline.SceneState) {
        case 0:
            drawPolyhedraScene();
            break;
        case 1:
            drawZoomTunnel();
            break;
        case 2:
            drawLensScene();
            break;
        default:
            break;
    }
    // The sound layer has no thread of its own: this per-frame update is what
    // keeps the music playing.
    sound::operations().update();
    glFlush();
}

// Expects: any state. Leaves: texturing on for the active unit, blending by
// source alpha, clear colour (0, 0, 0, 0.5), clear depth 1, depth function
// LEQUAL (depth testing itself stays off), smooth shading, perspective hint
// NICEST, the colour (1, 1, 1, 1); demoTime back to 0.
void resetGLState() {
    restartSceneClock();
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
