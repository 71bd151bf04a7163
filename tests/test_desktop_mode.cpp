// The desktop's display mode comes back however the demo ends.
//
// DesktopWatchdog.*: the watchdog's side of it with a keeper that only
// records what it is asked to do (no server). DesktopMode.*: the demo itself,
// fullscreen on a real X server whose mode really switches (Xorg with the
// dummy driver, 1920 x 1080 switched to 1024 x 768), ended every way a
// viewer or the system ends it: the mode must come back. It takes well under
// 2 s (docs/ARCHITECTURE.md has the figures); the test allows 5 s, as a loaded
// machine can delay the watchdog and the server.
#include "app/desktop_mode.h"
#include "support/programs.h"
#include "support/servers.h"
#include "support/xorg_display.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// ---- a keeper that records ---------------------------------------------------
// The watchdog is a process of its own: it appends to a file.
char recordPath[512];

void record(const char* what) {
    const int fd = open(recordPath, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return;
    const ssize_t written = write(fd, what, std::strlen(what));
    (void)written;
    close(fd);
}
bool remember() {
    record("remember\n");
    return true;
}
// Slow on purpose: a crashing program that did not wait for the restore
// would be gone long before it is recorded.
bool restore() {
    usleep(300 * 1000);
    record("restore\n");
    return true;
}
void forget() { record("forget\n"); }
const platform::ModeKeeper kRecorder{remember, restore, forget};

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

volatile int* volatile nowhere = nullptr;
void writeThroughNull() { *nowhere = 1; }
void abortNow() { std::abort(); }

// An AddressSanitizer build keeps SIGSEGV to itself: its handler reports
// and exits with status 1, and ours never runs (the watchdog restores once
// the process is gone).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerOwnsSegv = true;
#else
constexpr bool kSanitizerOwnsSegv = false;
#endif

// Whether a wait status is the death `signal` would have brought.
bool diedOf(int status, int signal) {
    if (kSanitizerOwnsSegv && signal == SIGSEGV) return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// Switched under the watchdog with the crash handlers in place, then a crash.
void crashWhileSwitched(void (*crash)()) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (!platform::guardDesktopMode(kRecorder) || !platform::desktopModeSwitching()) _exit(3);
    platform::handleEndingSignals();
    crash();
}

}  // namespace

struct DesktopWatchdog : ::testing::Test {
    ScratchDirectory scratch;
    std::string recorded() { return fileText(recordPath); }
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        std::snprintf(recordPath, sizeof recordPath, "%s/record", scratch.path.c_str());
    }
    void TearDown() override { platform::endDesktopGuard(5.0); }
};

TEST_F(DesktopWatchdog, RestoresWhenTheProgramGoesWhileSwitchedAndOnlyThen) {
    ASSERT_TRUE(platform::guardDesktopMode(kRecorder));
    EXPECT_TRUE(platform::desktopModeSwitching());
    platform::desktopModeBack();
    EXPECT_TRUE(platform::endDesktopGuard(5.0)) << "the watchdog outlived the program";
    EXPECT_EQ(recorded(), "remember\nforget\n");

    ASSERT_TRUE(platform::guardDesktopMode(kRecorder));
    EXPECT_TRUE(platform::desktopModeSwitching());
    EXPECT_TRUE(platform::endDesktopGuard(5.0)) << "the watchdog outlived the program";
    EXPECT_EQ(recorded(), "remember\nforget\nremember\nrestore\nforget\n");
}

TEST_F(DesktopWatchdog, RestoresWhenTheProgramIsKilledThoughAForkOfItHoldsItsEnd) {
    // The program shows a message box, which SDL does from a fork that
    // holds every descriptor the program had, and is killed meanwhile.
    int told[2];
    ASSERT_EQ(pipe(told), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        if (!platform::guardDesktopMode(kRecorder) || !platform::desktopModeSwitching()) _exit(3);
        pid_t box = fork();
        if (box == 0) {
            pause();
            _exit(0);
        }
        const ssize_t written = write(told[1], &box, sizeof box);
        (void)written;
        pause();
        _exit(0);
    }
    close(told[1]);
    pid_t box = -1;
    ASSERT_EQ(read(told[0], &box, sizeof box), static_cast<ssize_t>(sizeof box));
    close(told[0]);
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    EXPECT_TRUE(waitFor(3.0, [&] { return recorded() == "remember\nrestore\nforget\n"; })) << recorded();
    kill(box, SIGKILL);
}

TEST_F(DesktopWatchdog, HoldsNoneOfTheProgramsDescriptorsAndOutlivesTheTerminalsSignals) {
    // As a test runner's pipe on the program's output: the runner waits for
    // end-of-file, which must not wait for the watchdog.
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_TRUE(platform::guardDesktopMode(kRecorder));
    const pid_t watchdog = platform::desktopGuardProcess();
    ASSERT_GT(watchdog, 0);
    close(output[1]);
    pollfd ready{output[0], POLLIN, 0};
    EXPECT_EQ(poll(&ready, 1, 5000), 1) << "the watchdog holds the output's other end";
    close(output[0]);

    for (int terminal : {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGTSTP}) kill(watchdog, terminal);
    sleepSeconds(0.3);
    EXPECT_EQ(waitpid(watchdog, nullptr, WNOHANG), 0) << "a signal to the process group ended the watchdog";
    EXPECT_TRUE(platform::endDesktopGuard(5.0)) << "the watchdog outlived the program";
}

