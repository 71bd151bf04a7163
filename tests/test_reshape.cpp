// reshapeGL's viewport and projections, read back from a real llvmpipe
// context, and a drawn point landing on the pixel the projection predicts.
#include "app/gl.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Projection {
    double m[16];
    GLint viewport[4];
};

Projection readProjection() {
    Projection p;
    glGetDoublev(GL_PROJECTION_MATRIX, p.m);
    glGetIntegerv(GL_VIEWPORT, p.viewport);
    return p;
}

void expectPerspective(const Projection& p, double fovy, double aspect, double zNear,
                       double zFar) {
    double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    // GL keeps its matrices in single precision.
    auto near = [](double got, double want) {
        EXPECT_NEAR(got, want, 1e-6 * std::abs(want) + 1e-12);
    };
    near(p.m[0], f / aspect);
    near(p.m[5], f);
    near(p.m[10], (zFar + zNear) / (zNear - zFar));
    near(p.m[11], -1.0);
    near(p.m[14], 2 * zFar * zNear / (zNear - zFar));
}

}  // namespace

TEST(ReshapeGL, SceneZeroProjectionAndViewport) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    demo.timeline.SceneState = 0;
    reshapeGL(400, 300);
    Projection p = readProjection();
    expectPerspective(p, 60.0, 400.0 / 300.0, 0.1, 100.0);
    EXPECT_EQ(p.viewport[2], 400);
    EXPECT_EQ(p.viewport[3], 300);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(ReshapeGL, OtherScenesUseTheNarrowerProjection) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    for (int scene : {1, 2, -1}) {
        demo.timeline.SceneState = scene;
        reshapeGL(400, 300);
        expectPerspective(readProjection(), 45.0, 400.0 / 300.0, 1.0, 100.0);
    }
    demo.timeline.SceneState = 0;
}

TEST(ReshapeGL, ZeroHeightInSceneZeroUsesTheWidthAsAspect) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    demo.timeline.SceneState = 0;
    reshapeGL(400, 0);
    Projection p = readProjection();
    expectPerspective(p, 60.0, 400.0, 0.1, 100.0);
    EXPECT_EQ(p.viewport[3], 0);
    demo.timeline.SceneState = 1;
    reshapeGL(400, 0);  // empty viewport: only needs to stay finite
    p = readProjection();
    for (double v : p.m) EXPECT_TRUE(std::isfinite(v));
    demo.timeline.SceneState = 0;
}

TEST(ReshapeGL, ZeroSizeReusesTheStoredOne) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    reshapeGL(200, 100);
    demo.timeline.SceneState = 1;
    reshapeGL(0, 0);
    Projection p = readProjection();
    EXPECT_EQ(p.viewport[2], 200);
    EXPECT_EQ(p.viewport[3], 100);
    EXPECT_EQ(viewWidth(), 200);
    expectPerspective(p, 45.0, 2.0, 1.0, 100.0);
    demo.timeline.SceneState = 0;
}

// On a context of the test's own (a window build would store its size
// first), in a process that has given reshapeGL no size yet.
TEST(ReshapeGL, ZeroSizeBeforeAnyOtherCallIsEmpty) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("reshape", 0, 0, 400, 300, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    setAppCallbacks(demoCallbacks());
    reshapeGL(0, 0);
    EXPECT_EQ(readProjection().viewport[2], 0);
    EXPECT_EQ(viewWidth(), 0);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
}

TEST(ReshapeGL, SizeBeforeTheContextIsCurrentOnlyStoresIt) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    SDL_GL_MakeCurrent(w.appWindow.window, nullptr);
    reshapeGL(123, 45);
    EXPECT_EQ(viewWidth(), 123);
    EXPECT_EQ(viewHeight(), 45);
    SDL_GL_MakeCurrent(w.appWindow.window, w.appWindow.glContext);
    EXPECT_EQ(readProjection().viewport[2], 400);
}

TEST(ReshapeGL, DrawnPointLandsWhereTheProjectionSays) {
    TestWindow w(400, 300);
    ASSERT_TRUE(w.ok);
    demo.timeline.SceneState = 0;
    reshapeGL(400, 300);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // A point at (1, 0.5, -4): x_ndc = f/aspect * 1 / 4, y_ndc = f * 0.5 / 4.
    double f = 1.0 / std::tan(M_PI / 6.0);
    int px = static_cast<int>((f / (400.0 / 300.0) / 4.0 + 1.0) * 0.5 * 400.0);
    int py = static_cast<int>((f * 0.5 / 4.0 + 1.0) * 0.5 * 300.0);
    glPointSize(5.0f);
    glColor3f(1, 0, 0);
    glBegin(GL_POINTS);
    glVertex3f(1.0f, 0.5f, -4.0f);
    glEnd();
    glFinish();
    EXPECT_EQ(readPixel(px, py)[0], 255);
    EXPECT_EQ(readPixel(px + 10, py)[0], 0);

    // The same point under the narrower projection lands further from the centre.
    demo.timeline.SceneState = 2;
    reshapeGL(400, 300);
    glClear(GL_COLOR_BUFFER_BIT);
    double g = 1.0 / std::tan(M_PI / 8.0);
    int qx = static_cast<int>((g / (400.0 / 300.0) / 4.0 + 1.0) * 0.5 * 400.0);
    int qy = static_cast<int>((g * 0.5 / 4.0 + 1.0) * 0.5 * 300.0);
    glBegin(GL_POINTS);
    glVertex3f(1.0f, 0.5f, -4.0f);
    glEnd();
    glFinish();
    EXPECT_EQ(readPixel(qx, qy)[0], 255);
    demo.timeline.SceneState = 0;
}
