// The sound layer with the demo's own soundtrack (data/orbita.s3m,
// data/1.wav, data/2.wav), on the offline sink at 60 frames a second, as
// the sequencer will hear it.
#include "test_sound_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace soundtest;

namespace {

const char* const modulePath = "data/orbita.s3m";
const char* const firstWave = "data/1.wav";
const char* const secondWave = "data/2.wav";

std::vector<std::uint8_t> readBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SoundData, TheSoundtrackLoads) {
    OfflineSound output;
    sound::Channel module = sound::loadModule(modulePath);
    sound::Channel first = sound::createStream(firstWave);
    sound::Channel second = sound::createStream(secondWave);
    ASSERT_NE(module, 0u) << sound::lastError();
    ASSERT_NE(first, 0u) << sound::lastError();
    ASSERT_NE(second, 0u) << sound::lastError();
    // Orders 0 to 52; the waves reach the sequencer's limits.
    EXPECT_EQ(sound::length(module), 53u);
    EXPECT_GE(sound::length(first), 1140000u);
    EXPECT_GE(sound::length(second), 240000u);
}

// Frame by frame at 60 fps, from the start and after the jump to order 39:
// the row heard is libopenmpt's own row of that frame.
TEST(SoundData, ModuleRowsExactFromTheStartAndFromOrder39) {
    const std::vector<std::uint8_t> bytes = readBytes(modulePath);
    const int frames = 900;  // 15 s
    const std::vector<std::uint64_t> fromStart = referencePositions(bytes, frames * framesPerVideoFrame + 1);
    const std::vector<std::uint64_t> from39 = referencePositions(bytes, frames * framesPerVideoFrame + 1, 39);

    OfflineSound output;
    sound::Channel module = sound::loadModule(modulePath);
    ASSERT_NE(module, 0u);
    sound::prebuffer(module);
    sound::playModule(module);
    for (int frame = 1; frame <= frames; ++frame) {
        runUpdates(1);
        ASSERT_EQ(sound::position(module), fromStart[frame * framesPerVideoFrame]) << "frame " << frame;
    }
    sound::stop(module);
    runUpdates(5);
    sound::setModuleOrder(module, 39);
    sound::playModule(module);
    EXPECT_EQ(sound::position(module), orderRow(39, 0));
    for (int frame = 1; frame <= frames; ++frame) {
        runUpdates(1);
        ASSERT_EQ(sound::position(module), from39[frame * framesPerVideoFrame]) << "frame " << frame;
    }
}

// The wait of the zoom tunnel and of the closing stretch: the first wave
// passes 1,140,000 bytes (285,000 frames of 16-bit stereo) and the second
// its whole 240,000 at the first video frame that hears that far.
TEST(SoundData, WavesReachTheirLimitsAtTheFrameThatHearsThem) {
    OfflineSound output;
    sound::Channel first = sound::createStream(firstWave);
    sound::Channel second = sound::createStream(secondWave);
    ASSERT_TRUE(first && second);
    sound::playStream(first, true);
    int frame = 0;
    while (sound::position(first) < 1140000u && frame < 2000) {
        runUpdates(1);
        ++frame;
        ASSERT_EQ(sound::position(first), frame * framesPerVideoFrame * 4);
    }
    EXPECT_EQ(frame, (285000 + 734) / 735);

    sound::playStream(second, true);
    frame = 0;
    while (sound::position(second) < 240000u && frame < 2000) {
        runUpdates(1);
        ++frame;
    }
    EXPECT_EQ(frame, (60000 + 734) / 735);
    EXPECT_EQ(sound::position(second), 240000u);
}

// Where the lens scene begins, the module from order 39 sounds over the rest
// of the first wave (the sequencer does not stop it): the sum is clipped
// once, so its loudest moments stay within full scale without wrapping.
TEST(SoundData, ModuleOverTheFirstWaveStaysWithinFullScale) {
    OfflineSound output;
    sound::Channel module = sound::loadModule(modulePath);
    sound::Channel first = sound::createStream(firstWave);
    sound::playStream(first, true);
    runUpdates(388);
    const std::size_t from = recordedFrames();
    sound::setModuleOrder(module, 39);
    sound::playModule(module);
    runUpdates(180);
    const auto& recording = sound::offlineRecording();
    std::size_t atFullScale = 0;
    for (std::size_t i = 2 * from; i < recording.size(); ++i)
        if (recording[i] == 32767 || recording[i] == -32767) atFullScale++;
    // Held at full scale on a few samples at most, never folded over.
    EXPECT_LT(atFullScale, (recording.size() - 2 * from) / 1000);
}
