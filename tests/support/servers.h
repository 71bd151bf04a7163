// Servers a test starts for itself: a headless X server of a chosen size,
// a window manager on it, a PulseAudio server with a null sink, and programs
// run in the background beside them. Each is a record that stops what it
// started when it goes out of scope, so a failing test leaves nothing
// running. Nothing here touches the machine's own display or sound.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Whether `program` can be found on PATH.
bool onPath(const std::string& program);

// A program running in the background: started with `arguments` (the
// program first, looked up on PATH unless it holds a '/') and the
// environment of the test plus `environment` ("NAME=value"; "NAME=" with
// nothing after it removes NAME). Standard output and error go to `log`
// (or nowhere when empty); it runs in `folder` (empty: the test's own).
// Killed (SIGKILL) when still running at the end.
struct Background {
    pid_t pid = -1;
    Background() = default;
    Background(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
               const std::string& log = "", const std::string& folder = "");
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    ~Background();
    bool running();
    // Sends `signal` and waits up to `seconds` for the exit; the exit
    // status, or -1 when it did not exit normally in time.
    int stop(int signal, double seconds);
    // Waits up to `seconds` for the exit; as stop().
    int wait(double seconds);
};

// Xvfb on the first free display number, `width` x `height` x 24.
struct HeadlessDisplay {
    std::string name;  // ":N", empty when it did not start
    Background server;
    HeadlessDisplay(int width, int height);
};

// A PulseAudio server of the test's own, reached through its own socket:
// one null sink "rec" at 44.1 kHz, the default, whose monitor records what
// is played. `environment` is what a client needs to reach it.
struct SoundServer {
    std::string folder;                    // its runtime folder
    std::vector<std::string> environment;  // XDG_RUNTIME_DIR, PULSE_SERVER
    bool ok = false;
    SoundServer();
    ~SoundServer();
};

// A scratch folder under /tmp, removed with everything in it at the end.
struct ScratchDirectory {
    std::string path;
    ScratchDirectory();
    ~ScratchDirectory();
};

// Waits up to `seconds`, checking `done` every 50 ms.
template <typename Done>
bool waitFor(double seconds, Done done);

// ---- implementation of the template ------------------------------------------

void sleepSeconds(double seconds);

template <typename Done>
bool waitFor(double seconds, Done done) {
    for (double waited = 0; waited < seconds; waited += 0.05) {
        if (done()) return true;
        sleepSeconds(0.05);
    }
    return done();
}
