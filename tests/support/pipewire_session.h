// A PipeWire session of a test's own, as a desktop runs one: a private
// session bus, the pipewire daemon, wireplumber and pipewire-pulse, all in a
// runtime folder of their own, with one null sink "rec" at 44.1 kHz, the
// default, whose monitor records what is played. The sink is made in the
// daemon, not through pipewire-pulse, so that it is there as soon as the
// daemon is. `environment` reaches the session: SDL's native driver through
// XDG_RUNTIME_DIR, PulseAudio clients (pactl, parec, SDL's pulseaudio
// driver) through PULSE_SERVER. Everything is stopped by its PID when the
// record goes; nothing touches the machine's own sound.
#pragma once

#include "support/servers.h"

#include <memory>
#include <string>
#include <vector>

struct PipeWireSession {
    std::string folder;                    // its runtime folder, logs in it
    std::vector<std::string> environment;  // what a client needs to reach it
    bool ok = false;
    PipeWireSession();
    ~PipeWireSession();
    PipeWireSession(const PipeWireSession&) = delete;
    PipeWireSession& operator=(const PipeWireSession&) = delete;
    // Stops the three servers and starts them again, as a desktop restarting
    // its sound does; true once the sink is the default again.
    bool restart();

  private:
    bool startServers();
    void stopServers();
    std::unique_ptr<Background> bus, daemon, sessionManager, pulse;
};
