#include "byte_writer.h"

#include "recording_writer.h"

#include <stdexcept>

namespace recording_writer {

void ByteWriter::U16(std::uint32_t v) {
    U8(v >> 8);
    U8(v);
}

void ByteWriter::U24(std::uint32_t v) {
    U8(v >> 16);
    U16(v);
}

void ByteWriter::U32(std::uint32_t v) {
    U16(v >> 16);
    U16(v);
}

void ByteWriter::U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v >> 32));
    U32(static_cast<std::uint32_t>(v));
}

void ByteWriter::FourCC(const std::string& code) {
    for (std::size_t i = 0; i < 4; ++i) {
        U8(i < code.size() ? static_cast<std::uint8_t>(code[i]) : ' ');
    }
}

void ByteWriter::Bytes(const std::uint8_t* data, std::size_t size) { out_.insert(out_.end(), data, data + size); }

std::size_t ByteWriter::BeginBox(const std::string& type) {
    const std::size_t start = out_.size();
    U32(0);
    FourCC(type);
    return start;
}

std::size_t ByteWriter::BeginFullBox(const std::string& type, std::uint8_t version, std::uint32_t flags) {
    const std::size_t start = BeginBox(type);
    U8(version);
    U24(flags);
    return start;
}

void ByteWriter::EndBox(std::size_t start) {
    const std::size_t size = out_.size() - start;
    if (size > 0xFFFFFFFFu) {
        throw std::length_error("box too large for a 32-bit size");
    }
    PatchU32(start, static_cast<std::uint32_t>(size));
}

void ByteWriter::PatchU32(std::size_t at, std::uint32_t v) {
    out_.at(at + 3);  // bounds check once for all four bytes
    out_[at] = static_cast<std::uint8_t>(v >> 24);
    out_[at + 1] = static_cast<std::uint8_t>(v >> 16);
    out_[at + 2] = static_cast<std::uint8_t>(v >> 8);
    out_[at + 3] = static_cast<std::uint8_t>(v);
}

void ByteWriter::PatchU64(std::size_t at, std::uint64_t v) {
    PatchU32(at, static_cast<std::uint32_t>(v >> 32));
    PatchU32(at + 4, static_cast<std::uint32_t>(v));
}

std::vector<std::uint8_t> MakeBox(const std::string& type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out;
    out.reserve(body.size() + 8);
    ByteWriter w(out);
    const std::size_t start = w.BeginBox(type);
    w.Bytes(body);
    w.EndBox(start);
    return out;
}

}  // namespace recording_writer
