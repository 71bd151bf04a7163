// The start-up on a real window: its order (seen through a recording sound
// layer and what each step leaves behind), the release of the previous
// pass's sound, and the sound files it cannot play, through the pass loop.
#include "app/clock.h"
#include "app/notice.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"
#include "support/servers.h"
#include "support/test_backends.h"
#include "support/test_window.h"
#include "scenes/scene_gl.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/lens/lens_scene.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> calls;
int initResult = 1;
bool loadsNeedFiles = false;
SDL_Window* expectedWindow = nullptr;

// A recording sound layer. Its loads succeed, or, when loadsNeedFiles,
// succeed exactly when the file can be read and is not empty, as a real
// loader's would for these tests' files.
int recordInit(SDL_Window* window, int frequency) {
    calls.push_back(std::string("init ") + (window == expectedWindow ? "window " : "other ") +
                    std::to_string(frequency));
    return initResult;
}
void recordUpdatePeriod(int ms) { calls.push_back("updatePeriod " + std::to_string(ms)); }
void recordBufferLength(int ms) { calls.push_back("bufferLength " + std::to_string(ms)); }

sound::Channel openable(const char* path, sound::Channel channel) {
    if (!loadsNeedFiles) return channel;
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) == 0) return 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    std::fclose(file);
    return channel;
}
sound::Channel recordLoadModule(const char* path) {
    // The window and key table are stored only after the three loads.
    calls.push_back(std::string("loadModule ") + path +
                    (demo.startup.appWindow ? " (after the stores)" : ""));
    return openable(path, 11);
}
sound::Channel recordCreateStream(const char* path) {
    calls.push_back(std::string("createStream ") + path);
    return openable(path, std::string(path) == "data/1.wav" ? 22 : 33);
}
void recordPrebuffer(sound::Channel channel) {
    // Prebuffering comes last: everything else is made by then.
    bool madeBefore = lensScene.lensSceneTextures[4] != 0 && counterFrequency != 0 &&
                      sceneGl.glActiveTextureARB != nullptr;
    calls.push_back("prebuffer " + std::to_string(channel) +
                    (madeBefore ? "" : " (before the set-up)"));
}
void recordShutdown() { calls.push_back("shutdown"); }
void ignorePlay(sound::Channel) {}
void ignorePlayStream(sound::Channel, bool) {}
std::uint64_t noPosition(sound::Channel) { return 0; }
void ignoreJump(sound::Channel, int) {}
// Long enough for the whole timeline.
std::uint64_t fullLength(sound::Channel) { return ~0ull; }
const char* initError() {
    return initResult ? "" : "the sound device cannot be opened (no such driver); the demo goes on without sound";
}
double notPlaying(sound::Channel) { return 0.0; }

void ignoreUpdate() {}

sound::Operations recordingOperations() {
    sound::Operations operations = sound::layerOperations();
    operations.init = recordInit;
    operations.setUpdatePeriod = recordUpdatePeriod;
    operations.setBufferLength = recordBufferLength;
    operations.loadModule = recordLoadModule;
    operations.createStream = recordCreateStream;
    operations.prebuffer = recordPrebuffer;
    operations.playModule = ignorePlay;
    operations.playStream = ignorePlayStream;
    operations.stop = ignorePlay;
    operations.position = noPosition;
    operations.setModuleOrder = ignoreJump;
    operations.update = ignoreUpdate;
    operations.shutdown = recordShutdown;
    operations.length = fullLength;
    operations.lastError = initError;
    operations.secondsUntilHeard = notPlaying;
    return operations;
}
const sound::Operations recordingSound = recordingOperations();

// The backends with the recording sound layer, or with the real one.
void useSound(const sound::Operations* operations) {
    platform::Backends backends = testBackends();
    backends.sound = operations;
    platform::useBackends(backends);
}

const std::vector<std::string> onePass = {
    "shutdown",
    "init window 44100",
    "updatePeriod 0",
    "bufferLength 500",
    "loadModule data/orbita.s3m",
    "createStream data/1.wav",
    "createStream data/2.wav",
    "prebuffer 11",
    "prebuffer 22",
    "prebuffer 33",
};

// The timeline in the demo's place: counts that it was started, and ends
// the program when asked to (as Escape or its end would).
int timelinesStarted = 0;
bool timelineQuits = false;
void countTimeline(AppWindow* appWindow) {
    timelinesStarted++;
    if (timelineQuits) postQuit(appWindow);
}

