// The generator's own S3M and WAV writers and its instruments, checked with
// the readers the demo uses: libopenmpt and SDL.
#include "tools/assetgen/sound/dsp.h"
#include "tools/assetgen/sound/instruments.h"
#include "tools/assetgen/sound/s3m.h"
#include "tools/assetgen/sound/wav.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace assetgen::sound;

namespace {

// A sine of `period` samples, one second long, looped.
Sample sine(const char* name, int period, std::uint32_t c2spd) {
    Sample s;
    s.name = name;
    s.c2spd = c2spd;
    for (int i = 0; i < 44100; ++i) s.data.push_back(toPcm16(0.5 * sinTurns(double(i) / period)));
    s.loop = true;
    s.loopStart = 0;
    s.loopEnd = std::uint32_t(s.data.size());
    return s;
}

// Two channels, two patterns; the second breaks off after 32 rows.
Module smallModule() {
    Module m;
    m.title = "writer test";
    m.initialSpeed = 6;
    m.initialTempo = 128;
    m.channelPan = {0, 15};
    m.samples = {sine("low", 100, 44100), sine("high", 50, 44100)};
    Pattern a;
    a.channels = 2;
    a.at(0, 0) = {noteByte(4, 0), 1, 64, 0, 0};
    a.at(16, 1) = {noteByte(5, 9), 2, 20, command('H'), 0x42};
    a.at(40, 0) = {kNoteCut, 0, kNoVolume, 0, 0};
    Pattern b;
    b.channels = 2;
    b.at(0, 1) = {kNoNote, 0, kNoVolume, command('T'), 150};
    b.at(31, 0) = {kNoNote, 0, kNoVolume, command('C'), 0};
    m.patterns = {a, b};
    m.orders = {0, 1, 0};
    return m;
}

std::unique_ptr<openmpt::module> load(const std::vector<std::uint8_t>& bytes) {
    return std::make_unique<openmpt::module>(bytes.data(), bytes.size());
}

// Frequency of the strongest period in a mono signal (autocorrelation,
// refined by parabolic interpolation).
double fundamental(const std::vector<double>& x, double rate, double lowHz, double highHz) {
    int minLag = int(rate / highHz), maxLag = int(rate / lowHz);
    std::vector<double> r(std::size_t(maxLag + 2), 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag)
        for (std::size_t i = 0; i + std::size_t(lag) < x.size(); ++i) r[std::size_t(lag)] += x[i] * x[i + std::size_t(lag)];
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag)
        if (r[std::size_t(lag)] > r[std::size_t(best)]) best = lag;
    double a = r[std::size_t(best - 1)], b = r[std::size_t(best)], c = r[std::size_t(best + 1)];
    double shift = 0.5 * (a - c) / (a - 2 * b + c);
    return rate / (best + shift);
}

// One note of one sample, rendered by libopenmpt; mono.
std::vector<double> renderNote(const Sample& sample, int midi, double seconds, double skip) {
    Module m;
    m.channelPan = {7};
    m.initialTempo = 125;
    m.samples = {sample};
    Pattern p;
    p.channels = 1;
    p.at(0, 0) = {noteByte(midi / 12 - 1, midi % 12), 1, 64, 0, 0};
    m.patterns = {p};
    m.orders = {0};
    std::string error;
    std::vector<std::uint8_t> bytes = writeS3m(m, error);
    auto loaded = load(bytes);
    openmpt::module& module = *loaded;
    std::vector<float> stereo(std::size_t(2 * 44100 * (seconds + skip)));
    module.read_interleaved_stereo(44100, stereo.size() / 2, stereo.data());
    std::vector<double> mono;
    for (std::size_t i = std::size_t(2 * 44100 * skip); i < stereo.size(); i += 2)
        mono.push_back(stereo[i] + stereo[i + 1]);
    return mono;
}

}  // namespace

