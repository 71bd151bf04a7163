// Whole frames of the zoom tunnel and the lens scene on llvmpipe, read back
// from the framebuffer and compared with where the geometry says each
// texture must land: the layers' turns, the plane alone without the lens (and
// no program run), the lens's round, magnifying disc, the coin-like turn,
// and the closing stretch that draws nothing but still updates the sound.
#include "app/gl.h"
#include "app/shader/shader.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "scenes/lens/lens_parts.h"
#include "support/test_backends.h"
#include "support/test_window.h"
#include "scenes/scene_gl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320, kHeight = 240;
const double kPi = 3.14159265358979323846;

using Rgb = std::array<int, 3>;

// A texture of width x height from a colour per texel, nearest sampling so
// that every pixel shows exactly one texel.
GLuint makeTexture(int width, int height, const std::function<Rgb(int, int)>& colour,
                   int alpha = 255, GLenum filter = GL_NEAREST) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = colour(x, y);
            rgba.insert(rgba.end(), {std::uint8_t(c[0]), std::uint8_t(c[1]), std::uint8_t(c[2]),
                                     std::uint8_t(alpha)});
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    return name;
}

GLuint plainTexture(Rgb colour, int alpha = 255) {
    return makeTexture(1, 1, [=](int, int) { return colour; }, alpha);
}

// The displacement map as the start-up makes it.
GLuint displacementTexture() {
    ImageRecord* map = newImage(kDisplacementSize, kDisplacementSize, 4);
    fillDisplacementMap(map);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, map->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    freeImage(map);
    return name;
}

// ---- where a pixel lies -------------------------------------------------

struct Point {
    double x, y;
};

// The point of the plane (at distance 5) seen at the centre of pixel (px, py),
// under the 45-degree projection of scenes 1 and 2.
Point eyeAt(double px, double py) {
    const double halfHeight = 5.0 * std::tan(22.5 * kPi / 180.0);
    const double aspect = double(kWidth) / kHeight;
    return {((px + 0.5) / kWidth * 2.0 - 1.0) * halfHeight * aspect,
            ((py + 0.5) / kHeight * 2.0 - 1.0) * halfHeight};
}

double pixelsPerUnit() { return kHeight / (2.0 * 5.0 * std::tan(22.5 * kPi / 180.0)); }

// Into the frame of a plane turned by `degrees`.
Point unturn(Point p, double degrees) {
    double a = degrees * kPi / 180.0;
    return {p.x * std::cos(a) + p.y * std::sin(a), -p.x * std::sin(a) + p.y * std::cos(a)};
}

Point turn(Point p, double degrees) { return unturn(p, -degrees); }

// Distance from a texture coordinate to the nearest texel edge of an
// n-texel repeat, in texture units.
double edgeDistance(double coordinate, int n) {
    double f = coordinate * n - std::floor(coordinate * n);
    return std::min(f, 1.0 - f) / n;
}

int texelIndex(double coordinate, int n) {
    double f = coordinate - std::floor(coordinate);
    return std::min(int(f * n), n - 1);
}

