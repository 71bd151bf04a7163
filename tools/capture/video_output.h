// The video output: every captured frame piped to ffmpeg as raw RGB, and at
// the end the whole mix laid under it, in one MP4 file (H.264 and AAC) that
// plays the demo with its sound in sync.
//
// Two ffmpeg runs: the first encodes the frames from its standard input
// into a temporary video file next to the result, as they come; the second,
// once the last frame is in and the mix is complete, muxes that video with
// the mix (written as a temporary wave file) into the result and the
// temporaries are removed. The mix is exactly frames x (rate / fps) long, so
// picture and sound end together; both start at 0.
//
// ffmpeg is not part of the build: it is looked up on PATH when the output
// is asked for, and its absence is said plainly before anything runs. The
// Windows build has no video output (findFfmpeg finds nothing there).
#pragma once

#include "tools/capture/frame_output.h"

#include <string>

namespace capture {

// The path of the ffmpeg program on PATH, "" when there is none.
std::string findFfmpeg();

// An output for `path` at `fps` frames per second through `ffmpeg`. Every
// frame must be given to it, in order, all of the same size.
FrameOutput videoOutput(const std::string& path, int fps, const std::string& ffmpeg);

}  // namespace capture
