// demo-bench: frame times per scene, launch to first frame, mixing cost and
// peak memory. See bench.h.
#include "tools/bench/bench.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

double monotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double threadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double processCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace bench

int main(int argc, char** argv) {
    // Taken first, before anything else in the program has run.
    const double mainEntered = bench::monotonicSeconds();

    bench::Options options;
    std::string error;
    if (!bench::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "demo-bench: %s\n%s", error.c_str(), bench::usage());
        return 2;
    }
    if (options.help) {
        std::fputs(bench::usage(), stdout);
        return 0;
    }
    // The JSON file is named from where the bench was started.
    if (!options.jsonPath.empty() && options.jsonPath[0] != '/') {
        char here[4096];
        if (getcwd(here, sizeof here)) options.jsonPath = std::string(here) + "/" + options.jsonPath;
    }
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) {
        std::fprintf(stderr, "demo-bench: %s: cannot go there (%s)\n", options.folder.c_str(),
                     std::strerror(errno));
        return 2;
    }
    // The real sound layer on SDL's dummy driver, which consumes in real
    // time like a device: no sound card is needed and none is disturbed.
    // SDL_AUDIODRIVER, when set, picks another (a real device, say).
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (options.probe) return bench::runProbe(options, mainEntered);

    bench::Report report;
    // Launches first: nothing of this process's own run is in their way.
    report.launch = bench::measureLaunches(argv[0], options);

    bench::SceneRun run;
    report.loadBefore = bench::loadAverage();
    bench::SoundUpdates before = bench::soundUpdates();
    int status = bench::runScenes(options, run);
    bench::SoundUpdates after = bench::soundUpdates();
    report.loadAfter = bench::loadAverage();
    report.peakKiB = bench::peakMemoryKiB();
    report.machine = bench::describeMachine(run);
    report.framesPerScene = options.frames;
    report.width = options.width;
    report.height = options.height;
    report.soundOutput = run.soundOutput;
    report.comparisonPlayerKiB = run.comparisonPlayerKiB;
    for (const bench::SceneResult& scene : run.scenes) report.scenes.push_back(bench::statsOf(scene));
    if (status == 0 && run.completed) {
        bench::SoundUpdates layer{after.cpuSeconds - before.cpuSeconds, after.calls - before.calls};
        report.mixing = bench::measureMixing(run, layer);
    } else {
        report.mixing.error = "not measured: the scenes did not all run";
    }

    bench::printTable(report);
    if (!options.jsonPath.empty() && !bench::writeJson(report, options.jsonPath, error)) {
        std::fprintf(stderr, "demo-bench: %s\n", error.c_str());
        return 3;
    }
    if (status != 0) return status;
    if (!run.completed) return 3;
    return report.launch.error.empty() && report.mixing.error.empty() ? 0 : 3;
}
