#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/windows_path.h"

namespace platform {

const char* const kLibrarySuffix = ".dll";
const bool kPrivateLibraryFolder = false;

// The system loader looks in the executable's folder first by itself.
bool DynamicLibrary::Load(const std::string& name) {
    Unload();
    handle_ = reinterpret_cast<void*>(LoadLibraryW(WidePath(name).c_str()));
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Unload() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

std::string DynamicLibrary::LastError() {
    const DWORD code = GetLastError();
    if (code == 0) return "";
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result =
        length > 0 && text != nullptr ? NarrowText(std::wstring(text, length)) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}

}  // namespace platform
