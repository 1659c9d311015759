#pragma once

// The readers' one cursor over bytes in memory, and the one set of big-endian
// reads that every byte source of the readers offers (a span here, a finished
// file, a growing file).
//
// What a read that asks for more than the span holds means is each reader's
// own rule, so the cursor leaves it to a capacity policy, a type whose static
// [[noreturn]] Shortfall() the cursor calls before it would leave its span:
// - fail: the bytes had to be there and the input is malformed
//   (FailPastBoxEnd of the box reader and the sample tables,
//   FailShortFrameHeader, the live reader's FailPastPacketEnd);
// - pass over: what is missing is not needed, so reading stops and what was
//   read stands (PassOverRest, the codec configuration);
// - wait for more: the bytes are not written yet, and the reading is tried
//   again once they are (WaitForMore, the live reader).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "media/byte_order.h"

// ReadU8 ... ReadU64 for a Source that offers ReadBytes(void*, std::size_t),
// which either reads every byte asked for or throws.
template <typename Source>
class BigEndianReads {
public:
    std::uint8_t ReadU8() { return static_cast<std::uint8_t>(Read(1)); }
    std::uint16_t ReadU16() { return static_cast<std::uint16_t>(Read(2)); }
    std::uint32_t ReadU24() { return static_cast<std::uint32_t>(Read(3)); }
    std::uint32_t ReadU32() { return static_cast<std::uint32_t>(Read(4)); }
    std::uint64_t ReadU64() { return Read(8); }

protected:
    // The next count bytes (at most 8), copied into scratch; a source that
    // holds its bytes in memory hands out its own instead.
    const std::uint8_t* NextBytes(std::size_t count, std::uint8_t* scratch) {
        static_cast<Source*>(this)->ReadBytes(scratch, count);
        return scratch;
    }

private:
    std::uint64_t Read(std::size_t bytes) {
        std::uint8_t scratch[8];
        return BigEndianAt(static_cast<Source*>(this)->NextBytes(bytes, scratch), bytes);
    }
};

// Reads the bytes [begin, end) in order. Positions are counted from origin,
// the position of begin (a file offset where the bytes came from a file), and
// no read, skip or seek leaves the span: Policy::Shortfall() is called instead.
template <typename Policy>
class ByteCursor : public BigEndianReads<ByteCursor<Policy>> {
public:
    ByteCursor(const std::uint8_t* begin, const std::uint8_t* end, std::uint64_t origin = 0)
        : begin_(begin), at_(begin), end_(end), origin_(origin) {}

    std::uint64_t Position() const { return origin_ + static_cast<std::uint64_t>(at_ - begin_); }
    // The position just after the last byte.
    std::uint64_t End() const { return origin_ + static_cast<std::uint64_t>(end_ - begin_); }
    std::size_t Remaining() const { return static_cast<std::size_t>(end_ - at_); }

    void ReadBytes(void* destination, std::size_t count) {
        const std::uint8_t* bytes = Take(count);
        if (count != 0) std::memcpy(destination, bytes, count);
    }
    // The next count bytes in place, passed over.
    const std::uint8_t* Take(std::uint64_t count) {
        Require(count);
        const std::uint8_t* bytes = at_;
        at_ += count;
        return bytes;
    }
    void Skip(std::uint64_t count) { Take(count); }
    void Seek(std::uint64_t position) { at_ = At(position); }
    void SeekToEnd() { at_ = end_; }
    // A cursor over the positions [from, to) of this one, which stays where it is.
    ByteCursor Part(std::uint64_t from, std::uint64_t to) const {
        if (to < from) Policy::Shortfall();
        return ByteCursor(At(from), At(to), from);
    }

private:
    friend class BigEndianReads<ByteCursor>;
    // Integers are decoded where they lie.
    const std::uint8_t* NextBytes(std::size_t count, std::uint8_t*) { return Take(count); }

    void Require(std::uint64_t count) const {
        if (count > Remaining()) Policy::Shortfall();
    }
    const std::uint8_t* At(std::uint64_t position) const {
        if (position < origin_ || position - origin_ > static_cast<std::uint64_t>(end_ - begin_)) Policy::Shortfall();
        return begin_ + (position - origin_);
    }

    const std::uint8_t* begin_;
    const std::uint8_t* at_;
    const std::uint8_t* end_;
    std::uint64_t origin_;
};

// The pass-over rule: a shortfall ends the reading that ReadWhatIsThere runs,
// keeping whatever that reading stored before it.
struct PassOverRest {
    struct RanOut {};
    [[noreturn]] static void Shortfall() { throw RanOut{}; }
};

template <typename Reading>
void ReadWhatIsThere(Reading reading) {
    try {
        reading();
    } catch (const PassOverRest::RanOut&) {
        // The rest is passed over.
    }
}
