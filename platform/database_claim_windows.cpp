#include "platform/database_claim.h"

#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/windows_path.h"

namespace platform {

namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr int kAttempts = 50;  // 500 ms in all

bool IsHeldError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

}  // namespace

DatabaseClaim::~DatabaseClaim() { Release(); }

// An open that shares nothing fails while any other process has the file
// open, SQLite included, and keeps everyone else out while it is held.
ClaimOutcome DatabaseClaim::Take(const Folder& folder, const std::string& name) {
    Release();
    error_ = 0;
    const std::wstring path = folder.Child(name);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kRetryPause);
        file_.Reset(CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (file_.IsOpen()) break;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ClaimOutcome::Missing;
        // Not this account's to change, or a read-only file: nothing could
        // set it aside, whoever has it open.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
            error_ = static_cast<int>(error);
            return ClaimOutcome::Refused;
        }
        if (!IsHeldError(error)) return ClaimOutcome::CannotJudge;
    }
    if (!file_.IsOpen()) return ClaimOutcome::InUse;
    facts_ = FactsOfOpenFile(file_.Get());
    if (facts_.kind != EntryKind::RegularFile) {
        Release();
        return ClaimOutcome::NotAFile;
    }
    return ClaimOutcome::Claimed;
}

bool DatabaseClaim::ReadAt(std::uint64_t offset, unsigned char* bytes, std::size_t size) const {
    if (!file_.IsOpen()) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ::ReadFile(file_.Get(), bytes, static_cast<DWORD>(size), &got, &at) && got == size;
}

// Renamed through the handle that keeps everyone else out; never replaces.
int DatabaseClaim::MoveTo(const Folder& folder, const std::string&, const std::string& to) const {
    const std::wstring target = folder.Child(to);
    const DWORD nameBytes = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = nameBytes;
    std::copy(target.begin(), target.end(), rename->FileName);
    if (SetFileInformationByHandle(file_.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) return 0;
    const DWORD error = GetLastError();
    return static_cast<int>(error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error);
}

void DatabaseClaim::Release() { file_.Reset(); }

}  // namespace platform
