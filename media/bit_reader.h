#pragma once

#include <cstddef>
#include <cstdint>

// Reads bit fields MSB first from a byte range that it never leaves. Asking
// for bits that are not there throws std::runtime_error("end of stream"); a
// skip past the end only exhausts the reader, so the next read fails.
class BitReader {
public:
    BitReader(const uint8_t* begin, const uint8_t* end) : cursor_(begin), end_(end) {}

    // The next n bits (1 to 24) as a number.
    uint32_t Read(unsigned n);
    // The next n bits (1 to 24) without consuming them.
    uint32_t Peek(unsigned n);
    void Skip(uint64_t bits);
    // The low 32 bits of the big-endian number in the next `bytes` bytes.
    uint32_t ReadBigEndian(uint32_t bytes);

    // Bytes not yet read, a partly read byte counting as one.
    size_t BytesRemaining() const { return (held_ + 8 * static_cast<size_t>(end_ - cursor_) + 7) / 8; }
    // Address of the first byte not yet read; meaningful on byte boundaries.
    const uint8_t* Position() const { return cursor_ - held_ / 8; }

    // A reader over the next `bytes` bytes (as many of them as there are);
    // this reader moves past all `bytes`. Must be called on a byte boundary.
    BitReader TakeBytes(uint64_t bytes);

private:
    void Fill();

    const uint8_t* cursor_;
    const uint8_t* end_;
    uint32_t accumulator_ = 0;
    unsigned held_ = 0;  // unread bits at the bottom of the accumulator
};
