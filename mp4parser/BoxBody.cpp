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
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Remaining()));
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
    for (;;) {
        if (Remaining() < 8) {
            SeekToEnd();
            return false;
        }
        if (ReadUInt32() != 0) {
            reader_.Seek(reader_.Position() - 4);
            break;
        }
    }
    child = ReadBoxHeader(*this);
    CheckBoxHeader(child);
    if (child.end > end_) ThrowBadFormat("box exceeds its parent");
    return true;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
