#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recording_writer {

// Appends big-endian fields and nested boxes to one growing buffer. A box is
// opened with its type and closed once its body is written; closing patches
// the size field, so callers never count bytes by hand.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void U8(std::uint32_t v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void U16(std::uint32_t v);
    void U24(std::uint32_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    void FourCC(const std::string& code);  // exactly four characters, padded with blanks
    void Bytes(const std::uint8_t* data, std::size_t size);
    void Bytes(const std::vector<std::uint8_t>& data) { Bytes(data.data(), data.size()); }
    void Zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }

    // Opens a box and returns its start, to be handed to EndBox.
    std::size_t BeginBox(const std::string& type);
    // Opens a full box (version and 24-bit flags follow the header).
    std::size_t BeginFullBox(const std::string& type, std::uint8_t version, std::uint32_t flags);
    void EndBox(std::size_t start);

    std::size_t Size() const { return out_.size(); }
    void PatchU32(std::size_t at, std::uint32_t v);
    void PatchU64(std::size_t at, std::uint64_t v);

private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace recording_writer
