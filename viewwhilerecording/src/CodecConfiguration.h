#pragma once

// The codec configuration that follows a data block's header.

#include <cstdint>
#include <vector>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class GrowingFileReader;

// Reads the configuration of a data block at the reader's position. H264
// parameter sets (u16 length and set, u8 count, then u16 length and set per
// further set) become a start-code stream, 00 00 00 01 before each set, in
// file order; sets that would not fit configLength + 513 bytes make the block
// malformed (ViewWhileRecException). Other codecs keep their configLength
// bytes as they stand.
std::vector<std::uint8_t> ReadCodecConfiguration(GrowingFileReader& reader, std::uint32_t codec,
                                                 std::uint32_t configLength);

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
