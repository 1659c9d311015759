#include "media/header_block.h"

#include <stdexcept>

#include "media/byte_order.h"

HeaderBlock::HeaderBlock(const uint8_t* block, size_t size) : block_(block) {
    if (block == nullptr || size < kPrefixSize) throw std::runtime_error("header block too short");
    headerLength_ = BigEndian32(block + kHeaderLengthOffset);
    extraDataLength_ = BigEndian32(block + kExtraDataLengthOffset);
    if (uint64_t{headerLength_} + extraDataLength_ > size - kPrefixSize) {
        throw std::runtime_error("header block too short");
    }
}
