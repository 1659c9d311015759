#pragma once

// Big-endian fields of records that are already in memory.

#include <cstdint>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

inline std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
