// The playback analysis that scripts/playback-check and the real-sound test
// rely on, on made-up recordings whose gaps and lags are known: a fault here
// would make a dropout or a late cut invisible.
#include "support/servers.h"
#include "tools/playback/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>

namespace {

constexpr int kRate = 44100;

// Music-like noise: its loudness changes every tenth of a second, so that
// every stretch of it can be told from every other.
playback::Sound music(double seconds, unsigned seed) {
    playback::Sound sound;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f), level(0.05f, 0.6f);
    const std::size_t frames = static_cast<std::size_t>(seconds * kRate);
    float loudness = level(random);
    for (std::size_t f = 0; f < frames; ++f) {
        if (f % (kRate / 10) == 0) loudness = level(random);
        for (int channel = 0; channel < 2; ++channel) {
            int value = static_cast<int>(sample(random) * loudness * 32767.0f);
            sound.samples.push_back(static_cast<std::int16_t>(value == 0 ? 1 : value));
        }
    }
    return sound;
}

void appendSilence(playback::Sound& sound, double seconds) {
    sound.samples.insert(sound.samples.end(), static_cast<std::size_t>(seconds * kRate) * 2, 0);
}

void appendPart(playback::Sound& sound, const playback::Sound& from, double start, double end) {
    const std::size_t first = static_cast<std::size_t>(start * kRate) * 2;
    const std::size_t last = std::min(static_cast<std::size_t>(end * kRate) * 2, from.samples.size());
    sound.samples.insert(sound.samples.end(), from.samples.begin() + first, from.samples.begin() + last);
}

}  // namespace

TEST(PlaybackAnalysis, GapsAreRunsOfSilenceOfFiveMillisecondsOrMoreInsideTheMusic) {
    const playback::Sound piece = music(1.0, 1);
    playback::Sound sound;
    appendSilence(sound, 0.3);  // before the music: not a gap
    appendPart(sound, piece, 0.0, 0.2);
    appendSilence(sound, 0.004);  // too short to hear
    appendPart(sound, piece, 0.2, 0.4);
    appendSilence(sound, 0.006);
    appendPart(sound, piece, 0.4, 1.0);
    appendSilence(sound, 0.5);  // after it: not a gap either

    const playback::Span span = playback::musicSpan(sound);
    EXPECT_EQ(span.first, static_cast<std::uint64_t>(0.3 * kRate));
    EXPECT_EQ(span.end, sound.frames() - static_cast<std::uint64_t>(0.5 * kRate));
    const auto gaps = playback::silentGaps(sound, span.first, span.end, static_cast<std::uint64_t>(0.005 * kRate));
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].frames, static_cast<std::uint64_t>(0.006 * kRate));
    EXPECT_EQ(gaps[0].first, span.first + static_cast<std::uint64_t>(0.4 * kRate) +
                                 static_cast<std::uint64_t>(0.004 * kRate));

    playback::Sound silence;
    appendSilence(silence, 1.0);
    const playback::Span none = playback::musicSpan(silence);
    EXPECT_EQ(none.first, none.end);
}

TEST(PlaybackAnalysis, AWindowOfTheMixIsFoundInTheRecordingToTheFrame) {
    const playback::Sound mix = music(12.0, 2);
    playback::Sound recording;
    appendSilence(recording, 1.2345);
    appendPart(recording, mix, 0.0, 12.0);
    const std::int64_t shift = static_cast<std::int64_t>(1.2345 * kRate);
    std::int64_t found = 0;
    // Searched from far off on either side.
    for (double guess : {-3.0, 0.0, 4.0}) {
        ASSERT_TRUE(playback::locate(recording, mix, 5 * kRate, 2 * kRate,
                                     5 * kRate + static_cast<std::int64_t>(guess * kRate), 8 * kRate, found));
        EXPECT_EQ(found, 5 * kRate + shift) << "guess " << guess;
    }
    // Nothing like it where it is searched for, or nothing at all.
    playback::Sound silent;
    appendSilence(silent, 12.0);
    EXPECT_FALSE(playback::locate(silent, mix, 5 * kRate, 2 * kRate, 5 * kRate, 2 * kRate, found));
    EXPECT_FALSE(playback::locate(recording, mix, 8 * kRate, kRate / 2, 0, kRate / 2, found));
    EXPECT_FALSE(playback::locate(recording, mix, 12 * kRate, kRate, 0, 12 * kRate, found));
}

