// The committed soundtrack (data/orbita.s3m, data/1.wav, data/2.wav): that it
// is what the generator writes, that libopenmpt and SDL read it as composed,
// and that it serves the timeline and sounds (levels measured, not heard).
#include "tools/assetgen/sound/s3m.h"
#include "tools/assetgen/sound/song.h"
#include "tools/assetgen/sound/wav.h"
#include "tools/assetgen/sound/waves.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace assetgen::sound;

namespace {

std::string dataPath(const char* name) {
    const char* root = std::getenv("DEMO_SOURCE_DIR");
    return (root && *root ? std::string(root) + "/" : std::string()) + "data/" + name;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
}

std::unique_ptr<openmpt::module> loadModule() {
    std::vector<std::uint8_t> bytes = readFile(dataPath("orbita.s3m"));
    EXPECT_FALSE(bytes.empty()) << dataPath("orbita.s3m");
    auto module = std::make_unique<openmpt::module>(bytes.data(), bytes.size());
    module->ctl_set_text("play.at_end", "stop");
    return module;
}

double decibels(double sumOfSquares, std::size_t count) {
    return 10.0 * std::log10(sumOfSquares / double(count) + 1e-30);
}

// A wave loaded through SDL, as the demo's sound layer loads it.
struct LoadedWave {
    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    explicit LoadedWave(const std::string& path) {
        if (!SDL_LoadWAV(path.c_str(), &spec, &data, &length)) ADD_FAILURE() << SDL_GetError();
    }
    ~LoadedWave() { SDL_FreeWAV(data); }
    const std::int16_t* samples() const { return reinterpret_cast<const std::int16_t*>(data); }
    // Peak and RMS (both 0..1) of the 16-bit samples in a byte range.
    void measure(std::size_t from, std::size_t to, double& peak, double& rms) const {
        peak = 0;
        double sum = 0;
        for (std::size_t i = from / 2; i < to / 2; ++i) {
            double v = samples()[i] / 32768.0;
            peak = std::fmax(peak, std::fabs(v));
            sum += v * v;
        }
        rms = std::sqrt(sum / double(to / 2 - from / 2));
    }
};

}  // namespace

TEST(Soundtrack, CommittedFilesAreWhatTheGeneratorWrites) {
    std::string error;
    EXPECT_EQ(readFile(dataPath("orbita.s3m")), writeS3m(composeOrbita(), error)) << error;
    EXPECT_EQ(readFile(dataPath("1.wav")), writeWav(synthesiseTunnelSweep(), 2, kWaveRate));
    EXPECT_EQ(readFile(dataPath("2.wav")), writeWav(synthesiseClosingSting(), 2, kWaveRate));
}

TEST(Soundtrack, ModuleReadsBackCellByCell) {
    auto loaded = loadModule();
    openmpt::module& module = *loaded;
    Module composed = composeOrbita();
    ASSERT_GE(module.get_num_orders(), kOrderCount);
    ASSERT_EQ(module.get_num_orders(), int(composed.orders.size()));
    ASSERT_EQ(module.get_num_channels(), kChannelCount);
    ASSERT_EQ(module.get_num_samples(), int(composed.samples.size()));
    using M = openmpt::module;
    int checked = 0;
    for (std::size_t order = 0; order < composed.orders.size(); ++order) {
        int pattern = module.get_order_pattern(std::int32_t(order));
        ASSERT_EQ(pattern, composed.orders[order]);
        ASSERT_EQ(module.get_pattern_num_rows(pattern), kMaxRows);
        const Pattern& written = composed.patterns[std::size_t(pattern)];
        for (int row = 0; row < kMaxRows; ++row) {
            for (int channel = 0; channel < kChannelCount; ++channel) {
                const Cell& cell = written.at(row, channel);
                SCOPED_TRACE("order " + std::to_string(order) + " row " + std::to_string(row) +
                             " channel " + std::to_string(channel));
                int note = module.get_pattern_row_channel_command(pattern, row, channel, M::command_note);
                int expected = cell.note == kNoNote    ? 0
                               : cell.note == kNoteCut ? 254
                                                       : (cell.note >> 4) * 12 + (cell.note & 15) + 13;
                ASSERT_EQ(note, expected);
                ASSERT_EQ(module.get_pattern_row_channel_command(pattern, row, channel, M::command_instrument),
                          cell.instrument);
                if (cell.volume != kNoVolume) {
                    ASSERT_EQ(module.get_pattern_row_channel_command(pattern, row, channel, M::command_volume),
                              cell.volume);
                }
                std::string letter = module.format_pattern_row_channel_command(pattern, row, channel,
                                                                               M::command_effect);
                if (cell.command != 0) {
                    ASSERT_EQ(letter, std::string(1, char('A' + cell.command - 1)));
                    ASSERT_EQ(module.get_pattern_row_channel_command(pattern, row, channel, M::command_parameter),
                              cell.info);
                }
                checked += !cell.empty();
            }
        }
    }
    EXPECT_GT(checked, 5000);
}

