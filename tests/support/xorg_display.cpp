#include "support/xorg_display.h"

#include "support/programs.h"

#include <signal.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// Xorg reports the number it took on descriptor 3 once it accepts clients:
// into `number`.
std::vector<std::string> xorgCommand(const std::string& number, const std::string& log) {
    const std::string config = std::filesystem::absolute("tests/support/xorg-dummy.conf").string();
    return {"sh", "-c", "exec Xorg \"$@\" 3>\"$0\"", number, "-displayfd", "3", "-config", config,
            "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts", "-logfile", log};
}

}  // namespace

XorgDisplay::XorgDisplay()
    : log(folder.path + "/xorg.log"),
      server(xorgCommand(folder.path + "/display", log), {}, folder.path + "/output") {
    std::string line;
    waitFor(20.0, [&] {
        std::ifstream file(folder.path + "/display");
        return (std::getline(file, line) && file.good()) || !server.running();
    });
    if (!line.empty() && server.running()) name = ":" + line;
}

XorgDisplay::~XorgDisplay() {
    if (server.running()) server.stop(SIGTERM, 5.0);
}

std::string outputMode(const std::string& display) {
    const CommandResult result = runCommand("DISPLAY=" + display + " xrandr --current 2>/dev/null");
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        // "DUMMY0 connected primary 1024x768+0+0 0mm x 0mm"
        if (line.find(" connected") == std::string::npos) continue;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            const std::size_t x = word.find('x'), plus = word.find('+');
            if (x != std::string::npos && plus != std::string::npos && x < plus && std::isdigit(word[0]))
                return word.substr(0, plus);
        }
    }
    return "";
}
