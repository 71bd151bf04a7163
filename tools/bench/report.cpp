// Statistics, the machine, and the two forms of the result: the table on
// stdout and the same figures as JSON.
#include "tools/bench/bench.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace bench {

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

SceneStats statsOf(const SceneResult& scene) {
    SceneStats stats;
    stats.name = scene.name;
    stats.frames = static_cast<int>(scene.frameMs.size());
    if (scene.frameMs.empty()) return stats;
    std::vector<double> sorted = scene.frameMs;
    std::sort(sorted.begin(), sorted.end());
    stats.medianMs = median(sorted);
    // Nearest rank: the frame time that 99 % of the frames do not exceed.
    std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(sorted.size())));
    stats.p99Ms = sorted[std::max<std::size_t>(rank, 1) - 1];
    stats.worstMs = sorted.back();
    double total = 0;
    for (double ms : sorted) total += ms;
    stats.fps = total > 0 ? 1000.0 * static_cast<double>(sorted.size()) / total : 0;
    stats.cpuMsPerFrame = scene.cpuMs / static_cast<double>(sorted.size());
    return stats;
}

Machine describeMachine(const SceneRun& run) {
    Machine machine;
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.compare(0, 10, "model name") != 0) continue;
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) machine.cpu = line.substr(line.find_first_not_of(" \t", colon + 1));
        break;
    }
    if (machine.cpu.empty()) machine.cpu = "(unknown)";
    machine.cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    machine.renderer = run.renderer;
    machine.glVersion = run.glVersion;
    return machine;
}

namespace {

long statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::char_traits<char>::length(name);
    while (std::getline(status, line))
        if (line.compare(0, length, name) == 0) return std::atol(line.c_str() + length);
    return 0;
}

}  // namespace

long peakMemoryKiB() { return statusField("VmHWM:"); }

long residentKiB() { return statusField("VmRSS:"); }

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(file >> one >> five >> fifteen)) return "";
    return one + " " + five + " " + fifteen;
}

