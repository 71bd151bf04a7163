#include "app/desktop_mode.h"

#if defined(__linux__)

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace platform {
namespace {

// ---- the conversation ----------------------------------------------------
// Each request is two bytes, an operation and a serial; "remember" and
// "restore" are answered with the serial and '1' (done) or '0' (could not).
// A waiter drops answers to older serials, which a wait that ran out of time
// may have left behind. The crash handler always uses serial 0.
constexpr char kRemember = 'S';
constexpr char kBack = 'B';
constexpr char kRestore = 'R';
constexpr int kAnswerWaitMs = 2000;
constexpr int kTerminalSignals[] = {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU};

struct Guard {
    volatile sig_atomic_t fd = -1;        // the program's end of the socket
    volatile sig_atomic_t switched = 0;   // the watchdog holds a mode
    int pid = -1;
    unsigned char serial = 0;
    bool toldUnkept = false;
};
Guard guard;
std::atomic<int> restoring{0};

// Async-signal-safe: the crash handler uses these too.
long millisecondsNow() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool sendRequest(int fd, char operation, unsigned char serial) {
    const unsigned char request[2] = {static_cast<unsigned char>(operation), serial};
    for (;;) {
        ssize_t sent = send(fd, request, sizeof request, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(sizeof request)) return true;
        if (sent < 0 && errno == EINTR) continue;
        return false;
    }
}

// 1 done, 0 could not, -1 no answer in time, -2 the watchdog is gone.
int awaitAnswer(int fd, unsigned char serial, int waitMs) {
    const long until = millisecondsNow() + waitMs;
    unsigned char answer[2];
    size_t have = 0;
    for (;;) {
        const long left = until - millisecondsNow();
        if (left <= 0) return -1;
        pollfd ready{fd, POLLIN, 0};
        int polled = poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0) return -1;
        if (polled < 0) return -2;
        ssize_t got = read(fd, answer + have, sizeof answer - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return -2;
        have += static_cast<size_t>(got);
        if (have < sizeof answer) continue;
        have = 0;
        if (answer[0] == serial) return answer[1] == '1' ? 1 : 0;
    }
}

// The watchdog is gone (it could not reach the display, or was killed):
// nothing holds the mode any more.
void dropGuard() {
    if (guard.fd >= 0) close(guard.fd);
    guard.fd = -1;
    guard.switched = 0;
    if (guard.pid > 0) waitpid(guard.pid, nullptr, WNOHANG);
}

// ---- the watchdog ----------------------------------------------------------

void closeInherited(int keep) {
    if (keep > 0 && close_range(0, static_cast<unsigned>(keep) - 1, 0) == 0 &&
        close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) == 0) {
        return;
    }
    // Kernels before 5.9: what /proc lists (the listing's own descriptor
    // closes with it).
    if (DIR* open = opendir("/proc/self/fd")) {
        const int listing = dirfd(open);
        while (dirent* entry = readdir(open)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9' && fd != keep && fd != listing) close(fd);
        }
        closedir(open);
        return;
    }
    for (int fd = 0; fd < 1024; ++fd)
        if (fd != keep) close(fd);
}

void answer(int fd, unsigned char serial, bool done) {
    const unsigned char reply[2] = {serial, static_cast<unsigned char>(done ? '1' : '0')};
    send(fd, reply, sizeof reply, MSG_NOSIGNAL);
}

// The watchdog is told of the program's death by a signal as well as by
// end-of-file: a child the program forked (SDL shows a message box from a
// fork) keeps the socket open after the program itself is gone.
constexpr int kProgramGone = SIGUSR1;
void onProgramGone(int) {}

// One request into `request`; false once the program is gone.
bool readRequest(int fd, pid_t program, const sigset_t& waiting, unsigned char (&request)[2]) {
    size_t have = 0;
    while (have < sizeof request) {
        if (getppid() != program) return false;
        pollfd ready{fd, POLLIN, 0};
        // The death signal is let in only while waiting here, so it cannot
        // slip in between the check above and the wait.
        if (ppoll(&ready, 1, nullptr, &waiting) < 0) continue;
        ssize_t got = read(fd, request + have, sizeof request - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        have += static_cast<size_t>(got);
    }
    return true;
}

// The watchdog's whole life; never returns to the program's code.
[[noreturn]] void watch(int fd, pid_t program, const ModeKeeper& keeper) {
    // The terminal's signals reach the whole process group; the watchdog
    // outlives them and ends with the program alone. (They were blocked
    // across the fork, so none can end it before this.)
    for (int ignored : kTerminalSignals) signal(ignored, SIG_IGN);
    for (int fatal : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGCHLD}) signal(fatal, SIG_DFL);
    signal(kProgramGone, onProgramGone);
    sigset_t waiting, gone;
    sigemptyset(&waiting);
    sigemptyset(&gone);
    sigaddset(&gone, kProgramGone);
    sigprocmask(SIG_SETMASK, &gone, nullptr);
    prctl(PR_SET_PDEATHSIG, kProgramGone, 0, 0, 0);
    prctl(PR_SET_NAME, "mode-watchdog", 0, 0, 0);
    // It must not hold the program's terminal, pipes or files: whoever waits
    // for end-of-file on the program's output would wait for it too.
    if (fd < 3) fd = fcntl(fd, F_DUPFD, 3);
    closeInherited(fd);
    for (int standard = 0; standard < 3; ++standard) open("/dev/null", standard == 0 ? O_RDONLY : O_WRONLY);

    bool holding = false;
    unsigned char request[2];
    while (readRequest(fd, program, waiting, request)) {
        switch (request[0]) {
            case kRemember:
                // A second switch without a "back" keeps the first mode:
                // that is the desktop's.
                if (!holding) holding = keeper.remember();
                answer(fd, request[1], holding);
                break;
            case kBack:
                if (holding) keeper.forget();
                holding = false;
                break;
            case kRestore: {
                const bool done = !holding || keeper.restore();
                if (holding) keeper.forget();
                holding = false;
                answer(fd, request[1], done);
                break;
            }
            default:
                break;
        }
    }
    if (holding) {
        keeper.restore();
        keeper.forget();
    }
    _exit(0);
}

// ---- signals ---------------------------------------------------------------

constexpr int kCrashSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction previousAction[NSIG];
// The crash handler runs here too: a stack overflow leaves none to run on.
alignas(16) char crashStack[64 * 1024];

void endAsTerminated(int) {
    const int saved = errno;
    kill(getpid(), SIGTERM);
    errno = saved;
}

void onCrash(int signalNumber, siginfo_t* info, void*) {
    const int saved = errno;
    const int fd = guard.fd;
    if (guard.switched && fd >= 0 && restoring.exchange(1) == 0) {
        if (sendRequest(fd, kRestore, 0)) awaitAnswer(fd, 0, kAnswerWaitMs);
        guard.switched = 0;
    }
    // Whatever was there before takes over: the default action (exit status
    // and core dump as they would have been), or a sanitizer's report.
    sigaction(signalNumber, &previousAction[signalNumber], nullptr);
    // A fault happens again as this returns to the instruction that made
    // it; a signal that was sent (kill, raise, abort) is sent again, and
    // arrives once this handler returns.
    if (!info || info->si_code <= 0) raise(signalNumber);
    errno = saved;
}

bool runsOnX11() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return !driver || !*driver || std::strstr(driver, "x11") != nullptr;
}

}  // namespace

