#include "DataReader.h"

#include <cerrno>
#include <cstdio>

#include "Exceptions.h"
#include "platform/buffered_file.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

constexpr std::uint64_t kMaxOffset = platform::kMaxBufferedFileOffset;
// Reads up to this size are allocated without asking for the file length.
constexpr std::uint32_t kUncheckedReadSize = 1u << 20;

}  // namespace

DataReader::DataReader(FileStream readFile, FileStream sizeFile)
    : readFile(std::move(readFile)), sizeFile(std::move(sizeFile)) {}

void DataReader::GetData(void* buffer, unsigned int size) {
    if (size == 0) return;
    const std::size_t got = std::fread(buffer, 1, size, readFile.get());
    if (got != size) {
        const int error = errno;
        // The stream consumed what it could; put it back at position so that
        // every later read, relative move or no-move sees the right bytes,
        // and clear the end-of-file mark so bytes appended later are read.
        Resynchronise();
        VWR_THROW_IO("fread", error);
    }
    position += size;
}

std::vector<std::uint8_t> DataReader::GetBytes(std::uint32_t size) {
    if (size > kUncheckedReadSize) RequireAvailable(size);
    std::vector<std::uint8_t> bytes(size);
    GetData(bytes.data(), size);
    return bytes;
}

std::uint8_t DataReader::ReadU8() {
    std::uint8_t byte = 0;
    GetData(&byte, 1);
    return byte;
}

std::uint16_t DataReader::ReadU16() {
    std::uint8_t b[2];
    GetData(b, sizeof b);
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

std::uint32_t DataReader::ReadU32() {
    std::uint8_t b[4];
    GetData(b, sizeof b);
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

std::uint64_t DataReader::ReadU64() {
    const std::uint64_t high = ReadU32();
    return high << 32 | ReadU32();
}

void DataReader::SetPosition(const std::uint64_t& target) {
    if (target == position) return;
    int result = -1;
    if (target > kMaxOffset) {
        errno = EOVERFLOW;
    } else {
        result = platform::MoveBufferedFile(readFile.get(), position, target);
    }
    if (result != 0) VWR_THROW_IO("fseek", errno);
    position = target;
}

std::uint64_t DataReader::Length() {
    if (platform::SeekBufferedFile(sizeFile.get(), 0, platform::SeekOrigin::End) != 0) VWR_THROW_IO("fseek", errno);
    const std::int64_t length = platform::TellBufferedFile(sizeFile.get());
    if (length < 0) VWR_THROW_IO("ftell", errno);
    return static_cast<std::uint64_t>(length);
}

std::uint64_t DataReader::Available() { return Length() - position; }

bool DataReader::IsAvailable(std::uint64_t size) {
    const std::uint64_t length = Length();
    return length >= position && length - position >= size;
}

void DataReader::RequireAvailable(std::uint64_t size) {
    if (!IsAvailable(size)) VWR_THROW_IO("fread", 0);
}

void DataReader::Resynchronise() noexcept {
    std::clearerr(readFile.get());
    if (position <= kMaxOffset) {
        platform::SeekBufferedFile(readFile.get(), static_cast<std::int64_t>(position), platform::SeekOrigin::Begin);
    }
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
