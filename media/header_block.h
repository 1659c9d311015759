#pragma once

#include <cstddef>
#include <cstdint>

// A header block as the readers store it: two unused words, the header
// length H and the extra-data length X (big-endian), then H header bytes and
// X extra-data bytes. The view checks that the block holds all of them.
class HeaderBlock {
public:
    static constexpr size_t kPrefixSize = 16;
    // Where the prefix keeps H and X.
    static constexpr size_t kHeaderLengthOffset = 8;
    static constexpr size_t kExtraDataLengthOffset = 12;

    // Throws std::runtime_error("header block too short") when the block
    // cannot hold its prefix, its header or its extra data.
    HeaderBlock(const uint8_t* block, size_t size);

    uint32_t HeaderLength() const { return headerLength_; }
    uint32_t ExtraDataLength() const { return extraDataLength_; }
    const uint8_t* Header() const { return block_ + kPrefixSize; }
    const uint8_t* ExtraData() const { return Header() + headerLength_; }
    // Bytes the block takes: prefix, header and extra data.
    size_t Size() const { return kPrefixSize + size_t{headerLength_} + extraDataLength_; }

private:
    const uint8_t* block_;
    uint32_t headerLength_;
    uint32_t extraDataLength_;
};
