#include "tools/capture/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace capture {
namespace {

bool parseNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
    std::size_t x = text.find('x');
    std::uint64_t w = 0, h = 0;
    if (x == std::string::npos || !parseNumber(text.substr(0, x), w) ||
        !parseNumber(text.substr(x + 1), h))
        return false;
    if (w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// "12", "30-90", "1,5,10-20".
bool parseFrames(const std::string& text, std::vector<FrameRange>& ranges) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t dash = item.find('-');
        FrameRange range{0, 0};
        if (dash == std::string::npos) {
            if (!parseNumber(item, range.first)) return false;
            range.last = range.first;
        } else if (!parseNumber(item.substr(0, dash), range.first) ||
                   !parseNumber(item.substr(dash + 1), range.last) || range.last < range.first) {
            return false;
        }
        ranges.push_back(range);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

bool parseSeconds(const std::string& text, double& seconds) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    seconds = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && seconds > 0.0 && seconds < 1e6;
}

}  // namespace

const char* usage() {
    return "usage: demo-capture [options]\n"
           "  Plays the demo on a virtual clock, exactly one frame per frame, with\n"
           "  the sound mixed offline; prints where each scene began.\n"
           "  --size WxH        window and picture size (default 640x480)\n"
           "  --fps N           frames per second of the virtual clock (default 60)\n"
           "  --frames LIST     frames to write, numbered from 0: 12,30-90,...\n"
           "  --every N         also every N-th frame (1: all)\n"
           "  --out DIR         folder for the PNG pictures (frame_NNNNNN.png)\n"
           "  --wav FILE        the whole mix as a 16-bit stereo wave file\n"
           "  --video FILE      every frame and the mix as an MP4 video (needs ffmpeg)\n"
           "  --seconds S       stop after S seconds of the virtual clock\n"
           "  --max-frames N    stop after N frames\n"
           "  --chdir DIR       run in DIR (where data/ is)\n"
           "  Without a limit it stops where the demo ends, after the last frame\n"
           "  listed in --frames, or after ten minutes.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    double seconds = 0.0;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = name == "--size" || name == "--fps" || name == "--frames" || name == "--every" ||
                            name == "--out" || name == "--wav" || name == "--video" || name == "--seconds" ||
                            name == "--max-frames" || name == "--chdir"
                        ? name + " needs a value"
                        : "unknown option " + name;
            return false;
        }
        std::string value = argv[++i];
        std::uint64_t number = 0;
        bool ok = true;
        if (name == "--size") {
            ok = parseSize(value, options.width, options.height);
        } else if (name == "--fps") {
            ok = parseNumber(value, number) && number >= 1 && number <= 1000;
            options.fps = static_cast<int>(number);
        } else if (name == "--frames") {
            ok = parseFrames(value, options.frames);
        } else if (name == "--every") {
            ok = parseNumber(value, options.every) && options.every >= 1;
        } else if (name == "--out") {
            options.outFolder = value;
        } else if (name == "--wav") {
            options.wavePath = value;
        } else if (name == "--video") {
            options.videoPath = value;
        } else if (name == "--seconds") {
            ok = parseSeconds(value, seconds);
        } else if (name == "--max-frames") {
            ok = parseNumber(value, options.maxFrames) && options.maxFrames >= 1;
        } else if (name == "--chdir") {
            options.folder = value;
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok || value.empty()) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    if (seconds > 0.0) {
        auto frames = static_cast<std::uint64_t>(seconds * options.fps + 0.5);
        if (frames < 1) frames = 1;
        if (options.maxFrames == 0 || frames < options.maxFrames) options.maxFrames = frames;
    }
    if ((!options.frames.empty() || options.every) && options.outFolder.empty()) {
        error = "frames to write need --out DIR";
        return false;
    }
    return true;
}

bool frameWanted(const Options& options, std::uint64_t number) {
    if (options.every && number % options.every == 0) return true;
    for (const FrameRange& range : options.frames)
        if (number >= range.first && number <= range.last) return true;
    return false;
}

std::uint64_t frameLimit(const Options& options) {
    if (options.maxFrames) return options.maxFrames;
    if (!options.frames.empty() && !options.every) {
        std::uint64_t last = 0;
        for (const FrameRange& range : options.frames) last = range.last > last ? range.last : last;
        return last + 1;
    }
    return static_cast<std::uint64_t>(options.fps) * 600;
}

}  // namespace capture
