// Scene 0's frames under llvmpipe, read back: the logo face-on in phase 1,
// the camera and slab halfway through phase 2, the mirror held inside the
// top face by the stencil buffer in phases 4 to 7, the secondary solid's
// presence by phase, the inner solid's placement and a scale of 0, the GL
// state the drawing functions leave behind, and the whole timeline on the
// virtual clock.
#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "support/test_window.h"
#include "test_polyhedra_support.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/polyhedra/polyhedra_scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

using namespace polytest;

namespace {

constexpr int kWidth = 160, kHeight = 120;

using Frame = std::vector<std::uint8_t>;

Frame readFrame() {
    Frame rgb(kWidth * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

std::vector<std::uint8_t> readStencil() {
    std::vector<std::uint8_t> stencil(kWidth * kHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    return stencil;
}

std::array<int, 3> pixel(const Frame& frame, int x, int y) {
    const std::uint8_t* p = &frame[(y * kWidth + x) * 3];
    return {p[0], p[1], p[2]};
}

bool differs(const Frame& a, const Frame& b, int i) {
    return a[i * 3] != b[i * 3] || a[i * 3 + 1] != b[i * 3 + 1] || a[i * 3 + 2] != b[i * 3 + 2];
}

constexpr std::uint32_t kRed = 0xFF0000FF, kGreen = 0x00FF00FF, kBlue = 0x0000FFFF,
                        kYellow = 0xFFFF00FF;

// Everything the scene's frames need, as the start-up and the set-up leave
// it, with solids and textures of the test's own.
struct SceneTest : ::testing::Test {
    TestWindow window{kWidth, kHeight};
    Solid icosahedronRecord, dodecahedronRecord, emptyRecord;
    Polyhedron* icosahedron = nullptr;
    Polyhedron* dodecahedron = nullptr;
    Polyhedron* empty = nullptr;

    void SetUp() override {
        if (const char* source = std::getenv("DEMO_SOURCE_DIR")) {
            ASSERT_EQ(chdir(source), 0);
        }
        ASSERT_TRUE(preparedLikeStartUp(window));
        // With the scene's program and GL state, as the start-up leaves them.
        ASSERT_EQ(initPolyhedraScene(), 1);
        startVirtualClock();

        icosahedronRecord.reset(icosahedron = makeIcosahedron());
        icosahedron->amplitude = 0.25f;
        icosahedron->colourSet = 0;
        dodecahedronRecord.reset(dodecahedron = makeDodecahedron());
        dodecahedron->amplitude = 0.4f;
        dodecahedron->colourSet = 1;
        emptyRecord.reset(empty = makeEmptySolid());
        polyhedraScene.primarySolid = icosahedron;
        polyhedraScene.secondarySolid = dodecahedron;

        // The logo in four coloured quadrants (s, t from 0); the chessboard
        // in two greys; scratches as a light grey with darker lines.
        polyhedraScene.logoTexture = makeTexture(2, [](int s, int t) {
            return t == 0 ? (s == 0 ? kRed : kGreen) : (s == 0 ? kBlue : kYellow);
        });
        polyhedraScene.chessboardTexture = makeTexture(8, [](int s, int t) {
            return ((s / 4 + t / 4) % 2) ? 0xE0E0E0FFu : 0x303030FFu;
        });
        polyhedraScene.scratchTexture = makeTexture(16, [](int s, int t) {
            return (s + 2 * t) % 7 == 0 ? 0x909090FFu : 0xF0F0F0FFu;
        });
        glColor4f(1, 1, 1, 1);
    }
};

// ---- GL state snapshots ----------------------------------------------------

struct GLStateSnapshot {
    std::vector<GLint> ints;
    std::vector<GLfloat> floats;
    bool operator==(const GLStateSnapshot& other) const {
        return ints == other.ints && floats == other.floats;
    }
};

GLStateSnapshot snapshot() {
    GLStateSnapshot s;
    for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_STENCIL_TEST, GL_TEXTURE_2D,
                       GL_COLOR_MATERIAL})
        s.ints.push_back(glIsEnabled(cap));
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    s.ints.push_back(active);
    for (GLenum name : {GL_BLEND_SRC, GL_BLEND_DST, GL_CULL_FACE_MODE, GL_STENCIL_FUNC,
                        GL_STENCIL_REF, GL_STENCIL_VALUE_MASK, GL_STENCIL_FAIL,
                        GL_STENCIL_PASS_DEPTH_FAIL, GL_STENCIL_PASS_DEPTH_PASS,
                        GL_TEXTURE_BINDING_2D, GL_CURRENT_PROGRAM, GL_MODELVIEW_STACK_DEPTH,
                        GL_MATRIX_MODE}) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        s.ints.push_back(value);
    }
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (GLboolean m : mask) s.ints.push_back(m);
    glActiveTexture(GL_TEXTURE1);
    s.ints.push_back(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    s.ints.push_back(bound);
    GLint texEnv = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &texEnv);
    s.ints.push_back(texEnv);
    glActiveTexture(static_cast<GLenum>(active));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    s.floats.assign(colour, colour + 4);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    s.floats.insert(s.floats.end(), modelview, modelview + 16);
    return s;
}

// A caller's state far from the scene's own.
void setUnusualState() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 3, 0x7);
    glStencilOp(GL_INCR, GL_DECR, GL_INVERT);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, polyhedraScene.chessboardTexture);
    glColor4f(0.3f, 0.5f, 0.7f, 0.9f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
}

