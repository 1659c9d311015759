#include "platform/sqlite_paths.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

namespace {

bool IsDigits(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

bool IsHeldFolderLink(const char* path) {
    static const char kSelf[] = "/proc/self";
    static const char kDescriptors[] = "/proc/self/fd/";
    if (std::strcmp(path, kSelf) == 0) return true;
    return std::strncmp(path, kDescriptors, sizeof kDescriptors - 1) == 0 && IsDigits(path + sizeof kDescriptors - 1);
}

int StatusSeeingHeldFolders(const char* path, struct stat* status) {
    return IsHeldFolderLink(path) ? ::stat(path, status) : ::lstat(path, status);
}

sqlite3_vfs* UnixFiles() {
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    if (vfs == nullptr || vfs->iVersion < 3 || vfs->xSetSystemCall == nullptr || vfs->xGetSystemCall == nullptr)
        return nullptr;
    return vfs;
}

// SQLite outlives a plug-in that a process unloads: SQLite's own lstat is put
// back then, so that nothing calls into the unloaded code.
struct RestoredOnUnload {
    ~RestoredOnUnload() {
        sqlite3_vfs* vfs = UnixFiles();
        const auto ours = reinterpret_cast<sqlite3_syscall_ptr>(&StatusSeeingHeldFolders);
        if (vfs != nullptr && vfs->xGetSystemCall(vfs, "lstat") == ours) vfs->xSetSystemCall(vfs, "lstat", nullptr);
    }
} restoredOnUnload;

// The folder's path with every link on it resolved; empty when it cannot be.
std::string Resolved(const std::string& folder) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.empty() ? "." : folder.c_str(), nullptr),
                                                           &std::free);
    return real != nullptr ? std::string(real.get()) : std::string();
}

}  // namespace

std::string SqlitePathBeneath(const std::string& heldFolder, const std::string& folderPath, const std::string& name) {
    if (!heldFolder.empty()) return heldFolder + "/" + name;
    const std::string folder = Resolved(folderPath);
    if (!folder.empty()) return folder == "/" ? folder + name : folder + "/" + name;
    return folderPath.empty() ? name : folderPath + "/" + name;
}

void LetSqliteReachHeldFolders() {
    sqlite3_vfs* vfs = UnixFiles();
    if (vfs == nullptr) return;
    vfs->xSetSystemCall(vfs, "lstat", reinterpret_cast<sqlite3_syscall_ptr>(&StatusSeeingHeldFolders));
}

}  // namespace platform