std::vector<std::uint8_t> framePixels() {
    std::vector<std::uint8_t> rgba(kWidth * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

Rgb pixelOf(const std::vector<std::uint8_t>& frame, int px, int py) {
    const std::uint8_t* p = &frame[(std::size_t(py) * kWidth + px) * 4];
    return {p[0], p[1], p[2]};
}

// ---- counting the programs' GL traffic ----------------------------------
// The shader layer reaches GL through libepoxy's function pointers; wrapping
// the ones it needs to run a program tells whether any shader call was made.

int programSwitches = 0;
PFNGLUSEPROGRAMPROC realUseProgram = nullptr;
void APIENTRY countingUseProgram(GLuint program) {
    ++programSwitches;
    realUseProgram(program);
}

struct ProgramCounter {
    ProgramCounter() {
        glUseProgram(0);  // resolves epoxy's pointer before it is wrapped
        realUseProgram = epoxy_glUseProgram;
        epoxy_glUseProgram = countingUseProgram;
        programSwitches = 0;
    }
    ~ProgramCounter() { epoxy_glUseProgram = realUseProgram; }
};

std::string programFile(const char* name) {
    const char* source = std::getenv("DEMO_SOURCE_DIR");
    return std::string(source ? source : ".") + "/data/" + name;
}

// ---- the scenes ---------------------------------------------------------

struct SceneTest : ::testing::Test {
    TestWindow window{kWidth, kHeight};

    void SetUp() override {
        ASSERT_TRUE(window.ok);
        sceneGl.glActiveTextureARB =
            reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(SDL_GL_GetProcAddress("glActiveTextureARB"));
        sceneGl.glMultiTexCoord2fARB = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(
            SDL_GL_GetProcAddress("glMultiTexCoord2fARB"));
        ASSERT_TRUE(sceneGl.glActiveTextureARB && sceneGl.glMultiTexCoord2fARB);
    }

    // The sequencer's scene start: the state, then the scene's projection.
    void startScene(int scene) {
        demo.timeline.SceneState = scene;
        resetGLState();
        reshapeGL(0, 0);
    }

    // The start-up's programs, as it creates them.
    void createPrograms() {
        sceneGl.cgContext = shader::createContext();
        sceneGl.fragmentProfile = shader::latestProfile(shader::Stage::fragment);
        sceneGl.vertexProfile = shader::latestProfile(shader::Stage::vertex);
        lensScene.lensProgram = shader::createProgramFromFile(
            sceneGl.cgContext, programFile("lens.cg").c_str(), sceneGl.fragmentProfile, "main");
        ASSERT_NE(lensScene.lensProgram, 0u) << shader::errorString(shader::lastError());
        lensScene.twistProgram = shader::createProgramFromFile(
            sceneGl.cgContext, programFile("twist.cg").c_str(), sceneGl.vertexProfile, "main");
        ASSERT_NE(lensScene.twistProgram, 0u) << shader::errorString(shader::lastError());
        lensScene.displacementParam = shader::namedParameter(lensScene.lensProgram, "displacement");
        lensScene.zoomParam = shader::namedParameter(lensScene.lensProgram, "zoom");
        lensScene.distortscaleParam = shader::namedParameter(lensScene.lensProgram, "distortscale");
        lensScene.twistModelViewProj = shader::namedParameter(lensScene.twistProgram, "ModelViewProj");
        ASSERT_TRUE(lensScene.displacementParam && lensScene.zoomParam && lensScene.distortscaleParam &&
                    lensScene.twistModelViewProj);
    }
};

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0};

// An 8 x 8 red and green checkerboard.
Rgb checker(int x, int y) { return (x + y) % 2 ? kGreen : kRed; }

bool redAt(Point plane, double zoom) {
    double s = 0.5 / zoom * plane.x, t = 0.5 / zoom * plane.y;
    return checker(texelIndex(s, 8), texelIndex(t, 8)) == kRed;
}

double planeEdgeDistance(Point plane, double zoom) {
    return std::min(edgeDistance(0.5 / zoom * plane.x, 8), edgeDistance(0.5 / zoom * plane.y, 8)) *
           2.0 * zoom;
}

}  // namespace

TEST_F(SceneTest, ZoomTunnelLayersTurnByPlusAndMinusRotation) {
    startScene(1);
    demo.timeline.zoom = 0.5f;
    demo.timeline.rotation = 10.0f;
    // White and black 2 x 2: the first layer gives 30 % and the second 70 % of
    // each pixel, so one pixel tells both layers apart. The centre is clear.
    lensScene.lensSceneTextures[tunnelTexture] =
        makeTexture(2, 2, [](int x, int y) { return (x + y) % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0}; });
    lensScene.lensSceneTextures[centreTexture] = plainTexture({255, 255, 255}, 0);
    drawFrame();
    std::vector<std::uint8_t> frame = framePixels();

    auto white = [](Point p) {
        // zoom 0.5: one texture repeat per unit.
        return (texelIndex(p.x, 2) + texelIndex(p.y, 2)) % 2 == 1;
    };
    int checked = 0, mismatches = 0, wouldDifferUnturned = 0;
    for (int py = 0; py < kHeight; py += 2) {
        for (int px = 0; px < kWidth; px += 2) {
            Point eye = eyeAt(px, py);
            Point first = unturn(eye, 10.0), second = unturn(eye, -10.0);
            if (std::min(edgeDistance(first.x, 2), edgeDistance(first.y, 2)) < 0.04 ||
                std::min(edgeDistance(second.x, 2), edgeDistance(second.y, 2)) < 0.04)
                continue;
            int red = pixelOf(frame, px, py)[0];
            bool secondWhite = red > 127;
            bool firstWhite = red - (secondWhite ? 178 : 0) > 38;
            ++checked;
            mismatches += firstWhite != white(first) || secondWhite != white(second);
            wouldDifferUnturned += white(first) != white(eye);
        }
    }
    EXPECT_GT(checked, 4000);
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(wouldDifferUnturned, 500) << "the turn of 10 degrees must show";
}

