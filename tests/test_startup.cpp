// The start-up on a real window: its order (seen through a recording sound
// layer and what each step leaves behind), the release of the previous
// pass's sound, and the sound files it cannot play, through the pass loop.
#include "app/clock.h"
#include "app/notice.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"
#include "demo/sequencer.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

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
                    (demo.appWindow ? " (after the stores)" : ""));
    return openable(path, 11);
}
sound::Channel recordCreateStream(const char* path) {
    calls.push_back(std::string("createStream ") + path);
    return openable(path, std::string(path) == "data/1.wav" ? 22 : 33);
}
void recordPrebuffer(sound::Channel channel) {
    // Prebuffering comes last: everything else is made by then.
    bool madeBefore = demo.lensSceneTextures[4] != 0 && counterFrequency != 0 &&
                      demo.glActiveTextureARB != nullptr;
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

const SoundCalls recordingSound = {recordInit,       recordUpdatePeriod, recordBufferLength,
                                   recordLoadModule, recordCreateStream, recordPrebuffer,
                                   ignorePlay,       ignorePlayStream,   ignorePlay,
                                   noPosition,       ignoreJump,         recordShutdown,
                                   fullLength,       initError,          notPlaying};

const std::vector<std::string> onePass = {
    "shutdown",
    "init window 44100",
    "updatePeriod 0",
    "bufferLength 200",
    "loadModule data/orbita.s3m",
    "createStream data/1.wav",
    "createStream data/2.wav",
    "prebuffer 11",
    "prebuffer 22",
    "prebuffer 33",
};

int sequencerFrames = 0;
int countFrame(AppWindow*, FrameReport* report) {
    report->elapsedMs = 0;
    sequencerFrames++;
    return 0;
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
        sequencerFrames = 0;
        soundCalls = recordingSound;
        sequencerFrame = countFrame;
    }
    void TearDown() override {
        soundCalls = soundLayerCalls();
        sequencerFrame = runFrame;
    }
};

}  // namespace

TEST_F(StartupTest, MakesEverythingInOrderAndStoresIt) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.appWindow = nullptr;
    demo.keyTable = nullptr;

    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(calls, onePass);
    EXPECT_EQ(demo.moduleHandle, 11u);
    EXPECT_EQ(demo.firstStream, 22u);
    EXPECT_EQ(demo.secondStream, 33u);
    EXPECT_EQ(demo.appWindow, &w.appWindow);
    EXPECT_EQ(demo.keyTable, &w.keyTable);

    // The six multitexture entry points, as the driver gives them (llvmpipe
    // has them all).
    EXPECT_NE(demo.glMultiTexCoord1fARB, nullptr);
    EXPECT_NE(demo.glMultiTexCoord2fARB, nullptr);
    EXPECT_NE(demo.glMultiTexCoord3fARB, nullptr);
    EXPECT_NE(demo.glMultiTexCoord4fARB, nullptr);
    EXPECT_NE(demo.glActiveTextureARB, nullptr);
    EXPECT_NE(demo.glClientActiveTextureARB, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(demo.glActiveTextureARB),
              SDL_GL_GetProcAddress("glActiveTextureARB"));
    for (GLuint name : demo.lensSceneTextures) EXPECT_NE(name, 0u);
    EXPECT_TRUE(platform::recordedNotices().empty());
}

TEST_F(StartupTest, ARepeatedStartUpReleasesThePreviousPassesSoundFirst) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.appWindow = nullptr;
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    demo.appWindow = nullptr;
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
    windowStats = WindowStats{};
    int status = runPasses(&app.appClass, &app.appWindow, &app.keyTable);

    EXPECT_EQ(status, 1);
    EXPECT_EQ(sequencerFrames, 0);  // the timeline never started
    EXPECT_EQ(windowStats.teardowns, 1);
    EXPECT_EQ(keepRunning, 0);
    std::vector<std::string> expected = {
        "Cannot load data/orbita.s3m: not a playable S3M module\n"
        "Cannot load data/1.wav: No such file or directory\n"
        "Cannot load data/2.wav: it is a folder"};
    EXPECT_EQ(platform::recordedNotices(), expected);
    // Nothing after the loads ran.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "createStream data/2.wav");
}

TEST_F(StartupTest, ASoundDeviceThatWillNotOpenIsSaidOnceAndDoesNotStopTheDemo) {
    // The layer keeps the music's time without a device.
    TestWindow w;
    ASSERT_TRUE(w.ok);
    expectedWindow = w.appWindow.window;
    demo.appWindow = nullptr;
    initResult = 0;
    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(calls, onePass);
    const std::vector<std::string> said = {
        "The sound is off: the sound device cannot be opened (no such driver); the demo goes "
        "on without sound"};
    EXPECT_EQ(platform::recordedNotices(), said);
    // A fullscreen toggle's pass finds the same reason: no second box.
    demo.appWindow = nullptr;
    EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    EXPECT_EQ(platform::recordedNotices(), said);
}


// ---- with the real sound layer --------------------------------------------

namespace {

// Whether the sound layer opens an output here (SDL's dummy one in tests).
bool realSoundLayer() {
    bool ready = sound::init(nullptr, 44100) == 1;
    sound::shutdown();
    return ready;
}

}  // namespace

TEST_F(StartupTest, TheRealSoundLayerNamesBrokenFiles) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    if (!realSoundLayer()) GTEST_SKIP() << "no sound output here (SDL_AUDIODRIVER=dummy opens one)";
    soundCalls = soundLayerCalls();
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
    if (!realSoundLayer()) GTEST_SKIP() << "no sound output here (SDL_AUDIODRIVER=dummy opens one)";
    if (!fs::exists("data/orbita.s3m")) GTEST_SKIP() << "no data files here yet";
    soundCalls = soundLayerCalls();
    // Twice, as after a fullscreen toggle.
    for (int pass = 0; pass < 2; pass++) {
        EXPECT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
        EXPECT_NE(demo.moduleHandle, 0u);
        EXPECT_NE(demo.firstStream, 0u);
        EXPECT_NE(demo.secondStream, 0u);
    }
    sound::shutdown();
}

TEST_F(StartupTest, TheRealSoundLayerForgetsThePreviousPassesMusic) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    if (!realSoundLayer()) GTEST_SKIP() << "no sound output here (SDL_AUDIODRIVER=dummy opens one)";
    if (!fs::exists("data/orbita.s3m")) GTEST_SKIP() << "no data files here yet";
    soundCalls = soundLayerCalls();
    ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
    const sound::Channel previous = demo.moduleHandle;
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
    EXPECT_NE(demo.moduleHandle, previous);
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
    if (!realSoundLayer()) GTEST_SKIP() << "no sound output here (SDL_AUDIODRIVER=dummy opens one)";
    if (!fs::exists("data/orbita.s3m")) GTEST_SKIP() << "no data files here yet";
    TestWindow w;
    ASSERT_TRUE(w.ok);
    soundCalls = soundLayerCalls();
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    const int before = niceOf(self);
    for (int pass = 0; pass < 2; pass++) {
        ASSERT_EQ(initialize(&w.appWindow, &w.keyTable), 1);
        EXPECT_EQ(niceOf(self), before) << "pass " << pass;
        const std::vector<int> audio = threadNices("SDLAudio");
        EXPECT_FALSE(audio.empty()) << "SDL's audio thread was not found";
        for (int nice : audio) EXPECT_LE(nice, before) << "pass " << pass;
    }
    sound::shutdown();
}
