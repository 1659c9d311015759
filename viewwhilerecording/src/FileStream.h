#pragma once

// Owning handle of a buffered runtime-library file stream.

#include <cstdio>
#include <memory>
#include <string>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

struct FileStreamCloser {
    void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};
using FileStream = std::unique_ptr<std::FILE, FileStreamCloser>;

// Opens the file for reading only; empty when it cannot be opened, with errno
// telling why. Read streams never lock the file, so a recorder may keep
// appending to it while it is open here.
FileStream OpenReadStream(const std::string& path);

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
