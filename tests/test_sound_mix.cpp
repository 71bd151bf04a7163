// The sound layer's mix on the offline sink: what it records, sample by
// sample, against the sources themselves.
#include "test_sound_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace soundtest;

namespace {

std::int16_t toPcm(float value) {
    return static_cast<std::int16_t>(std::lrint(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}

// libopenmpt's own render of `frames` frames from `order`, as 16-bit.
std::vector<std::int16_t> referenceRender(const std::vector<std::uint8_t>& bytes, std::size_t frames,
                                          int order = 0) {
    static std::ostream quiet(nullptr);
    openmpt::module player(bytes, quiet);
    player.ctl_set_text("play.at_end", "stop");
    player.ctl_set_boolean("seek.sync_samples", true);
    if (order != 0) player.set_position_order_row(order, 0);
    std::vector<float> samples(frames * 2, 0.0f);
    player.read_interleaved_stereo(rate, frames, samples.data());
    std::vector<std::int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), toPcm);
    return pcm;
}

// Largest difference between the recording from frame `at` on and `expected`.
int largestDifference(std::size_t at, const std::vector<std::int16_t>& expected) {
    const auto& recording = sound::offlineRecording();
    int largest = 0;
    for (std::size_t i = 0; i < expected.size() && 2 * at + i < recording.size(); ++i)
        largest = std::max(largest, std::abs(recording[2 * at + i] - expected[i]));
    return largest;
}

bool silentFrom(std::size_t from, std::size_t to) {
    const auto& recording = sound::offlineRecording();
    return std::all_of(recording.begin() + static_cast<std::ptrdiff_t>(2 * from),
                       recording.begin() + static_cast<std::ptrdiff_t>(2 * to),
                       [](std::int16_t s) { return s == 0; });
}

testfiles::WaveShape tone(double amplitude) {
    testfiles::WaveShape shape;
    shape.frames = 2 * rate;
    shape.amplitude = amplitude;
    shape.frequency = 441.0;
    return shape;
}

}  // namespace

// The chunks, probes and jumps leave no trace: the mix of a lone module is
// libopenmpt's own render, from its start and from a jump on.
TEST(SoundMix, LoneModuleIsLibopenmptsOwnRenderBeforeAndAfterAJump) {
    testfiles::ModuleShape shape;
    shape.delayedRow = 3;
    shape.delayRows = 1;
    const std::vector<std::uint8_t> bytes = testfiles::makeModule(shape);
    OfflineSound output;
    sound::Channel module = sound::loadModule(scratchFile("mix.s3m", bytes).c_str());
    sound::prebuffer(module);
    sound::playModule(module);
    runUpdates(300);
    const std::size_t jumpFrame = recordedFrames();
    sound::setModuleOrder(module, 39);
    runUpdates(300);

    EXPECT_LE(largestDifference(0, referenceRender(bytes, jumpFrame)), 1);
    EXPECT_LE(largestDifference(jumpFrame, referenceRender(bytes, 300 * framesPerVideoFrame, 39)), 1);
}

// Two loud tones and a third in opposite phase: summed in float they are one
// tone again, whatever order they are added in; clipping each sum on the way
// would leave flattened peaks behind.
TEST(SoundMix, ThreeChannelsSumInFloatAndClipOnce) {
    OfflineSound output;
    sound::Channel a = sound::createStream(scratchFile("a.wav", testfiles::makeWave(tone(0.7))).c_str());
    sound::Channel b = sound::createStream(scratchFile("b.wav", testfiles::makeWave(tone(0.7))).c_str());
    sound::Channel c = sound::createStream(scratchFile("c.wav", testfiles::makeWave(tone(-0.7))).c_str());
    sound::Channel single = sound::createStream(scratchFile("d.wav", testfiles::makeWave(tone(0.7))).c_str());
    ASSERT_TRUE(a && b && c && single);
    sound::playStream(a, true);
    sound::playStream(b, true);
    sound::playStream(c, true);
    runUpdates(60);
    const std::size_t firstPart = recordedFrames();
    std::vector<std::int16_t> expected(firstPart * 2);
    for (std::size_t i = 0; i < firstPart; ++i) {
        std::int16_t wave = static_cast<std::int16_t>(std::lround(32767.0 * 0.7 * std::sin(2 * M_PI * 441.0 * i / rate)));
        expected[2 * i] = expected[2 * i + 1] = wave;
    }
    EXPECT_LE(largestDifference(0, expected), 2);

    // Two in phase overshoot: held at full scale, never wrapped around.
    sound::stop(c);
    runUpdates(60);
    const auto& recording = sound::offlineRecording();
    int held = 0;
    for (std::size_t i = firstPart; i < recordedFrames(); ++i) {
        double sum = 1.4 * std::sin(2 * M_PI * 441.0 * i / rate);
        std::int16_t left = recording[2 * i];
        if (sum > 1.01) {
            ASSERT_EQ(left, 32767) << i;
        }
        if (sum < -1.01) {
            ASSERT_EQ(left, -32767) << i;
        }
        if (std::fabs(sum) > 1.01) held++;
    }
    EXPECT_GT(held, 1000);
}

