// The projection the window's viewport gets: scene 0 looks through a wider
// lens from closer up than scenes 1 and 2. reshapeGL calls it with the
// projection matrix current and the identity; the sequencer calls
// reshapeGL(0, 0) when scene 1 begins, so the change takes effect without a
// change of size.
#include "app/gl.h"
#include "demo/demo_state.h"

void sceneProjection(int width, int height) {
    if (demo.timeline.SceneState == 0) {
        double aspect = height != 0 ? static_cast<double>(width) / height
                                    : static_cast<double>(width);
        gluPerspective(60.0, aspect, 0.1, 100.0);
    } else {
        // Nothing is visible in an empty viewport; any finite aspect will do.
        double aspect = height != 0 ? static_cast<double>(width) / height : 1.0;
        gluPerspective(45.0, aspect, 1.0, 100.0);
    }
}
