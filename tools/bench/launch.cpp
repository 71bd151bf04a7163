// Launch to first frame, measured from outside: the bench starts itself as a
// fresh process (`--probe`), which runs the program's own pass loop and
// start-up in the bench's window and reports, on the monotonic clock shared
// by all processes, when main() began, when the start-up began (the window
// is built by then) and ended, and when the first SwapBuffers returned. The
// parent takes its own reading just before the spawn, so everything the
// system does to start a program (exec, loading the libraries, static
// initialisation) counts.
#include "tools/bench/bench.h"

#include "app/backends.h"

#include "app/frame.h"
#include "app/notice.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "app/window.h"
#include "demo/demo_state.h"

#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

extern char** environ;

namespace bench {
namespace {

constexpr double kProbeLimit = 60.0;  // seconds

struct ProbeStamps {
    double mainEntered = 0, startupBegun = 0, startupDone = 0, firstFrame = 0;
    double cpu = 0;  // the process's CPU seconds, all threads, at the first frame
};
ProbeStamps stamps;

// The start-up, stamped where it begins (the window is built) and ends.
int stampedInitialize(AppWindow* appWindow, KeyTable* keyTable) {
    stamps.startupBegun = monotonicSeconds();
    int made = initialize(appWindow, keyTable);
    stamps.startupDone = monotonicSeconds();
    return made;
}

// The second frame begins once the first has been presented: the stamp,
// then a quit that this very frame retrieves, so it draws nothing.
int framesBegun = 0;
void firstFrameOnly(AppWindow* appWindow, platform::FrameMoment moment) {
    if (moment != platform::FrameMoment::begin || ++framesBegun != 2) return;
    stamps.firstFrame = monotonicSeconds();
    stamps.cpu = processCpuSeconds();
    postQuit(appWindow);
}

// One probe; `extra` is added to its environment ("NAME=value", or empty).
bool runOneProbe(const std::string& self, const std::string& size, const std::string& extra, LaunchSample& sample,
                 std::string& error) {
    int channel[2];
    if (pipe(channel) != 0) {
        error = std::string("no pipe for the probe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    posix_spawn_file_actions_addclose(&actions, channel[1]);
    char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>("--probe"), const_cast<char*>("--size"),
                    const_cast<char*>(size.c_str()), nullptr};

    std::vector<char*> environment;
    for (char** entry = environ; *entry; ++entry) environment.push_back(*entry);
    if (!extra.empty()) environment.push_back(const_cast<char*>(extra.c_str()));
    environment.push_back(nullptr);

    pid_t child = 0;
    const double spawned = monotonicSeconds();
    int failed = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (failed != 0) {
        close(channel[0]);
        error = self + ": cannot be started (" + std::strerror(failed) + ")";
        return false;
    }
    // The probe ends right after its first frame; one that has not ended
    // after a minute is stuck and is stopped, so the bench never hangs.
    std::string output;
    char buffer[4096];
    bool stuck = false;
    for (;;) {
        int left = static_cast<int>((spawned + kProbeLimit - monotonicSeconds()) * 1000);
        pollfd ready{channel[0], POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, left) == 0) {
            stuck = true;
            kill(child, SIGKILL);
            break;
        }
        ssize_t got = read(channel[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (stuck) {
        error = "a probe drew no frame within " + std::to_string(static_cast<int>(kProbeLimit)) + " s and was stopped";
        return false;
    }

    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        ProbeStamps s;
        if (std::sscanf(line.c_str(), "bench-probe main %lf begun %lf done %lf first %lf cpu %lf", &s.mainEntered,
                        &s.startupBegun, &s.startupDone, &s.firstFrame, &s.cpu) == 5 &&
            s.firstFrame > 0) {
            sample.mainEntered = s.mainEntered - spawned;
            sample.startupBegun = s.startupBegun - spawned;
            sample.startupDone = s.startupDone - spawned;
            sample.firstFrame = s.firstFrame - spawned;
            sample.cpu = s.cpu;
            return true;
        }
    }
    error = "the probe drew no frame (exit status " +
            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
}

std::string selfPath(const char* fallback) {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return fallback;
    path[length] = '\0';
    return path;
}

}  // namespace

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

LaunchResult measureLaunches(const char* self, const Options& options) {
    LaunchResult result;
    if (options.launches == 0) return result;
    const std::string path = selfPath(self);
    const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);
    // The very first launch on a machine: Mesa's shader cache (on by
    // default, in ~/.cache) is empty, so every shader is compiled. A fresh
    // cache folder of its own stands for that without touching the user's.
    char cache[] = "/tmp/demo-bench-cache-XXXXXX";
    if (mkdtemp(cache)) {
        LaunchSample sample;
        if (runOneProbe(path, size, std::string("MESA_SHADER_CACHE_DIR=") + cache, sample, result.error))
            result.cold.push_back(sample);
        nftw(cache, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    for (int i = 0; i < options.launches && result.error.empty(); ++i) {
        LaunchSample sample;
        if (!runOneProbe(path, size, "", sample, result.error)) break;
        result.samples.push_back(sample);
    }
    return result;
}

int runProbe(const Options& options, double mainEntered) {
    stamps = ProbeStamps{};
    stamps.mainEntered = mainEntered;
    platform::Backends backends;
    backends.frameHook = firstFrameOnly;
    AppCallbacks callbacks = demoCallbacks();
    callbacks.initialize = stampedInitialize;

    int status = runBenchPass(callbacks, backends, options.width, options.height);
    if (stamps.firstFrame > 0)
        std::printf("bench-probe main %.9f begun %.9f done %.9f first %.9f cpu %.9f\n", stamps.mainEntered,
                    stamps.startupBegun, stamps.startupDone, stamps.firstFrame, stamps.cpu);
    std::fflush(stdout);
    return status;
}

}  // namespace bench
