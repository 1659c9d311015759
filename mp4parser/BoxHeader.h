#pragma once

#include <cstddef>
#include <cstdint>

#include "media/box_header.h"
#include "media/byte_order.h"
#include "mp4parser/BadFormat.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

struct BoxHeader {
    std::uint64_t start = 0;  // position of the header's first byte
    std::uint64_t end = 0;    // start + size
    std::uint64_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t bodyStart = 0;  // first byte after the header (and a uuid's extended type)
};

// Reads the header of a top-level box at the file reader's position (zero
// padding in front of it must have been passed over with FindBoxAfterZeros).
// A size of 0 never means "to the end of the file" here. The header is read a
// 32-bit word at a time, so a file that ends inside it fails as the read of
// that word does.
template <typename Reader>
BoxHeader ReadTopLevelBoxHeader(Reader& reader) {
    BoxHeader header;
    header.start = reader.Position();
    std::uint8_t bytes[kBoxSizeAndTypeLength + kLargeBoxSizeLength];
    const auto readWords = [&reader](std::uint8_t* destination, std::size_t count) {
        for (std::size_t at = 0; at < count; at += 4) reader.ReadBytes(destination + at, 4);
    };
    readWords(bytes, kBoxSizeAndTypeLength);
    DecodedBoxHeader decoded;
    if (DecodeBoxSizeAndType(bytes, decoded)) {
        readWords(bytes + kBoxSizeAndTypeLength, kLargeBoxSizeLength);
        DecodeLargeBoxSize(bytes + kBoxSizeAndTypeLength, decoded);
    }
    header.size = decoded.size;
    header.type = decoded.type;
    header.end = header.start + decoded.size;
    if (decoded.HasExtendedType()) reader.Skip(kBoxExtendedTypeLength);
    header.bodyStart = reader.Position();
    return header;
}

namespace zero_padding {

// The size of a box header that could start at position: a printable type and
// a size (the 64-bit one when the size field is 1) that holds the header and
// ends by limit. 0 when it could not.
template <typename Peek>
std::uint64_t PlausibleBoxSize(Peek& peek, std::uint64_t position, std::uint64_t limit) {
    std::uint8_t bytes[16];
    if (position > limit || limit - position < 8 || !peek(position, bytes, 8)) return 0;
    for (int i = 4; i < 8; ++i)
        if (bytes[i] < 0x20 || bytes[i] > 0x7E) return 0;
    DecodedBoxHeader header;
    if (DecodeBoxSizeAndType(bytes, header)) {
        if (limit - position < 16 || !peek(position + 8, bytes + 8, 8)) return 0;
        DecodeLargeBoxSize(bytes + 8, header);
    }
    if (header.size < header.SizeFieldsLength() || header.size > limit - position) return 0;
    return header.size;
}

// A box of size bytes at position is followed by the limit, zero padding or
// another plausible box.
template <typename Peek>
bool IsFollowedSoundly(Peek& peek, std::uint64_t position, std::uint64_t size, std::uint64_t limit) {
    const std::uint64_t end = position + size;
    if (end == limit) return true;
    std::uint8_t word[4];
    if (limit - end >= 4 && peek(end, word, 4) && BigEndian32(word) == 0) return true;
    return PlausibleBoxSize(peek, end, limit) != 0;
}

}  // namespace zero_padding

// Where the box after a run of zero bytes starts, the run beginning at from
// and nothing read at or beyond limit; limit itself when only zero bytes are
// left. peek(position, destination, count) reads count bytes and returns false
// when it cannot.
//
// Writers pad with single zero bytes as well as with whole zero words, and the
// leading zero bytes of the next box's size field continue the run, so the box
// starts at one of the run's last four positions (three zero bytes for a box
// below 256 bytes, none for one of 16 MiB or more). Of these, the one whole
// words from the run's start comes first, then the earliest; a candidate must
// look like a box that fits, preferably one followed by the limit, padding or
// another box. When none does, the box is taken to start three bytes before
// the first non-zero byte.
template <typename Peek>
std::uint64_t FindBoxAfterZeros(std::uint64_t from, std::uint64_t limit, Peek peek) {
    std::uint64_t position = from;
    std::uint8_t bytes[4];
    while (position < limit && limit - position >= 4 && peek(position, bytes, 4) && BigEndian32(bytes) == 0)
        position += 4;
    const std::uint64_t wordStart = position;
    std::uint64_t firstNonZero = position;
    for (; firstNonZero < limit; ++firstNonZero) {
        if (!peek(firstNonZero, bytes, 1)) return limit;
        if (bytes[0] != 0) break;
    }
    if (firstNonZero >= limit) return limit;
    if (firstNonZero == from) return from;
    const std::uint64_t earliest = firstNonZero - from >= 3 ? firstNonZero - 3 : from;
    std::uint64_t candidates[5] = {wordStart};
    std::size_t count = 1;
    for (std::uint64_t c = earliest; c <= firstNonZero; ++c)
        if (c != wordStart) candidates[count++] = c;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t size = zero_padding::PlausibleBoxSize(peek, candidates[i], limit);
        if (size != 0 && zero_padding::IsFollowedSoundly(peek, candidates[i], size, limit)) return candidates[i];
    }
    for (std::size_t i = 0; i < count; ++i)
        if (zero_padding::PlausibleBoxSize(peek, candidates[i], limit) != 0) return candidates[i];
    return earliest;
}

// The top-level boxes that both the box reader and the embedded-file walk
// pass over: neither the movie nor the media data, but no sign of a foreign
// file either.
bool IsPassedOverAtTopLevel(std::uint32_t type);

// A box must be at least 8 bytes, hold its own header and end inside the
// 64-bit range; anything else would send the walk backwards or nowhere.
void CheckBoxHeader(const BoxHeader& header);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
