// Fullscreen wherever the server puts it: the frame keeps the mode's size
// and its 4:3 shape whatever drawable the fullscreen window is granted.
// The fitting and the mode choice alone; the offscreen frame presented on a
// window of the suite's display (where the picture lands, the GL state put
// back); and on a weston desktop, natively and through XWayland, the real
// demo (no notice, the picture centred at 4:3 with black at the sides, an
// end with status 0 on SIGTERM) and a window built in the test (offscreen at
// the mode's size).
#include "app/gl.h"
#include "app/notice.h"
#include "app/present.h"
#include "app/window.h"
#include "support/programs.h"
#include "support/servers.h"
#include "support/test_window.h"
#include "support/weston.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <time.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using platform::FrameArea;

namespace {

void expectArea(const FrameArea& got, int x, int y, int width, int height) {
    EXPECT_EQ(got.x, x);
    EXPECT_EQ(got.y, y);
    EXPECT_EQ(got.width, width);
    EXPECT_EQ(got.height, height);
}

SDL_DisplayMode modeOf(int width, int height, int rate, Uint32 format = SDL_PIXELFORMAT_RGB888) {
    SDL_DisplayMode mode;
    SDL_zero(mode);
    mode.w = width;
    mode.h = height;
    mode.refresh_rate = rate;
    mode.format = format;
    return mode;
}

GLint integerOf(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// "NAME=value" set, "NAME=" removed, in this process.
void setEnvironment(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const std::size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        if (equals + 1 == entry.size()) unsetenv(name.c_str());
        else setenv(name.c_str(), entry.c_str() + equals + 1, 1);
    }
}

// The brightest channel of each column of the screen.
std::vector<int> columnMaxima(const std::string& displayName) {
    std::vector<int> maxima;
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display) return maxima;
    const int width = DisplayWidth(display, 0), height = DisplayHeight(display, 0);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes, ZPixmap);
    if (image) {
        maxima.assign(width, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const int brightest = static_cast<int>(std::max({(pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF}));
                maxima[x] = std::max(maxima[x], brightest);
            }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return maxima;
}

// What is wrong with the screen as a 4:3 picture at 1920 x 1080, centred
// with black at the sides; empty when nothing is.
std::string pictureAt4By3(const std::string& displayName) {
    const std::vector<int> columns = columnMaxima(displayName);
    if (columns.size() != 1920) return "the screen could not be read at 1920 x 1080";
    const auto lit = [](int brightest) { return brightest > 16; };
    const auto left = std::count_if(columns.begin(), columns.begin() + 240, lit);
    const auto right = std::count_if(columns.begin() + 1680, columns.end(), lit);
    const auto middle = std::count_if(columns.begin() + 240, columns.begin() + 1680, lit);
    if (left || right || middle <= 100) {
        return "columns lit: " + std::to_string(left) + " of the left bar's 240, " + std::to_string(right) +
               " of the right's, " + std::to_string(middle) + " of the middle's 1440";
    }
    return "";
}

double secondsNow() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs `body` with LeakSanitizer ignoring what it allocates, in a sanitizer
// build (what SDL's Wayland driver and libdecor leak on their own).
template <typename Body>
void withoutLeakCheck(Body body) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
    body();
    __lsan_enable();
#else
    body();
#endif
}

}  // namespace

TEST(Fullscreen, FramesFitAtTheirShapeAndSixtyHertzIsAskedForWhereOffered) {
    expectArea(platform::fitFrame(1024, 768, 1920, 1080), 240, 0, 1440, 1080);
    expectArea(platform::fitFrame(1024, 768, 1280, 1024), 0, 32, 1280, 960);
    expectArea(platform::fitFrame(1024, 768, 1024, 768), 0, 0, 1024, 768);
    expectArea(platform::fitFrame(1024, 768, 0, 0), 0, 0, 0, 0);

    SDL_DisplayMode chosen;
    const SDL_DisplayMode offered[] = {modeOf(1280, 1024, 60), modeOf(1024, 768, 75), modeOf(1024, 768, 60),
                                       modeOf(1024, 768, 50)};
    ASSERT_TRUE(chooseDisplayMode(offered, 4, 1024, 768, 32, &chosen));
    EXPECT_EQ(chosen.refresh_rate, 60);
    ASSERT_TRUE(chooseDisplayMode(offered, 2, 1024, 768, 32, &chosen));
    EXPECT_EQ(chosen.refresh_rate, 75);  // no 60 Hz: the first offered
    const SDL_DisplayMode shallow[] = {modeOf(1024, 768, 60, SDL_PIXELFORMAT_RGB565), modeOf(800, 600, 60)};
    EXPECT_FALSE(chooseDisplayMode(shallow, 2, 1024, 768, 32, &chosen));
}

