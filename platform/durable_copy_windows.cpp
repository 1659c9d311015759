#include "platform/durable_copy.h"

#include <windows.h>

#include <vector>

#include "platform/windows_path.h"

namespace platform {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (IsOpen()) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now so that a failing close is seen.
    int Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? 0 : static_cast<int>(GetLastError());
    }

private:
    HANDLE handle_;
};

int LastError() { return static_cast<int>(GetLastError()); }

int CopyContent(HANDLE from, HANDLE to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return LastError();
        if (got == 0) return 0;
        for (DWORD done = 0; done < got;) {
            DWORD written = 0;
            if (!WriteFile(to, buffer.data() + done, got - done, &written, nullptr)) return LastError();
            done += written;
        }
    }
}

// CREATE_NEW fails on any existing entry, a link included, so nothing is
// ever written through one.
int CopyAndFlush(HANDLE source, const std::wstring& to) {
    Handle target(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.IsOpen()) return LastError();
    int error = CopyContent(source, target.get());
    if (error == 0 && !FlushFileBuffers(target.get())) error = LastError();
    const int closeError = target.Close();
    return error != 0 ? error : closeError;
}

}  // namespace

CopyResult CopyToNewFileDurably(const char* from, const char* to) {
    Handle source(CreateFileW(WidePath(from).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.IsOpen()) return {LastError(), true};
    const std::wstring target = WidePath(to);
    const int error = CopyAndFlush(source.get(), target);
    // Already there: the file is someone else's, not a partial copy of ours.
    if (error != 0 && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) DeleteFileW(target.c_str());
    return {error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error, false};
}

// The file system journals its names, and the no-replace rename writes
// through; a folder has no buffers of its own to flush here.
int SyncFolder(const char*) { return 0; }

}  // namespace platform
