#include "platform/folder.h"

#include <windows.h>

#include <boost/filesystem/path.hpp>
#include <utility>

#include "platform/windows_path.h"

namespace platform {

namespace {

// Held without FILE_SHARE_DELETE: nobody renames or deletes the folder while
// the tool works inside it, so its path keeps naming the same folder.
HANDLE OpenFolderHandle(const std::wstring& path, DWORD extraFlags) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
}

// Only name-surrogate reparse points (symbolic links, junctions) lead
// elsewhere; others (deduplicated or cloud files) are the entry itself.
bool IsLinkHandle(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag.ReparseTag);
}

}  // namespace

EntryFacts FactsOfOpenFile(SystemHandle handle) {
    EntryFacts facts;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        facts.kind = EntryKind::Unreadable;
        return facts;
    }
    if (IsLinkHandle(handle)) {
        facts.kind = EntryKind::Link;
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        facts.kind = EntryKind::Folder;
    } else if (GetFileType(handle) == FILE_TYPE_DISK) {
        facts.kind = EntryKind::RegularFile;
    } else {
        facts.kind = EntryKind::Other;
    }
    facts.identity = {information.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
    facts.size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    facts.links = information.nNumberOfLinks;
    // 100-ns steps since 1601 to seconds since 1970.
    const std::uint64_t written = (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                                  information.ftLastWriteTime.dwLowDateTime;
    facts.modified = static_cast<std::int64_t>(written / 10000000ull) - 11644473600ll;
    return facts;
}

namespace {

int LastError() { return static_cast<int>(GetLastError()); }

}  // namespace

Folder Folder::OpenPath(const std::string& path, int& error) {
    const std::wstring wide = platform::WidePath(path.empty() ? std::string(".") : path);
    OwnedHandle folder(OpenFolderHandle(wide, 0));
    if (!folder.IsOpen()) {
        error = LastError();
        return Folder();
    }
    error = 0;
    return Folder(std::move(folder), wide);
}

Folder Folder::OpenChild(const std::string& name, int& error) const {
    const std::wstring wide = Child(name);
    OwnedHandle child(OpenFolderHandle(wide, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!child.IsOpen()) {
        error = LastError();
        return Folder();
    }
    const EntryFacts facts = FactsOfOpenFile(child.Get());
    if (facts.kind != EntryKind::Folder) {
        // A path through a file names nothing, as the system says for one.
        error = facts.kind == EntryKind::Link ? kRefusedLinkError : ERROR_PATH_NOT_FOUND;
        return Folder();
    }
    error = 0;
    return Folder(std::move(child), wide);
}

bool Folder::IsOpen() const { return handle_.IsOpen(); }

std::wstring Folder::Child(const std::string& name) const { return path_ + L"\\" + platform::WidePath(name); }

EntryFacts Folder::Facts(const std::string& name) const {
    const OwnedHandle entry(CreateFileW(Child(name).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!entry.IsOpen()) {
        const DWORD error = GetLastError();
        EntryFacts facts;
        facts.kind = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? EntryKind::Missing
                                                                                      : EntryKind::Unreadable;
        return facts;
    }
    return FactsOfOpenFile(entry.Get());
}

EntryFacts Folder::OwnFacts() const { return FactsOfOpenFile(handle_.Get()); }

// Inherited ACLs already let the recorder's account use the new folder.
int Folder::MakeFolderLike(const std::string& name, const EntryFacts&, bool& kept) const {
    kept = true;
    return CreateDirectoryW(Child(name).c_str(), nullptr) ? 0 : LastError();
}

int Folder::RemoveFile(const std::string& name) const { return DeleteFileW(Child(name).c_str()) ? 0 : LastError(); }

int Folder::RemoveEmptyFolder(const std::string& name) const {
    return RemoveDirectoryW(Child(name).c_str()) ? 0 : LastError();
}

int Folder::MoveNoReplace(const std::string& from, const Folder& destination, const std::string& to) const {
    if (MoveFileExW(Child(from).c_str(), destination.Child(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    const DWORD error = GetLastError();
    return static_cast<int>(error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error);
}

int Folder::Exchange(const std::string&, const std::string&) const { return kCannotExchange; }

// The moves write through; a folder has no buffers of its own to flush here.
void Folder::Sync() const {}

std::string Folder::PathForLibraries() const { return boost::filesystem::path(path_).string(); }

}  // namespace platform