// A 64 x 48 frame on a 400 x 240 drawable: drawn offscreen at its own size,
// presented in the middle 320 x 240 with black on either side, and every
// piece of state presenting uses put back as the frame's drawing left it.
TEST(Fullscreen, TheOffscreenFrameIsScaledIntoTheMiddleAndTheStateIsPutBack) {
    TestWindow w(400, 240);
    ASSERT_TRUE(w.ok);
    ASSERT_EQ(platform::fitFrameToDrawable(64, 48, 400, 240, true), platform::FrameTarget::offscreen);
    reshapeGL(400, 240);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 64, 48}));

    platform::beginFrame();
    EXPECT_NE(integerOf(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    // What a frame's drawing may leave behind.
    glClearColor(0.25f, 0.5f, 0.75f, 0.5f);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 2, 3, 4);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glActiveTexture(GL_TEXTURE1);
    platform::finishFrame(w.appWindow.window);

    EXPECT_EQ(integerOf(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(integerOf(GL_READ_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(integerOf(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integerOf(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(integerOf(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_DEPTH_TEST));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::vector<GLfloat>(clear, clear + 4), (std::vector<GLfloat>{0.25f, 0.5f, 0.75f, 0.5f}));
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(std::vector<GLboolean>(mask, mask + 4), (std::vector<GLboolean>{GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE}));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(std::vector<GLint>(box, box + 4), (std::vector<GLint>{1, 2, 3, 4}));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);

    glReadBuffer(GL_BACK);
    for (int x : {0, 35, 365, 399}) EXPECT_EQ(readPixel(x, 120)[0], 0) << "column " << x;
    for (int x : {45, 200, 355}) EXPECT_EQ(readPixel(x, 120)[0], 255) << "column " << x;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The frame's own size on the drawable, or a window: straight to the
    // back buffer again.
    EXPECT_EQ(platform::fitFrameToDrawable(400, 240, 400, 240, true), platform::FrameTarget::direct);
    reshapeGL(400, 240);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 400);
}

// weston nested in an Xvfb at 1920 x 1080, with XWayland.
struct OnWeston : ::testing::Test {
    std::unique_ptr<WestonDesktop> desktop;

    void SetUp() override {
        desktop = std::make_unique<WestonDesktop>(1920, 1080);
        ASSERT_TRUE(desktop->error.empty()) << desktop->error;
    }

    // The demo plays there until 20 s after its launch (and at least 10 s
    // after its picture first showed) and ends on SIGTERM with status 0,
    // with no notice and no GL error on stderr; screenshots when its picture first
    // shows (a slow start-up shows weston's desktop first) and 10 s later
    // show its picture in the middle 1440 columns and black on either side.
    // Then a fullscreen window built here gets the whole output and draws its
    // frame offscreen, at the mode's size.
    void playsFullscreen(const std::vector<std::string>& environment) {
        const std::string demo = fs::absolute(builtProgram("demo"));
        ASSERT_TRUE(fs::exists(demo)) << demo;
        ASSERT_TRUE(fs::exists("data/cool.bmp")) << "run from the repository root";
        ScratchDirectory scratch;
        const std::string errors = scratch.path + "/stderr.log";
        std::vector<std::string> settings = environment;
        settings.insert(settings.end(), {"SDL_AUDIODRIVER=dummy", "DEMO_NOTICE=stderr"});
        // SDL's Wayland driver and the libraries it loads (libdecor,
        // fontconfig) leak on their own: a sanitizer build checks leaks
        // everywhere but here.
        if (const char* options = std::getenv("ASAN_OPTIONS"))
            settings.push_back(std::string("ASAN_OPTIONS=") + options + ":detect_leaks=0");
        const double launched = secondsNow();
        Background program({"sh", "-c", "exec \"$0\" 2>\"$1\"", demo, errors}, settings, scratch.path + "/stdout.log");
        const auto said = [&](const std::string& path) {
            std::ifstream in(path);
            return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        };
        const auto outputs = [&] {
            const std::string out = said(scratch.path + "/stdout.log");
            return "the demo's stderr: " + said(errors) + "\nthe end of its stdout: " +
                   out.substr(out.size() > 1500 ? out.size() - 1500 : 0) + "\nweston's log: " + desktop->log();
        };

        // Once a second: reading the whole screen keeps weston's X server busy.
        std::string seen = "nothing read";
        for (int tries = 0; tries < 60 && !(seen = pictureAt4By3(desktop->outer->name)).empty(); ++tries)
            sleepSeconds(1.0);
        ASSERT_EQ(seen, "") << outputs();
        sleepSeconds(10.0);
        ASSERT_TRUE(program.running()) << "the demo ended early; " << outputs();
        EXPECT_EQ(pictureAt4By3(desktop->outer->name), "");
        sleepSeconds(std::max(0.0, 20.0 - (secondsNow() - launched)));
        EXPECT_EQ(program.stop(SIGTERM, 30.0), 0);
        const std::string text = said(errors);
        EXPECT_EQ(text.find("Error:"), std::string::npos) << text;  // a notice
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;

        setEnvironment(environment);
        withoutLeakCheck([] {
            TestWindow w(1024, 768, 1);
            ASSERT_TRUE(w.ok);
            EXPECT_TRUE(platform::recordedNotices().empty());
            EXPECT_EQ(w.appWindow.fullscreen, 1);
            int width = 0, height = 0;
            SDL_GL_GetDrawableSize(w.appWindow.window, &width, &height);
            EXPECT_EQ(width, 1920);
            EXPECT_EQ(height, 1080);
            EXPECT_EQ(platform::frameTarget(), platform::FrameTarget::offscreen);
            GLint viewport[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1024, 768}));
        });
    }
};

TEST_F(OnWeston, NativeWaylandPlaysFullscreenAt4By3) { playsFullscreen(desktop->native()); }

TEST_F(OnWeston, XWaylandPlaysFullscreenAt4By3) { playsFullscreen(desktop->throughXWayland()); }
