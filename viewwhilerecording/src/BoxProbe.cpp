#include "BoxProbe.h"

#include "GrowingFileReader.h"
#include "media/box_header.h"
#include "media/byte_cursor.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

using WrittenBytes = ByteCursor<WaitForMore>;

// The probe's own header rule: the extended type of a "uuid" must be written
// too, so that a probe succeeds only once the whole header is; the sizes are
// not checked, since only the type is used.
ProbedBox ReadProbedHeader(WrittenBytes& header) {
    DecodedBoxHeader decoded;
    if (DecodeBoxSizeAndType(header.Take(kBoxSizeAndTypeLength), decoded)) {
        DecodeLargeBoxSize(header.Take(kLargeBoxSizeLength), decoded);
    }
    if (decoded.HasExtendedType()) header.Skip(kBoxExtendedTypeLength);
    ProbedBox box;
    box.size = decoded.size;
    box.type = decoded.type;
    box.headerLength = static_cast<std::uint32_t>(decoded.HeaderLength());
    return box;
}

}  // namespace

// The reader stays where it is, so a probe cut short by the end of the
// written data leaves it on the boundary for the next probe.
ProbedBox ProbeBox(GrowingFileReader& reader) {
    std::uint8_t bytes[kBoxSizeAndTypeLength + kLargeBoxSizeLength + kBoxExtendedTypeLength];
    const std::size_t written = reader.Peek(bytes, sizeof bytes);
    WrittenBytes header(bytes, bytes + written);
    return ReadProbedHeader(header);
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
