#pragma once

#include <windows.h>

#include <string>

namespace platform {

// Narrow strings inside the program are UTF-8 on this platform: the arguments
// are taken wide and Boost.Filesystem is given a UTF-8 codecvt at start. The
// wide file calls take UTF-16.
inline std::wstring WidePath(const std::string& path) {
    if (path.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

// The UTF-8 form of a text the system hands out wide.
inline std::string NarrowText(const std::wstring& text) {
    if (text.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

}  // namespace platform
