#pragma once

// The bit-coded header that opens every block of the live region.

#include <cstdint>
#include <vector>

#include "media/byte_order.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class GrowingFileReader;

// Four-character codes whose first character is the least significant byte.
constexpr std::uint32_t kCodecH264 = LittleEndianFourCC("H264");
constexpr std::uint32_t kCodecLumo = LittleEndianFourCC("LUMO");  // an index block

// One-hot block kinds.
constexpr std::uint8_t kKindVideo = 0x01;
constexpr std::uint8_t kKindAudio = 0x02;
constexpr std::uint8_t kKindSkippedPair = 0x40;

struct TBlockHeader {
    std::uint8_t kind = 0;
    std::uint32_t codec = 0;
    std::uint32_t count = 0;
    std::vector<std::uint32_t> sizes;  // payload sizes (data block) or record sizes (index block)
    std::uint32_t configLength = 0;    // data blocks only
    std::uint16_t width = 0;           // video data blocks only
    std::uint16_t height = 0;
    std::uint64_t dataStart = 0;  // first byte after the header and the configuration
    std::uint64_t dataEnd = 0;    // dataStart + the sizes, summed in 32 bits

    bool IsIndexBlock() const { return codec == kCodecLumo; }
};

// Reads a block header at the reader's position and leaves the reader on the
// first byte after it (the header's padding bits are dropped). Raises what
// the reader raises when the header is not all written yet, and
// ViewWhileRecException for an Exp-Golomb code with too many leading zeros.
TBlockHeader ReadBlockHeader(GrowingFileReader& reader);

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
