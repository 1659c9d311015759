#include "repair/daylight_saving.h"

namespace {

constexpr std::uint8_t kDaylightSavingTag = 0x61;
constexpr std::size_t kExtraDataLengthWord = 4;
// The element's two flag bytes sit at offsets 12 and 13 from its tag.
constexpr std::size_t kDaylightSavingElementSize = 14;

// A cursor that refuses to move past the end of the extra data.
class ElementCursor {
public:
    ElementCursor(const std::uint8_t* begin, const std::uint8_t* end) : cursor_(begin), end_(end) {}

    bool AtEnd() const { return cursor_ >= end_; }
    std::size_t Remaining() const { return static_cast<std::size_t>(end_ - cursor_); }
    const std::uint8_t* Position() const { return cursor_; }

    bool ReadByte(std::uint64_t& value) {
        if (AtEnd()) return false;
        value = *cursor_++;
        return true;
    }
    bool Skip(std::uint64_t count) {
        if (count > Remaining()) return false;
        cursor_ += count;
        return true;
    }

private:
    const std::uint8_t* cursor_;
    const std::uint8_t* end_;
};

// The element length: one byte, which from 0x81 on is replaced by the next
// byte, and which can then grow by up to three more bytes, each test made on
// the value reached so far.
bool ReadElementLength(ElementCursor& cursor, std::uint64_t& length) {
    if (!cursor.ReadByte(length)) return false;
    std::uint64_t next = 0;
    if (length >= 0x81) {
        if (!cursor.ReadByte(length)) return false;
    }
    if (length >= 0x82) {
        if (!cursor.ReadByte(next)) return false;
        length += next << 8;
    }
    if (length >= 0x83) {
        if (!cursor.ReadByte(next)) return false;
        length += next << 16;
    }
    if (length >= 0x84) {
        if (!cursor.ReadByte(next)) return false;
        length += next << 24;
    }
    return true;
}

}  // namespace

std::uint16_t RecordDaylightSavingFromExtraData(const std::uint8_t* extraData, std::size_t extraDataLength) {
    if (extraData == nullptr || extraDataLength <= kExtraDataLengthWord) return 0;
    ElementCursor cursor(extraData + kExtraDataLengthWord, extraData + extraDataLength);
    while (!cursor.AtEnd()) {
        const std::uint8_t* tag = cursor.Position();
        std::uint64_t tagValue = 0;
        cursor.ReadByte(tagValue);
        if (tagValue == kDaylightSavingTag) {
            if (cursor.Remaining() + 1 < kDaylightSavingElementSize) return 0;
            return (tag[12] != 0 || tag[13] != 0) ? 1 : 0;
        }
        std::uint64_t length = 0;
        if (!ReadElementLength(cursor, length) || !cursor.Skip(length)) return 0;
    }
    return 0;
}
