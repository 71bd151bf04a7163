#include "app/backends.h"

#include "app/clock.h"
#include "app/sound/sound.h"

namespace platform {
namespace {

Backends chosen;

}  // namespace

void useBackends(const Backends& backends) {
    chosen = backends;
    startClock(chosen.clock);
    if (chosen.soundOutput == SoundOutput::offline) sound::clearOfflineRecording();
}

const Backends& backends() { return chosen; }

}  // namespace platform
