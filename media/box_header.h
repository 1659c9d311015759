#pragma once

// The header of an ISO box as every reader of the media files decodes it: a
// big-endian 32-bit size and a four-character type; a 64-bit size follows
// when the 32-bit one is 1, and a 16-byte extended type follows the type
// "uuid". What a size of 0 or a size below the header means, and whether a
// short header fails, is each reader's own rule; the bytes mean this.

#include <cstddef>
#include <cstdint>

#include "media/byte_order.h"

constexpr std::size_t kBoxSizeAndTypeLength = 8;
constexpr std::size_t kLargeBoxSizeLength = 8;
constexpr std::size_t kBoxExtendedTypeLength = 16;
constexpr std::uint32_t kUuidBoxType = FourCC("uuid");

struct DecodedBoxHeader {
    std::uint64_t size = 0;  // header included
    std::uint32_t type = 0;  // the four characters as a big-endian integer
    bool largeSize = false;  // the size is the 64-bit one

    // The size fields: 8 bytes, 16 with the 64-bit size.
    std::size_t SizeFieldsLength() const { return kBoxSizeAndTypeLength + (largeSize ? kLargeBoxSizeLength : 0); }
    bool HasExtendedType() const { return type == kUuidBoxType; }
    // Everything in front of the body: the size fields and a uuid's extended type.
    std::size_t HeaderLength() const { return SizeFieldsLength() + (HasExtendedType() ? kBoxExtendedTypeLength : 0); }
};

// The size and type from the header's first 8 bytes. True when the 64-bit
// size follows; its 8 bytes go to DecodeLargeBoxSize.
inline bool DecodeBoxSizeAndType(const std::uint8_t* bytes, DecodedBoxHeader& header) {
    header.size = BigEndian32(bytes);
    header.type = BigEndian32(bytes + 4);
    header.largeSize = false;
    return header.size == 1;
}

inline void DecodeLargeBoxSize(const std::uint8_t* bytes, DecodedBoxHeader& header) {
    header.size = BigEndian64(bytes);
    header.largeSize = true;
}
