// Sound layer positions on the offline sink: what is heard, exactly, and
// only through update().
#include "test_sound_support.h"

#include <gtest/gtest.h>

using namespace soundtest;

namespace {

std::string modulePath(const testfiles::ModuleShape& shape, const std::string& name = "test.s3m") {
    return scratchFile(name, testfiles::makeModule(shape));
}

}  // namespace

TEST(SoundPositions, MoveOnlyThroughUpdate) {
    OfflineSound output;
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(modulePath(shape).c_str());
    sound::Channel wave = sound::createStream(scratchFile("a.wav", testfiles::makeWave()).c_str());
    ASSERT_NE(module, 0u);
    ASSERT_NE(wave, 0u);
    sound::playModule(module);
    sound::playStream(wave, true);
    EXPECT_EQ(sound::position(module), orderRow(0, 0));
    EXPECT_EQ(sound::position(wave), 0u);

    // Asking the sink to consume moves nothing by itself.
    sound::consumeOffline(3 * rowFrames(shape));
    EXPECT_EQ(sound::position(module), orderRow(0, 0));
    EXPECT_EQ(sound::position(wave), 0u);
    sound::update();
    EXPECT_EQ(sound::position(module), orderRow(0, 3));
    EXPECT_EQ(sound::position(wave), 3 * rowFrames(shape) * 4);

    // Nor does an update with nothing consumed.
    sound::update();
    EXPECT_EQ(sound::position(module), orderRow(0, 3));
}

// Frame after frame of a capture at 60 fps: the reported row is the row of
// the frame being heard (libopenmpt's own, rendering one frame at a time),
// never the row rendered a buffer length ahead of it.
TEST(SoundPositions, ModulePositionIsTheRowHeardNotTheRowRendered) {
    for (int tempo : {125, 33, 97, 140, 255}) {
        SCOPED_TRACE(tempo);
        testfiles::ModuleShape shape;
        shape.tempo = tempo;
        shape.speed = tempo > 200 ? 8 : 3;
        const std::vector<std::uint8_t> bytes = testfiles::makeModule(shape);
        const int frames = 400;
        const std::uint64_t buffered = rate / 5;
        const std::vector<std::uint64_t> truth =
            referencePositions(bytes, frames * framesPerVideoFrame + buffered + 1);

        OfflineSound output;
        sound::Channel module = sound::loadModule(scratchFile("tempo.s3m", bytes).c_str());
        ASSERT_NE(module, 0u);
        sound::prebuffer(module);
        sound::playModule(module);
        int lagging = 0;
        for (int frame = 1; frame <= frames; ++frame) {
            runUpdates(1);
            const std::uint64_t heard = frame * framesPerVideoFrame;
            ASSERT_EQ(sound::position(module), truth[heard]) << "frame " << frame;
            if (truth[heard + buffered] != truth[heard]) lagging++;
        }
        // What was rendered is almost always another row by then.
        EXPECT_GT(lagging, frames / 2);
    }
}

// Against libopenmpt rendering one frame at a time, over tempo changes and
// pattern delays, consumed in amounts that put row starts anywhere in a
// chunk: every frame heard reports its own row.
TEST(SoundPositions, RowsExactThroughTempoChangesAndPatternDelays) {
    testfiles::ModuleShape shape;
    shape.orders = 6;
    shape.delayedRow = 5;
    shape.delayRows = 2;
    shape.tempoOrder = 2;
    shape.newTempo = 151;
    const std::vector<std::uint8_t> bytes = testfiles::makeModule(shape);
    const std::uint64_t total = 10 * rate;
    const std::vector<std::uint64_t> truth = referencePositions(bytes, total);
    ASSERT_EQ(truth.size(), total);

    OfflineSound output;
    sound::Channel module = sound::loadModule(scratchFile("delays.s3m", bytes).c_str());
    sound::playModule(module);
    std::uint64_t heard = 0;
    const std::uint64_t steps[] = {1, 2, 97, 220, 221, 735, 5291, 13, 883, 4000};
    for (int i = 0; heard < total - 5000; ++i) {
        std::uint64_t step = steps[i % 10];
        sound::consumeOffline(step);
        sound::update();
        heard += step;
        ASSERT_EQ(sound::position(module), truth[heard]) << "frame " << heard;
    }
}

