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

}  // namespace

const char* usage() {
    return "usage: demo-bench [options]\n"
           "  Runs every scene of the demo at 1024 x 768 in a window under the real\n"
           "  frame loop and prints frame times per scene, launch to first frame,\n"
           "  the sound mixing cost next to libopenmpt's own, and peak memory.\n"
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
        if (name != "--frames" && name != "--launches" && name != "--json" && name != "--chdir") {
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
