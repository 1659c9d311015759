#pragma once

// MSB-first bit writer with the Exp-Golomb codes of the video parameter sets,
// and the escaping that turns a payload into a NAL unit body.

#include <cstdint>
#include <vector>

namespace recording_writer {

class BitWriter {
public:
    void Bits(std::uint32_t value, unsigned count);
    void Flag(bool on) { Bits(on ? 1 : 0, 1); }
    void Unsigned(std::uint32_t value);  // ue(v)
    void Signed(std::int32_t value);     // se(v)
    void TrailingBits();                 // stop bit and zero bits to the byte boundary
    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    unsigned used_ = 8;  // bits used in the last byte
};

// Inserts emulation-prevention bytes (00 00 0x -> 00 00 03 0x for x <= 3).
std::vector<std::uint8_t> EscapeNalBody(const std::vector<std::uint8_t>& rbsp);

}  // namespace recording_writer
