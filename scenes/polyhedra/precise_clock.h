// The polyhedra scene's clock: seconds from the performance counter and one
// mark to measure them from. Phases 1 to 3 are timed from the mark, then the
// bounce owns it (scenes/polyhedra/bounce.cpp).
//
// The scene owns both values: its set-up reads the frequency and sets the
// mark before anything else uses them, and only the scene moves the mark
// afterwards (the sequencer asks it to, through startPhaseOneAt, while it
// waits for the music to be heard). Main thread only.
#pragma once

#include <cstdint>

extern std::int64_t counterFrequency;  // ticks per second; 0 until read
extern float clockMarkSeconds;         // the mark, deliberately single precision

// Current counter value in seconds (double).
double clockNow();
// clockNow() minus the single-precision mark.
double clockElapsed();
// Sets the mark to now, rounded to single precision.
void clockMark();
