#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/owned_handle.h"

namespace platform {

// Unbuffered read-only file handles for the ISO media parser. Opening shares
// the file with writers; a handle is only a number (a descriptor, or a system
// handle's value) for the parser, which shares it among its readers; anyone
// else keeps it in an OwnedHandle.
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
// Takes a handle that OpenFileForReading gave: its owner closes it from then on.
OwnedHandle OwnFileHandle(FileHandle handle);
// The number form of an owned handle, for the calls here; the owner keeps it.
FileHandle FileHandleOf(const OwnedHandle& owner);
// Bytes read (> 0), 0 at the end of the data, -1 on failure.
std::int64_t ReadFile(FileHandle handle, void* buffer, std::size_t count);
// Reads at an absolute offset without moving the handle's position: bytes
// read (> 0), 0 at the end of the data, -1 on failure.
std::int64_t ReadFileAt(FileHandle handle, void* buffer, std::size_t count, std::int64_t offset);
// The new position from the start of the file, or -1 on failure.
std::int64_t SeekFile(FileHandle handle, std::int64_t offset, SeekOrigin origin);

}  // namespace platform
