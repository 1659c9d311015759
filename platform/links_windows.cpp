#include "platform/links.h"

#include <windows.h>

namespace platform {

// Symbolic links and junctions alike are reparse points: both lead elsewhere.
bool IsSymbolicLink(const boost::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace platform
