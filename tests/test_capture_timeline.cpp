// The whole demo through demo-capture: the scene changes come at the frames
// where the captured mix reaches the musical events, to the frame.
//
// The events are found in the captured mix itself, by the sources' own
// sound: where the first wave, the module from order 39 and the second wave
// begin in it; how far order 41 and order 52 lie after order 39 comes from
// libopenmpt rendering one frame at a time. Frame n hears the mix up to
// n * 735 frames; the sequencer sees an event after the first frame that
// hears it and changes the scene from the next frame on.
#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;
constexpr std::int64_t perFrame = rate / 60;  // 735

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The samples of a 16-bit stereo wave file (its "data" chunk).
std::vector<std::int16_t> waveSamples(const std::string& path) {
    std::vector<std::uint8_t> bytes = readBytes(path);
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = bytes[at + 4] | (bytes[at + 5] << 8) | (bytes[at + 6] << 16) |
                             (static_cast<std::uint32_t>(bytes[at + 7]) << 24);
        if (std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4) == "data") {
            std::vector<std::int16_t> samples(std::min<std::size_t>(size, bytes.size() - at - 8) / 2);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::int16_t>(bytes[at + 8 + 2 * i] | (bytes[at + 9 + 2 * i] << 8));
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

std::ostream& quiet() {
    static std::ostream stream(nullptr);
    return stream;
}

std::unique_ptr<openmpt::module> openModule(const std::vector<std::uint8_t>& bytes, int order) {
    auto player = std::make_unique<openmpt::module>(bytes, quiet());
    player->ctl_set_text("play.at_end", "stop");
    player->ctl_set_boolean("seek.sync_samples", true);
    if (order != 0) player->set_position_order_row(order, 0);
    return player;
}

// libopenmpt's own render of `frames` frames from `order`, in float.
std::vector<float> render(const std::vector<std::uint8_t>& bytes, int order, std::size_t frames) {
    auto player = openModule(bytes, order);
    std::vector<float> samples(frames * 2, 0.0f);
    player->read_interleaved_stereo(rate, frames, samples.data());
    return samples;
}

// Frames from `order`, row 0, to the first frame of order `target`.
std::int64_t framesUntilOrder(const std::vector<std::uint8_t>& bytes, int order, int target) {
    auto player = openModule(bytes, order);
    float frame[2];
    for (std::int64_t n = 0;; ++n) {
        if (player->read_interleaved_stereo(rate, 1, frame) == 0) return -1;
        if (player->get_current_order() >= target) return n;
    }
}

// The mix sample of sources summed in float, as the layer writes it.
std::int16_t mixed(float sum) {
    float value = std::clamp(sum, -1.0f, 1.0f) * 32767.0f;
    return static_cast<std::int16_t>(std::lrint(value));
}

float fromPcm(std::int16_t sample) { return static_cast<float>(sample) / 32768.0f; }

// A sound source placed in the mix: sample i of `samples` at mix sample
// 2 * start + i.
struct Placed {
    const std::vector<float>* samples;
    std::int64_t start;
};

float sumAt(const std::vector<Placed>& sources, std::int64_t sample) {
    float sum = 0.0f;
    for (const Placed& source : sources) {
        std::int64_t i = sample - 2 * source.start;
        if (i >= 0 && i < static_cast<std::int64_t>(source.samples->size())) sum += (*source.samples)[static_cast<std::size_t>(i)];
    }
    return sum;
}

// Largest difference between the recording and the sources over mix frames
// [from, to).
int largestDifference(const std::vector<std::int16_t>& recording, const std::vector<Placed>& sources,
                      std::int64_t from, std::int64_t to) {
    int largest = 0;
    for (std::int64_t s = 2 * from; s < 2 * to && s < static_cast<std::int64_t>(recording.size()); ++s)
        largest = std::max(largest, std::abs(recording[static_cast<std::size_t>(s)] - mixed(sumAt(sources, s))));
    return largest;
}

// The first mix frame in [from, to) where `source` (over what already sounds,
// `under`) starts, judged on 2,000 frames from its first audible one.
std::int64_t findStart(const std::vector<std::int16_t>& recording, const std::vector<float>& source,
                       const std::vector<Placed>& under, std::int64_t from, std::int64_t to) {
    std::int64_t audible = 0;
    while (audible < static_cast<std::int64_t>(source.size()) / 2 &&
           std::fabs(source[static_cast<std::size_t>(2 * audible)]) < 0.01f)
        audible++;
    for (std::int64_t start = from; start < to; ++start) {
        std::vector<Placed> all = under;
        all.push_back({&source, start});
        bool match = true;
        for (std::int64_t f = start + audible; f < start + audible + 2000 && match; ++f) {
            std::int64_t s = 2 * f;
            if (s >= static_cast<std::int64_t>(recording.size())) return -1;
            match = std::abs(recording[static_cast<std::size_t>(s)] - mixed(sumAt(all, s))) <= 2;
        }
        if (match) return start;
    }
    return -1;
}

// The first frame drawn that hears mix frame `event`: frame n hears up to
// n * 735.
std::int64_t firstFrameHearing(std::int64_t event) { return (event + perFrame - 1) / perFrame; }

// Runs demo-capture with `arguments`; its stdout, and its exit status.
int runCapture(const std::string& arguments, std::string& out) {
    CommandResult result = runCommand(builtProgram("tools/capture/demo-capture") + " " + arguments);
    out += result.out;
    return result.status;
}

}  // namespace

