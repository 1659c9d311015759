#include "BoxProbe.h"

#include "DataReader.h"
#include "media/box_header.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

// The probe's own header rule: the extended type of a "uuid" is read, not
// passed over, so that a probe succeeds only once the whole header is
// written; the sizes are not checked, since only the type is used.
BoxHeader ReadBoxHeader(DataReader& reader) {
    std::uint8_t bytes[kBoxSizeAndTypeLength + kLargeBoxSizeLength];
    reader.GetData(bytes, kBoxSizeAndTypeLength);
    DecodedBoxHeader decoded;
    if (DecodeBoxSizeAndType(bytes, decoded)) {
        reader.GetData(bytes + kBoxSizeAndTypeLength, kLargeBoxSizeLength);
        DecodeLargeBoxSize(bytes + kBoxSizeAndTypeLength, decoded);
    }
    if (decoded.HasExtendedType()) {
        std::uint8_t extendedType[kBoxExtendedTypeLength];
        reader.GetData(extendedType, sizeof extendedType);
    }
    BoxHeader box;
    box.size = decoded.size;
    for (int i = 0; i < 4; ++i) box.type[i] = static_cast<char>(bytes[4 + i]);
    box.headerLength = static_cast<std::uint32_t>(decoded.HeaderLength());
    return box;
}

}  // namespace

BoxHeader ProbeBox(DataReader& reader) {
    const std::uint64_t start = reader.Position();
    try {
        BoxHeader box = ReadBoxHeader(reader);
        reader.SetPosition(start);
        return box;
    } catch (...) {
        // A probe cut short by the end of the written data must not leave the
        // reader inside the box: the next probe starts at the same boundary.
        reader.SetPosition(start);
        throw;
    }
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
