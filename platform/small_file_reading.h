#pragma once

#include <cstddef>
#include <string>

#include "platform/folder.h"

namespace platform {

// Reads a regular file of a folder, never through a link and never waiting
// on a FIFO, up to limit bytes; a longer file reads as its first limit + 1.
// Returns 0 or the system's error number (EINVAL for anything but a regular file).
int ReadSmallFile(const Folder& folder, const std::string& name, std::size_t limit, std::string& bytes);

// Reads a whole file by path (the operator's: links are followed).
int ReadFileByPath(const std::string& path, std::size_t limit, std::string& bytes);

}  // namespace platform