TEST(SoundMix, StopSilencesAtOnceAndPlayGoesOnFromThere) {
    OfflineSound output;
    testfiles::WaveShape shape = tone(0.5);
    std::vector<std::uint8_t> bytes = testfiles::makeWave(shape);
    sound::Channel wave = sound::createStream(scratchFile("stop.wav", bytes).c_str());
    testfiles::ModuleShape moduleShape;
    sound::Channel module = sound::loadModule(scratchFile("stop.s3m", testfiles::makeModule(moduleShape)).c_str());
    sound::playStream(wave, true);
    sound::playModule(module);
    runUpdates(20);
    const std::size_t stoppedAt = recordedFrames();
    sound::stop(wave);
    sound::stop(module);
    sound::stop(module);  // twice: nothing more
    runUpdates(20);
    // Silent from the very frame of the stop, though 200 ms had been queued.
    EXPECT_TRUE(silentFrom(stoppedAt, recordedFrames()));
    EXPECT_FALSE(silentFrom(stoppedAt - 100, stoppedAt));

    // Going on plays the wave from where it stopped.
    const std::size_t resumedAt = recordedFrames();
    sound::playStream(wave, false);
    runUpdates(20);
    std::vector<std::int16_t> expected(20 * framesPerVideoFrame * 2);
    for (std::size_t i = 0; i < expected.size() / 2; ++i) {
        std::size_t frame = stoppedAt + i;
        expected[2 * i] = expected[2 * i + 1] =
            static_cast<std::int16_t>(std::lround(32767.0 * 0.5 * std::sin(2 * M_PI * 441.0 * frame / rate)));
    }
    EXPECT_LE(largestDifference(resumedAt, expected), 2);
}

TEST(SoundMix, EightBitMonoWaveSoundsOnBothSidesAtItsLevel) {
    OfflineSound output;
    testfiles::WaveShape shape;
    shape.channels = 1;
    shape.bits = 8;
    shape.rate = 11025;
    shape.frames = 11025;
    shape.frequency = 110.25;
    shape.amplitude = 0.5;
    sound::Channel wave = sound::createStream(scratchFile("mono8.wav", testfiles::makeWave(shape)).c_str());
    ASSERT_NE(wave, 0u);
    sound::playStream(wave, true);
    runUpdates(30);
    const auto& recording = sound::offlineRecording();
    int peak = 0;
    for (std::size_t i = 0; i < recording.size(); i += 2) {
        ASSERT_EQ(recording[i], recording[i + 1]);
        peak = std::max(peak, std::abs(recording[i]));
    }
    EXPECT_NEAR(peak, 0.5 * 32767, 400);
}

TEST(SoundMix, PrebufferChangesNothingHeard) {
    const std::vector<std::uint8_t> bytes = testfiles::makeModule();
    const std::string path = scratchFile("pre.s3m", bytes);
    std::vector<std::int16_t> plain, prebuffered;
    for (bool pre : {false, true}) {
        OfflineSound output;
        sound::Channel module = sound::loadModule(path.c_str());
        if (pre) sound::prebuffer(module);
        sound::playModule(module);
        runUpdates(40);
        (pre ? prebuffered : plain) = sound::offlineRecording();
    }
    EXPECT_EQ(plain, prebuffered);
}

