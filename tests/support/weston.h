// A Wayland desktop a test starts for itself: weston with XWayland, nested
// through its x11 backend in an Xvfb of its own (weston's headless backend
// has no seat, and SDL's Wayland driver will not start without one). The
// outer Xvfb shows what a user would see. weston runs with a runtime folder
// and socket of its own and is stopped by its PID, before its Xvfb, at the
// end of the scope.
#pragma once

#include "support/servers.h"

#include <memory>
#include <string>
#include <vector>

struct WestonDesktop {
    std::unique_ptr<HeadlessDisplay> outer;  // what weston draws into
    ScratchDirectory runtime;                // XDG_RUNTIME_DIR, weston.log in it
    std::unique_ptr<Background> compositor;
    std::string xwayland;  // XWayland's display, ":N"
    std::string error;     // why it is not ready; empty when it is

    WestonDesktop(int width, int height);
    ~WestonDesktop();
    // What a client needs to reach the desktop through SDL natively, or
    // through XWayland as an X client.
    std::vector<std::string> native() const;
    std::vector<std::string> throughXWayland() const;
    // weston's log so far, for a failure's message.
    std::string log() const;
};
