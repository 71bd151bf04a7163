// A real X server whose mode really switches, for the tests of the
// desktop's display mode: Xorg with the dummy video driver on the first free
// display number, configured by tests/support/xorg-dummy.conf (a 1920 x 1080
// desktop that also offers 1024 x 768), logging to a file of its own, on
// the console's current VT without taking it over. Stopped by its PID when
// the record goes (SIGTERM, then SIGKILL). Xorg takes a configuration from
// anywhere only when run as root.
#pragma once

#include "support/servers.h"

#include <string>

struct XorgDisplay {
    ScratchDirectory folder;  // the display number Xorg reports, its log
    std::string log;
    std::string name;  // ":N", empty when it did not start
    Background server;
    XorgDisplay();
    ~XorgDisplay();
};

// The mode the display's connected output shows ("1920x1080"); empty when
// xrandr cannot tell.
std::string outputMode(const std::string& display);
