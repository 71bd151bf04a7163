// A notice shown by the start-up while the fullscreen window is up, under a
// real window manager (openbox on a display of the test's own, 1024 x 768 so
// that the mode switch succeeds): the box must be in front of the
// fullscreen window, which the window manager keeps above every ordinary
// window, or the viewer sees a black screen while the demo waits for a click
// on a box nobody can see. Return dismisses it, and the demo then plays on,
// fullscreen, with the keys its own again.
#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Windows come and go while the tree is walked: a window gone by the time
// it is asked about is simply not there.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

struct XConnection {
    Display* display;
    explicit XConnection(const std::string& name) : display(XOpenDisplay(name.c_str())) {
        XSetErrorHandler(ignoreXError);
    }
    ~XConnection() {
        if (display) XCloseDisplay(display);
    }
};

// WM_NAME as its bytes, whatever its type (SDL writes UTF-8 there, which
// XFetchName does not return).
std::string nameOf(Display* display, Window window) {
    XTextProperty property;
    std::string result;
    if (XGetWMName(display, window, &property) && property.value) {
        result.assign(reinterpret_cast<const char*>(property.value), property.nitems);
        XFree(property.value);
    }
    return result;
}

// The top-level window (a child of the root: the window manager's frame)
// holding a window named `name`, and the client window itself; 0 when none.
struct Found {
    Window frame = 0, client = 0;
    int stackIndex = -1;  // among the root's children, bottom first
};

bool holds(Display* display, Window window, const std::string& name, Window& client) {
    if (nameOf(display, window) == name) {
        client = window;
        return true;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) found = holds(display, children[i], name, client);
    if (children) XFree(children);
    return found;
}

Found findTopLevel(Display* display, const std::string& name) {
    Found found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        Window client = 0;
        if (holds(display, children[i], name, client)) {
            found = Found{children[i], client, static_cast<int>(i)};
        }
    }
    if (children) XFree(children);
    return found;
}

// Whether the keyboard's focus is `window` or a window inside it.
bool hasFocus(Display* display, Window window) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    while (focus != 0 && focus != PointerRoot && focus != DefaultRootWindow(display)) {
        if (focus == window) return true;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        focus = parent;
    }
    return false;
}

bool hasWindowManager(Display* display) {
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                    &format, &count, &after, &data) == Success &&
                 type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

std::vector<std::string> windowState(Display* display, Window window) {
    std::vector<std::string> states;
    Atom property = XInternAtom(display, "_NET_WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 32, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        Atom* atoms = reinterpret_cast<Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* text = XGetAtomName(display, atoms[i]);
            if (text) states.emplace_back(text);
            if (text) XFree(text);
        }
    }
    if (data) XFree(data);
    return states;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& entry : list)
        if (entry == item) return true;
    return false;
}

// The screen's pixel at (x, y), as a screenshot shows it: 0xRRGGBB.
unsigned long screenPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

}  // namespace

// A display of the test's own at 1024 x 768 (the demo's fullscreen mode
// switch succeeds there) with openbox running on it, and a connection to it.
struct NoticeInFront : ::testing::Test {
    std::unique_ptr<HeadlessDisplay> screen;
    std::vector<std::string> onScreen;
    std::unique_ptr<Background> manager;
    std::unique_ptr<XConnection> connection;
    Display* display = nullptr;

    void SetUp() override {
        for (const char* program : {"Xvfb", "openbox", "xdotool"})
            if (!onPath(program)) GTEST_SKIP() << program << " is not installed (scripts/deps installs it)";
        screen = std::make_unique<HeadlessDisplay>(1024, 768);
        ASSERT_FALSE(screen->name.empty()) << "Xvfb did not start";
        onScreen = {"DISPLAY=" + screen->name};
        manager = std::make_unique<Background>(std::vector<std::string>{"openbox"}, onScreen);
        connection = std::make_unique<XConnection>(screen->name);
        display = connection->display;
        ASSERT_NE(display, nullptr);
        ASSERT_TRUE(waitFor(20.0, [&] { return hasWindowManager(display); })) << "openbox did not start";
    }
};

