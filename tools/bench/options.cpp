#include "tools/bench/bench.h"

#include <cstdlib>

namespace bench {
namespace {

bool parseCount(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    long number = std::strtol(text.c_str(), nullptr, 10);
    if (number < low || number > high) return false;
    value = static_cast<int>(number);
    return true;
}

// "1920x1080": each side 16 to 8192.
bool parseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    return parseCount(text.substr(0, x), 16, 8192, width) && parseCount(text.substr(x + 1), 16, 8192, height);
}

}  // namespace

const char* usage() {
    return "usage: demo-bench [options]\n"
           "  Runs every scene of the demo in a window under the real frame loop,\n"
           "  as fast as it can (vertical sync off), and prints frame times per\n"
           "  scene, launch to first frame, the sound mixing cost next to\n"
           "  libopenmpt's own, and peak memory.\n"
           "  --size WxH        the window's drawable (default 1024x768)\n"
           "  --frames N        frames drawn per scene (default 300)\n"
           "  --launches N      launch-to-first-frame probes, fresh processes (default 5; 0: none)\n"
           "  --json FILE       also write the figures as JSON\n"
           "  --chdir DIR       run in DIR (where data/ is)\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--probe") {
            options.probe = true;
            continue;
        }
        if (name != "--frames" && name != "--launches" && name != "--json" && name != "--chdir" &&
            name != "--size") {
            error = "unknown option " + name;
            return false;
        }
        if (i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        bool ok = !value.empty();
        if (name == "--frames") ok = parseCount(value, 1, 1000000, options.frames);
        else if (name == "--launches") ok = parseCount(value, 0, 1000, options.launches);
        else if (name == "--size") ok = parseSize(value, options.width, options.height);
        else if (name == "--json") options.jsonPath = value;
        else options.folder = value;
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}

}  // namespace bench
