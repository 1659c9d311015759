#pragma once

// Reads a bit string most significant bit first from a GrowingFileReader, one
// byte at a time, for the bit-coded block headers. Unlike the packet builder's
// BitReader (media/bit_reader.h), which reads bytes already in memory, it
// pulls them from the growing file, so a code cut short is a short read.

#include <cstdint>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class GrowingFileReader;

class StreamBitReader {
public:
    // Starts at a byte boundary at the reader's position. Bits left unread in
    // the last byte are lost when the bit reader is dropped: the file reader
    // already stands after that byte.
    explicit StreamBitReader(GrowingFileReader& reader) : reader(reader) {}

    // The next n bits (1 to 32) as an unsigned number.
    std::uint32_t ReadBits(unsigned n);
    // One unsigned Exp-Golomb code: z zero bits, a one bit, z bits b; the
    // value is 2^z - 1 + b. A 32nd leading zero raises ViewWhileRecException.
    std::uint32_t ReadUE();

private:
    void LoadByte();

    GrowingFileReader& reader;
    std::uint64_t accumulator = 0;  // newest byte in the low 8 bits
    unsigned bitsHeld = 0;          // unread bits at the low end of accumulator
};

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
