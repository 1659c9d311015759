#include "platform/buffered_file.h"

#include <sys/types.h>

#include <limits>

namespace platform {

static_assert(std::numeric_limits<off_t>::max() == INT64_MAX, "64-bit file offsets are needed");

std::FILE* OpenBufferedFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

int SeekBufferedFile(std::FILE* stream, std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    return fseeko(stream, static_cast<off_t>(offset), whence);
}

// Forward moves stay relative so that a skip within the stream's buffer costs
// no system call.
int MoveBufferedFile(std::FILE* stream, std::uint64_t from, std::uint64_t to) {
    if (to < from) return fseeko(stream, static_cast<off_t>(to), SEEK_SET);
    return fseeko(stream, static_cast<off_t>(to - from), SEEK_CUR);
}

std::int64_t TellBufferedFile(std::FILE* stream) { return static_cast<std::int64_t>(ftello(stream)); }

}  // namespace platform
