// The two wave files of the soundtrack, synthesised at 44.1 kHz, 16-bit
// stereo (interleaved left, right).
//
// - The zoom tunnel's sweep: an impact that covers the module's stop, a
//   spinning noise sweep and an opening chord rising for 1,140,000 bytes
//   (285,000 frames, 6.46 s), where the lens scene's module starts; from
//   there only the reverberation rings on, fading under the new order.
// - The closing sting: the final D minor chord, silent before 240,000 bytes
//   (60,000 frames, 1.36 s), where the demo stops it.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen::sound {

constexpr int kWaveRate = 44100;
constexpr std::size_t kTunnelFrames = 285000;  // 1,140,000 bytes of 16-bit stereo
constexpr std::size_t kTunnelTailFrames = 88200;  // 2 s ringing on under order 39
constexpr std::size_t kStingFrames = 60000;    // 240,000 bytes

std::vector<std::int16_t> synthesiseTunnelSweep();
std::vector<std::int16_t> synthesiseClosingSting();

}  // namespace assetgen::sound
