#include "mp4parser/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mp4parser/StreamFailure.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// A directory opens fine on POSIX but is no file to read; treat it as the
// failed open that other platforms report.
int OpenRegularFileForReading(const std::string& path) {
    int handle;
    do {
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) return FileDescriptor::Impl::kInvalidHandle;
    struct stat status;
    if (::fstat(handle, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(handle);
        return FileDescriptor::Impl::kInvalidHandle;
    }
    return handle;
}

}  // namespace

FileDescriptor::Impl::~Impl() {
    if (handle != kInvalidHandle && (flags & kCloseOnLastOwner) != 0) ::close(handle);
}

FileDescriptor::FileDescriptor() : impl_(std::make_shared<Impl>()) {}

FileDescriptor::FileDescriptor(const std::string& path) : FileDescriptor() { open(path, 0); }

void FileDescriptor::open(const std::string& path, std::uint64_t baseOffset) {
    if (impl_->handle != Impl::kInvalidHandle) {
        const int old = impl_->handle;
        const bool closeIt = (impl_->flags & kCloseOnLastOwner) != 0;
        impl_->handle = Impl::kInvalidHandle;
        impl_->flags = 0;
        if (closeIt && ::close(old) != 0) ThrowStreamFailure("failed closing file");
    }
    const int handle = OpenRegularFileForReading(path);
    if (handle == Impl::kInvalidHandle) {
        impl_->flags = 0;
        ThrowStreamFailure("failed opening file");
    }
    impl_->handle = handle;
    impl_->flags = kCloseOnLastOwner | kCloseOnStreamClose;
    if (::lseek(handle, static_cast<off_t>(baseOffset), SEEK_SET) < 0) ThrowStreamFailure("failed seeking");
    impl_->baseOffset = baseOffset;
}

std::streamsize FileDescriptor::read(char_type* buffer, std::streamsize count) {
    for (;;) {
        const ssize_t got = ::read(impl_->handle, buffer, static_cast<size_t>(count));
        if (got > 0) return got;
        if (got == 0) return -1;
        if (errno == EINTR) continue;
        if (errno == EPIPE) return -1;
        ThrowStreamFailure("failed reading");
    }
}

std::streampos FileDescriptor::seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir direction) {
    off_t result;
    if (direction == std::ios_base::beg) {
        result = ::lseek(impl_->handle, static_cast<off_t>(impl_->baseOffset + static_cast<std::uint64_t>(offset)),
                         SEEK_SET);
    } else {
        result = ::lseek(impl_->handle, static_cast<off_t>(offset), direction == std::ios_base::cur ? SEEK_CUR : SEEK_END);
    }
    if (result < 0) ThrowStreamFailure("failed seeking");
    return boost::iostreams::offset_to_position(static_cast<boost::iostreams::stream_offset>(result) -
                                                static_cast<boost::iostreams::stream_offset>(impl_->baseOffset));
}

void FileDescriptor::close() {
    if (impl_->handle == Impl::kInvalidHandle) return;
    const int handle = impl_->handle;
    const bool closeIt = (impl_->flags & kCloseOnStreamClose) != 0;
    impl_->handle = Impl::kInvalidHandle;
    impl_->flags = 0;
    if (closeIt && ::close(handle) != 0) ThrowStreamFailure("failed closing file");
}

bool FileDescriptor::IsOpen() const { return impl_->handle != Impl::kInvalidHandle; }

std::uint32_t FileDescriptor::Flags() const { return impl_->flags; }

std::uint64_t FileDescriptor::BaseOffset() const { return impl_->baseOffset; }

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