// Runs the test in a folder of its own whose data/ holds what the test
// writes there; back to the previous folder at the end.
struct ScratchFolder {
    fs::path previous = fs::current_path();
    fs::path root;
    ScratchFolder() {
        char name[] = "/tmp/startup-test-XXXXXX";
        root = mkdtemp(name);
        fs::create_directory(root / "data");
        fs::current_path(root);
    }
    ~ScratchFolder() {
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void write(const char* path, const std::string& bytes) {
        std::ofstream(root / path, std::ios::binary) << bytes;
    }
};

struct StartupTest : ::testing::Test {
    void SetUp() override {
        demo = DemoState{};
        calls.clear();
        initResult = 1;
        loadsNeedFiles = false;
        counterFrequency = 0;
        timelinesStarted = 0;
        timelineQuits = false;
        useSound(&recordingSound);
    }
    void TearDown() override {
        useSound(nullptr);
    }
};

}  // namespace

TEST_F(StartupTest, MakesEverythingInOrderAndStoresIt) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.startup.appWindow = nullptr;
    demo.startup.keyTable = nullptr;

    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(calls, onePass);
    EXPECT_EQ(demo.startup.moduleHandle, 11u);
    EXPECT_EQ(demo.startup.firstStream, 22u);
    EXPECT_EQ(demo.startup.secondStream, 33u);
    EXPECT_EQ(demo.startup.appWindow, &w.appWindow);
    EXPECT_EQ(demo.startup.keyTable, &w.keyTable);

    // The two multitexture entry points the scenes call, as the driver
    // gives them.
    EXPECT_NE(sceneGl.glMultiTexCoord2fARB, nullptr);
    EXPECT_NE(sceneGl.glActiveTextureARB, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(sceneGl.glActiveTextureARB),
              SDL_GL_GetProcAddress("glActiveTextureARB"));
    for (GLuint name : lensScene.lensSceneTextures) EXPECT_NE(name, 0u);
    EXPECT_TRUE(platform::recordedNotices().empty());
}

TEST_F(StartupTest, ARepeatedStartUpReleasesThePreviousPassesSoundFirst) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.startup.appWindow = nullptr;
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    demo.startup.appWindow = nullptr;
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    std::vector<std::string> twoPasses = onePass;
    twoPasses.insert(twoPasses.end(), onePass.begin(), onePass.end());
    EXPECT_EQ(calls, twoPasses);
}

TEST_F(StartupTest, SoundFilesItCannotPlayAreNamedAndTheProgramEndsWithStatusOne) {
    loadsNeedFiles = true;
    ScratchFolder folder;
    folder.write("data/orbita.s3m", "");        // empty: not a module
    fs::create_directory(folder.root / "data/2.wav");  // a folder
    // data/1.wav is missing.
    TestApp app;
    app.appWindow.fullscreen = 0;
    resetWindowStats();
    AppCallbacks callbacks = demoCallbacks();
    callbacks.runTimeline = countTimeline;
    int status = runPasses(callbacks, &app.appClass, &app.appWindow, &app.keyTable);

    EXPECT_EQ(status, 1);
    EXPECT_EQ(timelinesStarted, 0);
    EXPECT_EQ(windowStats().teardowns, 1);
    EXPECT_EQ(keepRunning(), 0);
    std::vector<std::string> expected = {
        "Cannot load data/orbita.s3m: not a playable S3M module\n"
        "Cannot load data/1.wav: No such file or directory\n"
        "Cannot load data/2.wav: it is a folder"};
    EXPECT_EQ(platform::recordedNotices(), expected);
    // Nothing after the loads ran but the pass loop's shutdown of the sound.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "createStream data/2.wav");
    EXPECT_EQ(calls.back(), "shutdown");
}

TEST_F(StartupTest, ASoundDeviceThatWillNotOpenIsSaidOnceAndDoesNotStopTheDemo) {
    // The layer keeps the music's time without a device.
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.startup.appWindow = nullptr;
    initResult = 0;
    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(calls, onePass);
    const std::vector<std::string> said = {
        "The sound is off: the sound device cannot be opened (no such driver); the demo goes "
        "on without sound"};
    EXPECT_EQ(platform::recordedNotices(), said);
    // A fullscreen toggle's pass finds the same reason: no second box.
    demo.startup.appWindow = nullptr;
    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(platform::recordedNotices(), said);
}


