#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/owned_handle.h"

namespace platform {

// What identifies a file while it exists, whatever its name: device and inode
// (the volume serial and file ID on Windows).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity& other) const { return device == other.device && file == other.file; }
    bool operator<(const FileIdentity& other) const {
        return device != other.device ? device < other.device : file < other.file;
    }
};

// What a move that never replaces returns for an occupied destination
// (Windows numbers written out: this header does not bring in <windows.h>).
#ifdef _WIN32
constexpr int kAlreadyExistsError = 183;  // ERROR_ALREADY_EXISTS
#else
constexpr int kAlreadyExistsError = EEXIST;
#endif
// What Exchange returns where the file system cannot swap two names (no
// system error number is negative).
constexpr int kCannotExchange = -1;

// What opening a link as a folder of the storage fails with.
#ifdef _WIN32
constexpr int kRefusedLinkError = 1921;  // ERROR_CANT_RESOLVE_FILENAME
#else
constexpr int kRefusedLinkError = ELOOP;
#endif

enum class EntryKind { Missing, RegularFile, Folder, Link, Other, Unreadable };

struct EntryFacts {
    EntryKind kind = EntryKind::Missing;
    FileIdentity identity;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;  // permission bits
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since 1970
    std::uint64_t links = 0;    // names of the same file (hard links)
};

// A folder held open for as long as the tool works inside it. Every operation
// names an entry of this folder and never follows a link there, so a folder
// swapped for a link after it was opened cannot lead outside; on Windows the
// folder is also held so that it cannot be renamed or deleted meanwhile.
// Operations return 0 or the system's error number.
class Folder {
public:
    Folder() = default;
    Folder(Folder&& other) noexcept = default;
    Folder& operator=(Folder&& other) noexcept = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The operator's own path: links on the way are followed.
    static Folder OpenPath(const std::string& path, int& error);
    // A folder inside this one; a link, a file or anything else is refused.
    Folder OpenChild(const std::string& name, int& error) const;

    bool IsOpen() const;
    EntryFacts Facts(const std::string& name) const;
    EntryFacts OwnFacts() const;

    // Creates a folder that the account owning `like` can use as before: it
    // takes like's owner, group and permission bits, set on the new folder's
    // own handle before anything moves into it. Where the new folder
    // inherited a default ACL no mode is set (that would narrow the ACL's
    // mask); where this process may not give the folder away, `kept` says
    // so and the folder stays as the system made it. Windows: inherited
    // ACLs, as the system gives them. 0 or the system's error number.
    int MakeFolderLike(const std::string& name, const EntryFacts& like, bool& kept) const;
    int RemoveFile(const std::string& name) const;
    int RemoveEmptyFolder(const std::string& name) const;
    // Renames never replace: an occupied destination is kAlreadyExistsError.
    int MoveNoReplace(const std::string& from, const Folder& destination, const std::string& to) const;
    // Swaps two names of this folder at once, so neither is ever missing.
    // Where the system cannot swap, kCannotExchange; the caller falls back.
    int Exchange(const std::string& first, const std::string& second) const;
    // Flushes the folder's names (created, renamed, removed) to the disk, as
    // far as the system lets: a run cannot do better where it does not, so
    // nothing is reported.
    void Sync() const;

    // A path that names this very folder for a library that takes paths,
    // valid while the folder is held: /proc/self/fd/<n> on Linux, the
    // folder's own path on Windows (where the held folder cannot move).
    std::string PathForLibraries() const;

    SystemHandle NativeHandle() const { return handle_.Get(); }
#ifdef _WIN32
    const std::wstring& WidePath() const { return path_; }
    // The path of an entry of this folder: Windows names entries by path only.
    std::wstring Child(const std::string& name) const;
#endif

private:
#ifdef _WIN32
    Folder(OwnedHandle handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}
#else
    explicit Folder(OwnedHandle handle) : handle_(std::move(handle)) {}
#endif
    OwnedHandle handle_;
#ifdef _WIN32
    std::wstring path_;
#endif
};

// What a handle of this process names.
EntryFacts FactsOfOpenFile(SystemHandle handle);

}  // namespace platform