// A tempo slide changes every tick's length: no prediction holds. The row
// where it happens is placed to within 5 ms (never late), and the rows
// after it are exact again.
TEST(SoundPositions, TempoSlideCostsAtMostOneChunkOfPrecision) {
    for (int slide : {4, -4}) {
        SCOPED_TRACE(slide);
        testfiles::ModuleShape shape;
        shape.orders = 4;
        shape.slideOrder = 1;
        shape.slide = slide;
        const std::vector<std::uint8_t> bytes = testfiles::makeModule(shape);
        const std::uint64_t total = 6 * rate;
        const std::vector<std::uint64_t> truth = referencePositions(bytes, total);
        ASSERT_EQ(truth.size(), total);

        OfflineSound output;
        sound::Channel module = sound::loadModule(scratchFile("slide.s3m", bytes).c_str());
        sound::playModule(module);
        const std::uint64_t chunk = rate / 200;
        std::uint64_t heard = 0;
        int early = 0;
        while (heard + 37 + chunk < total) {
            sound::consumeOffline(37);
            sound::update();
            heard += 37;
            std::uint64_t reported = sound::position(module);
            if (reported == truth[heard]) continue;
            ASSERT_EQ(reported, truth[heard + chunk]) << "frame " << heard;
            early++;
        }
        // A row's worth of samples at most.
        EXPECT_LT(early, 3 * static_cast<int>(chunk) / 37);
    }
}

TEST(SoundPositions, JumpToOrder39ReadsBackOrder39Row0) {
    OfflineSound output;
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(modulePath(shape).c_str());
    ASSERT_NE(module, 0u);
    sound::playModule(module);
    runUpdates(37);

    sound::setModuleOrder(module, 39);
    EXPECT_EQ(sound::position(module), orderRow(39, 0));
    std::uint64_t heard = 0;
    for (int frame = 0; frame < 400; ++frame) {
        runUpdates(1);
        heard += framesPerVideoFrame;
        ASSERT_EQ(sound::position(module), expectedPosition(shape, heard, 39)) << "frame " << frame;
    }

    // A stopped module jumps too, and goes on from there when played.
    sound::stop(module);
    runUpdates(10);
    sound::setModuleOrder(module, 41);
    EXPECT_EQ(sound::position(module), orderRow(41, 0));
    runUpdates(10);
    EXPECT_EQ(sound::position(module), orderRow(41, 0));
    sound::playModule(module);
    runUpdates(1);
    EXPECT_EQ(sound::position(module), expectedPosition(shape, framesPerVideoFrame, 41));

    // Orders the module does not have change nothing.
    std::uint64_t before = sound::position(module);
    sound::setModuleOrder(module, shape.orders);
    sound::setModuleOrder(module, -1);
    EXPECT_EQ(sound::position(module), before);
}

TEST(SoundPositions, StoppedModuleKeepsItsPlaceAndGoesOnFromIt) {
    OfflineSound output;
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(modulePath(shape).c_str());
    sound::playModule(module);
    runUpdates(50);
    const std::uint64_t heard = 50 * framesPerVideoFrame;
    sound::stop(module);
    EXPECT_EQ(sound::position(module), expectedPosition(shape, heard));
    runUpdates(100);
    EXPECT_EQ(sound::position(module), expectedPosition(shape, heard));
    sound::playModule(module);
    sound::playModule(module);  // already playing: nothing
    runUpdates(30);
    EXPECT_EQ(sound::position(module), expectedPosition(shape, heard + 30 * framesPerVideoFrame));
}

TEST(SoundPositions, ModuleEndsAtTheEndOfTheSong) {
    OfflineSound output;
    testfiles::ModuleShape shape;
    shape.orders = 2;
    shape.rowsPerOrder = 4;
    sound::Channel module = sound::loadModule(modulePath(shape, "short.s3m").c_str());
    EXPECT_EQ(sound::length(module), 2u);
    sound::playModule(module);
    runUpdates(200);
    // The song lasts 8 rows; the position stays on its last row and the mix
    // falls silent.
    EXPECT_EQ(sound::position(module), orderRow(1, 3));
    const auto& recording = sound::offlineRecording();
    ASSERT_EQ(recordedFrames(), 200 * framesPerVideoFrame);
    for (std::size_t i = recording.size() - 2 * framesPerVideoFrame * 20; i < recording.size(); ++i)
        ASSERT_EQ(recording[i], 0) << "sample " << i;
}