// ---- with the real sound layer --------------------------------------------

namespace {

// Whether the sound layer opens an output here (SDL's dummy one in tests).
// lastError() says why not.
bool realSoundLayer() {
    bool ready = sound::init(nullptr, 44100) == 1;
    const std::string why = sound::lastError();
    sound::shutdown();
    if (!ready) std::fprintf(stderr, "%s\n", why.c_str());
    return ready;
}

}  // namespace

TEST_F(StartupTest, TheRealSoundLayerNamesBrokenFiles) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    ASSERT_TRUE(realSoundLayer()) << "no sound output (the suite opens SDL's dummy driver): " << sound::lastError();
    useSound(nullptr);
    ScratchFolder folder;
    folder.write("data/orbita.s3m", std::string(300, 'x'));
    folder.write("data/1.wav", "RIFF....WAVEjunk");
    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 0);
    std::vector<std::string> expected = {
        "Cannot load data/orbita.s3m: not a playable S3M module\n"
        "Cannot load data/1.wav: not a playable WAV file\n"
        "Cannot load data/2.wav: No such file or directory"};
    EXPECT_EQ(platform::recordedNotices(), expected);
    sound::shutdown();
}

TEST_F(StartupTest, TheRealSoundLayerOpensTheDemosOwnFiles) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    ASSERT_TRUE(realSoundLayer()) << "no sound output (the suite opens SDL's dummy driver): " << sound::lastError();
    useSound(nullptr);
    // Twice, as after a fullscreen toggle.
    for (int pass = 0; pass < 2; pass++) {
        EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
        EXPECT_NE(demo.startup.moduleHandle, 0u);
        EXPECT_NE(demo.startup.firstStream, 0u);
        EXPECT_NE(demo.startup.secondStream, 0u);
    }
    sound::shutdown();
}

TEST_F(StartupTest, TheRealSoundLayerForgetsThePreviousPassesMusic) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    ASSERT_TRUE(realSoundLayer()) << "no sound output (the suite opens SDL's dummy driver): " << sound::lastError();
    useSound(nullptr);
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    const sound::Channel previous = demo.startup.moduleHandle;
    sound::playModule(previous);
    // SDL's dummy output plays in real time: wait until the module is heard
    // past its first row (a generous bound, not a timing check).
    for (int i = 0; i < 1000 && sound::position(previous) == 0; i++) {
        sound::update();
        SDL_Delay(10);
    }
    ASSERT_NE(sound::position(previous), 0u);

    // The toggle's new pass: the playing module of the last one is gone.
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_NE(demo.startup.moduleHandle, previous);
    sound::update();
    EXPECT_EQ(sound::position(previous), 0u);
    sound::shutdown();
}

namespace {

int niceOf(pid_t thread) {
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

// The nice values of this process's threads whose name begins with `prefix`.
std::vector<int> threadNices(const std::string& prefix) {
    std::vector<int> nices;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name.rfind(prefix, 0) == 0) nices.push_back(niceOf(std::stoi(task.path().filename())));
    }
    return nices;
}

}  // namespace

TEST_F(StartupTest, NoThreadIsLoweredSoTheSoundNeverStarves) {
    // The thread that mixes the sound keeps its priority on every pass, and
    // the sound device's thread, made by it on every pass, starts no lower.
    ASSERT_TRUE(realSoundLayer()) << "no sound output (the suite opens SDL's dummy driver): " << sound::lastError();
    TestWindow w;
    ASSERT_TRUE(w.ok);
    useSound(nullptr);
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    const int before = niceOf(self);
    for (int pass = 0; pass < 2; pass++) {
        ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
        EXPECT_EQ(niceOf(self), before) << "pass " << pass;
        // SDL's thread names itself once it runs, a moment after the open.
        std::vector<int> audio;
        waitFor(2.0, [&] { return !(audio = threadNices("SDLAudio")).empty(); });
        EXPECT_FALSE(audio.empty()) << "SDL's audio thread was not found";
        for (int nice : audio) EXPECT_LE(nice, before) << "pass " << pass;
    }
    sound::shutdown();
}

// ---- failures that end the program ----------------------------------------