TEST(S3mWriter, WhatIsWrittenLoadsAndReadsBack) {
    std::string error;
    Module m = smallModule();
    std::vector<std::uint8_t> bytes = writeS3m(m, error);
    ASSERT_FALSE(bytes.empty()) << error;
    EXPECT_EQ(bytes.size() % 16, 0u);
    auto loaded = load(bytes);
    openmpt::module& module = *loaded;
    EXPECT_EQ(module.get_metadata("type"), "s3m");
    EXPECT_EQ(module.get_metadata("title"), "writer test");
    EXPECT_EQ(module.get_num_channels(), 2);
    EXPECT_EQ(module.get_num_orders(), 3);
    EXPECT_EQ(module.get_num_patterns(), 2);
    EXPECT_EQ(module.get_order_pattern(2), 0);
    ASSERT_EQ(module.get_num_samples(), 2);
    EXPECT_EQ(module.get_sample_names()[1], "high");
    using M = openmpt::module;
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 0, 0, M::command_note), 61);  // C-5 = MIDI 60
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 16, 1, M::command_note), 61 + 21);
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 16, 1, M::command_instrument), 2);
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 16, 1, M::command_volume), 20);
    EXPECT_EQ(module.format_pattern_row_channel_command(0, 16, 1, M::command_effect), "H");
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 16, 1, M::command_parameter), 0x42);
    EXPECT_EQ(module.get_pattern_row_channel_command(0, 40, 0, M::command_note), 254);  // cut
    EXPECT_EQ(module.get_pattern_row_channel_command(1, 0, 1, M::command_parameter), 150);
    // 64 rows at tempo 128, 32 at 150 (the break), 64 at 150 again.
    double row128 = 6 * 2.5 / 128, row150 = 6 * 2.5 / 150;
    EXPECT_NEAR(module.get_duration_seconds(), 64 * row128 + 96 * row150, 0.01);
}

TEST(S3mWriter, NotePitchAndPanningComeOutAsWritten) {
    std::string error;
    std::vector<std::uint8_t> bytes = writeS3m(smallModule(), error);
    auto loaded = load(bytes);
    openmpt::module& module = *loaded;
    // The first second (row 16 comes at 1.875 s): C-4 (0x40) of the 441 Hz
    // sine on the hard-left channel alone.
    std::vector<float> stereo(2 * 44100);
    module.read_interleaved_stereo(44100, 44100, stereo.data());
    std::vector<double> left, right;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        left.push_back(stereo[i]);
        right.push_back(stereo[i + 1]);
    }
    EXPECT_NEAR(fundamental(left, 44100, 200, 1000), 441.0, 1.0);
    double l = 0, r = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        l += left[i] * left[i];
        r += right[i] * right[i];
    }
    EXPECT_GT(l, 20 * r);
}

TEST(S3mWriter, RefusesWhatTheFormatCannotHold) {
    std::string error;
    Module m = smallModule();
    m.channelPan.assign(17, 7);
    EXPECT_TRUE(writeS3m(m, error).empty());
    EXPECT_FALSE(error.empty());

    m = smallModule();
    m.orders.push_back(7);  // no such pattern
    EXPECT_TRUE(writeS3m(m, error).empty());

    m = smallModule();
    m.samples[0].loopEnd = std::uint32_t(m.samples[0].data.size() + 1);
    EXPECT_TRUE(writeS3m(m, error).empty());
    EXPECT_NE(error.find("low"), std::string::npos);

    m = smallModule();
    m.patterns[0].at(3, 1).volume = 65;
    EXPECT_TRUE(writeS3m(m, error).empty());

    m = smallModule();
    m.channelPan.assign(9, 2);  // nine on the left: only eight exist
    EXPECT_TRUE(writeS3m(m, error).empty());
}

TEST(WavWriter, SdlLoadsWhatIsWritten) {
    std::vector<std::int16_t> frames = {0, 1, -1, 32767, -32768, 1234, 4321, -5};
    std::vector<std::uint8_t> bytes = writeWav(frames, 2, 44100);
    ASSERT_EQ(bytes.size(), 44u + 16u);
    SDL_AudioSpec spec;
    Uint8* data = nullptr;
    Uint32 length = 0;
    ASSERT_NE(SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1, &spec, &data,
                             &length),
              nullptr)
        << SDL_GetError();
    EXPECT_EQ(spec.freq, 44100);
    EXPECT_EQ(spec.format, AUDIO_S16LSB);
    EXPECT_EQ(spec.channels, 2);
    ASSERT_EQ(length, 16u);
    const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(data);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(samples[i], frames[i]);
    SDL_FreeWAV(data);
}