TEST(CaptureTimeline, SceneChangesComeAtTheFramesTheMixReachesTheMusicalEvents) {
    const ScratchDirectory folder;
    ASSERT_FALSE(folder.path.empty());
    const std::string mixPath = folder.path + "/mix.wav";

    std::string out;
    // The timeline ends by itself, and the program with status 0.
    ASSERT_EQ(runCapture("--size 160x120 --seconds 300 --wav " + mixPath, out), 0) << out;

    // "scene 2 frame 3078 ..." -> frame at which each change came.
    std::map<std::string, std::int64_t> at;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string what, value, frameWord;
        std::int64_t frame = -1;
        words >> what;
        if (what == "end") {
            words >> frameWord >> frame;
            at["end"] = frame;
            continue;
        }
        words >> value >> frameWord >> frame;
        if (!at.count(what + value)) at[what + value] = frame;
    }
    for (const char* key : {"scene0", "scene1", "scene2", "lens1", "scene-1", "end"})
        ASSERT_TRUE(at.count(key)) << key << " missing in\n" << out;

    const std::vector<std::int16_t> recording = waveSamples(mixPath);
    const std::vector<std::uint8_t> module = readBytes("data/orbita.s3m");
    std::vector<float> first, second;
    for (std::int16_t s : waveSamples("data/1.wav")) first.push_back(fromPcm(s));
    for (std::int16_t s : waveSamples("data/2.wav")) second.push_back(fromPcm(s));
    ASSERT_FALSE(recording.empty());
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());

    // The mix lasts exactly as long as the frames drawn.
    EXPECT_EQ(static_cast<std::int64_t>(recording.size()), at["end"] * perFrame * 2);

    // Scene 0: the module from its start, alone, until the first wave takes
    // over at the first frame of scene 1.
    const std::int64_t sceneOneMix = at["scene1"] * perFrame;
    const std::vector<float> fromStart = render(module, 0, static_cast<std::size_t>(sceneOneMix));
    EXPECT_LE(largestDifference(recording, {{&fromStart, 0}}, 0, sceneOneMix), 2);
    const std::int64_t firstStart = findStart(recording, first, {}, sceneOneMix - 5 * perFrame,
                                              sceneOneMix + 5 * perFrame);
    EXPECT_EQ(firstStart, sceneOneMix);
    ASSERT_GE(firstStart, 0);

    // Scene 2 begins after the first frame that hears the first wave's
    // 1,140,000th byte (16-bit stereo: 4 bytes a frame), with the module
    // from order 39 starting in the mix right there, over the wave.
    EXPECT_EQ(at["scene2"], firstFrameHearing(firstStart + 1140000 / 4) + 1);
    const std::int64_t sceneTwoMix = at["scene2"] * perFrame;
    const std::int64_t lensLength = (at["scene-1"] - at["scene2"]) * perFrame;
    const std::vector<float> from39 = render(module, 39, static_cast<std::size_t>(lensLength));
    const std::vector<Placed> wave = {{&first, firstStart}};
    const std::int64_t start39 = findStart(recording, from39, wave, firstStart, sceneTwoMix + 5 * perFrame);
    EXPECT_EQ(start39, sceneTwoMix);
    ASSERT_GE(start39, 0);
    EXPECT_LE(largestDifference(recording, {{&first, firstStart}, {&from39, start39}}, firstStart,
                                start39 + lensLength),
              2);

    // The lens comes after the first frame that hears order 41; the closing
    // stretch after the first that hears order 52.
    const std::int64_t to41 = framesUntilOrder(module, 39, 41);
    const std::int64_t to52 = framesUntilOrder(module, 39, 52);
    ASSERT_GT(to41, 0);
    ASSERT_GT(to52, to41);
    EXPECT_EQ(at["lens1"], firstFrameHearing(start39 + to41) + 1);
    EXPECT_EQ(at["scene-1"], firstFrameHearing(start39 + to52) + 1);

    // The closing stretch: the second wave alone from its first frame; the
    // program ends after the first frame that hears all its 240,000 bytes.
    const std::int64_t closingMix = at["scene-1"] * perFrame;
    const std::int64_t secondStart =
        findStart(recording, second, {}, closingMix - 5 * perFrame, closingMix + 5 * perFrame);
    EXPECT_EQ(secondStart, closingMix);
    ASSERT_GE(secondStart, 0);
    EXPECT_LE(largestDifference(recording, {{&second, secondStart}}, secondStart, at["end"] * perFrame), 2);
    EXPECT_EQ(at["end"], firstFrameHearing(secondStart + 240000 / 4) + 1);
}