std::vector<GLfloat> modelviewTranslatedBy(float y) {
    glPushMatrix();
    glTranslatef(0, y, 0);
    std::vector<GLfloat> m(16);
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    glPopMatrix();
    return m;
}

std::vector<GLfloat> modelview() {
    std::vector<GLfloat> m(16);
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

// ---- the bouncing phases -------------------------------------------------

// The animation fields of a solid record.
struct Flight {
    double collisionElapsed;
    std::int32_t rising;
    float lastCollision, actualTime;

    static Flight of(const Polyhedron& solid) {
        return {solid.collisionElapsed, solid.rising, solid.lastCollision, solid.actualTime};
    }
    void into(Polyhedron* solid) const {
        solid->collisionElapsed = collisionElapsed;
        solid->rising = rising;
        solid->lastCollision = lastCollision;
        solid->actualTime = actualTime;
    }
};

// Everything a frame of phases 4 to 7 changes, to draw the same moment again
// (with the same or other solids).
struct Moment {
    Flight primary, secondary;
    float mark, phaseStart;
    std::int32_t phase, direction;
    bool finished;
    float orbit;

    static Moment take() {
        return {Flight::of(*polyhedraScene.primarySolid), Flight::of(*polyhedraScene.secondarySolid), clockMarkSeconds,
                polyhedraScene.phaseStart, polyhedraScene.scenePhase, polyhedraScene.secondaryDirection, polyhedraScene.finished,
                polyhedraScene.orbitAngle};
    }
    void restore(Polyhedron* primaryRecord, Polyhedron* secondaryRecord) const {
        primary.into(primaryRecord);
        secondary.into(secondaryRecord);
        polyhedraScene.primarySolid = primaryRecord;
        polyhedraScene.secondarySolid = secondaryRecord;
        clockMarkSeconds = mark;
        polyhedraScene.phaseStart = phaseStart;
        polyhedraScene.scenePhase = phase;
        polyhedraScene.secondaryDirection = direction;
        polyhedraScene.finished = finished;
        polyhedraScene.orbitAngle = orbit;
    }
};

// Puts the scene in `phase`, half a second in, with the primary solid
// falling low over the floor (after earlier bounces) and turned.
void enterPhase(int phase, double now, double intoPhase = 0.5) {
    polyhedraScene.scenePhase = phase;
    polyhedraScene.finished = false;
    setClock(now);
    polyhedraScene.phaseStart = static_cast<float>(now - intoPhase);
    clockMarkSeconds = static_cast<float>(now - 0.4);  // 0.4 s into a fall: h = 1.304
    polyhedraScene.primarySolid->collisionElapsed = 0.45;
    polyhedraScene.primarySolid->rising = 0;
    polyhedraScene.primarySolid->lastCollision = static_cast<float>(now - 1.0);
    polyhedraScene.secondaryDirection = -1;
    polyhedraScene.orbitAngle = 33.0f;
}

// The screen rectangle (x0, y0, x1, y1) that holds a box around each solid
// drawn directly this frame, with the scene's camera: every pixel the
// direct solids can touch, wobble included.
std::array<int, 4> directFootprint(const Moment& moment) {
    // Heights as this frame computes them, probed on copies.
    Polyhedron primary = *polyhedraScene.primarySolid, secondary = *polyhedraScene.secondarySolid;
    moment.primary.into(&primary);
    moment.secondary.into(&secondary);
    std::int32_t direction = polyhedraScene.secondaryDirection;
    float mark = clockMarkSeconds;
    float now = static_cast<float>(clockNow());
    primary.actualTime = secondary.actualTime = now;
    float h = bounceHeight(&primary);
    float inner = 1.5f;
    if (moment.phase == 7) inner = secondaryHeight(&primary, &secondary, h, 0.5f);
    clockMarkSeconds = mark;
    polyhedraScene.secondaryDirection = direction;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
    glRotatef(polyhedraScene.tiltX, 1, 0, 0);
    glRotatef(polyhedraScene.tiltZ, 0, 0, 1);
    GLdouble mv[16], proj[16];
    GLint view[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, view);
    glPopMatrix();

    // Spheres about the solids' centres, sampled densely: the turn about
    // the vertical axis cannot move a solid out of its sphere.
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    auto cover = [&](double centre, double radius) {
        for (int i = 0; i <= 24; ++i)
            for (int k = 0; k < 48; ++k) {
                double polar = M_PI * i / 24, around = 2 * M_PI * k / 48;
                double sx, sy, sz;
                gluProject(radius * std::sin(polar) * std::cos(around), centre + radius * std::cos(polar),
                           radius * std::sin(polar) * std::sin(around), mv, proj, view, &sx, &sy, &sz);
                x0 = std::min(x0, sx), x1 = std::max(x1, sx);
                y0 = std::min(y0, sy), y1 = std::max(y1, sy);
            }
    };
    // Corners 1 from the centre; the wobble widens a solid by up to ~1.3 and
    // stretches it upwards from its bottom by up to the amplitude.
    cover(h, 1.55);
    if (moment.phase >= 5) cover(inner, 0.5 * 1.9);
    return {int(std::floor(x0)) - 2, int(std::floor(y0)) - 2, int(std::ceil(x1)) + 2,
            int(std::ceil(y1)) + 2};
}

// Where the slab's top face covers the screen, as the scene's mark pass
// leaves it in the stencil buffer.
std::vector<std::uint8_t> topFaceArea() {
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
    glRotatef(polyhedraScene.tiltX, 1, 0, 0);
    glRotatef(polyhedraScene.tiltZ, 0, 0, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFF);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    drawFloorSlab();
    glPopMatrix();
    glPopAttrib();
    return readStencil();
}

}  // namespace

