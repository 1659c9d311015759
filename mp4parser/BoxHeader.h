#pragma once

#include <cstdint>

#include "mp4parser/BadFormat.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// A four-character code as the big-endian integer it is stored as.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

struct BoxHeader {
    std::uint64_t start = 0;      // position of the header's first byte
    std::uint64_t end = 0;        // start + size
    std::uint64_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t bodyStart = 0;  // first byte after the header (and a uuid's extended type)
};

template <typename Reader>
std::uint64_t ReadUInt64(Reader& reader) {
    const std::uint64_t high = reader.ReadUInt32();
    return high << 32 | reader.ReadUInt32();
}

// Reads a box header. Zero words in front of it are skipped, a whole 32-bit
// word at a time (stepping a byte at a time would take the leading zero
// bytes of the next box's size for more zeros and misread every box of 256
// bytes or more). A size of 0 never means "to the end of the file" here.
template <typename Reader>
BoxHeader ReadBoxHeader(Reader& reader) {
    BoxHeader header;
    header.start = reader.Position();
    std::uint64_t size = reader.ReadUInt32();
    while (size == 0) {
        header.start = reader.Position();
        size = reader.ReadUInt32();
    }
    header.type = reader.ReadUInt32();
    if (size == 1) size = ReadUInt64(reader);
    header.size = size;
    header.end = header.start + size;
    if (header.type == FourCC("uuid")) reader.Skip(16);
    header.bodyStart = reader.Position();
    return header;
}

// A box must be at least 8 bytes, hold its own header and end inside the
// 64-bit range; anything else would send the walk backwards or nowhere.
void CheckBoxHeader(const BoxHeader& header);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
