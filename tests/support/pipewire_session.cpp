#include "support/pipewire_session.h"

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string contents(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

PipeWireSession::PipeWireSession() {
    char pattern[] = "/tmp/demo-pipewire-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder = pattern;
    environment = {"XDG_RUNTIME_DIR=" + folder,
                   "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus",
                   "PULSE_SERVER=unix:" + folder + "/pulse/native",
                   // wireplumber keeps what it learns (the default sink)
                   // here, not in the machine's own home.
                   "XDG_CONFIG_HOME=" + folder + "/config", "XDG_STATE_HOME=" + folder + "/state"};
    bus = std::make_unique<Background>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--address=unix:path=" + folder + "/bus"},
        environment, folder + "/dbus.log");
    if (!waitFor(10.0, [&] { return std::filesystem::exists(folder + "/bus"); })) return;
    ok = startServers();
}

PipeWireSession::~PipeWireSession() {
    stopServers();
    if (bus) bus->stop(SIGTERM, 5.0);
    bus.reset();
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

bool PipeWireSession::restart() {
    stopServers();
    ok = startServers();
    return ok;
}

bool PipeWireSession::startServers() {
    // The servers keep no display: DISPLAY= removes it.
    std::vector<std::string> servers = environment;
    servers.push_back("DISPLAY=");
    daemon = std::make_unique<Background>(std::vector<std::string>{"pipewire"}, servers, folder + "/pipewire.log");
    if (!waitFor(10.0, [&] { return std::filesystem::exists(folder + "/pipewire-0"); })) return false;
    Background sink({"pw-cli", "create-node", "adapter",
                     "{ factory.name = support.null-audio-sink node.name = rec media.class = Audio/Sink "
                     "object.linger = true audio.position = [ FL FR ] audio.rate = 44100 }"},
                    servers, folder + "/pw-cli.log");
    if (sink.wait(10.0) != 0) return false;
    sessionManager =
        std::make_unique<Background>(std::vector<std::string>{"wireplumber"}, servers, folder + "/wireplumber.log");
    pulse = std::make_unique<Background>(std::vector<std::string>{"pipewire-pulse"}, servers,
                                         folder + "/pipewire-pulse.log");
    // Ready when pipewire-pulse answers and the session manager has made
    // the sink the default.
    const std::string answer = folder + "/default-sink";
    return waitFor(20.0, [&] {
        Background ask({"pactl", "get-default-sink"}, servers, answer);
        return ask.wait(5.0) == 0 && contents(answer).rfind("rec", 0) == 0;
    });
}

void PipeWireSession::stopServers() {
    for (std::unique_ptr<Background>* server : {&pulse, &sessionManager, &daemon}) {
        if (*server) (*server)->stop(SIGTERM, 5.0);
        server->reset();
    }
}
