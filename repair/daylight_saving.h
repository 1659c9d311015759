#pragma once

#include <cstddef>
#include <cstdint>

// The recorder marks a recording made under daylight saving with an element
// in a packet's extra data: tag 0x61, whose bytes 12 and 13 (counted from the
// tag) say whether daylight saving was in effect. Other elements are skipped
// by their length.

// Walks the extra data (a 4-byte length word, then the elements) and returns
// 1 when the daylight-saving element says daylight saving is in effect, else 0.
// Never reads outside [extraData, extraData + extraDataLength): an element or
// length that would reach past the end ends the walk with 0.
std::uint16_t RecordDaylightSavingFromExtraData(const std::uint8_t* extraData, std::size_t extraDataLength);