TEST(Soundtrack, ModuleServesTheTimeline) {
    auto loaded = loadModule();
    openmpt::module& module = *loaded;
    // The opening scene's phase changes fall on bar lines (libopenmpt counts
    // whole samples per tick, a few milliseconds short): order 1 at 7.5 s,
    // order 3 at 22.5 s; the scene ends (44.8 s) in the last bar of order 5.
    EXPECT_NEAR(module.set_position_order_row(1, 0), 7.5, 0.025);
    EXPECT_NEAR(module.set_position_order_row(2, 0), 15.0, 0.025);
    EXPECT_NEAR(module.set_position_order_row(3, 0), 22.5, 0.025);
    double order6 = module.set_position_order_row(6, 0);
    EXPECT_GT(order6, 44.8);
    EXPECT_LT(order6 - 44.8, 0.5);

    double lensStart = module.set_position_order_row(kLensOrder, 0);
    double previous = lensStart;
    for (int order : {kLensAppears, kZoomOutOrder, kTwistOrder}) {
        double at = module.set_position_order_row(order, 0);
        EXPECT_GT(at, previous + 3.0) << "order " << order;
        previous = at;
    }
    // Order 49 reaches row 32 and goes on past it.
    double drop = module.set_position_order_row(kDropOrder, kDropRow);
    EXPECT_EQ(module.get_current_order(), kDropOrder);
    EXPECT_EQ(module.get_current_row(), kDropRow);
    EXPECT_GT(drop, module.set_position_order_row(kDropOrder, 0) + 3.0);
    double end = module.set_position_order_row(kEndOrder, 0);
    EXPECT_GT(end, drop + 3.0);
    EXPECT_GE(end - lensStart, 45.0);
    EXPECT_LE(end - lensStart, 75.0);
    // After the drop the zoom, 3 / (zoomOffset + 1.5 - 3.3 t), climbs back;
    // the scene must end before its divisor reaches zero.
    double zoomOffset = drop - module.set_position_order_row(kZoomOutOrder, 0);
    EXPECT_GT(zoomOffset + 1.5 - 3.3 * (end - drop), 0.5);
    // Played alone the piece ends after its closing order.
    EXPECT_GT(module.get_duration_seconds(), end + 3.0);
}

TEST(Soundtrack, ModuleSoundsEverywhereAndNeverClips) {
    auto loaded = loadModule();
    openmpt::module& module = *loaded;
    const int rate = 44100;
    std::vector<float> block(2 * 4410);
    std::vector<double> sumPerOrder(kOrderCount, 0.0);
    std::vector<std::size_t> countPerOrder(kOrderCount, 0);
    double peak = 0, sum = 0;
    std::size_t count = 0;
    while (std::size_t frames = module.read_interleaved_stereo(rate, block.size() / 2, block.data())) {
        int order = module.get_current_order();
        for (std::size_t i = 0; i < frames * 2; ++i) {
            double v = block[i];
            peak = std::fmax(peak, std::fabs(v));
            sum += v * v;
            if (order >= 0 && order < kOrderCount) {
                sumPerOrder[std::size_t(order)] += v * v;
                ++countPerOrder[std::size_t(order)];
            }
        }
        count += frames * 2;
    }
    EXPECT_GT(count, std::size_t(2 * rate * 200));
    EXPECT_LT(peak, 0.97);
    EXPECT_GT(peak, 0.3);
    double overall = decibels(sum, count);
    EXPECT_GT(overall, -26.0);
    EXPECT_LT(overall, -12.0);
    for (int order = 0; order < kOrderCount; ++order) {
        if (countPerOrder[std::size_t(order)] == 0) continue;  // reported as the next one
        double level = decibels(sumPerOrder[std::size_t(order)], countPerOrder[std::size_t(order)]);
        EXPECT_GT(level, -32.0) << "order " << order << " is nearly silent";
        EXPECT_LT(level, -12.0) << "order " << order << " is too loud";
    }
}

