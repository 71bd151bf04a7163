#include "support/servers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <time.h>

extern char** environ;

namespace {

// The test's environment with `changes` applied ("NAME=value", or "NAME="
// to remove NAME).
std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
    std::map<std::string, std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        entries[text.substr(0, text.find('='))] = text;
    }
    for (const std::string& change : changes) {
        const std::string name = change.substr(0, change.find('='));
        if (change.size() == name.size() + 1) entries.erase(name);
        else entries[name] = change;
    }
    std::vector<std::string> result;
    for (const auto& entry : entries) result.push_back(entry.second);
    return result;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::string& log, int passedFd, const std::string& folder = "") {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> entries = environmentWith(environment);
    std::vector<char*> envp;
    for (const std::string& entry : entries) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const char* output = log.empty() ? "/dev/null" : log.c_str();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (passedFd >= 0) posix_spawn_file_actions_adddup2(&actions, passedFd, 3);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

void sleepSeconds(double seconds) {
    timespec t;
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
    nanosleep(&t, nullptr);
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

Background::Background(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                       const std::string& log, const std::string& folder)
    : pid(spawn(arguments, environment, log, -1, folder)) {}

Background::~Background() {
    if (running()) stop(SIGKILL, 5.0);
}

bool Background::running() {
    if (pid <= 0) return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) return true;
    pid = -1;
    return false;
}

int Background::wait(double seconds) {
    if (pid <= 0) return -1;
    const double until = now() + seconds;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0) {
            pid = -1;
            return -1;
        }
        if (now() >= until) return -1;
        sleepSeconds(0.02);
    }
}

int Background::stop(int signal, double seconds) {
    if (pid <= 0) return -1;
    kill(pid, signal);
    int status = wait(seconds);
    if (pid > 0) {
        kill(pid, SIGKILL);
        wait(5.0);
    }
    return status;
}

HeadlessDisplay::HeadlessDisplay(int width, int height) {
    int channel[2];
    if (pipe(channel) != 0) return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server.pid = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, {}, "", channel[1]);
    close(channel[1]);
    std::string number;
    const double until = now() + 20.0;
    while (server.pid > 0 && now() < until) {
        pollfd ready{channel[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char c = 0;
        if (read(channel[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(channel[0]);
    if (!number.empty()) name = ":" + number;
}

SoundServer::SoundServer() {
    char pattern[] = "/tmp/demo-sound-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder = pattern;
    const std::string socket = folder + "/native";
    environment = {"XDG_RUNTIME_DIR=" + folder, "PULSE_SERVER=unix:" + socket};
    const std::string env = "XDG_RUNTIME_DIR='" + folder + "' PULSE_SERVER='unix:" + socket + "' ";
    const std::string start =
        env + "pulseaudio -D --exit-idle-time=-1 -n --log-target=file:'" + folder + "/log' " +
        "--load='module-null-sink sink_name=rec rate=44100' " +
        "--load='module-native-protocol-unix auth-anonymous=1 socket=" + socket + "' >/dev/null 2>&1";
    if (std::system(start.c_str()) != 0) return;
    const std::string ready = env + "pactl info >/dev/null 2>&1";
    if (!waitFor(10.0, [&] { return std::system(ready.c_str()) == 0; })) return;
    ok = std::system((env + "pactl set-default-sink rec >/dev/null 2>&1").c_str()) == 0;
}

SoundServer::~SoundServer() {
    if (folder.empty()) return;
    std::system(("XDG_RUNTIME_DIR='" + folder + "' pulseaudio --kill >/dev/null 2>&1").c_str());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

ScratchDirectory::ScratchDirectory() {
    char pattern[] = "/tmp/demo-test-XXXXXX";
    if (mkdtemp(pattern)) path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
