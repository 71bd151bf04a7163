// Shared by the sound tests: a scratch folder, the offline output opened for
// the length of a test, and the frame counts of the test module's rows.
#pragma once

#include "app/sound/sound.h"
#include "support/servers.h"
#include "support/test_backends.h"
#include "test_sound_files.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdlib>
#include <string>
#include <vector>

namespace soundtest {

constexpr int rate = 44100;
constexpr std::uint64_t framesPerVideoFrame = rate / 60;  // 735

// Frames per row of a test module at tempo 125 (the default): speed ticks
// of 20 ms.
inline std::uint64_t rowFrames(const testfiles::ModuleShape& shape) {
    return static_cast<std::uint64_t>(shape.speed) * (rate / 50);
}

inline std::uint64_t orderRow(std::uint64_t order, std::uint64_t row) { return order | (row << 16); }

// Position of the test module `frames` after it started at order `first`.
inline std::uint64_t expectedPosition(const testfiles::ModuleShape& shape, std::uint64_t frames,
                                      std::uint64_t first = 0) {
    std::uint64_t row = frames / rowFrames(shape);
    return orderRow(first + row / static_cast<std::uint64_t>(shape.rowsPerOrder),
                    row % static_cast<std::uint64_t>(shape.rowsPerOrder));
}

// The position of every frame of `frames`, by libopenmpt itself rendering one
// frame at a time from `order` (the row of a frame is known once it has been
// rendered).
inline std::vector<std::uint64_t> referencePositions(const std::vector<std::uint8_t>& bytes,
                                                     std::uint64_t frames, int order = 0) {
    static std::ostream quiet(nullptr);
    openmpt::module player(bytes, quiet);
    player.ctl_set_text("play.at_end", "stop");
    player.ctl_set_boolean("seek.sync_samples", true);
    if (order != 0) player.set_position_order_row(order, 0);
    std::vector<std::uint64_t> positions;
    positions.reserve(frames);
    float frame[2];
    for (std::uint64_t i = 0; i < frames; ++i) {
        if (player.read_interleaved_stereo(rate, 1, frame) == 0) break;
        positions.push_back(orderRow(static_cast<std::uint64_t>(player.get_current_order()),
                                     static_cast<std::uint64_t>(player.get_current_row())));
    }
    return positions;
}

// Writes `bytes` to `name` in a scratch folder of the process, removed when
// it ends; returns its path.
inline std::string scratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    static const ScratchDirectory folder;
    std::string path = folder.path + "/" + name;
    testfiles::writeFile(path, bytes);
    return path;
}

// The offline output, open for one scope.
struct OfflineSound {
    explicit OfflineSound(int bufferMs = 200) {
        platform::Backends offline = testBackends();
        offline.soundOutput = platform::SoundOutput::offline;
        platform::useBackends(offline);
        sound::init(nullptr, rate);
        sound::setUpdatePeriod(0);
        sound::setBufferLength(bufferMs);
    }
    ~OfflineSound() {
        sound::shutdown();
        platform::useBackends(testBackends());
    }
};

// `count` updates, each after `frames` were asked for.
inline void runUpdates(int count, std::uint64_t frames = framesPerVideoFrame) {
    for (int i = 0; i < count; ++i) {
        sound::consumeOffline(frames);
        sound::update();
    }
}

inline std::uint64_t recordedFrames() { return sound::offlineRecording().size() / 2; }

}  // namespace soundtest
