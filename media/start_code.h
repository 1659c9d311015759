#pragma once

// The start code that precedes every coded unit and parameter set in the
// start-code form the readers deliver H.264 and H.265 in.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kUnitStartCode[4] = {0, 0, 0, 1};
inline constexpr std::size_t kUnitStartCodeLength = sizeof kUnitStartCode;
