// The wave channel: the whole file is decoded by SDL and converted once, at
// load, to the mixing format (float stereo at the output rate), so mixing it
// is a plain sum. Its position is exact at any frame: the output frame maps
// back to a frame of the file, counted in bytes of the file's own format.
#include "app/sound/layer.h"

#include <algorithm>
#include <cstring>

namespace sound::detail {
namespace {

unsigned read16(const std::uint8_t* at) { return at[0] | (at[1] << 8); }

std::uint32_t read32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(read16(at)) | (static_cast<std::uint32_t>(read16(at + 2)) << 16);
}

// The bytes one frame takes in the file's own format, from its "fmt " chunk:
// its block align for plain PCM and float data; 0 for anything else
// (compressed data has no fixed size per frame).
std::uint32_t fileBytesPerFrame(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = read32(&bytes[at + 4]);
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > bytes.size()) return 0;
            const std::uint8_t* format = &bytes[at + 8];
            unsigned tag = read16(format);
            unsigned blockAlign = read16(format + 12);
            bool plain = tag == 1 || tag == 3 || tag == 0xFFFE;
            return plain ? blockAlign : 0;
        }
        at += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    return 0;
}

}  // namespace

std::unique_ptr<WaveChannel> openWave(const char* path, int rate, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(path, bytes, error)) return nullptr;

    if (bytes.size() > 0x7FFFFFFF) {
        error = std::string(path) + ": the file is too large to be a wave the demo plays";
        return nullptr;
    }
    SDL_AudioSpec spec;
    Uint8* decoded = nullptr;
    Uint32 decodedBytes = 0;
    SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (!source || !SDL_LoadWAV_RW(source, 1, &spec, &decoded, &decodedBytes)) {
        error = std::string(path) + ": not a wave file that can be played (" + SDL_GetError() + ")";
        return nullptr;
    }

    auto wave = std::make_unique<WaveChannel>();
    const std::uint32_t decodedFrameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    wave->sourceFrames = decodedFrameBytes ? decodedBytes / decodedFrameBytes : 0;
    wave->sourceRate = static_cast<std::uint32_t>(spec.freq);
    wave->rate = rate;
    std::uint32_t ownBytes = fileBytesPerFrame(bytes);
    wave->bytesPerFrame = ownBytes ? ownBytes : decodedFrameBytes;

    bool converted = false;
    if (wave->sourceFrames > 0 && spec.format == AUDIO_S16SYS && spec.channels == 2 && spec.freq == rate) {
        // 16-bit stereo at the output rate (the demo's own waves): the
        // conversion is only value / 32768, exactly what SDL's stream gives,
        // done here in one pass instead of SDL's buffered one, which takes
        // tens of milliseconds of the start-up for the first wave.
        const auto* samples = reinterpret_cast<const Sint16*>(decoded);
        const std::size_t count = static_cast<std::size_t>(wave->sourceFrames) * 2;
        wave->frames.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            wave->frames.push_back(static_cast<float>(samples[i]) * (1.0f / 32768.0f));
        converted = true;
    } else if (wave->sourceFrames > 0) {
        SDL_AudioStream* stream =
            SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_F32SYS, 2, rate);
        if (stream && SDL_AudioStreamPut(stream, decoded, static_cast<int>(decodedBytes)) == 0 &&
            SDL_AudioStreamFlush(stream) == 0) {
            int available = SDL_AudioStreamAvailable(stream);
            wave->frames.resize(static_cast<std::size_t>(available) / sizeof(float));
            int got = SDL_AudioStreamGet(stream, wave->frames.data(), available);
            wave->frames.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(float) / 2 * 2 : 0);
            converted = got > 0;
        }
        if (!converted) error = std::string(path) + ": the sound cannot be converted (" + SDL_GetError() + ")";
        if (stream) SDL_FreeAudioStream(stream);
    } else {
        error = std::string(path) + ": the wave file holds no sound";
    }
    SDL_FreeWAV(decoded);
    if (!converted) return nullptr;
    return wave;
}

std::uint64_t wavePositionAt(const WaveChannel& wave, std::uint64_t frame) {
    // The file's frame under output frame `frame`, by the rates alone: the
    // whole file has been heard exactly when its duration has passed, however
    // many frames the resampler made of it.
    std::uint64_t sourceFrame = wave.sourceFrames;
    if (wave.rate > 0)
        sourceFrame = std::min(sourceFrame, frame * wave.sourceRate / static_cast<std::uint64_t>(wave.rate));
    return sourceFrame * wave.bytesPerFrame;
}

}  // namespace sound::detail
