#include "StreamBitReader.h"

#include <stdexcept>

#include "GrowingFileReader.h"
#include "Exceptions.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {
constexpr unsigned kMaxLeadingZeros = 31;
}

void StreamBitReader::LoadByte() {
    accumulator = accumulator << 8 | reader.ReadU8();
    bitsHeld += 8;
}

std::uint32_t StreamBitReader::ReadBits(unsigned n) {
    if (n == 0 || n > 32) throw std::out_of_range("StreamBitReader::ReadBits: 1 to 32 bits");
    while (bitsHeld < n) LoadByte();
    bitsHeld -= n;
    const std::uint64_t mask = (std::uint64_t{1} << n) - 1;
    return static_cast<std::uint32_t>(accumulator >> bitsHeld & mask);
}

std::uint32_t StreamBitReader::ReadUE() {
    for (unsigned zeros = 0;; ++zeros) {
        if (bitsHeld == 0) LoadByte();
        if (accumulator >> (bitsHeld - 1) & 1) return ReadBits(zeros + 1) - 1;
        if (zeros == kMaxLeadingZeros) ThrowMalformed();
        --bitsHeld;
    }
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
