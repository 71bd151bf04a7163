// The bounce of scene 0 on the virtual clock: where the fall starts, when the
// impact and the restart at the top come, the strict comparisons at both
// ends, the secondary solid's lag, and flights at low and uneven frame rates
// that must keep bouncing.
#include "app/clock.h"
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "test_polyhedra_support.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/polyhedra/polyhedra_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace polytest;

namespace {

// An octahedron: its lowest corner at exactly y = -1.
Polyhedron* makeOctahedron() {
    return makeRecord({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}, {});
}

// bounceHeight on a copy of the record, leaving the record and the clock
// mark as they were: a probe of what a frame at the current time would do.
float probe(const Polyhedron& solid, Polyhedron* after = nullptr) {
    Polyhedron copy = solid;
    float mark = clockMarkSeconds;
    float h = bounceHeight(&copy);
    clockMarkSeconds = mark;
    if (after) *after = copy;
    return h;
}

// The clock count at which a frame's height first reaches `target` (heights
// rising with the count between `low` and `high`).
std::int64_t firstCountReaching(const Polyhedron& solid, float target, std::int64_t low,
                                std::int64_t high, bool falling) {
    while (high - low > 1) {
        std::int64_t mid = low + (high - low) / 2;
        platform::advanceVirtualClock(mid - platform::performanceCounter());
        float h = probe(solid);
        bool reached = falling ? h <= target : h >= target;
        (reached ? high : low) = mid;
    }
    platform::advanceVirtualClock(high - platform::performanceCounter());
    return high;
}

}  // namespace

TEST(Bounce, FirstFrameAfterTheMarkIsAtTheTop) {
    startVirtualClock();
    Solid solidRecord(makeIcosahedron());
    Polyhedron* solid = solidRecord.get();
    setClock(12.3456789);  // a mark that single precision must round
    clockMark();
    float h = bounceHeight(solid);
    EXPECT_LE(h, 3.0f);
    EXPECT_GT(h, 3.0f - 1e-5f);
    EXPECT_EQ(solid->rising, 0);
}

// yLow = -1: the impact comes on the first frame after e passes
// sqrt(2 / 10.6) = 0.4344 s; that frame dips below the floor, the next one
// is already higher on the mirrored curve; the rise ends within ~0.0097 s of
// 2 tc and the mark moves there.
TEST(Bounce, ImpactAndRestartWithTheLowestCornerAtMinusOne) {
    startVirtualClock();
    Solid solidRecord(makeOctahedron());
    Polyhedron* solid = solidRecord.get();
    ASSERT_EQ(lowestY(solid), -1.0);
    const double step = 1.0 / 64;  // exact in the clock and the mark
    int frame = 0;
    float h = 3.0f;
    while (solid->rising == 0 && frame < 100) {
        setClock(++frame * step);
        h = bounceHeight(solid);
    }
    double e = frame * step;
    EXPECT_GT(e, 0.4344);
    EXPECT_LE(e - step, 0.4344);
    EXPECT_LT(h, 1.0f);
    EXPECT_EQ(solid->collisionElapsed, e);
    EXPECT_EQ(solid->lastCollision, static_cast<float>(e));
    EXPECT_EQ(clockMarkSeconds, 0.0f) << "an impact leaves the mark alone";

    setClock(++frame * step);
    float next = bounceHeight(solid);
    EXPECT_GT(next, h);
    EXPECT_EQ(next, static_cast<float>(3.0 - 10.6 * (2 * e - (e + step)) * (2 * e - (e + step))));
    EXPECT_EQ(solid->rising, 1);

    const double top = 2 * solid->collisionElapsed;
    setClock(top - 0.0098);
    EXPECT_LT(bounceHeight(solid), 2.999f);
    EXPECT_EQ(solid->rising, 1) << "outside the window around the top";
    setClock(top - 0.0096);
    EXPECT_GT(bounceHeight(solid), 2.999f);
    EXPECT_EQ(solid->rising, 0);
    EXPECT_NEAR(clockMarkSeconds, top - 0.0096, 1e-6);

    // The next fall starts from the top, timed from the new mark.
    setClock(top - 0.0096 + step);
    EXPECT_NEAR(bounceHeight(solid), 3.0 - 10.6 * step * step, 1e-6);
    EXPECT_EQ(solid->rising, 0);
}

