#include "media/bit_reader.h"

#include <algorithm>
#include <stdexcept>

void BitReader::Fill() {
    while (held_ <= 23 && cursor_ < end_) {
        accumulator_ = (accumulator_ << 8) | *cursor_++;
        held_ += 8;
    }
}

uint32_t BitReader::Peek(unsigned n) {
    if (n == 0 || n > 24) throw std::logic_error("bit field width out of range");
    Fill();
    if (held_ < n) throw std::runtime_error("end of stream");
    return (accumulator_ >> (held_ - n)) & ((1u << n) - 1);
}

uint32_t BitReader::Read(unsigned n) {
    uint32_t value = Peek(n);
    held_ -= n;
    return value;
}

void BitReader::Skip(uint64_t bits) {
    if (bits <= held_) {
        held_ -= static_cast<unsigned>(bits);
        return;
    }
    bits -= held_;
    held_ = 0;
    const uint64_t wholeBytes = bits / 8;
    const unsigned partial = static_cast<unsigned>(bits % 8);
    if (wholeBytes > static_cast<uint64_t>(end_ - cursor_)) {
        cursor_ = end_;
        return;
    }
    cursor_ += wholeBytes;
    if (partial == 0) return;
    if (cursor_ == end_) return;
    accumulator_ = *cursor_++;
    held_ = 8 - partial;
}

uint32_t BitReader::ReadBigEndian(uint32_t bytes) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i) value = (value << 8) | Read(8);
    return value;
}

BitReader BitReader::TakeBytes(uint64_t bytes) {
    if (held_ % 8 != 0) throw std::logic_error("byte range taken off a byte boundary");
    const uint8_t* start = Position();
    const uint64_t available = BytesRemaining();
    BitReader part(start, start + std::min(bytes, available));
    Skip(bytes * 8);
    return part;
}
