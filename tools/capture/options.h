// demo-capture's command line: what to capture, how big, how fast, where to.
//
// Frames are numbered from 0, the first frame drawn; frame n is drawn at
// n / fps seconds of the virtual clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

struct FrameRange {
    std::uint64_t first, last;  // inclusive
};

struct Options {
    int width = 640;
    int height = 480;
    int fps = 60;
    std::vector<FrameRange> frames;  // frames to write; empty and every == 0: none
    std::uint64_t every = 0;         // also every n-th frame (0: not)
    std::string outFolder;           // PNG folder; empty: no pictures
    std::string wavePath;            // the whole mix; empty: none
    std::string videoPath;           // MP4 of every frame with the mix; empty: none
    std::uint64_t maxFrames = 0;     // stop after this many frames (0: see below)
    std::string folder;              // working folder (where data/ is); empty: as started
    bool help = false;
};

// Parses argv; false with `error` set on anything it does not understand.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usage();

// Whether frame `number` is to be written.
bool frameWanted(const Options& options, std::uint64_t number);
// How many frames to draw at most: the limit given, else up to the last
// frame asked for when only a list was given, else ten minutes.
std::uint64_t frameLimit(const Options& options);

}  // namespace capture
