#include "platform/folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

static_assert(kRefusedLinkError == ELOOP && kAlreadyExistsError == EEXIST, "the system's own numbers");

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

EntryFacts FactsFromStatus(const struct stat& status) {
    EntryFacts facts;
    if (S_ISREG(status.st_mode)) {
        facts.kind = EntryKind::RegularFile;
    } else if (S_ISDIR(status.st_mode)) {
        facts.kind = EntryKind::Folder;
    } else if (S_ISLNK(status.st_mode)) {
        facts.kind = EntryKind::Link;
    } else {
        facts.kind = EntryKind::Other;
    }
    facts.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
    facts.mode = status.st_mode & 07777;
    facts.size = static_cast<std::uint64_t>(status.st_size);
    facts.modified = static_cast<std::int64_t>(status.st_mtime);
    facts.links = static_cast<std::uint64_t>(status.st_nlink);
    return facts;
}

bool ProcFdWorks() {
    static const bool works = [] {
        struct stat status {};
        return ::stat("/proc/self/fd", &status) == 0 && S_ISDIR(status.st_mode);
    }();
    return works;
}

}  // namespace

Folder Folder::OpenPath(const std::string& path, int& error) {
    OwnedHandle folder(::open(path.empty() ? "." : path.c_str(), kFolderFlags));
    error = folder.IsOpen() ? 0 : errno;
    return Folder(std::move(folder));
}

Folder Folder::OpenChild(const std::string& name, int& error) const {
    OwnedHandle child(::openat(NativeHandle(), name.c_str(), kFolderFlags | O_NOFOLLOW));
    error = child.IsOpen() ? 0 : errno;
    // O_NOFOLLOW refuses a link as the last component with ELOOP, and a link
    // to a file with ENOTDIR: both say "not a folder of the storage".
    return Folder(std::move(child));
}

bool Folder::IsOpen() const { return handle_.IsOpen(); }

EntryFacts Folder::Facts(const std::string& name) const {
    struct stat status {};
    if (::fstatat(NativeHandle(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        EntryFacts facts;
        facts.kind = errno == ENOENT ? EntryKind::Missing : EntryKind::Unreadable;
        return facts;
    }
    return FactsFromStatus(status);
}

EntryFacts Folder::OwnFacts() const { return FactsOfOpenFile(NativeHandle()); }

EntryFacts FactsOfOpenFile(SystemHandle fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return EntryFacts{EntryKind::Unreadable, {}, 0, 0, 0};
    return FactsFromStatus(status);
}

int Folder::MakeFolderLike(const std::string& name, const EntryFacts& like, bool& kept) const {
    kept = true;
    // 0777: under a default ACL this mode masks what the folder inherits.
    if (::mkdirat(NativeHandle(), name.c_str(), 0777) != 0) return errno;
    const OwnedHandle folder(::openat(NativeHandle(), name.c_str(), kFolderFlags | O_NOFOLLOW));
    if (!folder.IsOpen()) return errno;
    const int made = folder.Get();
    // The owner first: a change of owner may clear mode bits.
    if (::fchown(made, like.owner, like.group) != 0) {
        kept = false;
        // Only root gives a folder away; the group, any member may set.
        if (errno == EPERM) ::fchown(made, static_cast<uid_t>(-1), like.group);
    }
    const bool inheritedAcl = ::fgetxattr(made, "system.posix_acl_default", nullptr, 0) > 0;
    if (!inheritedAcl && ::fchmod(made, like.mode & 07777) != 0) kept = false;
    ::fsync(made);
    return 0;
}

int Folder::RemoveFile(const std::string& name) const {
    return ::unlinkat(NativeHandle(), name.c_str(), 0) == 0 ? 0 : errno;
}

int Folder::RemoveEmptyFolder(const std::string& name) const {
    return ::unlinkat(NativeHandle(), name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int Folder::MoveNoReplace(const std::string& from, const Folder& destination, const std::string& to) const {
    if (::renameat2(NativeHandle(), from.c_str(), destination.NativeHandle(), to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    // The file system cannot refuse by itself: look, then rename. Only another
    // process racing us could slip in between.
    struct stat status {};
    if (::fstatat(destination.NativeHandle(), to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return kAlreadyExistsError;
    return ::renameat(NativeHandle(), from.c_str(), destination.NativeHandle(), to.c_str()) == 0 ? 0 : errno;
}

int Folder::Exchange(const std::string& first, const std::string& second) const {
    if (::renameat2(NativeHandle(), first.c_str(), NativeHandle(), second.c_str(), RENAME_EXCHANGE) == 0) return 0;
    const int error = errno;
    return (error == EINVAL || error == ENOSYS) ? kCannotExchange : error;
}

void Folder::Sync() const { ::fsync(NativeHandle()); }

std::string Folder::PathForLibraries() const {
    if (!IsOpen() || !ProcFdWorks()) return {};
    return "/proc/self/fd/" + std::to_string(NativeHandle());
}

}  // namespace platform
