#pragma once

#include <string>

#include "platform/folder.h"

// The names of what the tool and SQLite keep beside the recordings of a
// location-day, in one place for every road: the day database's companions,
// the tool's own names around a placement, the backups, and the
// daylight-saving marker.

// The names SQLite gives the files that belong to a database.
const char* const* CompanionSuffixes();  // null-terminated

// Calls visit(name) for each companion of database present in folder, in the
// order of CompanionSuffixes.
template <typename Visit>
void ForEachCompanion(const platform::Folder& folder, const std::string& database, Visit visit) {
    for (const char* const* suffix = CompanionSuffixes(); *suffix; ++suffix) {
        const std::string companion = database + *suffix;
        if (folder.Facts(companion).kind != platform::EntryKind::Missing) visit(companion);
    }
}

// The tool's own names beside a target: a copy being written, a complete
// copy waiting to be renamed into place, the name they swap through, and
// the backups.
std::string PartialCopyName(const std::string& target);
std::string PreparedCopyName(const std::string& target);
// Where the copy and the database it replaces swap names.
std::string SwappingName(const std::string& target);
enum class BackupName { Old, Prev };
std::string BackupNameOf(const std::string& target, BackupName backup);

// The folder the recorder keeps beside daylight-saving recordings.
inline constexpr const char* kDaylightSavingMarker = "DL";
