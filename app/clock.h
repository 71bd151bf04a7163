// Clocks: the millisecond tick count and the performance counter.
//
// The tick count gives each frame its milliseconds (frame loop); the
// performance counter times each frame in seconds, and a program may build
// finer clocks of its own on it. Both come from one clock source
// that is either real (SDL) or virtual: a virtual clock stands still until its
// owner advances it, which is how demo-capture and the tests make time move
// exactly one frame per frame. Which one runs is chosen with the backends
// (backends.h); whoever chose the virtual clock advances it.
#pragma once

#include <cstdint>

namespace platform {

struct ClockBackend;

// Milliseconds, 32-bit and wrapping like the tick count it replaces
// (after ~49.7 days of a real clock, or whenever a virtual clock starts near
// the top of the range).
std::uint32_t tickCount();

// Counts since the program's start (the first reading is the origin, so the
// seconds derived from it stay small and keep their precision in floats).
std::int64_t performanceCounter();
std::int64_t performanceFrequency();

// Runs the clock the backends chose: SDL's, or a virtual one that counts
// `frequency` units per second from zero counts, at tick `firstTick`.
// (useBackends calls it.)
void startClock(const ClockBackend& clock);
// Moves the virtual clock on; ignored while the real clock is in use.
void advanceVirtualClock(std::int64_t counts);

}  // namespace platform
