#include "platform/sqlite_paths.h"

namespace platform {

// SQLite does not look for links on this system: the held folder's own path
// is what the tool gives, and a path as the operator gave it does as well.
std::string SqlitePathBeneath(const std::string& heldFolder, const std::string& folderPath, const std::string& name) {
    const std::string& folder = heldFolder.empty() ? folderPath : heldFolder;
    return folder.empty() ? name : folder + "\\" + name;
}

void LetSqliteReachHeldFolders() {}

}  // namespace platform