TEST_F(DesktopWatchdog, ACrashRestoresBeforeTheProcessDiesOfIt) {
    EXPECT_EXIT(crashWhileSwitched(abortNow), [](int status) { return diedOf(status, SIGABRT); }, "");
    EXPECT_EQ(recorded(), "remember\nrestore\nforget\n");
    EXPECT_EXIT(crashWhileSwitched(writeThroughNull), [](int status) { return diedOf(status, SIGSEGV); }, "");
    const std::string twice = "remember\nrestore\nforget\nremember\nrestore\nforget\n";
    EXPECT_TRUE(waitFor(kSanitizerOwnsSegv ? 3.0 : 0.0, [&] { return recorded() == twice; })) << recorded();
}

// ---- on a real server -----------------------------------------------------------

namespace {

// The process `parent` started whose name is `name` (from /proc); -1 when none.
pid_t childNamed(pid_t parent, const std::string& name) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = fileText(entry.path().string() + "/stat");
        const std::size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        pid_t parentId = 0;
        rest >> state >> parentId;
        if (parentId == parent && stat.substr(open + 1, close - open - 1) == name)
            return static_cast<pid_t>(std::atoi(stat.c_str()));
    }
    return -1;
}

// Neither running nor waiting to be reaped.
bool ended(pid_t pid) {
    const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || stat.find(" Z ", close) == close + 1;
}

// The raw wait status of `program` (it is reaped); -1 when it did not end
// within `seconds`.
int waitStatus(Background& program, double seconds) {
    int status = -1;
    const bool done = waitFor(seconds, [&] { return waitpid(program.pid, &status, WNOHANG) == program.pid; });
    if (!done) return -1;
    program.pid = -1;
    return status;
}

std::string lastLines(const std::string& path) {
    const std::string text = fileText(path);
    return text.size() > 1500 ? text.substr(text.size() - 1500) : text;
}

}  // namespace

struct DesktopMode : ::testing::Test {
    static constexpr double kBackWithin = 5.0;  // seconds
    std::unique_ptr<XorgDisplay> screen;
    std::string demo;
    ScratchDirectory scratch;

    void SetUp() override {
        for (const char* program : {"Xorg", "xrandr", "xdotool"})
            if (!onPath(program)) GTEST_SKIP() << program << " is not installed (scripts/deps installs it)";
        demo = fs::absolute(builtProgram("demo")).string();
        ASSERT_TRUE(fs::exists(demo)) << demo;
        ASSERT_TRUE(fs::exists("data")) << "run from the repository root";
        // A crash's core dump would only slow the test down.
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        screen = std::make_unique<XorgDisplay>();
        ASSERT_FALSE(screen->name.empty()) << "Xorg did not start:\n" << lastLines(screen->log);
        ASSERT_EQ(outputMode(screen->name), "1920x1080");
    }

    // Plays the demo until the mode has switched, ends it by `wayOut`, checks
    // the mode is back and the watchdog gone, and returns the raw wait
    // status (-1 when it did not end).
    int playAndEnd(const std::string& way, const std::function<void(pid_t)>& wayOut) {
        SCOPED_TRACE(way);
        const std::string log = scratch.path + "/demo.log";
        Background program({demo}, {"DISPLAY=" + screen->name, "SDL_AUDIODRIVER=dummy", "DEMO_NOTICE=stderr"}, log);
        const bool switched =
            waitFor(60.0, [&] { return outputMode(screen->name) == "1024x768" || !program.running(); }) &&
            program.running();
        EXPECT_TRUE(switched) << "the mode did not switch; the demo said:\n" << lastLines(log);
        if (!switched) return -1;
        const pid_t watchdog = childNamed(program.pid, "mode-watchdog");
        EXPECT_GT(watchdog, 0) << "no watchdog";

        wayOut(program.pid);
        EXPECT_TRUE(waitFor(kBackWithin, [&] { return outputMode(screen->name) == "1920x1080"; }))
            << "the desktop is at " << outputMode(screen->name) << " " << kBackWithin
            << " s later; the demo said:\n" << lastLines(log);
        const int status = waitStatus(program, 20.0);
        EXPECT_NE(status, -1) << "the demo did not end";
        if (watchdog > 0) {
            EXPECT_TRUE(waitFor(kBackWithin, [&] { return ended(watchdog); })) << "the watchdog outlived the demo";
        }
        return status;
    }

    // Held, not tapped: the start-up may still be loading, and a tap that
    // comes and goes before the first frame is not seen.
    void key(const char* action, const char* name) {
        EXPECT_EQ(runCommand("DISPLAY=" + screen->name + " xdotool " + action + " " + name).status, 0);
    }
};

TEST_F(DesktopMode, ComesBackAfterEveryOrderlyEnd) {
    int status = playAndEnd("Escape", [&](pid_t) { key("keydown", "Escape"); });
    key("keyup", "Escape");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    // The terminal closed, the quit key, a polite kill: all end as SIGTERM does.
    for (int ending : {SIGTERM, SIGHUP, SIGQUIT}) {
        status = playAndEnd(strsignal(ending), [&](pid_t pid) { kill(pid, ending); });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << strsignal(ending) << ": status " << status;
    }
}

TEST_F(DesktopMode, ComesBackAfterEveryDeathWhichStaysWhatItWas) {
    for (int death : {SIGSEGV, SIGABRT, SIGKILL}) {
        const int status = playAndEnd(strsignal(death), [&](pid_t pid) { kill(pid, death); });
        EXPECT_TRUE(diedOf(status, death)) << strsignal(death) << ": status " << status;
    }
}