namespace {

template <typename Field>
std::vector<double> launchFigures(const LaunchResult& launch, Field field) {
    std::vector<double> values;
    for (const LaunchSample& sample : launch.samples) values.push_back(sample.*field);
    return values;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string number(double value, int decimals = 3) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

void printTable(const Report& r) {
    std::printf("demo-bench: %d x %d window, %d frames a scene, unpaced (vertical sync off), sound through %s\n",
                r.width, r.height, r.framesPerScene, r.soundOutput.c_str());
    std::printf("machine: %s, %d cores; %s; OpenGL %s\n", r.machine.cpu.c_str(), r.machine.cores,
                r.machine.renderer.c_str(), r.machine.glVersion.c_str());
    std::printf("load average before %s, after %s\n\n", r.loadBefore.c_str(), r.loadAfter.c_str());
    std::printf("%-28s %7s %10s %8s %9s %7s %8s\n", "scene", "frames", "median ms", "p99 ms", "worst ms", "fps",
                "CPU ms");
    const SceneStats* slowest = nullptr;
    for (const SceneStats& s : r.scenes) {
        std::printf("%-28s %7d %10.2f %8.2f %9.2f %7.1f %8.2f\n", s.name.c_str(), s.frames, s.medianMs, s.p99Ms,
                    s.worstMs, s.fps, s.cpuMsPerFrame);
        if (!slowest || s.fps < slowest->fps) slowest = &s;
    }
    if (slowest) std::printf("slowest: %s, %.1f fps, p99 %.2f ms\n", slowest->name.c_str(), slowest->fps, slowest->p99Ms);
    std::printf("\n");

    if (!r.launch.samples.empty()) {
        const LaunchResult& l = r.launch;
        std::printf("launch to first frame: %.0f ms (median of %zu launches; main() at %.0f ms, start-up "
                    "%.0f-%.0f ms; %.0f ms of CPU)\n",
                    1000 * median(launchFigures(l, &LaunchSample::firstFrame)), l.samples.size(),
                    1000 * median(launchFigures(l, &LaunchSample::mainEntered)),
                    1000 * median(launchFigures(l, &LaunchSample::startupBegun)),
                    1000 * median(launchFigures(l, &LaunchSample::startupDone)),
                    1000 * median(launchFigures(l, &LaunchSample::cpu)));
    }
    if (!r.launch.cold.empty()) {
        const LaunchSample& c = r.launch.cold.front();
        std::printf("first launch, empty shader cache: %.0f ms (%.0f ms of CPU)\n", 1000 * c.firstFrame, 1000 * c.cpu);
    }
    if (!r.launch.error.empty()) std::printf("launch: %s\n", r.launch.error.c_str());
    if (r.mixing.error.empty()) {
        const MixingResult& m = r.mixing;
        std::printf("sound mixing: %.1f ms CPU for %.1f s of sound (%.2f ms/s); libopenmpt alone %.1f ms "
                    "for the %.1f s of module in it; ratio %.2f\n",
                    m.layerMs, m.soundSeconds, m.soundSeconds > 0 ? m.layerMs / m.soundSeconds : 0, m.openmptMs,
                    m.moduleSeconds, m.ratio);
    } else {
        std::printf("sound mixing: %s\n", r.mixing.error.c_str());
    }
    std::printf("peak memory (VmHWM): %ld KiB, less %ld KiB for the bench's own libopenmpt player: %ld KiB\n",
                r.peakKiB, r.comparisonPlayerKiB, r.peakKiB - r.comparisonPlayerKiB);
    std::fflush(stdout);
}

bool writeJson(const Report& r, const std::string& path, std::string& error) {
    std::ostringstream o;
    o << "{\n";
    o << "  \"machine\": {\"cpu\": " << jsonString(r.machine.cpu) << ", \"cores\": " << r.machine.cores
      << ", \"renderer\": " << jsonString(r.machine.renderer)
      << ", \"gl_version\": " << jsonString(r.machine.glVersion) << "},\n";
    o << "  \"width\": " << r.width << ",\n  \"height\": " << r.height << ",\n";
    o << "  \"frames_per_scene\": " << r.framesPerScene << ",\n";
    o << "  \"sound_output\": " << jsonString(r.soundOutput) << ",\n";
    o << "  \"load_average\": {\"before\": " << jsonString(r.loadBefore) << ", \"after\": " << jsonString(r.loadAfter)
      << "},\n";
    o << "  \"scenes\": [";
    for (std::size_t i = 0; i < r.scenes.size(); ++i) {
        const SceneStats& s = r.scenes[i];
        o << (i ? ",\n" : "\n") << "    {\"name\": " << jsonString(s.name) << ", \"frames\": " << s.frames
          << ", \"median_ms\": " << number(s.medianMs) << ", \"p99_ms\": " << number(s.p99Ms)
          << ", \"worst_ms\": " << number(s.worstMs) << ", \"fps\": " << number(s.fps, 2)
          << ", \"cpu_ms_per_frame\": " << number(s.cpuMsPerFrame) << "}";
    }
    o << "\n  ],\n";
    const LaunchResult& l = r.launch;
    o << "  \"launch\": {\"launches\": " << l.samples.size()
      << ", \"first_frame_ms\": " << (l.samples.empty() ? "null" : number(1000 * median(launchFigures(l, &LaunchSample::firstFrame))))
      << ", \"main_ms\": " << (l.samples.empty() ? "null" : number(1000 * median(launchFigures(l, &LaunchSample::mainEntered))))
      << ", \"startup_begun_ms\": " << (l.samples.empty() ? "null" : number(1000 * median(launchFigures(l, &LaunchSample::startupBegun))))
      << ", \"startup_done_ms\": " << (l.samples.empty() ? "null" : number(1000 * median(launchFigures(l, &LaunchSample::startupDone))))
      << ", \"cpu_ms\": " << (l.samples.empty() ? "null" : number(1000 * median(launchFigures(l, &LaunchSample::cpu))))
      << ", \"cold_first_frame_ms\": " << (l.cold.empty() ? "null" : number(1000 * l.cold.front().firstFrame))
      << ", \"cold_cpu_ms\": " << (l.cold.empty() ? "null" : number(1000 * l.cold.front().cpu))
      << ", \"error\": " << (l.error.empty() ? "null" : jsonString(l.error)) << "},\n";
    const MixingResult& m = r.mixing;
    o << "  \"mixing\": {\"sound_seconds\": " << number(m.soundSeconds) << ", \"layer_ms\": " << number(m.layerMs)
      << ", \"module_seconds\": " << number(m.moduleSeconds) << ", \"openmpt_ms\": " << number(m.openmptMs)
      << ", \"ratio\": " << number(m.ratio) << ", \"error\": " << (m.error.empty() ? "null" : jsonString(m.error))
      << "},\n";
    o << "  \"peak_memory_kib\": " << r.peakKiB << ",\n";
    o << "  \"comparison_player_kib\": " << r.comparisonPlayerKiB << ",\n";
    o << "  \"demo_peak_memory_kib\": " << r.peakKiB - r.comparisonPlayerKiB << "\n}\n";

    std::ofstream file(path, std::ios::binary);
    file << o.str();
    file.close();
    if (!file) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace bench
