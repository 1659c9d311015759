#include "platform/executable_folder.h"

#include <windows.h>

#include <boost/filesystem/path.hpp>
#include <vector>

namespace platform {

std::string ExecutableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            const boost::filesystem::path executable(std::wstring(buffer.data(), length));
            return executable.parent_path().string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform
