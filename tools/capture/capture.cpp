#include "tools/capture/capture.h"

#include "app/backends.h"
#include "app/clock.h"
#include "app/frame.h"
#include "app/gl.h"
#include "app/notice.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace capture {
namespace {

// Virtual clock units per frame: the clock counts fps * 1000 a second, so a
// frame is a whole number of units at any rate.
constexpr std::int64_t unitsPerFrame = 1000;

struct Run {
    const Options* options = nullptr;
    std::vector<FrameOutput> outputs;
    std::uint64_t frame = 0;  // number of the frame being drawn
    std::uint64_t limit = 0;
    bool sceneSeen = false;  // the first frame has been seen
    std::int32_t lastScene = 0;
    bool sceneOneNext = false;
    bool lastLens = false;
    bool lastBounce = true;
    std::vector<std::uint8_t> pixels, rows;
    std::string error;
    bool quitPosted = false;
};

Run* current = nullptr;

double secondsAt(const Run& run, std::uint64_t frame) {
    return static_cast<double>(frame) / run.options->fps;
}

// One timeline line: what changed, its new value, and where the music was.
void printEvent(const Run& run, const char* what, int value) {
    std::uint64_t module = sound::position(demo.startup.moduleHandle);
    std::printf("%s %d frame %llu time %.6f order %u row %u first %llu second %llu\n", what, value,
                static_cast<unsigned long long>(run.frame), secondsAt(run, run.frame),
                static_cast<unsigned>(module & 0xFFFF), static_cast<unsigned>((module >> 16) & 0xFFFF),
                static_cast<unsigned long long>(sound::position(demo.startup.firstStream)),
                static_cast<unsigned long long>(sound::position(demo.startup.secondStream)));
    std::fflush(stdout);
}

// The sequencer sets scenes 2 and -1 before the first frame they draw; the
// polyhedra scene sets 1 itself while drawing its own last frame, so scene 1
// begins at the frame after the one that shows the change. The lens and its
// bounce are switched by the sequencer between frames.
void noteTimeline(Run& run) {
    if (run.sceneOneNext) {
        printEvent(run, "scene", 1);
        run.sceneOneNext = false;
    }
    std::int32_t scene = demo.timeline.SceneState;
    if (!run.sceneSeen || scene != run.lastScene) {
        if (run.sceneSeen && run.lastScene == 0 && scene == 1) {
            run.sceneOneNext = true;
        } else {
            printEvent(run, "scene", scene);
        }
    }
    if (run.sceneSeen && demo.timeline.lensActive != run.lastLens) printEvent(run, "lens", demo.timeline.lensActive ? 1 : 0);
    if (run.sceneSeen && demo.timeline.lensBounce != run.lastBounce) printEvent(run, "bounce", demo.timeline.lensBounce ? 1 : 0);
    run.sceneSeen = true;
    run.lastScene = scene;
    run.lastLens = demo.timeline.lensActive;
    run.lastBounce = demo.timeline.lensBounce;
}

void fail(Run& run, AppWindow* appWindow, const std::string& error) {
    if (run.error.empty()) run.error = error;
    if (!run.quitPosted) postQuit(appWindow);
    run.quitPosted = true;
}

// Reads the back buffer (the frame just drawn, not yet presented) into rows
// top first. Leaves the pack and read-buffer state as it found it.
bool readFrame(Run& run, int width, int height) {
    GLint alignment = 4, rowLength = 0, readBuffer = GL_BACK, packBuffer = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (packBuffer) glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glReadBuffer(GL_BACK);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    run.pixels.resize(rowBytes * static_cast<std::size_t>(height));
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, run.pixels.data());
    bool ok = glGetError() == GL_NO_ERROR;
    glReadBuffer(static_cast<GLenum>(readBuffer));
    if (packBuffer) glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    run.rows.resize(run.pixels.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(run.pixels.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes, rowBytes,
                    run.rows.data() + static_cast<std::size_t>(y) * rowBytes);
    return ok;
}

void observeFrame(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::drawn) return;
    Run& run = *current;
    const Options& options = *run.options;
    noteTimeline(run);

    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(appWindow->window, &width, &height);
    if (width != options.width || height != options.height) {
        fail(run, appWindow,
             "the window is " + std::to_string(width) + " x " + std::to_string(height) + ", not " +
                 std::to_string(options.width) + " x " + std::to_string(options.height) +
                 " (resized by a window manager?)");
    } else if (!run.outputs.empty() && (frameWanted(options, run.frame) || !options.videoPath.empty())) {
        if (!readFrame(run, width, height)) {
            fail(run, appWindow, "the frame could not be read back");
        } else {
            CapturedFrame frame{run.frame, secondsAt(run, run.frame), width, height, run.rows.data()};
            for (FrameOutput& output : run.outputs) {
                // The video takes every frame; the others those asked for.
                if (output.name != "video" && !frameWanted(options, run.frame)) continue;
                std::string error;
                if (!output.write(frame, error)) fail(run, appWindow, error);
            }
        }
    }

    // One frame of time passes: for the clock now, for the sound at the
    // next update.
    const std::uint64_t rate = static_cast<std::uint64_t>(sound::outputRate());
    const std::uint64_t fps = static_cast<std::uint64_t>(options.fps);
    platform::advanceVirtualClock(unitsPerFrame);
    sound::consumeOffline((run.frame + 1) * rate / fps - run.frame * rate / fps);
    run.frame++;
    if (run.frame >= run.limit && !run.quitPosted) {
        postQuit(appWindow);
        run.quitPosted = true;
    }
}

void noticeToStderr(const char* text) { std::fprintf(stderr, "demo-capture: notice: %s\n", text); }

}  // namespace

int run(const Options& options, std::vector<FrameOutput> outputs) {
    Run state;
    state.options = &options;
    state.outputs = std::move(outputs);
    state.limit = frameLimit(options);
    current = &state;

    // The demo in a window of exactly the size asked for, never fullscreen,
    // on a virtual clock and the offline sink, as fast as it can go.
    AppDesc desc;
    desc.callbacks = demoCallbacks();
    desc.width = options.width;
    desc.height = options.height;
    desc.fullscreen = false;
    platform::Backends& backends = desc.backends;
    backends.clock.isVirtual = true;
    backends.clock.frequency = static_cast<std::int64_t>(options.fps) * unitsPerFrame;
    backends.notices = noticeToStderr;  // nobody is there to dismiss a message box
    backends.soundOutput = platform::SoundOutput::offline;
    backends.frameHook = observeFrame;
    backends.sizing = platform::WindowSizing::fixed;
    backends.pacedByDisplay = false;
    int status = runApp(desc);

    current = nullptr;
    // The last frame's sound was asked for and no update came to consume it:
    // the pass loop's shutdown of the sound layer did, so the mix lasts
    // exactly as long as the frames drawn.
    for (FrameOutput& output : state.outputs) {
        std::string error;
        if (output.finish && !output.finish(error) && state.error.empty()) state.error = error;
    }
    if (!options.wavePath.empty() && !sound::writeOfflineWave(options.wavePath.c_str()) &&
        state.error.empty())
        state.error = sound::lastError();
    std::printf("end frame %llu time %.6f\n", static_cast<unsigned long long>(state.frame),
                secondsAt(state, state.frame));
    std::fflush(stdout);
    if (!state.error.empty()) {
        std::fprintf(stderr, "demo-capture: %s\n", state.error.c_str());
        return 3;
    }
    return status;
}

}  // namespace capture
