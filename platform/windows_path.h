#pragma once

#include <windows.h>

#include <string>

namespace platform {

// Narrow paths on this platform are in the ANSI code page, as the runtime
// library and Boost.Filesystem hand them out; the wide file calls take UTF-16.
inline std::wstring WidePath(const std::string& path) {
    if (path.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

}  // namespace platform
