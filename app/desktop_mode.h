// The desktop's display mode, kept safe while the demo has it switched, and
// the signals that end the program.
//
// A fullscreen window switches the display's real mode (on X11, SDL sets the
// XRandR CRTC and the screen size). SDL puts the desktop's mode back when the
// window goes, so every orderly end restores it; a process that dies without
// tearing down (a crash, SIGKILL, the out-of-memory killer) would leave the
// desktop at 1024 x 768. So:
//
// - A watchdog process is forked at start, while the process still has one
//   thread (before SDL starts any). It holds one end of a socket to the
//   program and does nothing until told. "switching" (just before the
//   fullscreen window is made) makes it read the display's mode and hold
//   it; "back" (the window is gone and SDL has put the mode back) makes it
//   forget it. When the program is gone, however it died (its end of the
//   socket reaches end-of-file, or the kernel's parent-death signal comes: a
//   fork of the program, as SDL's message box is, may still hold the
//   socket), it puts a mode it holds back, and then it ends. It closes every descriptor it inherited, ignores the
//   terminal's signals and never outlives the program by more than the
//   restore.
// - A crash (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) asks the watchdog to
//   restore at once and waits for its answer (bounded), then lets the signal
//   take the course it would have taken: the exit status and any core dump
//   stay the same. The handler makes only async-signal-safe calls.
// - SIGHUP (the terminal closed) and SIGQUIT end the program as SIGTERM does
//   (SDL turns that into a quit event: an orderly tear-down, status 0).
//   SIGPIPE is ignored: a reader of the program's output that goes away
//   (a pager closed) must not end it mid-switch; it plays on.
//
// Only an X11 display switches a real mode: on Wayland the compositor
// emulates it, and Windows restores a fullscreen mode itself when the
// process ends. Where the program does not run on X11 nothing is forked,
// and off Linux everything here is a no-op.
//
// The watchdog and its state belong to this module; the shell starts it,
// the window module reports the switch. Main thread only, but for the crash
// handler.
#pragma once

namespace platform {

// What the watchdog does with the display's mode (its own process runs
// these): the XRandR one for the program, a recorder in tests.
struct ModeKeeper {
    bool (*remember)();  // reads and holds the mode in force now
    bool (*restore)();   // puts the held mode back where it differs
    void (*forget)();    // lets the held mode go
};
// XRandR 1.2: every CRTC of every screen and the screen sizes, restored the
// way SDL switches (CRTCs off, screen size, CRTCs on).
const ModeKeeper& xrandrModeKeeper();

// Forks the watchdog with the XRandR keeper where the program will run on
// X11 (DISPLAY set, SDL_VIDEODRIVER unset or naming x11); nothing elsewhere.
// Call before SDL starts, once per process. False when none runs.
bool guardDesktopMode();
// The same with any keeper, wherever the program runs (tests).
bool guardDesktopMode(const ModeKeeper& keeper);
// The watchdog's process id; -1 when none runs.
int desktopGuardProcess();
// Closes the program's end as its death would, and waits up to `seconds`
// for the watchdog to end. True when it has ended (tests).
bool endDesktopGuard(double seconds);

// The display's mode is about to be switched: the watchdog reads it now
// (the call waits for that, bounded). False when nothing holds it.
bool desktopModeSwitching();
// The desktop's mode is back (or never left): the watchdog lets it go.
void desktopModeBack();

// SIGHUP and SIGQUIT as SIGTERM, SIGPIPE ignored, the crash handlers.
void handleEndingSignals();

}  // namespace platform
