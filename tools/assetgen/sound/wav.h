// RIFF WAVE writer for the two wave files: 16-bit PCM, interleaved channels.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen::sound {

// A canonical 44-byte-header PCM file holding `frames` (interleaved, one
// value per channel per frame).
std::vector<std::uint8_t> writeWav(const std::vector<std::int16_t>& frames, int channels,
                                   int sampleRate);

// Float signal in [-1, 1] to 16-bit values, rounded to nearest, clamped.
std::int16_t toPcm16(double value);

}  // namespace assetgen::sound
