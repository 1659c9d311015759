#include "storage/reversion.h"

#include <cerrno>
#include <sstream>

#include "app/console.h"
#include "app/dates.h"
#include "platform/file_in_use.h"
#include "platform/links.h"
#include "storage/layout.h"
#include "storage/template_placement.h"
#include "storage/road_start.h"
#include "storage/move_entry.h"

namespace fs = boost::filesystem;

namespace {

// Deletes what the new structure added to a location folder: the day database,
// its backup and the daylight-saving marker folder while it is empty. Failures
// are ignored; a missing file is no error.
// A database goes together with SQLite's files beside it, and with the copies
// an interrupted placement left.
void RemoveDatabaseFiles(const fs::path& database) {
    boost::system::error_code ignored;
    fs::remove(database, ignored);
    for (const char* const* suffix = CompanionSuffixes(); *suffix; ++suffix) {
        fs::remove(database.string() + *suffix, ignored);
    }
}

void RemoveDayDatabases(const fs::path& folder, const std::string& dayName) {
    boost::system::error_code ignored;
    const fs::path database = folder / DayDatabaseName(dayName);
    RemoveDatabaseFiles(database);
    RemoveDatabaseFiles(database.string() + ".old");
    fs::remove(PartialCopyPath(database), ignored);
    fs::remove(PreparedCopyPath(database), ignored);
    // Only the marker folder goes: a file that happens to be named DL is the
    // operator's and stays.
    const fs::path marker = folder / "DL";
    if (fs::is_directory(fs::symlink_status(marker, ignored))) fs::remove(marker, ignored);
}

struct FilesInUse {};

bool DayDatabaseInUse(const fs::path& folder, const std::string& dayName) {
    const fs::path database = folder / DayDatabaseName(dayName);
    return platform::IsFileHeldByAnotherProcess(database.c_str()) ||
           platform::IsFileHeldByAnotherProcess((database.string() + ".old").c_str());
}

// Moves <storage>/<day>/<entry> back to <storage>/<entry>/<day>.
void RevertEntry(const fs::path& storage, const std::string& dayName, const fs::directory_entry& entry) {
    const fs::path destination = storage / EntryName(entry) / dayName;
    console::WriteLine("Processing Path: " + entry.path().string() + " structure");
    try {
        // Moving into a link would put the folder outside the storage.
        if (platform::IsSymbolicLink(destination.parent_path())) {
            throw fs::filesystem_error("boost::filesystem::rename", entry.path(), destination,
                                       boost::system::error_code(ELOOP, boost::system::system_category()));
        }
        // The databases are deleted after the move: one that the recorder
        // still holds stays where it is, as a rename of an open file is refused.
        if (DayDatabaseInUse(entry.path(), dayName)) throw FilesInUse{};
        fs::create_directories(destination.parent_path());
        MoveWithoutReplacing(entry.path(), destination);
        RemoveDayDatabases(destination, dayName);
    } catch (const std::exception& e) {
        console::WriteLine(std::string("RevertDirectoryStructure - got std::exception: ") + e.what());
    } catch (...) {
        console::WriteLine("RevertDirectoryStructure - some files are in use!");
    }
}

void RemoveDayFolderIfEmpty(const fs::path& dayFolder) {
    try {
        if (fs::is_empty(dayFolder)) {
            fs::remove(dayFolder);
        } else {
            console::WriteLine("RevertDirectoryStructure - directory: " + dayFolder.string() + "is not empty");
        }
    } catch (...) {
        console::WriteLine("RevertDirectoryStructure - Cannot remove the directory:" + dayFolder.string());
    }
}

void WriteSummary(unsigned long handled) {
    if (handled == 0) {
        console::WriteLine("Cannot find any proper path to revert.");
        return;
    }
    std::ostringstream text;
    text << "Congratulation! Revert [" << handled << "] path(s) successfully.";
    console::WriteHeading(text.str());
}

}  // namespace

void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                              const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad("Reverting the directory structure:", "RevertDirectoryStructure", storage)) return;
    const DateRange range(beginDate, endDate);
    unsigned long handled = 0;  // every entry met, moved or not
    for (const fs::directory_entry& day : ListFolder(storage)) {
        const std::string dayName = EntryName(day);
        if (!IsDayFolder(day) || IsLinkEntry(day) || !range.Contains(dayName)) continue;
        for (const fs::directory_entry& entry : ListFolder(day.path())) {
            // A link is not the storage's own folder: its day database must not
            // be removed through it.
            if (IsLinkEntry(entry)) continue;
            RevertEntry(storage, dayName, entry);
            ++handled;
        }
        RemoveDayFolderIfEmpty(day.path());
    }
    WriteSummary(handled);
}
