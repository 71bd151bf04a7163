#include "app/app_state.h"

#ifndef DEMO_GL_CHECKS
#define DEMO_GL_CHECKS 0
#endif

namespace platform::detail {

AppState& state() {
    static AppState app = [] {
        AppState made;
        made.glErrorChecks.enabled = DEMO_GL_CHECKS != 0;
        return made;
    }();
    return app;
}

}  // namespace platform::detail
