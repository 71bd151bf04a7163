#include "app/backends.h"

#include "app/app_state.h"
#include "app/clock.h"
#include "app/sound/sound.h"

namespace platform {

void useBackends(const Backends& backends) {
    Backends& chosen = detail::state().backends;
    chosen = backends;
    startClock(chosen.clock);
    if (chosen.soundOutput == SoundOutput::offline) sound::clearOfflineRecording();
}

const Backends& backends() { return detail::state().backends; }

}  // namespace platform
