#pragma once

// Reads an ISO box header at a block boundary without moving past it: the
// live region ends with a box of type "skip", and a recording opens with its
// "ftyp" box.

#include <cstdint>
#include <cstring>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class DataReader;

struct BoxHeader {
    std::uint64_t size = 0;  // the 32-bit size, or the 64-bit one when the 32-bit size is 1
    char type[4] = {};
    std::uint32_t headerLength = 0;  // 8, 16 with the 64-bit size, +16 for "uuid"

    bool Is(const char (&fourCC)[5]) const { return std::memcmp(type, fourCC, 4) == 0; }
};

// Reads size, type and, when present, the 64-bit size or the extended type,
// then puts the reader back where it was, also when a read fails (the failure
// is raised after that).
BoxHeader ProbeBox(DataReader& reader);

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
