// The flight of scene 0's solids: the primary falls from height 3 on the
// curve 3 - 10.6 e^2, hits the floor and flies back up along the same curve
// mirrored about the impact time; the secondary rides inside it, lagging
// behind each change of direction.
//
// Arithmetic runs in double from the stored float and double values; only
// the results are rounded to float, where the record or the caller keeps
// them so.
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/scene_gl.h"

#include <cmath>

namespace {

constexpr double kStartHeight = 3.0;
constexpr double kFallCoefficient = 10.6;
constexpr double kTopMargin = 0.001;
constexpr double kLagGain = 0.8;

// y of the solid's lowest corner; a solid without corners rests on its
// centre.
double lowestY(const Polyhedron* solid) {
    if (!solid->vertices || solid->lowestVertex < 0 || solid->lowestVertex >= solid->vertexCount)
        return 0.0;
    return solid->vertices[solid->lowestVertex].y;
}

// How long a fall from the top to the impact takes for this solid: what
// collisionElapsed will hold after its first impact.
double predictedFallTime(const Polyhedron* solid) {
    double drop = kStartHeight + lowestY(solid);
    return drop > 0.0 ? std::sqrt(drop / kFallCoefficient) : 0.0;
}

}  // namespace

float bounceHeight(Polyhedron* solid) {
    if (!solid) return static_cast<float>(kStartHeight);
    double yLow = lowestY(solid);

    if (solid->rising == 0) {
        double e = clockElapsed();
        float h = static_cast<float>(kStartHeight - kFallCoefficient * e * e);
        if (-yLow > h) {
            // The lowest corner has gone through the floor plane: impact.
            // The mark stays, so the rise below keeps counting from the
            // start of this fall.
            solid->collisionElapsed = clockElapsed();
            solid->rising = 1;
            solid->lastCollision = static_cast<float>(clockNow());
        }
        return h;
    }

    double tc = solid->collisionElapsed;
    double e = clockElapsed();
    double mirrored = 2.0 * tc - e;
    float h = static_cast<float>(kStartHeight - kFallCoefficient * mirrored * mirrored);
    // The height test alone needs a frame within ~10 ms of the top; at low
    // frame rates the top falls between two frames and the mirrored curve
    // would carry the solid down through the floor for good. Passing the
    // top's moment ends the rise as well.
    if (h > kStartHeight - kTopMargin || e >= 2.0 * tc) {
        solid->rising = 0;
        clockMark();
    }
    return h;
}

float secondaryHeight(Polyhedron* primary, Polyhedron* secondary, float primaryHeight,
                      float offset) {
    double tc = primary->collisionElapsed;
    if (tc == 0.0) {
        // No impact since this set-up (a start-up in the middle of the last
        // phase): the lag runs over the fall time the first impact will
        // record, and a fresh secondary record starts its lag now instead of
        // at the clock's origin.
        tc = predictedFallTime(primary);
        if (secondary->lastCollision == 0.0f) secondary->lastCollision = static_cast<float>(clockNow());
    }

    if (primary->rising != 0) {
        if (polyhedraScene.secondaryDirection != 1) secondary->lastCollision = static_cast<float>(clockNow());
        polyhedraScene.secondaryDirection = 1;
        double lag = tc > 0.0 ? kLagGain * (double(secondary->actualTime) - secondary->lastCollision) / tc
                              : 0.0;
        return static_cast<float>((double(primaryHeight) - offset) + lag);
    }

    if (polyhedraScene.secondaryDirection != 0) secondary->lastCollision = static_cast<float>(clockNow());
    polyhedraScene.secondaryDirection = 0;
    double lag = tc > 0.0 ? kLagGain * (double(secondary->actualTime) - secondary->lastCollision) / tc
                          : 0.0;
    return static_cast<float>((double(primaryHeight) - lowestY(primary) - offset) - lag);
}
