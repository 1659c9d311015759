#include "mp4parser/BoxBody.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

std::vector<std::uint8_t> BoxBody::ReadToEnd() {
    if (declaredEnd_ > End()) FailPastBoxEnd::Shortfall();
    const std::size_t count = Remaining();
    const std::uint8_t* bytes = Take(count);
    return std::vector<std::uint8_t>(bytes, bytes + count);
}

void BoxBody::RequireEntries(std::uint64_t count, std::uint64_t entrySize) const {
    if (entrySize != 0 && count > Remaining() / entrySize) ThrowBadFormat("count exceeds box");
}

bool BoxBody::NextChild(BoxHeader& child) {
    if (PassOverZeroPadding() && ReadChildHeader(child)) return true;
    SeekToEnd();
    return false;
}

bool BoxBody::PassOverZeroPadding() {
    const std::uint64_t position = Position();
    if (Remaining() < 4) return false;
    if (ReadU32() != 0) {
        Seek(position);
        return true;
    }
    const std::uint64_t start =
        FindBoxAfterZeros(position, End(), [this](std::uint64_t at, std::uint8_t* destination, std::size_t count) {
            Seek(at);
            ReadBytes(destination, count);
            return true;
        });
    Seek(start);
    return start < End();
}

// The shared header rule, but what does not fit ends the loop rather than
// failing the file: a child is found only through its parent's bytes.
bool BoxBody::ReadChildHeader(BoxHeader& child) {
    child.start = Position();
    if (Remaining() < kBoxSizeAndTypeLength) return false;
    DecodedBoxHeader decoded;
    const bool largeSize = DecodeBoxSizeAndType(Take(kBoxSizeAndTypeLength), decoded);
    child.type = decoded.type;
    if (largeSize) {
        if (Remaining() < kLargeBoxSizeLength) return false;
        DecodeLargeBoxSize(Take(kLargeBoxSizeLength), decoded);
    }
    const std::uint64_t size = decoded.size;
    const std::uint64_t headerLength = decoded.HeaderLength();
    if (size < headerLength || headerLength > End() - child.start) return false;
    child.size = size;
    // A size beyond the 64-bit range claims more than any parent holds.
    child.end = size > ~std::uint64_t{0} - child.start ? ~std::uint64_t{0} : child.start + size;
    child.bodyStart = child.start + headerLength;
    Seek(child.bodyStart);
    return true;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