TEST_F(NoticeInFront, AStartUpNoticeOverTheFullscreenWindowIsSeenAndReturnDismissesIt) {
    const std::vector<std::string> demo = demoCommand();
    ASSERT_TRUE(fs::exists(demo.back())) << demo.back();
    ASSERT_TRUE(fs::exists("data/cool.bmp")) << "run from the repository root";

    // Every data file but the tunnel's picture, whose absence the start-up
    // says in a box.
    ScratchDirectory scratch;
    fs::create_directory(scratch.path + "/data");
    for (const auto& file : fs::directory_iterator("data"))
        if (file.path().filename() != "cool.bmp")
            fs::create_symlink(fs::absolute(file.path()), scratch.path + "/data/" + file.path().filename().string());
    const std::string log = scratch.path + "/demo.log";
    std::vector<std::string> environment = onScreen;
    environment.push_back("SDL_AUDIODRIVER=dummy");
    environment.push_back("DEMO_NOTICE=");  // the program's own choice: a box, as a window manager runs
    Background program(demo, environment, log, scratch.path);

    Found box;
    ASSERT_TRUE(waitFor(60.0, [&] { return (box = findTopLevel(display, "Error")).frame != 0; }))
        << "no notice appeared; the demo's output is in " << log;
    const Found window = findTopLevel(display, "Kova's New GL Framework");
    ASSERT_NE(window.frame, 0u);
    EXPECT_TRUE(contains(windowState(display, window.client), "_NET_WM_STATE_FULLSCREEN"));
    // In front: stacked above the fullscreen window, and what the screen
    // shows in the middle of the box is the box (grey), not the black of
    // the window behind it.
    EXPECT_GT(box.stackIndex, window.stackIndex);
    XWindowAttributes frame;
    ASSERT_TRUE(XGetWindowAttributes(display, box.frame, &frame));
    // (A box is mapped before it is painted: a busy machine shows it a moment later.)
    EXPECT_TRUE(waitFor(5.0, [&] {
        return screenPixel(display, frame.x + frame.width / 2, frame.y + frame.height / 3) != 0;
    })) << "the screen is black where the box should be";

    // Return, to whatever has the keyboard: the box does. After a moment,
    // as a viewer reads it first.
    sleepSeconds(2.0);
    Background key({"xdotool", "key", "Return"}, onScreen);
    EXPECT_EQ(key.wait(10.0), 0);
    EXPECT_TRUE(waitFor(10.0, [&] { return findTopLevel(display, "Error").frame == 0; }))
        << "Return did not dismiss the notice";

    // The demo plays on: still fullscreen, not minimised, drawing its first
    // scene (the logo in the middle of the screen).
    EXPECT_TRUE(waitFor(10.0, [&] { return screenPixel(display, 512, 384) != 0; }))
        << "the screen stayed black after the notice";
    const std::vector<std::string> state = windowState(display, window.client);
    EXPECT_TRUE(contains(state, "_NET_WM_STATE_FULLSCREEN"));
    EXPECT_FALSE(contains(state, "_NET_WM_STATE_HIDDEN"));
    // And its keys are its own again (the window manager hands the focus
    // back, which under wine takes a moment): Escape ends it, even tapped
    // for a single millisecond (press and release between two frames).
    EXPECT_TRUE(waitFor(10.0, [&] { return hasFocus(display, window.client); }))
        << "the demo's window did not get the keyboard back";
    Background tap({"xdotool", "keydown", "Escape", "sleep", "0.001", "keyup", "Escape"}, onScreen);
    EXPECT_EQ(tap.wait(10.0), 0);
    EXPECT_EQ(program.wait(30.0), 0) << "the demo did not end on a tap of Escape; its output is in " << log;
}

// The notice said before any window is built (no data found anywhere) keeps
// the same rule as every other: where a window manager runs, it is a box,
// and Return dismisses it; the program then ends with status 1.
TEST_F(NoticeInFront, TheNoDataNoticeBeforeAnyWindowIsABoxWhereAWindowManagerRuns) {

    // A copy of the program with nothing installed beside it, started in an
    // empty folder.
    ScratchDirectory scratch;
    fs::create_directories(scratch.path + "/bin");
    fs::create_directories(scratch.path + "/elsewhere");
    fs::copy_file(builtProgram("demo"), scratch.path + "/bin/orbita");
    const std::string log = scratch.path + "/orbita.log";
    std::vector<std::string> environment = onScreen;
    environment.push_back("DEMO_NOTICE=");
    Background program({scratch.path + "/bin/orbita"}, environment, log, scratch.path + "/elsewhere");

    ASSERT_TRUE(waitFor(60.0, [&] { return findTopLevel(display, "Error").frame != 0; }))
        << "no notice box appeared; the program's output is in " << log;
    EXPECT_TRUE(program.running()) << "the program did not wait for the box";
    sleepSeconds(1.0);
    Background key({"xdotool", "key", "Return"}, onScreen);
    EXPECT_EQ(key.wait(10.0), 0);
    EXPECT_EQ(program.wait(30.0), 1) << "the program did not end after the box; its output is in " << log;
    EXPECT_TRUE(fs::is_empty(log)) << "the notice went to a box and nowhere else";
}
