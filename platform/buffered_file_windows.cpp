#include "platform/buffered_file.h"

#include <stdio.h>

#include "platform/windows_path.h"

namespace platform {

// The runtime library opens without denying other openers, so a recorder may
// keep appending while the file is read here.
std::FILE* OpenBufferedFileForReading(const std::string& path) { return _wfopen(WidePath(path).c_str(), L"rb"); }

int SeekBufferedFile(std::FILE* stream, std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    return _fseeki64(stream, offset, whence);
}

// Always to the absolute place: a runtime library may misjudge its current
// position once the file has grown past what its buffer last took in.
int MoveBufferedFile(std::FILE* stream, std::uint64_t, std::uint64_t to) {
    return _fseeki64(stream, static_cast<std::int64_t>(to), SEEK_SET);
}

std::int64_t TellBufferedFile(std::FILE* stream) { return static_cast<std::int64_t>(_ftelli64(stream)); }

}  // namespace platform
