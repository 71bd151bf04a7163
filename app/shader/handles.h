// Handle types of the shader layer. A handle is a small number; 0 is the
// null handle, which every shader operation accepts and ignores, so a program
// that failed to compile flows through the demo unchanged.
#pragma once

#include <cstdint>

namespace shader {

using Context = std::uint32_t;
using Profile = std::uint32_t;
using Program = std::uint32_t;
using Parameter = std::uint32_t;

}  // namespace shader
