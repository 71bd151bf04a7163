// Handle type of the sound layer: a channel (the module or a wave). 0 is the
// null handle of a failed load; every sound operation accepts it harmlessly.
#pragma once

#include <cstdint>

namespace sound {

using Channel = std::uint32_t;

}  // namespace sound
