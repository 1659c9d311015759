#include "bit_writer.h"

namespace recording_writer {

void BitWriter::Bits(std::uint32_t value, unsigned count) {
    while (count > 0) {
        if (used_ == 8) {
            data_.push_back(0);
            used_ = 0;
        }
        --count;
        const unsigned bit = (value >> count) & 1u;
        data_.back() |= static_cast<std::uint8_t>(bit << (7 - used_));
        ++used_;
    }
}

void BitWriter::Unsigned(std::uint32_t value) {
    const std::uint64_t v = static_cast<std::uint64_t>(value) + 1;
    unsigned length = 0;
    while ((v >> length) > 1) {
        ++length;
    }
    Bits(0, length);
    Bits(static_cast<std::uint32_t>(v >> 32), length + 1 > 32 ? length + 1 - 32 : 0);
    Bits(static_cast<std::uint32_t>(v), length + 1 > 32 ? 32 : length + 1);
}

void BitWriter::Signed(std::int32_t value) {
    const std::int64_t v = value;
    Unsigned(static_cast<std::uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
}

void BitWriter::TrailingBits() {
    Bits(1, 1);
    if (used_ != 8) {
        Bits(0, 8 - used_);
    }
}

std::vector<std::uint8_t> EscapeNalBody(const std::vector<std::uint8_t>& rbsp) {
    std::vector<std::uint8_t> out;
    out.reserve(rbsp.size() + rbsp.size() / 64 + 4);
    unsigned zeros = 0;
    for (std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

}  // namespace recording_writer