namespace {

// A scratch folder whose data/ links every data file of the repository but
// those named.
struct DataWithout : ScratchFolder {
    explicit DataWithout(std::vector<std::string> missing) {
        for (const auto& file : fs::directory_iterator(previous / "data")) {
            const std::string name = file.path().filename();
            if (std::find(missing.begin(), missing.end(), name) == missing.end())
                fs::create_symlink(file.path(), root / "data" / name);
        }
    }
};

// How the window went, seen as it happened: hidden on its way out by the
// pass loop's tear-down (which has let go of its context by then), or by
// SDL_Quit destroying what is left.
std::vector<std::string> lastSteps;
const AppWindow* windowUnderTest = nullptr;
int watchTearDown(void*, SDL_Event* event) {
    if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_HIDDEN)
        lastSteps.push_back(windowUnderTest->glContext == nullptr ? "torn down" : "left to SDL_Quit");
    return 0;
}

// The whole program on the test backends, stdout into `out`.
int runProgram(std::string& out, void* (*lookup)(const char*) = nullptr) {
    platform::Backends backends = testBackends();
    backends.glLookup = lookup;
    platform::useBackends(backends);
    const std::string path = fs::current_path() / "stdout.txt";
    std::fflush(stdout);
    const int saved = dup(1);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    TestApp app;
    app.appWindow.fullscreen = 0;
    resetWindowStats();
    lastSteps.clear();
    windowUnderTest = &app.appWindow;
    AppCallbacks callbacks = demoCallbacks();
    callbacks.runTimeline = countTimeline;
    // The watch is added once SDL is up, at the window's build.
    callbacks.initialize = [](AppWindow* appWindow, KeyTable* keyTable) {
        SDL_AddEventWatch(watchTearDown, nullptr);
        return initialize(appWindow, keyTable);
    };
    const int status = runPasses(callbacks, &app.appClass, &app.appWindow, &app.keyTable);
    std::fflush(stdout);
    dup2(saved, 1);
    close(fd);
    close(saved);
    std::ifstream in(path);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
}

void* withoutActiveTexture(const char* name) {
    return std::strcmp(name, "glActiveTextureARB") == 0 ? nullptr : SDL_GL_GetProcAddress(name);
}

}  // namespace

// A start-up that cannot go on returns its failure to the pass loop, which
// tears the window down (restoring the display mode), then shuts SDL down,
// and only then does the program end, with status 1: its line on standard
// output and nothing after it.
TEST_F(StartupTest, AFatalStartUpTearsTheWindowDownThenShutsSdlDown) {
    useSound(nullptr);
    DataWithout folder({"distort.cg"});
    std::string out;
    EXPECT_EQ(runProgram(out), 1);
    EXPECT_NE(out.find("data/distort.cg: cannot open the file"), std::string::npos) << out;
    EXPECT_EQ(out.find("sys up time"), std::string::npos) << out;
    EXPECT_EQ(timelinesStarted, 0);
    EXPECT_EQ(windowStats().builds, 1);
    EXPECT_EQ(windowStats().teardowns, 1);
    EXPECT_EQ(lastSteps, std::vector<std::string>{"torn down"});
    EXPECT_TRUE(sound::channelsHeld().empty()) << "the sound layer is shut down on the way out";
    EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL is shut down at the end";
}

// A normal end (the timeline's, or Escape's) lets go of the sound layer too:
// its device, channels and decoded sound, before SDL is shut down.
TEST_F(StartupTest, ANormalEndShutsTheSoundLayerDown) {
    useSound(nullptr);
    DataWithout folder({});
    timelineQuits = true;
    std::string out;
    EXPECT_EQ(runProgram(out), 0);
    EXPECT_EQ(timelinesStarted, 1);
    EXPECT_TRUE(sound::channelsHeld().empty()) << "the sound layer is shut down on the way out";
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

// The lookup the backends choose is asked for the two entry points, and a
// driver without one of them ends the program the same way, with the
// scene's own line.
TEST_F(StartupTest, ADriverWithoutAMultitextureEntryPointEndsTheProgramWithStatusOne) {
    useSound(nullptr);
    DataWithout folder({});
    std::string out;
    EXPECT_EQ(runProgram(out, withoutActiveTexture), 1);
    EXPECT_NE(out.find("Multitexturing w\xE4re nicht so schlecht...\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("sys up time"), std::string::npos) << out;
    EXPECT_EQ(windowStats().teardowns, 1);
    EXPECT_EQ(lastSteps, std::vector<std::string>{"torn down"});
    EXPECT_EQ(SDL_WasInit(0), 0u);
}
