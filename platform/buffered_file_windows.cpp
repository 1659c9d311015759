#include "platform/buffered_file.h"

#include <stdio.h>

#include <cerrno>

namespace platform {

// The runtime library opens without denying other openers, so a recorder may
// keep appending while the file is read here.
std::FILE* OpenBufferedFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

// A relative seek past the end of the data fails in the runtime library where
// the same seek from the start succeeds, so relative seeks are made absolute.
int SeekBufferedFile(std::FILE* stream, std::int64_t offset, SeekOrigin origin) {
    if (origin == SeekOrigin::Current) {
        const std::int64_t position = _ftelli64(stream);
        if (position < 0) return -1;
        if (offset < -position) {
            errno = EINVAL;
            return -1;
        }
        return _fseeki64(stream, position + offset, SEEK_SET);
    }
    return _fseeki64(stream, offset, origin == SeekOrigin::Begin ? SEEK_SET : SEEK_END);
}

std::int64_t TellBufferedFile(std::FILE* stream) { return static_cast<std::int64_t>(_ftelli64(stream)); }

}  // namespace platform