TEST(SoundMix, ARepeatedInitLeavesOnlyTheNewPassSounding) {
    const std::string path = scratchFile("pass.s3m", testfiles::makeModule());
    OfflineSound output;
    sound::Channel first = sound::loadModule(path.c_str());
    sound::playModule(first);
    runUpdates(10);
    const std::size_t secondPass = recordedFrames();
    EXPECT_FALSE(silentFrom(0, secondPass));

    // A start-up that forgets to shut the layer down first.
    EXPECT_EQ(sound::init(nullptr, rate), 1);
    runUpdates(10);
    EXPECT_TRUE(silentFrom(secondPass, recordedFrames()));
    EXPECT_EQ(sound::position(first), 0u);
    sound::playModule(first);

    sound::Channel second = sound::loadModule(path.c_str());
    EXPECT_NE(second, first);
    sound::playModule(second);
    runUpdates(10);
    EXPECT_EQ(sound::position(second), expectedPosition(testfiles::ModuleShape{}, 10 * framesPerVideoFrame));

    sound::shutdown();
    EXPECT_EQ(sound::position(second), 0u);
    runUpdates(3);  // nothing open: nothing happens
}

TEST(SoundMix, OfflineWaveFileHoldsTheWholeRecording) {
    OfflineSound output;
    sound::Channel wave = sound::createStream(scratchFile("rec.wav", testfiles::makeWave(tone(0.3))).c_str());
    sound::playStream(wave, true);
    runUpdates(25);
    const std::string path = scratchFile("out.wav", {});
    ASSERT_TRUE(sound::writeOfflineWave(path.c_str()));

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<std::uint8_t> bytes(1 << 20);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    const auto& recording = sound::offlineRecording();
    ASSERT_EQ(bytes.size(), 44 + recording.size() * 2);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[22], 2);                      // channels
    EXPECT_EQ(bytes[24] | (bytes[25] << 8), 44100 & 0xFFFF);
    EXPECT_EQ(bytes[34], 16);                     // bits
    for (std::size_t i = 0; i < recording.size(); ++i)
        ASSERT_EQ(static_cast<std::int16_t>(bytes[44 + 2 * i] | (bytes[45 + 2 * i] << 8)), recording[i]);

    EXPECT_FALSE(sound::writeOfflineWave("/nonexistent/folder/out.wav"));
    EXPECT_NE(std::string(sound::lastError()).find("/nonexistent/folder/out.wav"), std::string::npos);
}

// The capture asks for one frame of sound after each frame is drawn; the
// sequencer then starts or stops channels before the next update. Those
// changes belong to the time already passed, which the recording shows.
TEST(SoundMix, ChangesBetweenUpdatesHappenAtTheTimeAlreadyPassed) {
    OfflineSound output;
    sound::Channel wave = sound::createStream(scratchFile("between.wav", testfiles::makeWave(tone(0.5))).c_str());
    runUpdates(10);
    sound::consumeOffline(framesPerVideoFrame);
    sound::playStream(wave, true);
    EXPECT_EQ(sound::position(wave), 0u);
    sound::update();
    // It starts where the time asked for ends: heard from frame 11 on.
    const std::size_t start = 11 * framesPerVideoFrame;
    EXPECT_TRUE(silentFrom(0, start));
    EXPECT_EQ(sound::position(wave), 0u);
    runUpdates(5);
    EXPECT_EQ(sound::position(wave), 5 * framesPerVideoFrame * 4);
    std::vector<std::int16_t> expected(5 * framesPerVideoFrame * 2);
    for (std::size_t i = 0; i < expected.size() / 2; ++i)
        expected[2 * i] = expected[2 * i + 1] =
            static_cast<std::int16_t>(std::lround(32767.0 * 0.5 * std::sin(2 * M_PI * 441.0 * i / rate)));
    EXPECT_LE(largestDifference(start, expected), 2);

    // A stop after more time was asked for: that time still hears the wave.
    sound::consumeOffline(3 * framesPerVideoFrame);
    sound::stop(wave);
    sound::update();
    runUpdates(2);
    const std::size_t stopped = (16 + 3) * framesPerVideoFrame;
    EXPECT_EQ(recordedFrames(), stopped + 2 * framesPerVideoFrame);
    EXPECT_FALSE(silentFrom(stopped - 100, stopped));
    EXPECT_TRUE(silentFrom(stopped, recordedFrames()));
    EXPECT_EQ(sound::position(wave), 8 * framesPerVideoFrame * 4);
}
