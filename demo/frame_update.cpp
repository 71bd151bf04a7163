// One frame's update, before the frame is drawn: the control keys and the
// scene clock. The platform's frame loop hands it the frame's milliseconds.
#include "app/shell.h"
#include "demo/demo_state.h"

void updateDemo(std::uint32_t elapsedMs) {
    std::int32_t* keys = demo.startup.keyTable->down;
    Timeline& timeline = demo.timeline;
    if (keys[VK_ESCAPE_CODE] == 1) postQuit(demo.startup.appWindow);
    // F1 stays down here; the rebuild it causes clears the whole table.
    if (keys[VK_F1_CODE] == 1) postToggleFullscreen(demo.startup.appWindow);
    if (keys[VK_F2_CODE] == 1) {
        timeline.paused = !timeline.paused;
        keys[VK_F2_CODE] = 0;  // one flip per press (and per auto-repeat)
    }
    if (!timeline.paused) {
        const float factor = 0.001f;
        timeline.demoTime = timeline.demoTime + static_cast<float>(elapsedMs) * factor;
    }
}
