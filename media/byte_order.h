#pragma once

// Byte order of the media formats: every multi-byte integer of boxes, frame
// headers, header blocks and the live region is big-endian; only the trailer
// of an embedded media file is little-endian. One reader for all of them.

#include <cstddef>
#include <cstdint>

// The value of `bytes` big-endian bytes at p (at most 8).
inline std::uint64_t BigEndianAt(const std::uint8_t* p, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}
inline std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(BigEndianAt(p, 2)); }
inline std::uint32_t BigEndian32(const std::uint8_t* p) { return static_cast<std::uint32_t>(BigEndianAt(p, 4)); }
inline std::uint64_t BigEndian64(const std::uint8_t* p) { return BigEndianAt(p, 8); }

// Writes the low `bytes` bytes of value big-endian at p.
inline void PutBigEndian(std::uint8_t* p, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}
inline void PutBigEndian32(std::uint8_t* p, std::uint32_t value) { PutBigEndian(p, value, 4); }

// The value of `bytes` little-endian bytes at p (at most 8).
inline std::uint64_t LittleEndianAt(const std::uint8_t* p, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) value = value << 8 | p[i];
    return value;
}
inline std::uint32_t LittleEndian32(const std::uint8_t* p) { return static_cast<std::uint32_t>(LittleEndianAt(p, 4)); }

// A four-character code as the big-endian integer that boxes and frame
// headers store it as, e.g. FourCC("moov").
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(code[i]);
    return value;
}
// The same code with its first character in the least significant byte, as
// the live region stores its codec codes.
constexpr std::uint32_t LittleEndianFourCC(const char (&code)[5]) {
    std::uint32_t value = 0;
    for (int i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(code[i]);
    return value;
}
