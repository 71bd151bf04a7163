#include "support/programs.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

std::string builtProgram(const std::string& relative) {
    const char* build = std::getenv("DEMO_BUILD_DIR");
    return std::string(build ? build : "build") + "/" + relative;
}

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

bool demoUnderWine() {
    const char* exe = std::getenv("DEMO_WINDOWS_EXE");
    return exe && *exe;
}

std::vector<std::string> demoCommand(bool fromAnywhere) {
    if (!demoUnderWine()) return {std::filesystem::absolute(builtProgram("demo")).string()};
    const std::string exe = std::getenv("DEMO_WINDOWS_EXE");
    if (fromAnywhere) return {"wine", "start", "/wait", "/unix", exe};
    return {"wine", exe};
}
