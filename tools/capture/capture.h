// demo-capture's run: the program's own pass loop, start-up and sequencer,
// on the virtual clock and the offline sound sink, in a window of a fixed
// size, never fullscreen.
//
// Time moves only from frame to frame: after each frame is drawn, the frame
// hook writes it where asked, moves the virtual clock on by exactly one
// frame and tells the sound sink to consume exactly one frame of sound at
// the next update. So frame n is drawn at n / fps seconds and hears the mix
// up to n / fps seconds; two captures of the same frames are identical.
//
// Every change of the timeline is printed on stdout as one line, with the
// module's order and row and both waves' byte positions heard at that frame:
//   scene S frame N time T order O row R first B1 second B2   (a scene begins)
//   lens L frame N ...      (the lens is switched on or off)
//   bounce B frame N ...    (the lens stops rebounding)
// and the run ends with "end frame N time T" (N frames were drawn).
#pragma once

#include "tools/capture/frame_output.h"
#include "tools/capture/options.h"

#include <vector>

namespace capture {

// Runs the demo once, as the options say; returns the exit status: the
// program's own, or 3 when the capture itself failed (a picture that could
// not be written, a window of the wrong size).
int run(const Options& options, std::vector<FrameOutput> outputs);

}  // namespace capture
