// demo-bench: how fast the demo runs. Frame times per scene in the real
// window under the real frame loop, the time from launch to the first frame,
// the sound layer's mixing cost next to libopenmpt's own, and peak memory,
// as one table on stdout and, when asked, as JSON.
//
// How a scene is reached: the program's own pass loop builds the window,
// runs the start-up and plays the real timeline (runSequencer), on backends
// the bench chooses (scenes.cpp): a virtual clock that the bench moves so
// that every stretch of the timeline takes a fixed number of frames,
// sweeping the stretch's span of scene time as the demo would, and the real
// sound layer, playing through SDL's audio device (the dummy driver unless
// SDL_AUDIODRIVER says otherwise), with its updates timed and the music's
// positions the timeline waits for given by the bench at the end of each
// stretch. Frame times are wall-clock times.
//
// Files: main.cpp (options, modes), scenes.cpp (the timeline's stretches),
// launch.cpp (launch-to-first-frame probes in fresh processes), mixing.cpp
// (sound cost), report.cpp (statistics, machine, table, JSON).
// Everything runs on the main thread; the records below belong to the run.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct AppCallbacks;
namespace platform {
struct Backends;
}
namespace sound {
struct Operations;
}

namespace bench {

struct Options {
    int frames = 300;           // frames drawn per scene
    int launches = 5;           // launch probes (fresh processes)
    int width = 1024, height = 768;  // the window's drawable
    std::string jsonPath;       // empty: no JSON
    std::string folder;         // working folder (where data/ is)
    bool probe = false;         // internal: be one launch probe
    bool help = false;
};

bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usage();

// Seconds on the monotonic clock (the same across processes).
double monotonicSeconds();
// CPU seconds used by the calling thread.
double threadCpuSeconds();
// CPU seconds used by all threads of the process (the rasteriser's too).
double processCpuSeconds();

// ---- scenes ---------------------------------------------------------------

struct SceneResult {
    std::string name;
    std::vector<double> frameMs;  // wall time of each frame, in order
    double cpuMs = 0;             // CPU time of all the process's threads over those frames
};

struct SceneRun {
    std::vector<SceneResult> scenes;
    std::string renderer, glVersion;
    bool completed = false;         // every scene ran its frames
    std::string soundOutput;        // what the sound layer played through
    long comparisonPlayerKiB = 0;   // resident memory the bench's own libopenmpt player took
};

// The program's pass loop in a window of exactly width x height (never
// fullscreen or resized, frames unpaced, notices on stderr), on `backends`
// and with `callbacks`. Returns the program's exit status.
int runBenchPass(const AppCallbacks& callbacks, const platform::Backends& backends, int width, int height);

// Runs the demo's pass loop through every stretch of its timeline. Returns
// the program's exit status.
int runScenes(const Options& options, SceneRun& run);

// ---- launch ---------------------------------------------------------------

struct LaunchSample {
    double firstFrame = 0;  // s, spawn to the first SwapBuffers returning
    double mainEntered = 0; // s, spawn to main()
    double startupBegun = 0;  // s, spawn to the start-up (window built)
    double startupDone = 0;   // s, spawn to the end of the start-up
    double cpu = 0;           // s of CPU the probe had used by its first frame (all threads)
};

struct LaunchResult {
    std::vector<LaunchSample> samples;  // with the user's shader cache (warm after the first)
    std::vector<LaunchSample> cold;     // one, with an empty shader cache
    std::string error;  // why a probe gave nothing (empty: all fine)
};

// Launches `self` --probe: once with an empty shader cache, then
// options.launches times as the user would (none when that is 0).
LaunchResult measureLaunches(const char* self, const Options& options);
// The probe's side: runs the program up to its first frame and reports the
// stamps on stdout. `mainEntered` as for runScenes.
int runProbe(const Options& options, double mainEntered);

// ---- sound ------------------------------------------------------------------

// CPU time the frame loop's sound updates took, all of them since the
// process began: the bench's sound layer (benchSound) times every one.
struct SoundUpdates {
    double cpuSeconds = 0;
    long calls = 0;
};
SoundUpdates soundUpdates();
// The real sound layer with its update timed, to be changed further by the
// caller (the bench's positions).
sound::Operations benchSound();

// libopenmpt alone, following the demo's module between frames of the run:
// made once (false, with the reason, when the module cannot be read),
// started at an order, stepped after every frame, stopped with the module.
bool makeShadowPlayer(std::string& error);
void startShadow(int order);
void stepShadow();
void stopShadow();
// The time of each (order, row) of the module, in seconds from its start, as
// libopenmpt plays it; false (with the reason) when the module cannot say.
bool musicTimes(const std::vector<std::pair<int, int>>& positions, std::vector<double>& seconds,
                std::string& error);

struct MixingResult {
    double soundSeconds = 0;      // of sound the run played
    double layerMs = 0;           // CPU the sound layer's updates took in the run
    double moduleSeconds = 0;     // of the module libopenmpt rendered alongside
    double openmptMs = 0;         // CPU that took
    double ratio = 0;             // layerMs / openmptMs
    std::string error;
};

// The run's sound cost next to libopenmpt's for the same module.
MixingResult measureMixing(const SceneRun& run, const SoundUpdates& updates);

// ---- report -----------------------------------------------------------------

struct SceneStats {
    std::string name;
    int frames = 0;
    double medianMs = 0, p99Ms = 0, worstMs = 0, fps = 0;
    double cpuMsPerFrame = 0;  // all threads, mean
};

SceneStats statsOf(const SceneResult& scene);
double median(std::vector<double> values);

struct Machine {
    std::string cpu;
    int cores = 0;
    std::string renderer, glVersion;
};
Machine describeMachine(const SceneRun& run);
// Peak resident memory of this process in KiB (VmHWM), 0 when unknown.
long peakMemoryKiB();
// Resident memory of this process now (VmRSS) in KiB, 0 when unknown.
long residentKiB();
// The first three fields of /proc/loadavg ("" when unknown).
std::string loadAverage();

struct Report {
    Machine machine;
    int width = 1024, height = 768;
    int framesPerScene = 0;
    std::string soundOutput;
    std::vector<SceneStats> scenes;
    LaunchResult launch;
    MixingResult mixing;
    long peakKiB = 0;
    long comparisonPlayerKiB = 0;
    std::string loadBefore, loadAfter;  // /proc/loadavg around the run
};

void printTable(const Report& report);
bool writeJson(const Report& report, const std::string& path, std::string& error);

}  // namespace bench
