#include "mp4parser/BoxBody.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

std::uint32_t BoxBody::ReadUInt24() {
    Require(3);
    std::uint8_t bytes[3];
    reader_.ReadBytes(bytes, 3);
    return static_cast<std::uint32_t>(bytes[0]) << 16 | static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2];
}

void BoxBody::ReadBytes(void* destination, std::size_t count) {
    Require(count);
    reader_.ReadBytes(destination, count);
}

std::vector<std::uint8_t> BoxBody::ReadToEnd() {
    const std::uint64_t position = reader_.Position();
    if (declaredEnd_ > end_) ThrowBadFormat("read past box end");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(position < end_ ? end_ - position : 0));
    reader_.ReadBytes(bytes.data(), bytes.size());
    return bytes;
}

void BoxBody::Skip(std::uint64_t count) {
    Require(count);
    reader_.Seek(reader_.Position() + count);
}

void BoxBody::Seek(std::uint64_t target) {
    if (target > end_) ThrowBadFormat("read past box end");
    reader_.Seek(target);
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
    const std::uint64_t position = reader_.Position();
    if (Remaining() < 4) return false;
    if (reader_.ReadUInt32() != 0) {
        reader_.Seek(position);
        return true;
    }
    const std::uint64_t start =
        FindBoxAfterZeros(position, end_, [this](std::uint64_t at, std::uint8_t* destination, std::size_t count) {
            reader_.Seek(at);
            reader_.ReadBytes(destination, count);
            return true;
        });
    reader_.Seek(start);
    return start < end_;
}

// The shared header rule, but what does not fit ends the loop rather than
// failing the file: a child is found only through its parent's bytes.
bool BoxBody::ReadChildHeader(BoxHeader& child) {
    child.start = reader_.Position();
    if (Remaining() < kBoxSizeAndTypeLength) return false;
    DecodedBoxHeader decoded;
    const bool largeSize = DecodeBoxSizeAndType(reader_.Take(kBoxSizeAndTypeLength), decoded);
    child.type = decoded.type;
    if (largeSize) {
        if (Remaining() < kLargeBoxSizeLength) return false;
        DecodeLargeBoxSize(reader_.Take(kLargeBoxSizeLength), decoded);
    }
    const std::uint64_t size = decoded.size;
    const std::uint64_t headerLength = decoded.HeaderLength();
    if (size < headerLength || headerLength > end_ - child.start) return false;
    child.size = size;
    // A size beyond the 64-bit range claims more than any parent holds.
    child.end = size > ~std::uint64_t{0} - child.start ? ~std::uint64_t{0} : child.start + size;
    child.bodyStart = child.start + headerLength;
    reader_.Seek(child.bodyStart);
    return true;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
