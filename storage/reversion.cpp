#include "storage/reversion.h"

#include <boost/filesystem/exception.hpp>
#include <cerrno>

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "platform/database_claim.h"
#include "storage/layout.h"
#include "storage/location_day_files.h"
#include "storage/recorder_activity.h"
#include "storage/recorder_folders.h"
#include "storage/road_start.h"
#include "storage/storage_folders.h"
#include "storage/template_placement.h"

namespace fs = boost::filesystem;

namespace {

using platform::EntryKind;

[[noreturn]] void ThrowRenameError(const fs::path& from, const fs::path& to, int error) {
    throw fs::filesystem_error(design_texts::kRenameCall, from, to,
                               boost::system::error_code(error, boost::system::system_category()));
}

void RemoveRegularFile(const platform::Folder& folder, const std::string& name) {
    if (folder.Facts(name).kind == EntryKind::RegularFile) folder.RemoveFile(name);
}

// A database goes together with SQLite's files beside it.
void RemoveDatabaseFiles(const platform::Folder& folder, const std::string& database) {
    RemoveRegularFile(folder, database);
    ForEachCompanion(folder, database,
                     [&folder](const std::string& companion) { RemoveRegularFile(folder, companion); });
}

// Deletes what the new structure added to a location folder: the day
// database, its backups and what an interrupted placement left, and the
// daylight-saving marker folder while it is empty. Failures are ignored; a
// missing file is no error; a link or a folder under one of these names is
// not the tool's and stays.
void RemoveDayDatabases(const platform::Folder& folder, const std::string& dayName) {
    const std::string database = DayDatabaseName(dayName);
    RemoveDatabaseFiles(folder, database);
    RemoveDatabaseFiles(folder, BackupNameOf(database, BackupName::Old));
    RemoveDatabaseFiles(folder, BackupNameOf(database, BackupName::Prev));
    RemoveRegularFile(folder, PartialCopyName(database));
    RemoveRegularFile(folder, PreparedCopyName(database));
    // Only the marker folder goes, and only when empty: a file named DL is
    // the operator's and stays.
    if (folder.Facts(kDaylightSavingMarker).kind == EntryKind::Folder) folder.RemoveEmptyFolder(kDaylightSavingMarker);
}

struct FilesInUse {};

// A database another process holds, or one whether it is held cannot be
// told, is not removed: the entry stays where it is.
bool IsHeld(const platform::Folder& folder, const std::string& name) {
    platform::DatabaseClaim claim;
    const platform::ClaimOutcome outcome = claim.Take(folder, name);
    return outcome == platform::ClaimOutcome::InUse || outcome == platform::ClaimOutcome::CannotJudge;
}

bool DayDatabaseInUse(const platform::Folder& entry, const std::string& dayName) {
    const std::string database = DayDatabaseName(dayName);
    return IsHeld(entry, database) || IsHeld(entry, BackupNameOf(database, BackupName::Old)) ||
           IsHeld(entry, BackupNameOf(database, BackupName::Prev));
}

struct Reverting {
    const platform::Folder& storage;
    const platform::Folder& day;
    const std::string& dayName;
    StorageActivity& activity;
};

// Moves <storage>/<day>/<entry> back to <storage>/<entry>/<day>; both parents
// are flushed so that the move survives a power cut.
void MoveBack(const Reverting& reverting, const std::string& entryName, const fs::path& source,
              const fs::path& destination) {
    // The location folder made anew is the recorder's, as the one moved into it.
    const int made = MakeFolderForRecorder(reverting.storage, entryName, reverting.day.Facts(entryName));
    int error = 0;
    // Moving into a link would put the folder outside the storage.
    const platform::Folder location = reverting.storage.OpenChild(entryName, error);
    if (error != 0)
        ThrowRenameError(source, destination, made != 0 && made != platform::kAlreadyExistsError ? made : error);
    error = reverting.day.MoveNoReplace(entryName, location, reverting.dayName);
    if (error != 0) ThrowRenameError(source, destination, error);
    location.Sync();
    reverting.day.Sync();
    if (made == 0) reverting.storage.Sync();
    const platform::Folder moved = location.OpenChild(reverting.dayName, error);
    if (error == 0) RemoveDayDatabases(moved, reverting.dayName);
}

void RevertEntry(const Reverting& reverting, const fs::path& storage, const fs::directory_entry& entry) {
    const std::string entryName = EntryName(entry);
    const fs::path destination = storage / entryName / reverting.dayName;
    console::WriteLine(design_texts::ProcessingPathLine(entry.path().string()));
    // Moved back while the recorder records it, the day would be split between
    // both layouts; nothing of it is claimed or moved.
    const RecorderActivity& recorder = reverting.activity.OfDay(reverting.dayName);
    if (recorder.live) {
        console::WriteLine(design_texts::BeingRecordedLine(design_texts::kRevertDirectoryStructure,
                                                           entry.path().string(),
                                                           reverting.activity.Now() - recorder.lastWrite));
        return;
    }
    try {
        {
            int error = 0;
            // The databases are deleted after the move: one that the recorder
            // still holds stays where it is. Not held across the move, which
            // an open file inside would refuse on some systems.
            const platform::Folder folder = reverting.day.OpenChild(entryName, error);
            if (error == 0 && DayDatabaseInUse(folder, reverting.dayName)) throw FilesInUse{};
        }
        MoveBack(reverting, entryName, entry.path(), destination);
    } catch (const std::exception& e) {
        console::WriteLine(design_texts::StdExceptionLine(design_texts::kRevertDirectoryStructure, e.what()));
    } catch (...) {
        console::WriteLine(design_texts::kRevertFilesInUse);
    }
}

void RemoveDayFolderIfEmpty(const platform::Folder& storage, const std::string& dayName, const fs::path& dayFolder) {
    const int error = storage.RemoveEmptyFolder(dayName);
    if (error == 0) {
        storage.Sync();
    } else if (error == ENOTEMPTY || error == EEXIST || error == 145 /* ERROR_DIR_NOT_EMPTY */) {
        console::WriteLine(design_texts::NotEmptyLine(dayFolder.string()));
    } else {
        console::WriteLine(design_texts::CannotRemoveLine(dayFolder.string()));
    }
}

void WriteSummary(unsigned long handled) {
    if (handled == 0) {
        console::WriteLine(design_texts::kNothingToRevert);
        return;
    }
    console::WriteHeading(design_texts::RevertedLine(handled));
}

}  // namespace

void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                              const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad(design_texts::kRevertHeading, design_texts::kRevertDirectoryStructure, storage)) return;
    int error = 0;
    const platform::Folder storageFolder = OpenStorageFolder(storage, error);
    if (error != 0) return;
    const DateRange range(beginDate, endDate);
    StorageActivity activity(storageFolder, storage);
    unsigned long handled = 0;  // every entry met, moved or not
    for (const fs::directory_entry& day : ListFolder(storage)) {
        const std::string dayName = EntryName(day);
        if (!IsDayFolderInRange(day, range)) continue;
        {
            const platform::Folder dayFolder = OpenBeneath(storageFolder, {dayName}, error);
            if (error != 0) continue;
            for (const fs::directory_entry& entry : ListFolder(day.path())) {
                // A link is not the storage's own folder: its day database must
                // not be removed through it.
                if (IsLinkEntry(entry)) continue;
                RevertEntry({storageFolder, dayFolder, dayName, activity}, storage, entry);
                ++handled;
            }
        }  // a held folder cannot be removed everywhere
        RemoveDayFolderIfEmpty(storageFolder, dayName, day.path());
    }
    ReportFoldersNotOwned(design_texts::kRevertDirectoryStructure);
    WriteSummary(handled);
}