// A height of exactly -yLow is no impact yet; the next representable height
// below it is. Rising, the largest height not above 2.999 keeps rising.
// (A clock of 2^40 counts per second lands frames on exact float heights.)
TEST(Bounce, ComparisonsAtBothEndsAreStrict) {
    startVirtualClock(std::int64_t(1) << 40);
    Solid solidRecord(makeOctahedron());
    Polyhedron* solid = solidRecord.get();
    const std::int64_t second = std::int64_t(1) << 40;

    firstCountReaching(*solid, 1.0f, second / 4, second / 2, true);
    Polyhedron after{};
    ASSERT_EQ(probe(*solid, &after), 1.0f);
    EXPECT_EQ(after.rising, 0) << "h == -yLow is not an impact";
    const float belowFloor = std::nextafter(1.0f, 0.0f);
    firstCountReaching(*solid, belowFloor, platform::performanceCounter(), second / 2, true);
    ASSERT_EQ(probe(*solid, &after), belowFloor);
    EXPECT_EQ(after.rising, 1);

    // Take the impact, then find the top's threshold on the way up.
    float impactHeight = bounceHeight(solid);
    ASSERT_EQ(solid->rising, 1);
    ASSERT_EQ(impactHeight, belowFloor);
    const float belowTop = std::nextafter(2.999f, 0.0f);  // the largest float under 2.999
    ASSERT_LT(double(belowTop), 2.999);
    ASSERT_GT(double(2.999f), 2.999);
    std::int64_t impact = platform::performanceCounter();
    std::int64_t top = static_cast<std::int64_t>(2 * solid->collisionElapsed * second);
    firstCountReaching(*solid, belowTop, impact, top - second / 1000, false);
    ASSERT_EQ(probe(*solid, &after), belowTop);
    EXPECT_EQ(after.rising, 1) << "a height not above 2.999 does not restart the fall";
    firstCountReaching(*solid, 2.999f, platform::performanceCounter(), top - second / 1000, false);
    ASSERT_EQ(probe(*solid, &after), 2.999f);
    EXPECT_EQ(after.rising, 0);
}

// The first call while the primary falls sets the secondary's lastCollision
// and returns h - yLow - 0.5; the same direction again leaves lastCollision
// alone and lags by 0.8 per collisionElapsed; the turn resets it.
TEST(Bounce, SecondaryLagsBehindEachChangeOfDirection) {
    startVirtualClock();
    Solid primaryRecord(makeIcosahedron());
    Polyhedron* primary = primaryRecord.get();
    Solid secondaryRecord(makeDodecahedron());
    Polyhedron* secondary = secondaryRecord.get();
    const double yLow = lowestY(primary);
    primary->collisionElapsed = 0.5;
    polyhedraScene.secondaryDirection = -1;  // as at process start: no direction seen yet

    setClock(20.0);
    secondary->actualTime = static_cast<float>(clockNow());
    float m = secondaryHeight(primary, secondary, 2.5f, 0.5f);
    EXPECT_NEAR(m, 2.5 - yLow - 0.5, 1e-6);
    EXPECT_GE(m, static_cast<float>(2.5 - yLow - 0.5));
    EXPECT_EQ(secondary->lastCollision, 20.0f);
    EXPECT_EQ(polyhedraScene.secondaryDirection, 0);

    setClock(20.125);
    secondary->actualTime = static_cast<float>(clockNow());
    m = secondaryHeight(primary, secondary, 2.0f, 0.5f);
    EXPECT_EQ(secondary->lastCollision, 20.0f);
    EXPECT_NEAR(m, 2.0 - yLow - 0.5 - 0.8 * 0.125 / 0.5, 1e-6);

    primary->rising = 1;
    setClock(20.25);
    secondary->actualTime = static_cast<float>(clockNow());
    m = secondaryHeight(primary, secondary, 1.0f, 0.5f);
    EXPECT_EQ(secondary->lastCollision, 20.25f);
    EXPECT_EQ(polyhedraScene.secondaryDirection, 1);
    EXPECT_NEAR(m, 1.0 - 0.5, 1e-6);

    setClock(20.5);
    secondary->actualTime = static_cast<float>(clockNow());
    m = secondaryHeight(primary, secondary, 2.0f, 0.5f);
    EXPECT_NEAR(m, 2.0 - 0.5 + 0.8 * 0.25 / 0.5, 1e-6);
}

