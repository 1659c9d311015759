#include "BlockHeader.h"

#include <algorithm>

#include "GrowingFileReader.h"
#include "StreamBitReader.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

// A count comes from the file; room beyond this is made as sizes are read, so
// a bogus count costs no more memory than the bytes that back it.
constexpr std::uint32_t kSizesReservedUpFront = 4096;

std::uint8_t KindFromCode(std::uint32_t code) { return static_cast<std::uint8_t>(std::uint32_t{1} << (code % 32)); }

}  // namespace

TBlockHeader ReadBlockHeader(GrowingFileReader& reader) {
    StreamBitReader bits(reader);
    TBlockHeader header;
    header.kind = KindFromCode(bits.ReadUE());
    header.codec = bits.ReadBits(32);
    header.count = bits.ReadUE();
    header.sizes.reserve(std::min(header.count, kSizesReservedUpFront));
    std::uint32_t total = 0;
    for (std::uint32_t i = 0; i < header.count; ++i) {
        header.sizes.push_back(bits.ReadUE());
        total += header.sizes.back();  // wraps, as the recorder sums them
    }
    if (!header.IsIndexBlock()) {
        header.configLength = bits.ReadUE();
        if (header.kind & kKindVideo) {
            header.width = static_cast<std::uint16_t>(bits.ReadUE());
            header.height = static_cast<std::uint16_t>(bits.ReadUE());
        }
    }
    header.dataStart = reader.Position() + header.configLength;
    header.dataEnd = header.dataStart + total;
    return header;
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
