#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Unbuffered read-only file handles for the ISO media parser. Opening shares
// the file with writers; a handle is only a number (a descriptor, or a system
// handle's value), its owner closes it.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFileHandle = -1;

enum class SeekOrigin { Begin, Current, End };

// Opens a regular file for reading; kInvalidFileHandle when it is missing,
// unreadable or anything but a regular file (a folder, a FIFO, a device),
// which is refused without waiting on it.
// The path is the narrow form that Boost.Filesystem hands out.
// When size is given, it receives the file's size at opening (-1 unknown).
FileHandle OpenFileForReading(const std::string& path, std::int64_t* size = nullptr);
// False when the system reports a failure.
bool CloseFile(FileHandle handle);
// Bytes read (> 0), 0 at the end of the data, -1 on failure.
std::int64_t ReadFile(FileHandle handle, void* buffer, std::size_t count);
// Reads at an absolute offset without moving the handle's position: bytes
// read (> 0), 0 at the end of the data, -1 on failure.
std::int64_t ReadFileAt(FileHandle handle, void* buffer, std::size_t count, std::int64_t offset);
// The new position from the start of the file, or -1 on failure.
std::int64_t SeekFile(FileHandle handle, std::int64_t offset, SeekOrigin origin);

}  // namespace platform
