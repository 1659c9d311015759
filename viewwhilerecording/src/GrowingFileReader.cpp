#include "GrowingFileReader.h"

#include <cerrno>
#include <cstdio>

#include "platform/buffered_file.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

constexpr std::uint64_t kMaxOffset = platform::kMaxBufferedFileOffset;
// Reads up to this size are allocated without asking for the file length.
constexpr std::uint32_t kUncheckedReadSize = 1u << 20;

}  // namespace

GrowingFileReader::GrowingFileReader(FileStream readFile, FileStream sizeFile)
    : readFile(std::move(readFile)), sizeFile(std::move(sizeFile)) {}

void GrowingFileReader::ReadBytes(void* buffer, std::size_t size) {
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

std::vector<std::uint8_t> GrowingFileReader::ReadVector(std::uint32_t size) {
    if (size > kUncheckedReadSize) RequireAvailable(size);
    std::vector<std::uint8_t> bytes(size);
    ReadBytes(bytes.data(), size);
    return bytes;
}

std::size_t GrowingFileReader::Peek(void* buffer, std::size_t size) {
    const std::size_t got = std::fread(buffer, 1, size, readFile.get());
    // Bytes appended later must be read, so the end-of-file mark goes.
    if (got != size) std::clearerr(readFile.get());
    if (got != 0 && platform::MoveBufferedFile(readFile.get(), position + got, position) != 0) {
        VWR_THROW_IO("fseek", errno);
    }
    return got;
}

void GrowingFileReader::Seek(std::uint64_t target) {
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

std::uint64_t GrowingFileReader::Length() {
    if (platform::SeekBufferedFile(sizeFile.get(), 0, platform::SeekOrigin::End) != 0) VWR_THROW_IO("fseek", errno);
    const std::int64_t length = platform::TellBufferedFile(sizeFile.get());
    if (length < 0) VWR_THROW_IO("ftell", errno);
    return static_cast<std::uint64_t>(length);
}

std::uint64_t GrowingFileReader::Available() { return Length() - position; }

bool GrowingFileReader::IsAvailable(std::uint64_t size) {
    const std::uint64_t length = Length();
    return length >= position && length - position >= size;
}

void GrowingFileReader::RequireAvailable(std::uint64_t size) {
    if (!IsAvailable(size)) WaitForMore::Shortfall();
}

void GrowingFileReader::Resynchronise() noexcept {
    std::clearerr(readFile.get());
    if (position <= kMaxOffset) {
        platform::SeekBufferedFile(readFile.get(), static_cast<std::int64_t>(position), platform::SeekOrigin::Begin);
    }
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