// A start-up in the last phase brings fresh solids: no impact yet
// (collisionElapsed 0), the secondary's lastCollision 0, while the direction
// seen last survives. The secondary still rides inside, at finite heights.
TEST(Bounce, SecondaryBeforeTheFirstImpactOfFreshSolids) {
    startVirtualClock();
    Solid primaryRecord(makeIcosahedron());
    Polyhedron* primary = primaryRecord.get();
    Solid secondaryRecord(makeDodecahedron());
    Polyhedron* secondary = secondaryRecord.get();
    polyhedraScene.secondaryDirection = 0;  // as the pass before the toggle left it
    setClock(30.0);
    clockMark();
    const double yLow = lowestY(primary);
    bool sawImpact = false;
    for (int frame = 0; frame < 60; ++frame) {
        setClock(30.0 + frame / 60.0);
        float now = static_cast<float>(clockNow());
        primary->actualTime = secondary->actualTime = now;
        float h = bounceHeight(primary);
        float m = secondaryHeight(primary, secondary, h, 0.5f);
        ASSERT_TRUE(std::isfinite(m)) << "frame " << frame;
        if (primary->rising) {
            sawImpact = true;
            break;
        }
        // From the top offset down by at most the lag over one fall.
        EXPECT_LE(m, h - yLow - 0.5 + 1e-5) << "frame " << frame;
        EXPECT_GE(m, h - yLow - 0.5 - 0.8 - 1e-5) << "frame " << frame;
    }
    EXPECT_TRUE(sawImpact);
}

// The top falls between two frames at 10 fps (and at other slow or uneven
// rates): the solid must still come back down to the floor and bounce again,
// never sinking away.
struct FrameRate {
    const char* name;
    double slowest, fastest;  // frame lengths, seconds
};

void PrintTo(const FrameRate& rate, std::ostream* os) { *os << rate.name; }

class BounceAtFrameRate : public ::testing::TestWithParam<FrameRate> {};

TEST_P(BounceAtFrameRate, KeepsBouncing) {
    const FrameRate rate = GetParam();
    startVirtualClock();
    Solid solidRecord(makeIcosahedron());
    Polyhedron* solid = solidRecord.get();
    const double yLow = lowestY(solid);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> length(rate.fastest, rate.slowest);
    double t = 0.0123;  // frames out of step with the flight's own times
    int impacts = 0;
    float lowest = 3.0f, highest = -10.0f;
    while (t < 30.0) {
        t += length(random);
        setClock(t);
        int wasRising = solid->rising;
        float h = bounceHeight(solid);
        if (!wasRising && solid->rising) ++impacts;
        lowest = std::min(lowest, h);
        highest = std::max(highest, h);
    }
    // One fall and rise take 2 sqrt((3 + yLow) / 10.6) = 0.84 s plus at most
    // a frame at each end.
    const double cycle = 2 * std::sqrt((3 + yLow) / 10.6) + 2 * rate.slowest;
    EXPECT_GE(impacts, static_cast<int>(30.0 / cycle) - 1);
    EXPECT_LE(highest, 3.0f);
    // The deepest dip: a frame landing a whole frame after the impact.
    double deepest = 3 - 10.6 * std::pow(std::sqrt((3 + yLow) / 10.6) + rate.slowest, 2);
    EXPECT_GE(lowest, deepest - 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Rates, BounceAtFrameRate,
                         ::testing::Values(FrameRate{"fps10", 0.1, 0.1},
                                           FrameRate{"fps7", 1.0 / 7, 1.0 / 7},
                                           FrameRate{"fps24", 1.0 / 24, 1.0 / 24},
                                           FrameRate{"fps60", 1.0 / 60, 1.0 / 60},
                                           FrameRate{"uneven", 0.2, 0.004}),
                         [](const ::testing::TestParamInfo<FrameRate>& info) {
                             return info.param.name;
                         });