TEST_F(SceneTest, ZoomTunnelCentreQuadStandsStillOverTheLayers) {
    startScene(1);
    demo.timeline.zoom = 0.5f;
    demo.timeline.rotation = 10.0f;
    lensScene.lensSceneTextures[tunnelTexture] = plainTexture({0, 0, 0});
    const Rgb quadrants[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    lensScene.lensSceneTextures[centreTexture] =
        makeTexture(2, 2, [&](int x, int y) { return quadrants[y * 2 + x]; });
    drawFrame();
    std::vector<std::uint8_t> frame = framePixels();

    int checked = 0, mismatches = 0;
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            Point eye = eyeAt(px, py);
            if (std::abs(eye.x) > 1.95 || std::abs(eye.y) > 1.95) continue;
            if (std::abs(eye.x) < 0.04 || std::abs(eye.y) < 0.04) continue;
            Rgb expected = quadrants[(eye.y > 0) * 2 + (eye.x > 0)];
            Rgb got = pixelOf(frame, px, py);
            ++checked;
            // 70 % of the picture over black.
            for (int c = 0; c < 3; ++c) mismatches += std::abs(got[c] - expected[c] * 7 / 10) > 3;
        }
    }
    EXPECT_GT(checked, 10000);
    EXPECT_EQ(mismatches, 0);
    // Outside the quad only the (black) layers.
    EXPECT_EQ(pixelOf(frame, 2, 2), (Rgb{0, 0, 0}));
}

TEST_F(SceneTest, LensSceneWithoutTheLensDrawsThePlaneAloneAndRunsNoProgram) {
    createPrograms();
    startScene(2);
    demo.timeline.zoom = 2.0f;
    demo.timeline.rotation = 30.0f;
    lensScene.lensX = 0.75f;
    lensScene.lensY = -0.25f;
    demo.timeline.lensActive = false;
    lensScene.lensSceneTextures[planeTexture] = makeTexture(8, 8, checker);
    lensScene.lensSceneTextures[displacementMap] = displacementTexture();
    lensScene.lensSceneTextures[lensTintTexture] = plainTexture({0, 0, 255});

    ProgramCounter counter;
    drawFrame();
    EXPECT_EQ(programSwitches, 0) << "no shader call without the lens";
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    std::vector<std::uint8_t> frame = framePixels();

    int checked = 0, mismatches = 0;
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            Point plane = unturn(eyeAt(px, py), 30.0);
            if (planeEdgeDistance(plane, 2.0) < 0.04) continue;
            ++checked;
            mismatches += pixelOf(frame, px, py) != (redAt(plane, 2.0) ? kRed : kGreen);
        }
    }
    EXPECT_GT(checked, 50000);
    EXPECT_EQ(mismatches, 0);

    // The same frame with the lens does run the programs (the count works).
    demo.timeline.lensActive = true;
    drawFrame();
    EXPECT_GT(programSwitches, 0);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0) << "both stages are disabled after the lens";
}

TEST_F(SceneTest, TheLensMagnifiesThePlaneBeneathItInsideARoundDisc) {
    createPrograms();
    startScene(2);
    demo.timeline.zoom = 2.0f;
    demo.timeline.rotation = 30.0f;
    lensScene.lensX = 0.75f;  // the middle of a checker square
    lensScene.lensY = -0.25f;
    demo.timeline.lensActive = true;
    lensScene.lensSceneTextures[planeTexture] = makeTexture(8, 8, checker);
    lensScene.lensSceneTextures[displacementMap] = displacementTexture();
    lensScene.lensSceneTextures[lensTintTexture] = plainTexture({128, 128, 128});  // a grey glass
    drawFrame();
    std::vector<std::uint8_t> frame = framePixels();

    const Point lens{0.75, -0.25};
    const double disc = std::sqrt(0.95);
    int inside = 0, insideDiffers = 0, outside = 0, outsideDiffers = 0, centre = 0,
        centreDiffers = 0;
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            Point plane = unturn(eyeAt(px, py), 30.0);
            double r = std::hypot(plane.x - lens.x, plane.y - lens.y);
            Rgb got = pixelOf(frame, px, py);
            bool red = got[0] > got[1];
            if (r < 0.1) {
                ++centre;
                centreDiffers += red != redAt(lens, 2.0);
            } else if (r < 0.9 * disc) {
                if (planeEdgeDistance(plane, 2.0) < 0.04) continue;
                ++inside;
                insideDiffers += red != redAt(plane, 2.0);
            } else if (r > 1.05 * disc) {
                if (planeEdgeDistance(plane, 2.0) < 0.04) continue;
                ++outside;
                outsideDiffers += got != (redAt(plane, 2.0) ? kRed : kGreen);
            }
        }
    }
    EXPECT_GT(centre, 50);
    EXPECT_EQ(centreDiffers, 0) << "the magnified picture lines up with the plane";
    EXPECT_GT(inside, 5000);
    EXPECT_GT(insideDiffers, inside / 4) << "the lens shows the plane magnified";
    EXPECT_EQ(outsideDiffers, 0) << "the lens leaves the plane around it alone";

    // A checkerboard cannot tell a shift by whole squares: one red texel in a
    // green texture can. The lens's middle must show the texel beneath it.
    lensScene.lensSceneTextures[planeTexture] =
        makeTexture(8, 8, [](int x, int y) { return x == 1 && y == 7 ? kRed : kGreen; });
    drawFrame();
    frame = framePixels();
    Point middle = turn(lens, 30.0);
    double reach = 0.1 * pixelsPerUnit();
    int px = int(std::lround(middle.x * pixelsPerUnit() + kWidth / 2.0 - 0.5));
    int py = int(std::lround(middle.y * pixelsPerUnit() + kHeight / 2.0 - 0.5));
    for (int y = int(py - reach); y <= int(py + reach); ++y) {
        for (int x = int(px - reach); x <= int(px + reach); ++x) {
            Rgb got = pixelOf(frame, x, y);
            EXPECT_GT(got[0], got[1]) << "pixel " << x << ", " << y;
        }
    }
}

