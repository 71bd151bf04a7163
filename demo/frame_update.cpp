// One frame's update, before the frame is drawn: the control keys and the
// scene clock. The platform's frame loop hands it the frame's milliseconds.
//
// A key counts when it is held now or went down since the last frame (a
// tap that began and ended between two frames); the platform clears the
// latter once this update has run.
#include "app/shell.h"
#include "demo/demo_state.h"

namespace {

bool seen(const KeyTable& keys, int code) { return keys.down[code] == 1 || keys.pressed[code] == 1; }

}  // namespace

void updateDemo(std::uint32_t elapsedMs) {
    KeyTable& keys = *demo.startup.keyTable;
    Timeline& timeline = demo.timeline;
    if (seen(keys, VK_ESCAPE_CODE)) postQuit(demo.startup.appWindow);
    // F1 stays down here; the rebuild it causes clears the whole table.
    if (seen(keys, VK_F1_CODE)) postToggleFullscreen(demo.startup.appWindow);
    if (seen(keys, VK_F2_CODE)) {
        timeline.paused = !timeline.paused;
        keys.down[VK_F2_CODE] = 0;  // one flip per press (and per auto-repeat)
        keys.pressed[VK_F2_CODE] = 0;
    }
    if (!timeline.paused) {
        const float factor = 0.001f;
        timeline.demoTime = timeline.demoTime + static_cast<float>(elapsedMs) * factor;
    }
}
