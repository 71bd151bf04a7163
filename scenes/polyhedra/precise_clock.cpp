#include "scenes/polyhedra/precise_clock.h"

#include "app/clock.h"

std::int64_t counterFrequency = 0;
float clockMarkSeconds = 0.0f;

double clockNow() {
    return static_cast<double>(platform::performanceCounter()) /
           static_cast<double>(counterFrequency);
}

double clockElapsed() { return clockNow() - clockMarkSeconds; }

void clockMark() { clockMarkSeconds = static_cast<float>(clockNow()); }