// Square-on, the underside alone: the logo's four quadrants the right way
// round, black all around, no other colour anywhere (the chessboard, walls
// and top are turned away and culled).
TEST_F(SceneTest, PhaseOneShowsOnlyTheLogoFaceOn) {
    polyhedraScene.scenePhase = 1;
    setClock(3.0);
    drawPolyhedraScene();
    Frame frame = readFrame();
    const int cx = kWidth / 2, cy = kHeight / 2, q = 20;
    EXPECT_EQ(pixel(frame, cx - q, cy + q), (std::array<int, 3>{255, 0, 0})) << "top left: s 0, t 0";
    EXPECT_EQ(pixel(frame, cx + q, cy + q), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(pixel(frame, cx - q, cy - q), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(pixel(frame, cx + q, cy - q), (std::array<int, 3>{255, 255, 0}));
    // The underside spans 4 units at 4.2 from the eye under a 60-degree view:
    // about 0.82 of the half-height each way from the centre.
    const int half = static_cast<int>(kHeight / 2 * (2.0 / 4.2) / std::tan(M_PI / 6));
    EXPECT_EQ(pixel(frame, cx - half - 3, cy), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixel(frame, cx + half + 3, cy), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixel(frame, cx, cy - half - 3), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixel(frame, cx, cy + half + 3), (std::array<int, 3>{0, 0, 0}));
    EXPECT_NE(pixel(frame, cx - half + 3, cy + half - 3), (std::array<int, 3>{0, 0, 0}));
    int foreign = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        std::array<int, 3> c = pixel(frame, i % kWidth, i / kWidth);
        bool known = c == std::array<int, 3>{0, 0, 0} || c == std::array<int, 3>{255, 0, 0} ||
                     c == std::array<int, 3>{0, 255, 0} || c == std::array<int, 3>{0, 0, 255} ||
                     c == std::array<int, 3>{255, 255, 0};
        foreign += !known;
    }
    EXPECT_EQ(foreign, 0) << "pixels that are neither the logo nor the background";
    EXPECT_EQ(polyhedraScene.scenePhase, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Phase 3's empty floor: the chessboard on unit 0 seen through the
// scratches on unit 1, each with coordinates of its own. Both show: the
// board's two squares, each lighter and darker where a scratch crosses it.
TEST_F(SceneTest, TheFloorShowsTheChessboardThroughItsScratches) {
    polyhedraScene.scenePhase = 3;
    setClock(20.0);
    clockMark();
    setClock(21.0);
    drawPolyhedraScene();
    const Frame frame = readFrame();
    std::set<std::array<int, 3>> colours;
    for (int y = kHeight / 4; y < kHeight * 3 / 4; ++y)
        for (int x = kWidth / 4; x < kWidth * 3 / 4; ++x)
            if (pixel(frame, x, y) != std::array<int, 3>{0, 0, 0}) colours.insert(pixel(frame, x, y));
    // Two squares by two kinds of scratch texel: four levels at least (one
    // texture alone, or both on one unit, gives two or three).
    EXPECT_GE(colours.size(), 4u) << "the floor does not show both textures";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// e = 0.5: the eye at (0, 1, 4.4) looking at (0, 0.5, 0), the slab turned
// by -45 degrees: the very picture of that camera and slab.
TEST_F(SceneTest, HalfwayThroughPhaseTwoTheCameraAndSlabAreHalfway) {
    polyhedraScene.scenePhase = 2;
    setClock(8.0);
    clockMark();
    setClock(8.5);
    drawPolyhedraScene();
    Frame scene = readFrame();
    EXPECT_EQ(polyhedraScene.scenePhase, 2);

    auto reference = [](double eyeY, double centreY, float angle) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(0, eyeY, 4.4, 0, centreY, 0, 0, 1, 0);
        glRotatef(angle, 1, 0, 0);
        drawFloorSlab();
        glPopMatrix();
        return readFrame();
    };
    Frame expected = reference(1.0, 0.5, -45.0f);
    int lit = 0, different = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        lit += pixel(scene, i % kWidth, i / kWidth) != std::array<int, 3>{0, 0, 0};
        different += differs(scene, expected, i);
    }
    EXPECT_EQ(different, 0);
    EXPECT_GT(lit, kWidth * kHeight / 10) << "the slab fills part of the view";
    // A degree off shows.
    Frame off = reference(1.0, 0.5, -44.0f);
    int offBy = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) offBy += differs(scene, off, i);
    EXPECT_GT(offBy, 0);
}

// Outside the top face's screen area and away from the solids drawn
// directly, a frame with the solids is the frame without them: no mirrored
// pixel leaks; inside the top face the reflection shows. Seen from below
// (the scene tilted over), the top face is culled and nothing is mirrored.
TEST_F(SceneTest, ReflectionStaysInsideTheTopFace) {
    for (float tilt : {0.0f, 180.0f}) {
        for (int phase = 4; phase <= 7; ++phase) {
            SCOPED_TRACE(testing::Message() << "phase " << phase << ", tilt " << tilt);
            Polyhedron primary = *icosahedron, secondary = *dodecahedron;
            polyhedraScene.primarySolid = &primary;
            polyhedraScene.secondarySolid = &secondary;
            enterPhase(phase, 40.0);
            polyhedraScene.tiltX = tilt;
            Moment moment = Moment::take();

            drawPolyhedraScene();
            Frame withSolids = readFrame();
            Polyhedron emptyPrimary = *empty, emptySecondary = *empty;
            moment.restore(&emptyPrimary, &emptySecondary);
            drawPolyhedraScene();
            Frame without = readFrame();
            moment.restore(&primary, &secondary);

            std::vector<std::uint8_t> mirror = topFaceArea();
            std::array<int, 4> direct = directFootprint(moment);
            int leaked = 0, mirrored = 0, checked = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    int i = y * kWidth + x;
                    bool nearDirect = x >= direct[0] && x <= direct[2] && y >= direct[1] && y <= direct[3];
                    if (nearDirect) continue;
                    if (mirror[i]) {
                        mirrored += differs(withSolids, without, i);
                    } else {
                        ++checked;
                        leaked += differs(withSolids, without, i);
                    }
                }
            EXPECT_EQ(leaked, 0);
            EXPECT_GT(checked, kWidth * kHeight / 10);
            if (tilt == 0.0f) {
                EXPECT_GT(mirrored, 50) << "the reflection shows in the floor";
            } else {
                int marked = 0;
                for (std::uint8_t s : mirror) marked += s != 0;
                EXPECT_EQ(marked, 0) << "seen from below the top face is culled";
            }
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
    }
}

// The dodecahedron is drawn in phases 5 to 7 and not in phase 4.
TEST_F(SceneTest, SecondarySolidAbsentInPhaseFourPresentLater) {
    for (int phase = 4; phase <= 7; ++phase) {
        SCOPED_TRACE(testing::Message() << "phase " << phase);
        Polyhedron primary = *icosahedron, secondary = *dodecahedron;
        polyhedraScene.primarySolid = &primary;
        polyhedraScene.secondarySolid = &secondary;
        enterPhase(phase, 50.0, 1.5);  // phase 5: the inner solid at 3/8 size
        Moment moment = Moment::take();
        drawPolyhedraScene();
        Frame both = readFrame();
        Polyhedron noSecondary = *empty;
        moment.restore(&primary, &noSecondary);
        drawPolyhedraScene();
        Frame primaryOnly = readFrame();
        int different = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) different += differs(both, primaryOnly, i);
        if (phase == 4)
            EXPECT_EQ(different, 0);
        else
            EXPECT_GT(different, 30);
    }
}

