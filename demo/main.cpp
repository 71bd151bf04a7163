// The program's entry: the platform runs the demo's operations on the
// backends of the real thing. Arguments are ignored: the demo has nothing to
// configure.
#include "app/backends.h"
#include "app/shell.h"
#include "demo/demo_state.h"

int main(int, char**) {
    platform::useBackends(platform::Backends{});
    return appMain(demoCallbacks());
}
