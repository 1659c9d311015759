#include "mp4parser/FileDescriptor.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "mp4parser/StreamFailure.h"
#include "platform/file_handle.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

FileDescriptor::Impl::~Impl() {
    if (handle != kInvalidHandle && (flags & kCloseOnLastOwner) != 0) platform::CloseFile(handle);
}

FileDescriptor::FileDescriptor() : impl_(std::make_shared<Impl>()) {}

FileDescriptor::FileDescriptor(const std::string& path) : FileDescriptor() { open(path, 0); }

void FileDescriptor::open(const std::string& path, std::uint64_t baseOffset) {
    if (impl_->handle != Impl::kInvalidHandle) {
        const platform::FileHandle old = impl_->handle;
        const bool closeIt = (impl_->flags & kCloseOnLastOwner) != 0;
        impl_->handle = Impl::kInvalidHandle;
        impl_->flags = 0;
        if (closeIt && !platform::CloseFile(old)) ThrowStreamFailure("failed closing file");
    }
    std::int64_t size = -1;
    const platform::FileHandle handle = platform::OpenFileForReading(path, &size);
    if (handle == Impl::kInvalidHandle) {
        impl_->flags = 0;
        ThrowStreamFailure("failed opening file");
    }
    impl_->handle = handle;
    impl_->flags = kCloseOnLastOwner | kCloseOnStreamClose;
    for (Impl::Block& block : impl_->recent) block.at = -1;
    if (baseOffset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        ThrowStreamFailure("failed seeking");
    }
    impl_->baseOffset = baseOffset;
    impl_->position = static_cast<std::int64_t>(baseOffset);
    impl_->sizeAtOpen = size;
}

std::streamsize FileDescriptor::read(char_type* buffer, std::streamsize count) {
    Impl& impl = *impl_;
    for (const Impl::Block& block : impl.recent) {
        if (block.at < 0 || impl.position < block.at || impl.position >= block.at + block.size) continue;
        const std::int64_t got = std::min<std::int64_t>(count, block.at + block.size - impl.position);
        std::memcpy(buffer, block.bytes.data() + (impl.position - block.at), static_cast<std::size_t>(got));
        impl.position += got;
        return static_cast<std::streamsize>(got);
    }
    std::int64_t got;
    if (count < static_cast<std::streamsize>(Impl::kBlockSize)) {
        Impl::Block& block = impl.recent[impl.nextRecent];
        block.at = -1;
        got = platform::ReadFileAt(impl.handle, block.bytes.data(), block.bytes.size(), impl.position);
        if (got > 0) {
            block.at = impl.position;
            block.size = got;
            impl.nextRecent = (impl.nextRecent + 1) % impl.recent.size();
            got = std::min<std::int64_t>(got, count);
            std::memcpy(buffer, block.bytes.data(), static_cast<std::size_t>(got));
        }
    } else {
        got = platform::ReadFileAt(impl.handle, buffer, static_cast<std::size_t>(count), impl.position);
    }
    if (got > 0) {
        impl.position += got;
        return static_cast<std::streamsize>(got);
    }
    if (got == 0) return -1;  // end of the data
    ThrowStreamFailure("failed reading");
}

std::streampos FileDescriptor::seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir direction) {
    std::int64_t result = -1;
    if (direction == std::ios_base::end && impl_->sizeAtOpen < 0) {
        result = platform::SeekFile(impl_->handle, offset, platform::SeekOrigin::End);
    } else {
        const std::int64_t from = direction == std::ios_base::beg   ? static_cast<std::int64_t>(impl_->baseOffset)
                                  : direction == std::ios_base::cur ? impl_->position
                                                                    : impl_->sizeAtOpen;
        // A position before the start of the file, or beyond the 64-bit
        // range, fails as the system's seek would.
        if (!(offset > 0 && from > std::numeric_limits<std::int64_t>::max() - offset)) result = from + offset;
    }
    if (result < 0) ThrowStreamFailure("failed seeking");
    impl_->position = result;
    return boost::iostreams::offset_to_position(static_cast<boost::iostreams::stream_offset>(result) -
                                                static_cast<boost::iostreams::stream_offset>(impl_->baseOffset));
}

void FileDescriptor::close() {
    if (impl_->handle == Impl::kInvalidHandle) return;
    const platform::FileHandle handle = impl_->handle;
    const bool closeIt = (impl_->flags & kCloseOnStreamClose) != 0;
    impl_->handle = Impl::kInvalidHandle;
    impl_->flags = 0;
    if (closeIt && !platform::CloseFile(handle)) ThrowStreamFailure("failed closing file");
}

bool FileDescriptor::IsOpen() const { return impl_->handle != Impl::kInvalidHandle; }

std::uint32_t FileDescriptor::Flags() const { return impl_->flags; }

std::uint64_t FileDescriptor::BaseOffset() const { return impl_->baseOffset; }

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
