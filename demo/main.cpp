// The program's entry: the demo described as the platform runs it, on the
// backends of the real thing (the defaults), its process guarded for the
// desktop's sake. Arguments are ignored: the demo has nothing to configure.
// Started where there is no data/ folder (an installed demo, started from
// anywhere), it first moves into the data installed with it.
#include "app/data_folder.h"
#include "app/notice.h"
#include "app/shell.h"
#include "demo/data_files.h"
#include "demo/demo_state.h"

#include <SDL_main.h>

#include <string>

int main(int, char**) {
    std::string notice;
    if (!platform::enterDataFolder("data", demoDataFiles(), platform::besideExecutable(DEMO_DATA_FROM_PROGRAM), notice)) {
        platform::showNotice(notice.c_str());
        return 1;
    }
    AppDesc desc;
    desc.callbacks = demoCallbacks();
    desc.guardsTheDesktop = true;
    return runApp(desc);
}