TEST(SoundPositions, WaveBytesCountInTheFilesOwnFormat) {
    OfflineSound output;
    // 16-bit stereo at half the output rate: 4 bytes per file frame, one
    // file frame per two output frames.
    testfiles::WaveShape stereo;
    stereo.rate = 22050;
    stereo.frames = 22050;
    sound::Channel wide = sound::createStream(scratchFile("stereo.wav", testfiles::makeWave(stereo)).c_str());
    // 8-bit mono at a quarter: 1 byte per file frame.
    testfiles::WaveShape mono;
    mono.rate = 11025;
    mono.channels = 1;
    mono.bits = 8;
    mono.frames = 11025;
    sound::Channel narrow = sound::createStream(scratchFile("mono.wav", testfiles::makeWave(mono)).c_str());
    ASSERT_NE(wide, 0u);
    ASSERT_NE(narrow, 0u);
    EXPECT_EQ(sound::length(wide), 22050u * 4);
    EXPECT_EQ(sound::length(narrow), 11025u);

    sound::playStream(wide, true);
    sound::playStream(narrow, true);
    std::uint64_t heard = 0;
    for (std::uint64_t step : {735u, 1u, 3u, 1000u, 735u, 4410u}) {
        sound::consumeOffline(step);
        sound::update();
        heard += step;
        EXPECT_EQ(sound::position(wide), heard / 2 * 4) << heard;
        EXPECT_EQ(sound::position(narrow), heard / 4) << heard;
    }
    // Past the end: the whole file.
    runUpdates(80);
    EXPECT_EQ(sound::position(wide), 22050u * 4);
    EXPECT_EQ(sound::position(narrow), 11025u);

    // Played again from the beginning.
    sound::playStream(narrow, true);
    EXPECT_EQ(sound::position(narrow), 0u);
    runUpdates(1);
    EXPECT_EQ(sound::position(narrow), framesPerVideoFrame / 4);
}

TEST(SoundPositions, FailedLoadsGiveZeroHandlesThatEveryOperationAccepts) {
    OfflineSound output;
    const std::string missing = "/nonexistent/data/orbita.s3m";
    const std::string noise = scratchFile("noise.s3m", std::vector<std::uint8_t>(4000, 0x5A));
    const std::string text = scratchFile("text.wav", {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'});
    const std::string empty = scratchFile("empty.wav", {});
    std::vector<std::uint8_t> cut = testfiles::makeWave();
    cut.resize(30);
    const std::string truncated = scratchFile("cut.wav", cut);
    struct Case {
        std::string path;
        bool module;
    };
    for (const Case& c : {Case{missing, true}, Case{noise, true}, Case{empty, true}, Case{missing, false},
                          Case{text, false}, Case{empty, false}, Case{truncated, false},
                          Case{"/tmp", false}}) {
        SCOPED_TRACE(c.path);
        sound::Channel channel = c.module ? sound::loadModule(c.path.c_str()) : sound::createStream(c.path.c_str());
        EXPECT_EQ(channel, 0u);
        // The reason names the file.
        EXPECT_NE(std::string(sound::lastError()).find(c.path), std::string::npos) << sound::lastError();
    }
    EXPECT_EQ(sound::loadModule(nullptr), 0u);
    EXPECT_STRNE(sound::lastError(), "");

    sound::prebuffer(0);
    sound::playModule(0);
    sound::playStream(0, true);
    sound::setModuleOrder(0, 39);
    runUpdates(3);
    sound::stop(0);
    EXPECT_EQ(sound::position(0), 0u);
    EXPECT_EQ(sound::length(0), 0u);
    EXPECT_EQ(sound::position(12345), 0u);

    // A good load afterwards clears the reason.
    EXPECT_NE(sound::createStream(scratchFile("good.wav", testfiles::makeWave()).c_str()), 0u);
    EXPECT_STREQ(sound::lastError(), "");
}

TEST(SoundPositions, AStartIsHeardOnceTheOutputHasTakenItsFirstFrame) {
    OfflineSound output;
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(modulePath(shape).c_str());
    ASSERT_NE(module, 0u);
    EXPECT_EQ(sound::secondsUntilHeard(module), 0.0);  // not playing
    runUpdates(3);
    sound::playModule(module);
    // Started where the sink stands: heard from the next frame it takes.
    EXPECT_EQ(sound::secondsUntilHeard(module), 0.0);
    // Time that has passed is heard, whether an update took it yet or not.
    sound::consumeOffline(441);
    EXPECT_DOUBLE_EQ(sound::secondsUntilHeard(module), -0.01);
    sound::update();
    EXPECT_DOUBLE_EQ(sound::secondsUntilHeard(module), -0.01);
    // A jump starts a new run where the listener is.
    sound::consumeOffline(framesPerVideoFrame);
    sound::setModuleOrder(module, 2);
    EXPECT_EQ(sound::secondsUntilHeard(module), 0.0);
    runUpdates(1, 441);
    EXPECT_DOUBLE_EQ(sound::secondsUntilHeard(module), -0.01);
    sound::stop(module);
    EXPECT_EQ(sound::secondsUntilHeard(module), 0.0);
    EXPECT_EQ(sound::secondsUntilHeard(0), 0.0);
}
