// The program's entry: the platform runs the demo's operations on the
// backends of the real thing. Arguments are ignored: the demo has nothing to
// configure. Started where there is no data/ folder (an installed demo,
// started from anywhere), it first moves into the data installed with it.
#include "app/backends.h"
#include "app/data_folder.h"
#include "app/notice.h"
#include "app/shell.h"
#include "demo/data_files.h"
#include "demo/demo_state.h"

#include <SDL_main.h>

#include <string>

int main(int, char**) {
    platform::useBackends(platform::Backends{});
    std::string notice;
    if (!platform::enterDataFolder("data", demoDataFiles(), platform::besideExecutable(DEMO_DATA_FROM_PROGRAM), notice)) {
        platform::showNotice(notice.c_str());
        return 1;
    }
    return appMain(demoCallbacks());
}
