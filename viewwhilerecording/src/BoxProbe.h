#pragma once

// Reads an ISO box header at a block boundary without moving past it: the
// live region ends with a box of type "skip", and a recording opens with its
// "ftyp" box.

#include <cstdint>

#include "media/byte_order.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class GrowingFileReader;

struct ProbedBox {
    std::uint64_t size = 0;          // the 32-bit size, or the 64-bit one when the 32-bit size is 1
    std::uint32_t type = 0;          // the four characters as a big-endian integer
    std::uint32_t headerLength = 0;  // 8, 16 with the 64-bit size, +16 for "uuid"

    bool Is(const char (&fourCC)[5]) const { return type == FourCC(fourCC); }
};

// Reads size, type and, when present, the 64-bit size or the extended type,
// without moving the reader. Raises IOException ("fread") when the header is
// not all written yet.
ProbedBox ProbeBox(GrowingFileReader& reader);

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
