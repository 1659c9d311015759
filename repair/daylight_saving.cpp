#include "repair/daylight_saving.h"

#include "media/byte_cursor.h"

namespace {

constexpr std::uint8_t kDaylightSavingTag = 0x61;
constexpr std::size_t kExtraDataLengthWord = 4;
// The element's two flag bytes sit at offsets 12 and 13 from its tag.
constexpr std::size_t kFlagsOffset = 12;

// Extra data that ends early holds no flag: the reading stops and the answer
// is "not daylight saving".
using ExtraDataCursor = ByteCursor<PassOverRest>;

// The element length: one byte, which from 0x81 on is replaced by the next
// byte, and which can then grow by up to three more bytes, each test made on
// the value reached so far.
std::uint64_t ReadElementLength(ExtraDataCursor& cursor) {
    std::uint64_t length = cursor.ReadU8();
    if (length >= 0x81) length = cursor.ReadU8();
    if (length >= 0x82) length += std::uint64_t{cursor.ReadU8()} << 8;
    if (length >= 0x83) length += std::uint64_t{cursor.ReadU8()} << 16;
    if (length >= 0x84) length += std::uint64_t{cursor.ReadU8()} << 24;
    return length;
}

}  // namespace

std::uint16_t RecordDaylightSavingFromExtraData(const std::uint8_t* extraData, std::size_t extraDataLength) {
    if (extraData == nullptr || extraDataLength <= kExtraDataLengthWord) return 0;
    ExtraDataCursor cursor(extraData + kExtraDataLengthWord, extraData + extraDataLength);
    std::uint16_t daylightSaving = 0;
    ReadWhatIsThere([&] {
        while (cursor.Remaining() != 0) {
            if (cursor.ReadU8() == kDaylightSavingTag) {
                cursor.Skip(kFlagsOffset - 1);
                daylightSaving = cursor.ReadU16() != 0 ? 1 : 0;
                return;
            }
            cursor.Skip(ReadElementLength(cursor));
        }
    });
    return daylightSaving;
}