TEST(PlaybackAnalysis, ADropoutShowsAsAGapAndEveryLaterCutAsThatMuchLate) {
    // The mix: 10 s, cuts at 4 s and 7 s. The recording: the music after
    // 0.7 s of nothing, a 0.25 s dropout at 2 s, and the second cut 0.1 s
    // early against the music (its sound began 0.1 s too soon).
    const playback::Sound mix = music(10.0, 3);
    playback::Sound recording;
    appendSilence(recording, 0.7);
    appendPart(recording, mix, 0.0, 2.0);
    appendSilence(recording, 0.25);
    appendPart(recording, mix, 2.0, 6.9);
    appendPart(recording, mix, 7.0, 10.0);
    appendSilence(recording, 1.0);
    const std::vector<playback::Cut> cuts = {{"tunnel", 4.0}, {"lens", 7.0}};

    const playback::Report report = playback::compare(recording, mix, cuts);
    ASSERT_TRUE(report.aligned);
    EXPECT_EQ(report.gaps, 1u);
    EXPECT_NEAR(report.silenceSeconds, 0.25, 1.0 / kRate);
    EXPECT_NEAR(report.firstGapSeconds, 2.0, 1.0 / kRate);
    EXPECT_NEAR(report.musicSeconds - report.mixSeconds, 0.25 - 0.1, 2.0 / kRate);
    ASSERT_EQ(report.lags.size(), 2u);
    EXPECT_TRUE(report.lags[0].found && report.lags[1].found);
    EXPECT_NEAR(report.lags[0].seconds, 0.25, 1.0 / kRate);
    EXPECT_NEAR(report.lags[1].seconds, 0.15, 1.0 / kRate);
}

TEST(PlaybackAnalysis, ARecordingInTwoPartsAcrossARestartIsComparedAsOne) {
    // The server died 4.5 s into the first part (mix time 4.0 s, after a
    // dropout right at the start), the second part began when it was back
    // at 5.2 s, and the sound came back 0.3 s later where the clock had it.
    const playback::Sound mix = music(10.0, 4);
    playback::Sound first, second;
    appendSilence(first, 0.5);
    appendPart(first, mix, 0.0, 0.02);
    appendSilence(first, 0.3);
    appendPart(first, mix, 0.02, 3.7);
    appendSilence(second, 0.3);
    appendPart(second, mix, 5.0, 10.0);
    const playback::Sound both = playback::joined(first, second, static_cast<std::uint64_t>(5.2 * kRate));
    EXPECT_EQ(both.frames(), static_cast<std::uint64_t>(5.2 * kRate) + second.frames());

    const playback::Report report = playback::compare(both, mix, {{"tunnel", 2.0}, {"lens", 7.0}});
    ASSERT_TRUE(report.aligned);
    EXPECT_EQ(report.gaps, 2u);
    EXPECT_NEAR(report.silenceSeconds, 0.3 + 1.0, 2.0 / kRate);
    ASSERT_EQ(report.lags.size(), 2u);
    EXPECT_NEAR(report.lags[0].seconds, 0.3, 1.0 / kRate);
    EXPECT_NEAR(report.lags[1].seconds, 0.0, 1.0 / kRate);
}

TEST(PlaybackAnalysis, TheCutsComeFromDemoCapturesTimelineLines) {
    const std::string lines =
        "sys up time: 0.000000\n"
        "scene 0 frame 0 time 0.000000 order 0 row 0 first 0 second 0\n"
        "scene 1 frame 2695 time 44.916667 order 5 row 63 first 0 second 0\n"
        "scene 2 frame 3084 time 51.400000 order 39 row 0 first 1143660 second 0\n"
        "lens 1 frame 3760 time 62.666667 order 41 row 0 first 1492800 second 0\n"
        "scene -1 frame 7233 time 120.550000 order 52 row 0 first 1492800 second 0\n"
        "end frame 7316 time 121.933333\n";
    const std::vector<playback::Cut> cuts = playback::cutsFromTimeline(lines);
    ASSERT_EQ(cuts.size(), 3u);
    EXPECT_EQ(cuts[0].name, "tunnel");
    EXPECT_DOUBLE_EQ(cuts[0].seconds, 44.916667);
    EXPECT_EQ(cuts[1].name, "lens");
    EXPECT_EQ(cuts[2].name, "closing");
    EXPECT_DOUBLE_EQ(cuts[2].seconds, 120.55);
}

TEST(PlaybackAnalysis, WaveFilesAreReadAsDemoCaptureWritesThemAndOthersRefused) {
    ScratchDirectory scratch;
    const std::string path = scratch.path + "/mix.wav";
    // RIFF, an odd-sized chunk before the format (padded), then the data.
    std::ofstream file(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    file.write("RIFF", 4);
    u32(4 + 8 + 4 + 8 + 16 + 8 + 8);
    file.write("WAVE", 4);
    file.write("LIST", 4);
    u32(3);
    file.write("abc\0", 4);
    file.write("fmt ", 4);
    u32(16);
    u16(1), u16(2), u32(22050), u32(22050 * 4), u16(4), u16(16);
    file.write("data", 4);
    u32(8);
    u16(1), u16(65535), u16(0), u16(7);
    file.close();
    playback::Sound sound;
    std::string error;
    ASSERT_TRUE(playback::readWave(path, sound, error)) << error;
    EXPECT_EQ(sound.rate, 22050);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{1, -1, 0, 7}));

    std::ofstream(scratch.path + "/junk.wav", std::ios::binary) << "RIFF\x04\0\0\0WAVEfmt ";
    EXPECT_FALSE(playback::readWave(scratch.path + "/junk.wav", sound, error));
    EXPECT_NE(error.find("junk.wav"), std::string::npos) << error;
    EXPECT_FALSE(playback::readWave(scratch.path + "/missing.wav", sound, error));
}
