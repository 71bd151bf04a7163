#include "tools/assetgen/sound/wav.h"

#include <cmath>
#include <cstring>

namespace assetgen::sound {

namespace {

void append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}
void append16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}
void appendTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(tag[i]));
}

}  // namespace

std::vector<std::uint8_t> writeWav(const std::vector<std::int16_t>& frames, int channels,
                                   int sampleRate) {
    std::uint32_t dataBytes = std::uint32_t(frames.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    appendTag(out, "RIFF");
    append32(out, 36 + dataBytes);
    appendTag(out, "WAVE");
    appendTag(out, "fmt ");
    append32(out, 16);
    append16(out, 1);  // PCM
    append16(out, unsigned(channels));
    append32(out, std::uint32_t(sampleRate));
    append32(out, std::uint32_t(sampleRate * channels * 2));
    append16(out, unsigned(channels * 2));
    append16(out, 16);
    appendTag(out, "data");
    append32(out, dataBytes);
    for (std::int16_t value : frames) append16(out, std::uint16_t(value));
    return out;
}

std::int16_t toPcm16(double value) {
    double scaled = std::floor(value * 32767.0 + 0.5);
    if (scaled > 32767.0) scaled = 32767.0;
    if (scaled < -32768.0) scaled = -32768.0;
    return std::int16_t(scaled);
}

}  // namespace assetgen::sound