namespace {

// How far the lens reaches from its centre along a direction of the plane's
// frame (degrees), in plane units: the last pixel, from outside in, whose red
// is below the plain grey plane's.
double lensReach(const std::vector<std::uint8_t>& frame, Point lens, double direction,
                 double planeTurn) {
    for (double r = 1.4; r > 0.0; r -= 0.25 / pixelsPerUnit()) {
        Point plane{lens.x + r * std::cos(direction * kPi / 180.0),
                    lens.y + r * std::sin(direction * kPi / 180.0)};
        Point eye = turn(plane, planeTurn);
        int px = int(std::floor(eye.x * pixelsPerUnit() + kWidth / 2.0));
        int py = int(std::floor(eye.y * pixelsPerUnit() + kHeight / 2.0));
        if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) continue;
        if (pixelOf(frame, px, py)[0] < 128 - 12) return r;
    }
    return 0.0;
}

}  // namespace

TEST_F(SceneTest, TheLensEdgeIsRoundAndTurnsLikeACoin) {
    createPrograms();
    startScene(2);
    demo.timeline.zoom = 2.0f;
    demo.timeline.rotation = 30.0f;
    lensScene.lensX = 0.5f;
    lensScene.lensY = -0.25f;
    demo.timeline.lensActive = true;
    // A plain grey plane under a blue lens: the lens shows as less red.
    lensScene.lensSceneTextures[planeTexture] = plainTexture({128, 128, 128});
    lensScene.lensSceneTextures[displacementMap] = displacementTexture();
    lensScene.lensSceneTextures[lensTintTexture] = plainTexture({0, 0, 255});
    drawFrame();
    std::vector<std::uint8_t> frame = framePixels();

    const Point lens{0.5, -0.25};
    const double disc = std::sqrt(0.95), pixel = 1.0 / pixelsPerUnit();
    for (double direction = 0.0; direction < 360.0; direction += 7.5) {
        EXPECT_NEAR(lensReach(frame, lens, direction, 30.0), disc, 2.0 * pixel)
            << "direction " << direction;
    }

    // Turned by 60 degrees about its vertical axis (lens in the middle of the
    // view): its height stays, its width is the coin's, cos 60 = one half,
    // its nearer half seen a little larger than its farther half.
    lensScene.lensX = lensScene.lensY = 0.0f;
    demo.timeline.rotation = 0.0f;
    demo.timeline.twistAngle = float(kPi / 3.0);
    drawFrame();
    frame = framePixels();
    const double depth = disc * std::sin(kPi / 3.0), across = disc * std::cos(kPi / 3.0);
    EXPECT_NEAR(lensReach(frame, {0, 0}, 0.0, 0.0), across * 5.0 / (5.0 - depth), 2.0 * pixel);
    EXPECT_NEAR(lensReach(frame, {0, 0}, 180.0, 0.0), across * 5.0 / (5.0 + depth), 2.0 * pixel);
    EXPECT_NEAR(lensReach(frame, {0, 0}, 90.0, 0.0), disc, 2.0 * pixel);
    EXPECT_NEAR(lensReach(frame, {0, 0}, 270.0, 0.0), disc, 2.0 * pixel);
}

TEST_F(SceneTest, ClosingStretchDrawsNothingButKeepsTheSoundGoing) {
    platform::Backends offline = testBackends();
    offline.soundOutput = platform::SoundOutput::offline;
    platform::useBackends(offline);
    ASSERT_EQ(sound::init(window.appWindow.window, 44100), 1) << sound::lastError();
    startScene(2);
    demo.timeline.SceneState = -1;
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<std::uint8_t> before = framePixels();
    sound::consumeOffline(441);
    drawFrame();
    EXPECT_EQ(framePixels(), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(sound::offlineRecording().size(), 2u * 441u) << "the frame updated the sound";
    sound::shutdown();
}