// The inner solid sits at half size centred at 1.5 wherever the outer one
// is; a scale of 0 (phase 5's first frame) or one too small to invert draws
// no inner solid and leaves a finite matrix: the translation to the outer
// height.
TEST_F(SceneTest, NestedJellyPlacesTheInnerSolidAndSurvivesAScaleOfZero) {
    Polyhedron steady = *dodecahedron;
    steady.amplitude = 0;  // no wobble: the same shape at any time
    glMatrixMode(GL_MODELVIEW);
    auto drawNested = [&](const Polyhedron* inner, float outerHeight, float scale) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
        drawNestedJelly(empty, inner, 1, outerHeight, 1.5f, scale);
        return readFrame();
    };
    // The same picture up to the rounding of two translations against one:
    // the lit area's bounds and centre agree to a pixel.
    struct Extent {
        int lit = 0, x0 = kWidth, y0 = kHeight, x1 = -1, y1 = -1;
        double cx = 0, cy = 0;
    };
    auto extent = [](const Frame& frame) {
        Extent e;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (pixel(frame, x, y) == std::array<int, 3>{0, 0, 0}) continue;
                ++e.lit;
                e.x0 = std::min(e.x0, x), e.x1 = std::max(e.x1, x);
                e.y0 = std::min(e.y0, y), e.y1 = std::max(e.y1, y);
                e.cx += x, e.cy += y;
            }
        e.cx /= std::max(e.lit, 1), e.cy /= std::max(e.lit, 1);
        return e;
    };
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
    glTranslatef(0, 1.5f, 0);
    glScalef(0.5f, 0.5f, 0.5f);
    drawSingleJelly(&steady, 1, 0.0f);
    Extent expected = extent(readFrame());
    EXPECT_GT(expected.lit, 100);
    for (float outerHeight : {0.25f, 2.0f, -1.0f}) {
        SCOPED_TRACE(testing::Message() << "outer height " << outerHeight);
        Extent got = extent(drawNested(&steady, outerHeight, 0.5f));
        EXPECT_NEAR(got.lit, expected.lit, expected.lit / 50);
        EXPECT_NEAR(got.x0, expected.x0, 1);
        EXPECT_NEAR(got.x1, expected.x1, 1);
        EXPECT_NEAR(got.y0, expected.y0, 1);
        EXPECT_NEAR(got.y1, expected.y1, 1);
        EXPECT_NEAR(got.cx, expected.cx, 0.2);
        EXPECT_NEAR(got.cy, expected.cy, 0.2);
    }

    Frame nothing = drawNested(empty, 1.0f, 0.5f);
    for (float scale : {0.0f, -0.0f, 1e-40f}) {
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        Frame frame = drawNested(&steady, 1.0f, scale);
        std::vector<GLfloat> after = modelview();
        glLoadIdentity();
        gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
        EXPECT_EQ(after, modelviewTranslatedBy(1.0f));
        for (GLfloat v : after) EXPECT_TRUE(std::isfinite(v));
        int drawn = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) drawn += differs(frame, nothing, i);
        EXPECT_EQ(drawn, 0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// Each drawing function gives back the caller's state; the jelly functions
// keep only the translation to the (outer) height on the modelview matrix.
TEST_F(SceneTest, DrawingFunctionsLeaveTheStateAsTheyFoundIt) {
    struct Case {
        const char* name;
        float height;  // the translation left on the matrix
        void (*draw)(SceneTest&);
    };
    const Case cases[] = {
        {"drawFloorSlab", 0.0f, [](SceneTest&) { drawFloorSlab(); }},
        {"drawSingleJelly", 1.25f,
         [](SceneTest& t) { drawSingleJelly(t.icosahedron, 1, 1.25f); }},
        {"drawSingleJelly, front first", 1.25f,
         [](SceneTest& t) { drawSingleJelly(t.icosahedron, 0, 1.25f); }},
        {"drawNestedJelly", 0.75f,
         [](SceneTest& t) { drawNestedJelly(t.icosahedron, t.dodecahedron, 1, 0.75f, 1.5f, 0.3f); }},
        {"drawNestedJelly, scale 0", 0.75f,
         [](SceneTest& t) { drawNestedJelly(t.icosahedron, t.dodecahedron, 1, 0.75f, 1.5f, 0.0f); }},
    };
    setClock(10.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setUnusualState();
        std::vector<GLfloat> expectedMatrix = modelviewTranslatedBy(c.height);
        GLStateSnapshot before = snapshot();
        c.draw(*this);
        std::vector<GLfloat> matrix = modelview();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(matrix[i], expectedMatrix[i], 1e-6) << i;
        glLoadMatrixf(before.floats.data() + 4);
        EXPECT_TRUE(snapshot() == before);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// A whole frame of each kind leaves the caller's matrix, no program, and
// blending, the stencil test and the colour mask as the scene promises.
TEST_F(SceneTest, SceneFramesLeaveTheMatrixAndTheirOwnSwitchesOff) {
    for (int phase = 1; phase <= 7; ++phase) {
        SCOPED_TRACE(testing::Message() << "phase " << phase);
        enterPhase(phase, 60.0);
        clockMarkSeconds = 59.9f;
        glLoadIdentity();
        glTranslatef(0.5f, 0, 0);  // whatever the caller had
        std::vector<GLfloat> before = modelview();
        GLint depth = 0, program = -1;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        drawPolyhedraScene();
        EXPECT_EQ(modelview(), before);
        GLint depthAfter = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        EXPECT_EQ(depthAfter, depth);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program, 0);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[0], 1.0f);
        EXPECT_EQ(colour[3], 1.0f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// The timeline at 64 frames per second from the set-up's mark: each phase
// ends on the first frame strictly past its length (so one frame late when a
// frame lands exactly on it), the scene ends itself after ~44.8 s, and the
// primary solid bounces meanwhile.
TEST_F(SceneTest, PhasesFollowTheClockToTheEndOfTheScene) {
    polyhedraScene.scenePhase = 1;
    polyhedraScene.finished = false;
    polyhedraScene.orbitAngle = 0;
    setClock(2.0);
    clockMark();

    const double step = 1.0 / 64;
    // First frame time strictly after `start + length` on the 1/64 grid.
    auto endFrame = [&](double start, double length) {
        return (std::floor((start + length) / step) + 1) * step;
    };
    std::vector<double> expected;
    double start = 2.0;
    for (double length : {7.5, 1.0, 7.0, 7.0, 2.0, 4.2, 16.1}) {
        start = endFrame(start, length);
        expected.push_back(start);
    }

    std::vector<double> ends;
    int frames = 0, impacts = 0, phase = 1;
    double t = 2.0;
    while (!polyhedraScene.finished && frames < 64 * 60) {
        t += step;
        setClock(t);
        int wasRising = polyhedraScene.primarySolid->rising;
        drawPolyhedraScene();
        stepOrbit(60.0f / 64.0f);  // each frame stands for 60/64 of a frame at 60 a second
        ++frames;
        if (!wasRising && polyhedraScene.primarySolid->rising) ++impacts;
        if (polyhedraScene.scenePhase != phase || polyhedraScene.finished) {
            ends.push_back(t);
            phase = polyhedraScene.scenePhase;
        }
    }
    EXPECT_TRUE(polyhedraScene.finished);
    EXPECT_EQ(polyhedraScene.scenePhase, 7);
    ASSERT_EQ(ends.size(), expected.size());
    for (std::size_t i = 0; i < ends.size(); ++i) EXPECT_DOUBLE_EQ(ends[i], expected[i]) << "phase " << i + 1;
    EXPECT_NEAR(ends.back() - 2.0, 44.8, 8 * step);
    float turned = 0;
    for (int i = 0; i < frames; ++i) turned += 0.6f * (60.0f / 64.0f);
    EXPECT_EQ(polyhedraScene.orbitAngle, turned);
    EXPECT_NEAR(polyhedraScene.orbitAngle, 36.0 * frames * step, 0.01);  // 36 degrees a second
    // 29.3 s of bouncing, about 0.88 s a flight.
    EXPECT_GT(impacts, 30);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
