#include "platform/durable_copy.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

int LastError() { return static_cast<int>(GetLastError()); }

int WriteAll(HANDLE to, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(to, bytes.data() + done, chunk, &written, nullptr)) return LastError();
        done += written;
    }
    return 0;
}

}  // namespace

// CREATE_NEW fails on any existing entry, a link included, so nothing is
// ever written through one. Files take their folder's permissions here.
int WriteNewFileDurably(const Folder& folder, const std::string& name, const std::string& bytes, const EntryFacts&) {
    const std::wstring path = folder.Child(name);
    OwnedHandle target(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.IsOpen()) {
        const int error = LastError();
        return error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error;
    }
    int error = WriteAll(target.Get(), bytes);
    if (error == 0 && !FlushFileBuffers(target.Get())) error = LastError();
    // Closed here so that a failing close is seen.
    const int closeError = target.Close();
    if (error == 0) error = closeError;
    if (error != 0) DeleteFileW(path.c_str());
    return error;
}

}  // namespace platform
