// The frame dispatcher: every drawn frame of the demo goes through drawFrame,
// which draws the scene SceneState selects with the timeline's parameters,
// then keeps the sound going and flushes GL.
#include "app/gl.h"
#include "app/sound/sound.h"
#include "demo/demo_state.h"
#include "scenes/lens/lens_scene.h"
#include "scenes/polyhedra/polyhedra_scene.h"

namespace {

LensSceneDrive lensDrive(const Timeline& timeline) {
    return LensSceneDrive{timeline.zoom, timeline.rotation, timeline.twistAngle, timeline.lensActive};
}

}  // namespace

// Expects and leaves: as demo_state.h says.
void drawFrame() {
    Timeline& timeline = demo.timeline;
    switch (timeline.SceneState) {
        case 0:
            drawPolyhedraScene();
            // The scene ends itself: the next frame is the tunnel's.
            if (polyhedraScene.finished) timeline.SceneState = 1;
            break;
        case 1:
            drawZoomTunnel(lensDrive(timeline));
            break;
        case 2:
            drawLensScene(lensDrive(timeline));
            break;
        default:
            break;
    }
    // The sound layer has no thread of its own: this per-frame update is what
    // keeps the music playing.
    sound::operations().update();
    glFlush();
}
