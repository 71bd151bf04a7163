// Sanitizer builds only (cmake/checks.cmake compiles this file into every
// program that links demo_core): keeps Mesa's GL driver loaded until the
// process ends, so that LeakSanitizer's check at exit sees what it sees.
//
// Mesa unloads its driver when the X display is closed (SDL_Quit), before
// the leak check runs at exit. Whatever the driver's globals still pointed
// to (its own caches, and those of libraries it brought in: dbus's among
// them) then looks leaked, with stacks into a module that is no longer
// mapped, so it could be neither read nor suppressed by name. Opening the
// driver once ourselves with RTLD_NODELETE makes the dynamic loader keep it:
// Mesa's own dlopen finds the same object (the megadriver's *_dri.so names
// are links to one file) and its dlclose leaves it in place.
//
// Nothing of ours is hidden by this: memory our code lost is unreachable
// whether the driver stays or not, and is reported as before.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace {

void keepLoaded(const std::string& path) {
    if (!path.empty()) dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
}

struct KeepGlDriver {
    KeepGlDriver() {
        // Mesa looks in LIBGL_DRIVERS_PATH first, where it is set.
        if (const char* paths = std::getenv("LIBGL_DRIVERS_PATH")) {
            std::string list = paths;
            std::size_t start = 0;
            while (start <= list.size()) {
                std::size_t end = list.find(':', start);
                if (end == std::string::npos) end = list.size();
                if (end > start) keepLoaded(list.substr(start, end - start) + "/swrast_dri.so");
                start = end + 1;
            }
        }
        keepLoaded(DEMO_MESA_DRIVER);
    }
};

const KeepGlDriver keepGlDriver;

}  // namespace
