#pragma once

#include <string>

namespace platform {

// How SQLite is handed a database beneath a folder the tool holds. SQLite,
// asked not to follow links, refuses a path with a link anywhere on it, yet
// the tool names its databases through the folders it holds, so that every
// journal SQLite creates and deletes beside one stays in that very folder
// whatever happens to the folder's path meanwhile. The database's own name
// is still checked: a day database that is itself a link is refused.

// The path for SQLite of the entry name: beneath heldFolder (what
// Folder::PathForLibraries gives) when there is one; else beneath folderPath
// with the operator's links on the way resolved, once.
std::string SqlitePathBeneath(const std::string& heldFolder, const std::string& folderPath, const std::string& name);

// Shows SQLite what the links of a held folder's path lead to (on Linux,
// /proc/self and /proc/self/fd/<n>; nothing elsewhere), and nothing else.
// Once per process is enough; later calls change nothing.
void LetSqliteReachHeldFolders();

}  // namespace platform
