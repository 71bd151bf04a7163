#include "support/weston.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include <fstream>
#include <iterator>

namespace {

const char* const kSocket = "wayland-demo-test";

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

WestonDesktop::WestonDesktop(int width, int height) {
    for (const char* program : {"Xvfb", "weston", "Xwayland"}) {
        if (!onPath(program)) {
            error = std::string(program) + " is not installed (scripts/deps installs it)";
            return;
        }
    }
    outer = std::make_unique<HeadlessDisplay>(width, height);
    if (outer->name.empty()) {
        error = "Xvfb did not start";
        return;
    }
    if (runtime.path.empty()) {
        error = "no runtime folder could be made";
        return;
    }
    const std::string log = runtime.path + "/weston.log";
    compositor = std::make_unique<Background>(
        std::vector<std::string>{"weston", "--backend=x11-backend.so", "--use-pixman",
                                 "--width=" + std::to_string(width), "--height=" + std::to_string(height),
                                 "--xwayland", std::string("--socket=") + kSocket, "--idle-time=0",
                                 "--log=" + log},
        std::vector<std::string>{"DISPLAY=" + outer->name, "XDG_RUNTIME_DIR=" + runtime.path,
                                 "WAYLAND_DISPLAY=", "WAYLAND_SOCKET="});
    // Ready once its socket is there and XWayland's display is announced.
    const std::string announced = "xserver listening on display ";
    const bool ready = waitFor(30.0, [&] {
        if (!compositor->running()) return true;
        const std::string text = readFile(log);
        const std::size_t at = text.find(announced);
        if (at == std::string::npos || access((runtime.path + "/" + kSocket).c_str(), F_OK) != 0) return false;
        const std::size_t begin = at + announced.size();
        xwayland = text.substr(begin, text.find_first_of("\r\n", begin) - begin);
        return true;
    });
    if (!ready || !compositor->running() || xwayland.empty()) {
        error = "weston did not start; its log:\n" + readFile(log);
        return;
    }
    // weston starts XWayland, and its window manager, only when a first X
    // client knocks; a client mapping its window before the window manager
    // is there is never shown. Knock, and wait for the manager.
    const int knock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%s", xwayland.c_str() + 1);
    const bool knocked =
        knock >= 0 && connect(knock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (!knocked || !waitFor(30.0, [&] { return readFile(log).find("created wm") != std::string::npos; })) {
        error = "XWayland's window manager did not start; weston's log:\n" + readFile(log);
    }
    if (knock >= 0) close(knock);
}

WestonDesktop::~WestonDesktop() {
    // weston takes its XWayland down with it; then its display may go.
    if (compositor) compositor->stop(SIGTERM, 10.0);
    compositor.reset();
    outer.reset();
}

std::string WestonDesktop::log() const { return readFile(runtime.path + "/weston.log"); }

std::vector<std::string> WestonDesktop::native() const {
    return {"SDL_VIDEODRIVER=wayland", "XDG_RUNTIME_DIR=" + runtime.path, std::string("WAYLAND_DISPLAY=") + kSocket,
            "DISPLAY="};
}

std::vector<std::string> WestonDesktop::throughXWayland() const {
    return {"SDL_VIDEODRIVER=x11", "XDG_RUNTIME_DIR=" + runtime.path, "DISPLAY=" + xwayland, "WAYLAND_DISPLAY="};
}
