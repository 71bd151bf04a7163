// The timeline. Stand-in: frames until the frame loop reports a quit.
#include "app/frame.h"
#include "demo/demo_state.h"

void runSequencer(AppWindow* appWindow) {
    FrameReport report;
    while (runFrame(appWindow, &report)) {
    }
}
