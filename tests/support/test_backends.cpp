#include "support/test_backends.h"

#include "app/notice.h"

platform::Backends testBackends() {
    platform::Backends backends;
    backends.notices = platform::recordNotice;
    backends.pacedByDisplay = false;
    return backends;
}

platform::Backends testBackendsOnVirtualClock(std::int64_t frequency, std::uint32_t firstTick) {
    platform::Backends backends = testBackends();
    backends.clock.isVirtual = true;
    backends.clock.frequency = frequency;
    backends.clock.firstTick = firstTick;
    return backends;
}

namespace {

// Chosen before main, so that every test program starts with them.
const bool chosenAtStart = (platform::useBackends(testBackends()), true);

}  // namespace
