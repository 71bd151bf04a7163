// Where captured frames go. An output is a record of two functions, so that
// new ones (a pipe to ffmpeg, a checksum list) are added without touching
// the capture loop: make one, add it to the run's list.
//
// The capture loop owns the pixels; an output gets each chosen frame once,
// in order, and keeps nothing after write() returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace capture {

struct CapturedFrame {
    std::uint64_t number;       // from 0, the first frame drawn
    double seconds;             // number / fps: the virtual clock at that frame
    int width, height;
    const std::uint8_t* rgb;    // 3 bytes a pixel, rows top first, no padding
};

struct FrameOutput {
    std::string name;
    // false, with the reason in `error`, when the frame could not be written.
    std::function<bool(const CapturedFrame& frame, std::string& error)> write;
    // Called once after the last frame.
    std::function<bool(std::string& error)> finish;
};

// One PNG a frame, "frame_NNNNNN.png" in `folder` (made if missing).
FrameOutput pngOutput(const std::string& folder);

// Writes one frame as a PNG file.
bool writePng(const std::string& path, const CapturedFrame& frame, std::string& error);

}  // namespace capture
