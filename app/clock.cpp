#include "app/clock.h"

#include "app/backends.h"

#include <SDL.h>

namespace platform {
namespace {

struct ClockSource {
    bool virtualActive = false;
    std::int64_t virtualFrequency = 1000;
    std::int64_t virtualCounts = 0;
    std::uint32_t virtualFirstTick = 0;
    bool realOriginTaken = false;
    std::uint64_t realOrigin = 0;
};

ClockSource source;

std::uint64_t realCounterOrigin() {
    if (!source.realOriginTaken) {
        source.realOrigin = SDL_GetPerformanceCounter();
        source.realOriginTaken = true;
    }
    return source.realOrigin;
}

// Taken at static initialisation so that the counter's origin is the
// program's start, not the first time a scene asks.
const std::uint64_t originAtStart = realCounterOrigin();

}  // namespace

std::uint32_t tickCount() {
    if (source.virtualActive) {
        // Whole milliseconds elapsed on the virtual clock, wrapping like the
        // real tick count.
        std::int64_t ms = source.virtualCounts * 1000 / source.virtualFrequency;
        return source.virtualFirstTick + static_cast<std::uint32_t>(ms);
    }
    // SDL_GetTicks is already 32-bit; keep it so, wrap included.
    return static_cast<std::uint32_t>(SDL_GetTicks());
}

std::int64_t performanceCounter() {
    if (source.virtualActive) return source.virtualCounts;
    (void)originAtStart;
    return static_cast<std::int64_t>(SDL_GetPerformanceCounter() - realCounterOrigin());
}

std::int64_t performanceFrequency() {
    if (source.virtualActive) return source.virtualFrequency;
    return static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
}

void startClock(const ClockBackend& clock) {
    source.virtualActive = clock.isVirtual;
    source.virtualFrequency = clock.frequency > 0 ? clock.frequency : 1000;
    source.virtualCounts = 0;
    source.virtualFirstTick = clock.firstTick;
}

void advanceVirtualClock(std::int64_t counts) {
    if (source.virtualActive) source.virtualCounts += counts;
}

}  // namespace platform
