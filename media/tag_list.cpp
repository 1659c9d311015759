#include "media/tag_list.h"

namespace {

uint32_t ReadTagNumber(BitReader& reader, uint32_t first) {
    if (first < 0x80) return first;
    return reader.ReadBigEndian(first & 7);
}

uint32_t ReadTagLength(BitReader& reader) {
    const uint32_t first = reader.Read(8);
    if (first < 0x80) return first;
    if (first < 0xC0) return reader.ReadBigEndian(first & 0x3F);
    if (first < 0xE0) return first & 3;
    return reader.ReadBigEndian(first & 3);
}

}  // namespace

TagHeader ReadTagHeader(BitReader& reader) {
    const uint32_t first = reader.Read(8);
    if (first >= 0xE0) return {first, 0};
    if (first >= 0xC0) return {first, 1};
    const uint32_t number = ReadTagNumber(reader, first);
    return {number, ReadTagLength(reader)};
}

void SkipZeroBytes(BitReader& reader) {
    while (reader.BytesRemaining() > 0 && reader.Peek(8) == 0) reader.Skip(8);
}
