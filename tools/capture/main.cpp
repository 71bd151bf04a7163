// demo-capture: the demo, offline and deterministic. See capture.h.
#include "app/data_folder.h"
#include "demo/data_files.h"
#include "tools/capture/capture.h"
#include "tools/capture/options.h"
#include "tools/capture/video_output.h"

#include <SDL_main.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// Output paths are taken from where the tool was started, before --chdir.
std::string fromStart(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path given = fs::u8path(path);
    if (path.empty() || given.is_absolute()) return path;
    std::error_code failure;
    const fs::path here = fs::current_path(failure);
    return failure ? path : (here / given).u8string();
}

}  // namespace

int main(int argc, char** argv) {
    capture::Options options;
    std::string error;
    if (!capture::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "demo-capture: %s\n%s", error.c_str(), capture::usage());
        return 2;
    }
    if (options.help) {
        std::fputs(capture::usage(), stdout);
        return 0;
    }
    options.outFolder = fromStart(options.outFolder);
    options.wavePath = fromStart(options.wavePath);
    options.videoPath = fromStart(options.videoPath);
    std::string ffmpeg;
    if (!options.videoPath.empty() && (ffmpeg = capture::findFfmpeg()).empty()) {
#ifdef _WIN32
        std::fprintf(stderr,
                     "demo-capture: --video is not offered on Windows; capture the frames (--out) and the mix\n"
                     "(--wav) and join them with ffmpeg.\n");
#else
        std::fprintf(stderr,
                     "demo-capture: --video needs ffmpeg, which is not installed (not on PATH).\n"
                     "Install it (Debian: sudo apt-get install ffmpeg) or run scripts/video, which does.\n");
#endif
        return 2;
    }
    // --chdir says where data/ is; without it, as the program: the working
    // folder's data/, else the data installed with the tool.
    std::string notice;
    if (!options.folder.empty()) {
        std::error_code failure;
        std::filesystem::current_path(std::filesystem::u8path(options.folder), failure);
        if (failure) {
            std::fprintf(stderr, "demo-capture: %s: cannot go there (%s)\n", options.folder.c_str(),
                         failure.message().c_str());
            return 2;
        }
    } else if (!platform::enterDataFolder("data", demoDataFiles(), platform::besideExecutable(DEMO_DATA_FROM_PROGRAM), notice)) {
        std::fprintf(stderr, "demo-capture: notice: %s\n", notice.c_str());
        return 1;
    }
    std::vector<capture::FrameOutput> outputs;
    if (!options.outFolder.empty()) outputs.push_back(capture::pngOutput(options.outFolder));
    if (!options.videoPath.empty()) outputs.push_back(capture::videoOutput(options.videoPath, options.fps, ffmpeg));
    return capture::run(options, std::move(outputs));
}
