#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_handle.h"

namespace platform {

// Buffered runtime-library streams with 64-bit offsets, for the reader of
// recordings that are still being written. Read-only streams never lock the
// file, so a recorder may keep appending while it is open here.

// Opens for reading ("rb"); null when it cannot be opened, with errno telling why.
std::FILE* OpenBufferedFileForReading(const std::string& path);
// 0 on success, else -1 with errno set.
int SeekBufferedFile(std::FILE* stream, std::int64_t offset, SeekOrigin origin);
// Moves a stream from the position its reader knows it to be at to another;
// 0 on success, else -1 with errno set.
int MoveBufferedFile(std::FILE* stream, std::uint64_t from, std::uint64_t to);
// The stream's position, or -1 with errno set.
std::int64_t TellBufferedFile(std::FILE* stream);
// The largest offset the streams can reach.
constexpr std::uint64_t kMaxBufferedFileOffset = static_cast<std::uint64_t>(INT64_MAX);

}  // namespace platform
