// The backends every test program starts with: notices recorded (no test
// can ever wait on a message box), frames unpaced, the rest as the program
// has it. A test that needs other stand-ins (a virtual clock, the offline
// sound sink, a frame hook, a scripted sound layer) takes testBackends(),
// changes what it needs and chooses it once, before anything runs.
#pragma once

#include "app/backends.h"

platform::Backends testBackends();

// testBackends() on a virtual clock of `frequency` counts a second from tick
// `firstTick`.
platform::Backends testBackendsOnVirtualClock(std::int64_t frequency, std::uint32_t firstTick = 0);