TEST(WavWriter, PcmConversionRoundsAndClamps) {
    EXPECT_EQ(toPcm16(0.0), 0);
    EXPECT_EQ(toPcm16(1.0), 32767);
    EXPECT_EQ(toPcm16(-1.0), -32767);
    EXPECT_EQ(toPcm16(3.0), 32767);
    EXPECT_EQ(toPcm16(-3.0), -32768);
    EXPECT_EQ(toPcm16(0.5 / 32767.0), 1);
    EXPECT_EQ(toPcm16(-0.4 / 32767.0), 0);
}

TEST(Synthesiser, OwnMathMatchesTheLibrary) {
    for (double x = -3.0; x <= 3.0; x += 0.001) {
        ASSERT_NEAR(sinTurns(x), std::sin(2 * kPi * x), 1e-10) << x;
        ASSERT_NEAR(exp2Of(x * 5), std::exp2(x * 5), 1e-12 * std::exp2(x * 5)) << x;
    }
    EXPECT_NEAR(noteHz(69), 440.0, 1e-9);
    EXPECT_NEAR(noteHz(60), 261.6255653, 1e-6);
}

// Centre of the spectral power within `lowHz`..`highHz` (Hann window,
// 0.1 Hz steps): for a cluster of detuned oscillators, the pitch heard.
double spectralCentre(const std::vector<double>& x, double rate, double lowHz, double highHz) {
    double weighted = 0, total = 0;
    for (double hz = lowHz; hz <= highHz; hz += 0.1) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(x.size()));
            double phase = 2 * kPi * hz * double(i) / rate;
            re += w * x[i] * std::cos(phase);
            im -= w * x[i] * std::sin(phase);
        }
        weighted += hz * (re * re + im * im);
        total += re * re + im * im;
    }
    return weighted / total;
}

TEST(Synthesiser, PitchedInstrumentsPlayInTune) {
    std::vector<Sample> samples = synthesiseInstruments();
    ASSERT_EQ(samples.size(), std::size_t(kInstrumentEnd - 1));
    // A-4 on each pitched instrument, past its onset: the power
    // near 440 Hz is centred within 10 cents of it. (The format's period table
    // puts notes a few cents off equal temperament; a wrong C2Spd would be
    // a semitone or more off. The pads' detuned oscillators lie either
    // side of the note.)
    for (Instrument i : {kBass, kAcid, kPad, kGlassPad, kLead, kPluck, kBell}) {
        SCOPED_TRACE(samples[i - 1].name);
        std::vector<double> sound = renderNote(samples[i - 1], 69, 0.4, 0.03);
        EXPECT_NEAR(spectralCentre(sound, 44100, 425, 455), 440.0, 2.6);
    }
}

TEST(Synthesiser, LoopsJoinWithoutAStep) {
    for (const Sample& sample : synthesiseInstruments()) {
        if (!sample.loop) continue;
        SCOPED_TRACE(sample.name);
        int largestStep = 0;
        for (std::uint32_t i = sample.loopStart + 1; i < sample.loopEnd; ++i)
            largestStep = std::max(largestStep, std::abs(sample.data[i] - sample.data[i - 1]));
        int seam = std::abs(sample.data[sample.loopStart] - sample.data[sample.loopEnd - 1]);
        EXPECT_LE(seam, largestStep);
    }
}

TEST(Synthesiser, OneShotsEndSilentAndNothingClips) {
    for (const Sample& sample : synthesiseInstruments()) {
        SCOPED_TRACE(sample.name);
        int peak = 0;
        for (std::int16_t v : sample.data) peak = std::max(peak, std::abs(int(v)));
        EXPECT_LT(peak, 32767);
        EXPECT_GT(peak, 16000);
        if (!sample.loop) {
            EXPECT_LE(std::abs(int(sample.data.back())), 64);
        }
    }
}
