// Start-up. Stand-in: keeps the two pointers the frame loop needs and
// reports that the demo can run; the sound, shaders and scenes come later.
#include "app/shell.h"
#include "demo/demo_state.h"

int initialize(AppWindow* appWindow, KeyTable* keyTable) {
    demo.appWindow = appWindow;
    demo.keyTable = keyTable;
    return 1;
}