bool guardDesktopMode() { return runsOnX11() && guardDesktopMode(xrandrModeKeeper()); }

bool guardDesktopMode(const ModeKeeper& keeper) {
    if (guard.fd >= 0) return true;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t program = getpid();
    sigset_t terminal, before;
    sigemptyset(&terminal);
    for (int blocked : kTerminalSignals) sigaddset(&terminal, blocked);
    sigprocmask(SIG_BLOCK, &terminal, &before);
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        watch(ends[1], program, keeper);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return false;
    }
    guard.fd = ends[0];
    guard.pid = pid;
    guard.switched = 0;
    return true;
}

int desktopGuardProcess() { return guard.fd >= 0 ? guard.pid : -1; }

bool endDesktopGuard(double seconds) {
    if (guard.fd >= 0) close(guard.fd);
    guard.fd = -1;
    guard.switched = 0;
    if (guard.pid <= 0) return true;
    const long until = millisecondsNow() + static_cast<long>(seconds * 1000);
    for (;;) {
        if (waitpid(guard.pid, nullptr, WNOHANG) != 0) break;
        if (millisecondsNow() >= until) return false;
        usleep(10000);
    }
    guard.pid = -1;
    return true;
}

bool desktopModeSwitching() {
    if (guard.fd < 0) return false;
    if (guard.switched) return true;
    guard.serial = static_cast<unsigned char>(guard.serial % 255 + 1);
    const int answered = sendRequest(guard.fd, kRemember, guard.serial)
                             ? awaitAnswer(guard.fd, guard.serial, kAnswerWaitMs)
                             : -2;
    // Late (a server slow to answer), it holds the mode once it has read it.
    if (answered == 1 || answered == -1) {
        guard.switched = 1;
        return true;
    }
    if (!guard.toldUnkept) {
        std::fprintf(stderr, "The desktop's display mode could not be read; should the demo not end "
                             "normally, the display may stay in the demo's mode.\n");
        guard.toldUnkept = true;
    }
    if (answered == -2) dropGuard();
    return false;
}

void desktopModeBack() {
    if (guard.fd < 0 || !guard.switched) return;
    guard.switched = 0;
    if (!sendRequest(guard.fd, kBack, 0)) dropGuard();
}

void handleEndingSignals() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = endAsTerminated;
    action.sa_flags = SA_RESTART;
    for (int ending : {SIGHUP, SIGQUIT}) {
        // Started to ignore it (nohup, a background job), it goes on doing so.
        struct sigaction inherited;
        if (sigaction(ending, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN)
            sigaction(ending, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);

    stack_t stack;
    std::memset(&stack, 0, sizeof stack);
    stack.ss_sp = crashStack;
    stack.ss_size = sizeof crashStack;
    sigaltstack(&stack, nullptr);
    action.sa_handler = nullptr;
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (int signalNumber : kCrashSignals) {
        struct sigaction previous;
        if (sigaction(signalNumber, &action, &previous) != 0) continue;
        // Installed twice, the handler would hand over to itself.
        if (previous.sa_sigaction != onCrash) previousAction[signalNumber] = previous;
    }
}

}  // namespace platform

#else  // not Linux: no X11 mode switch outlives the process

namespace platform {
bool guardDesktopMode() { return false; }
bool guardDesktopMode(const ModeKeeper&) { return false; }
int desktopGuardProcess() { return -1; }
bool endDesktopGuard(double) { return true; }
bool desktopModeSwitching() { return false; }
void desktopModeBack() {}
void handleEndingSignals() {}
}  // namespace platform

#endif
