// Running the project's own programs (demo-capture, demo-bench) and other
// commands from a test: where the build put them, and what they printed.
// The tests get the build folder from DEMO_BUILD_DIR (set by CTest); run by
// hand from the repository root, "build" is assumed.
#pragma once

#include <string>
#include <vector>

struct CommandResult {
    int status = -1;  // the exit status; -1 when the command did not exit normally
    std::string out;  // its standard output (stderr goes to the test's log)
};

// The path of a program in the build folder, e.g. "tools/capture/demo-capture".
std::string builtProgram(const std::string& relative);

// Runs `command` through the shell and waits for it.
CommandResult runCommand(const std::string& command);

// The demo as the tests that play it whole start it: build/demo, or, where
// DEMO_WINDOWS_EXE names an orbita.exe, that program under wine
// (scripts/test-windows runs those tests so, with the Windows build).
// `fromAnywhere`: under wine, as a double click or a shortcut starts it
// (`wine start /wait /unix`), so that it finds its data beside itself.
std::vector<std::string> demoCommand(bool fromAnywhere = false);
bool demoUnderWine();