TEST(Soundtrack, TheDropIsAudible) {
    // The half bar before order 49 row 32 has no kick and no bass; the half
    // bar after it has both: far more low end.
    auto loaded = loadModule();
    openmpt::module& module = *loaded;
    auto lowEnergy = [&](double from) {
        module.set_position_seconds(from);
        std::vector<float> block(2 * 44100 * 94 / 100);  // half a bar
        module.read_interleaved_stereo(44100, block.size() / 2, block.data());
        double state = 0, sum = 0;
        for (std::size_t i = 0; i < block.size(); i += 2) {
            state += 0.02 * ((block[i] + block[i + 1]) * 0.5 - state);  // ~140 Hz low-pass
            sum += state * state;
        }
        return sum;
    };
    double drop = module.set_position_order_row(kDropOrder, kDropRow);
    EXPECT_GT(lowEnergy(drop), 4.0 * lowEnergy(drop - 0.95));
}

TEST(Soundtrack, TunnelSweepLoadsAndRingsIntoTheLensScene) {
    LoadedWave wave(dataPath("1.wav"));
    ASSERT_NE(wave.data, nullptr);
    EXPECT_EQ(wave.spec.freq, 44100);
    EXPECT_EQ(wave.spec.format, AUDIO_S16LSB);
    EXPECT_EQ(wave.spec.channels, 2);
    ASSERT_GE(wave.length, 1140000u);
    double peak, rms;
    wave.measure(0, wave.length, peak, rms);
    EXPECT_LT(peak, 32767.0 / 32768.0);
    EXPECT_GT(rms, 0.03);
    // Loudest just before the module comes in...
    double beforePeak, beforeRms;
    wave.measure(1140000 - 4 * 44100, 1140000, beforePeak, beforeRms);
    EXPECT_GT(beforeRms, rms);
    // ...and still sounding a quarter second into order 39, then gone.
    double tailPeak, tailRms;
    wave.measure(1140000, 1140000 + 4 * 11025, tailPeak, tailRms);
    EXPECT_GT(tailRms, 0.01);
    EXPECT_LT(tailRms, beforeRms);
    double endPeak, endRms;
    wave.measure(wave.length - 4 * 4410, wave.length, endPeak, endRms);
    EXPECT_LT(endPeak, 0.002);
}

TEST(Soundtrack, ClosingStingLoadsAndDecaysBeforeItIsCut) {
    LoadedWave wave(dataPath("2.wav"));
    ASSERT_NE(wave.data, nullptr);
    EXPECT_EQ(wave.spec.freq, 44100);
    EXPECT_EQ(wave.spec.format, AUDIO_S16LSB);
    EXPECT_EQ(wave.spec.channels, 2);
    ASSERT_GE(wave.length, 240000u);
    double peak, rms;
    wave.measure(0, 4 * 11025, peak, rms);  // the first quarter second
    EXPECT_GT(rms, 0.05);
    EXPECT_LT(peak, 32767.0 / 32768.0);
    // Silent (a sample's worth at most) over the last tenth of a second
    // before the demo stops it at 240,000 bytes.
    wave.measure(240000 - 4 * 4410, 240000, peak, rms);
    EXPECT_LE(peak, 1.0 / 32768.0);
}
