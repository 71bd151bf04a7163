// The lens's path from its start values, the folded twist angle and the
// values one lens frame hands to its programs.
#include "scenes/lens/lens_parts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Step {
    float x, y, speedX, fallSpeed;
};

Step after(int steps, bool bounce = true) {
    for (int i = 0; i < steps; ++i) lensWanderStep(bounce);
    return {lensScene.lensX, lensScene.lensY, lensScene.lensSpeedX, lensScene.lensFallSpeed};
}

}  // namespace

TEST(LensWander, FirstStepsFromTheStartValues) {
    Step one = after(1);
    EXPECT_FLOAT_EQ(one.x, -2.982f);
    EXPECT_EQ(one.y, 1.5f);  // the fall speed was still 0
    EXPECT_FLOAT_EQ(one.fallSpeed, 0.00036f);
    EXPECT_FLOAT_EQ(one.speedX, 0.018f);
    Step two = after(1);
    EXPECT_FLOAT_EQ(two.y, 1.49964f);
    EXPECT_FLOAT_EQ(two.fallSpeed, 0.00072f);
    EXPECT_FLOAT_EQ(lensScene.lensClock, 0.018f);
}

TEST(LensWander, BouncesOnStep130AndEvery258StepsAfter) {
    Step s129 = after(129);
    EXPECT_GT(s129.fallSpeed, 0.0f) << "bounced before step 130";
    Step s130 = after(1);
    EXPECT_FLOAT_EQ(s130.y, -1.4721627f);
    EXPECT_EQ(s130.y, s129.y) << "the step that would pass the floor is taken back";
    EXPECT_FLOAT_EQ(s130.fallSpeed, -0.04608007f);

    Step s387 = after(257);
    EXPECT_GT(s387.fallSpeed, 0.0f);
    Step s388 = after(1);
    EXPECT_LT(s388.fallSpeed, 0.0f) << "second bounce on step 388";
    EXPECT_EQ(s388.y, s387.y);
    Step s645 = after(257);
    EXPECT_GT(s645.fallSpeed, 0.0f);
    EXPECT_LT(after(1).fallSpeed, 0.0f) << "third bounce on step 646";
}

TEST(LensWander, TurnsAtTheRightBoundOnStep334AndBackAtMinus3OnStep668) {
    Step s333 = after(333);
    EXPECT_GT(s333.speedX, 0.0f);
    EXPECT_LT(s333.x, 3.0f);
    Step s334 = after(1);
    EXPECT_FLOAT_EQ(s334.x, 3.0119889f);
    EXPECT_LT(s334.speedX, 0.0f);
    Step s667 = after(333);
    EXPECT_LT(s667.speedX, 0.0f);
    Step s668 = after(1);
    EXPECT_EQ(s668.x, -3.0f);
    EXPECT_GT(s668.speedX, 0.0f);
    EXPECT_NEAR(lensScene.lensClock, 668 * 0.009f, 1e-4f);  // summed in float
}

TEST(LensWander, WithoutBounceFallsOnPastTheFloor) {
    Step s200 = after(200, false);
    EXPECT_LT(s200.y, -1.5f);
    EXPECT_GT(s200.fallSpeed, 0.0f);
    EXPECT_LT(after(100, false).y, s200.y - 5.0f);
}

TEST(LensFrame, FoldedAngleKeepsTheCoinFacingForward) {
    EXPECT_EQ(foldedAngle(0.0f), 0.0f);
    EXPECT_EQ(foldedAngle(2.0f), -1.1415927f);
    EXPECT_EQ(foldedAngle(1.5707964f), -1.5707964f);
    // Just below pi/2 stays positive; whole turns of pi fold away.
    EXPECT_GT(foldedAngle(1.5f), 1.49f);
    EXPECT_NEAR(foldedAngle(1.0f + 3.1415927f * 7), 1.0f, 1e-5f);
    for (float angle = 0.0f; angle < 40.0f; angle += 0.37f) {
        float folded = foldedAngle(angle);
        EXPECT_GE(folded, -1.5707964f);
        EXPECT_LT(folded, 1.5707964f);
    }
}

TEST(LensFrame, ParametersOfOneLensFrame) {
    lensScene.lensX = 0.5f;
    lensScene.lensY = -0.25f;
    LensSceneDrive drive{2.0f, 0.0f, 0.0f, true};
    LensParameters p = lensParameters(drive);
    EXPECT_EQ(p.displacement[0], 3.5f);
    EXPECT_EQ(p.displacement[1], 2.75f);
    EXPECT_EQ(p.zoom, 0.25f);
    EXPECT_EQ(p.foldedAngle, 0.0f);
    EXPECT_EQ(p.distortscale[0], 1.0f);
    EXPECT_EQ(p.distortscale[1], 1.0f);
    EXPECT_EQ(p.turnedAngle, 3.1415927f);

    drive.twistAngle = 2.0f;
    p = lensParameters(drive);
    EXPECT_EQ(p.foldedAngle, -1.1415927f);
    EXPECT_FLOAT_EQ(p.distortscale[0], 0.4161468f);
    EXPECT_EQ(p.turnedAngle, -1.1415927f + 3.1415927f);
}
