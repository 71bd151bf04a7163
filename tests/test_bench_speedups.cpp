// What was made faster for the bench's figures still gives exactly what it
// gave before: the waves' direct conversion at load is the same, sample for
// sample, as SDL's audio stream, which still converts everything else. Seen
// through the offline sink: a wave alone in the mix is heard as its
// converted frames, quantised once to 16 bits.
#include "app/backends.h"
#include "app/sound/sound.h"
#include "support/test_backends.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What SDL's audio stream makes of a wave file: float stereo at `rate`.
std::vector<float> streamConversion(const std::string& path, int rate) {
    SDL_AudioSpec spec;
    Uint8* decoded = nullptr;
    Uint32 bytes = 0;
    std::vector<float> frames;
    if (!SDL_LoadWAV(path.c_str(), &spec, &decoded, &bytes)) return frames;
    SDL_AudioStream* stream = SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_F32SYS, 2, rate);
    if (stream && SDL_AudioStreamPut(stream, decoded, static_cast<int>(bytes)) == 0 &&
        SDL_AudioStreamFlush(stream) == 0) {
        int available = SDL_AudioStreamAvailable(stream);
        frames.resize(static_cast<std::size_t>(available) / sizeof(float));
        int got = SDL_AudioStreamGet(stream, frames.data(), available);
        frames.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(float) / 2 * 2 : 0);
    }
    if (stream) SDL_FreeAudioStream(stream);
    SDL_FreeWAV(decoded);
    return frames;
}

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A 16-bit PCM wave of `channels` at `rate` holding `samples` (interleaved).
std::string writeWave(const std::string& name, int channels, int rate, const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> b;
    const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(b, 36 + data, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(b, 16, 4);
    put(b, 1, 2);
    put(b, static_cast<std::uint32_t>(channels), 2);
    put(b, static_cast<std::uint32_t>(rate), 4);
    put(b, static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(b, static_cast<std::uint32_t>(channels * 2), 2);
    put(b, 16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, data, 4);
    for (std::int16_t s : samples) put(b, static_cast<std::uint16_t>(s), 2);
    std::string path = std::string("/tmp/demo-bench-") + std::to_string(getpid()) + "-" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
        std::fwrite(b.data(), 1, b.size(), file);
        std::fclose(file);
    }
    return path;
}

// What the mix makes of float frames: clipped once, then rounded to 16 bits.
std::vector<std::int16_t> quantised(const std::vector<float>& frames) {
    std::vector<std::int16_t> samples;
    for (float value : frames) {
        value = value > 1.0f ? 1.0f : value;
        value = value < -1.0f ? -1.0f : value;
        value *= 32767.0f;
        samples.push_back(static_cast<std::int16_t>(static_cast<std::int32_t>(value + 32768.5f) - 32768));
    }
    return samples;
}

// The wave at `path` played alone to its end through the offline sink; what
// was heard. Empty when it would not load.
std::vector<std::int16_t> heardAlone(const std::string& path, std::string& error) {
    platform::Backends offline = testBackends();
    offline.soundOutput = platform::SoundOutput::offline;
    platform::useBackends(offline);
    std::vector<std::int16_t> heard;
    if (sound::init(nullptr, 44100) != 1) {
        error = sound::lastError();
        return heard;
    }
    sound::Channel wave = sound::createStream(path.c_str());
    if (wave == 0) {
        error = sound::lastError();
        sound::shutdown();
        return heard;
    }
    sound::playStream(wave, true);
    sound::consumeOffline(sound::length(wave));  // at least every frame it holds
    sound::update();
    heard = sound::offlineRecording();
    sound::shutdown();
    return heard;
}

std::vector<std::int16_t> everyValue(int channels) {
    // Every 16-bit value, extremes included, on each channel.
    std::vector<std::int16_t> samples;
    for (int v = -32768; v <= 32767; ++v)
        for (int c = 0; c < channels; ++c) samples.push_back(static_cast<std::int16_t>(c ? -1 - v : v));
    return samples;
}

}  // namespace

TEST(SpeedupsChangeNothing, WaveConversionIsSDLsStreamSampleForSample) {
    ASSERT_EQ(SDL_Init(0), 0);
    std::vector<std::string> paths = {"data/1.wav", "data/2.wav", writeWave("every.wav", 2, 44100, everyValue(2))};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::string error;
        std::vector<std::int16_t> heard = heardAlone(path, error);
        ASSERT_FALSE(heard.empty()) << error;
        std::vector<float> expected = streamConversion(path, 44100);
        ASSERT_FALSE(expected.empty());
        ASSERT_GE(heard.size(), expected.size());
        // Silence after its end, and up to there what SDL's stream makes.
        EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(expected.size()), heard.end(),
                                [](std::int16_t sample) { return sample == 0; }));
        heard.resize(expected.size());
        EXPECT_TRUE(heard == quantised(expected));
    }
    std::remove(paths.back().c_str());
    SDL_Quit();
}

TEST(SpeedupsChangeNothing, OtherRatesAndLayoutsStillGoThroughSDL) {
    ASSERT_EQ(SDL_Init(0), 0);
    // Same format, another rate: resampled to twice the frames; mono: spread
    // to both channels. Both as SDL's stream makes them.
    std::vector<std::int16_t> tone;
    for (int i = 0; i < 4410; ++i) tone.push_back(static_cast<std::int16_t>((i * 37) % 20000 - 10000));
    const std::string slow = writeWave("slow.wav", 2, 22050, tone);
    const std::string mono = writeWave("mono.wav", 1, 44100, tone);
    for (const std::string& path : {slow, mono}) {
        SCOPED_TRACE(path);
        std::string error;
        std::vector<std::int16_t> heard = heardAlone(path, error);
        ASSERT_FALSE(heard.empty()) << error;
        std::vector<float> expected = streamConversion(path, 44100);
        ASSERT_GE(heard.size(), expected.size());
        EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(expected.size()), heard.end(),
                                [](std::int16_t sample) { return sample == 0; }));
        heard.resize(expected.size());
        EXPECT_TRUE(heard == quantised(expected));
        std::remove(path.c_str());
    }
    SDL_Quit();
}
