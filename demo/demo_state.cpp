#include "demo/demo_state.h"

#include "app/shell.h"

DemoState demo;

AppCallbacks demoCallbacks() {
    return AppCallbacks{initialize, runSequencer, updateDemo, drawFrame, sceneProjection};
}
