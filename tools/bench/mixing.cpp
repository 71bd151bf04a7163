// The sound layer's cost next to libopenmpt's own, in CPU time of the main
// thread, so that other processes on the machine do not count.
//
// The layer's side is the run itself: the frame dispatcher updates the sound
// once a frame, through the layer the backends chose, and the bench's layer
// (benchSound) is the real one with every update timed. That is the whole
// per-frame sound work of the demo on the real output: rendering the
// module, mixing the waves in, clipping, queueing to SDL.
//
// libopenmpt's side is measured in the same run and under the same
// conditions (the rasteriser's threads busy on both cores, the caches
// shared): a second player of the same module, with the layer's settings,
// follows the demo's module between frames, from its start through the
// polyhedra scene and from order 39 through the lens scene, rendering
// stereo float up to 500 ms ahead of the time passed, as the layer does.
// Its time is kept out of the frame times. Making the player and moving it
// to order 39 are not counted; nor is the layer's own jump there.
#include "tools/bench/bench.h"

#include "app/backends.h"
#include "app/sound/sound.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

namespace bench {
namespace {

SoundUpdates updates;

void timedUpdate() {
    double start = threadCpuSeconds();
    sound::update();
    updates.cpuSeconds += threadCpuSeconds() - start;
    updates.calls++;
}

const char* const kModulePath = "data/orbita.s3m";
constexpr int kRate = 44100;
constexpr double kAhead = 0.5;  // the layer's buffer length (the demo sets 500 ms)
constexpr std::size_t kBlock = 1024;

std::ostream& nowhere() {
    static std::ostream stream(nullptr);
    return stream;
}

struct Shadow {
    std::unique_ptr<openmpt::module> player;
    std::vector<float> buffer;
    bool playing = false;
    double started = 0;          // monotonic seconds
    std::uint64_t rendered = 0;  // frames since started
    double cpuSeconds = 0;
    std::uint64_t totalFrames = 0;
    std::string error;
};

Shadow shadow;

}  // namespace

SoundUpdates soundUpdates() { return updates; }

sound::Operations benchSound() {
    sound::Operations operations = sound::layerOperations();
    operations.update = timedUpdate;
    return operations;
}

bool makeShadowPlayer(std::string& error) {
    std::ifstream file(kModulePath, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        error = std::string(kModulePath) + ": cannot be read";
        return false;
    }
    try {
        shadow.player = std::make_unique<openmpt::module>(bytes, nowhere());
        shadow.player->ctl_set_text("play.at_end", "stop");
        shadow.player->ctl_set_boolean("seek.sync_samples", true);
    } catch (const std::exception& failure) {
        error = std::string(kModulePath) + ": " + failure.what();
        return false;
    }
    shadow.buffer.assign(kBlock * 2, 0.0f);
    return true;
}

void startShadow(int order) {
    if (!shadow.player) return;
    try {
        shadow.player->set_position_order_row(order, 0);
    } catch (const std::exception& failure) {
        shadow.error = failure.what();
    }
    shadow.playing = true;
    shadow.started = monotonicSeconds();
    shadow.rendered = 0;
}

void stepShadow() {
    if (!shadow.playing) return;
    const auto due = static_cast<std::uint64_t>((monotonicSeconds() - shadow.started + kAhead) * kRate);
    const double start = threadCpuSeconds();
    while (shadow.rendered < due) {
        std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, due - shadow.rendered));
        std::size_t got = shadow.player->read_interleaved_stereo(kRate, count, shadow.buffer.data());
        if (got == 0) break;
        shadow.rendered += got;
    }
    shadow.cpuSeconds += threadCpuSeconds() - start;
}

bool musicTimes(const std::vector<std::pair<int, int>>& positions, std::vector<double>& seconds,
                std::string& error) {
    seconds.clear();
    if (!shadow.player) {
        error = "no module to time";
        return false;
    }
    try {
        for (const auto& [order, row] : positions)
            seconds.push_back(shadow.player->set_position_order_row(order, row));
    } catch (const std::exception& failure) {
        error = std::string(kModulePath) + ": " + failure.what();
        return false;
    }
    return true;
}

void stopShadow() {
    if (!shadow.playing) return;
    shadow.playing = false;
    shadow.totalFrames += shadow.rendered;
}

MixingResult measureMixing(const SceneRun& run, const SoundUpdates& layer) {
    MixingResult result;
    for (const SceneResult& scene : run.scenes)
        for (double ms : scene.frameMs) result.soundSeconds += ms / 1000.0;
    result.layerMs = layer.cpuSeconds * 1000.0;
    result.moduleSeconds = static_cast<double>(shadow.totalFrames) / kRate;
    result.openmptMs = shadow.cpuSeconds * 1000.0;
    if (!shadow.error.empty()) {
        result.error = shadow.error;
    } else if (layer.calls == 0 || shadow.totalFrames == 0) {
        result.error = "no sound was played";
    } else {
        result.ratio = result.openmptMs > 0 ? result.layerMs / result.openmptMs : 0;
    }
    return result;
}

}  // namespace bench
