#include "storage/reversion.h"

#include <boost/filesystem/exception.hpp>

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "platform/database_claim.h"
#include "platform/error_kind.h"
#include "storage/layout.h"
#include "storage/nothing_done.h"
#include "storage/location_day_files.h"
#include "storage/recorder_activity.h"
#include "storage/recorder_folders.h"
#include "storage/road_start.h"
#include "storage/storage_folders.h"
#include "storage/template_placement.h"
#include "storage/template_source.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

using platform::EntryKind;

[[noreturn]] void ThrowRenameError(const fs::path& from, const fs::path& to, int error) {
    throw fs::filesystem_error(design_texts::kRenameCall, from, to,
                               boost::system::error_code(error, boost::system::system_category()));
}

bool RemoveRegularFile(const platform::Folder& folder, const std::string& name) {
    return folder.Facts(name).kind == EntryKind::RegularFile && folder.RemoveFile(name) == 0;
}

// A database goes together with SQLite's files beside it.
bool RemoveDatabaseFiles(const platform::Folder& folder, const std::string& database) {
    const bool removed = RemoveRegularFile(folder, database);
    ForEachCompanion(folder, database,
                     [&folder](const std::string& companion) { RemoveRegularFile(folder, companion); });
    return removed;
}

// Deletes what the new structure added to a location folder: the day
// database, its backups and what an interrupted placement left, and the
// daylight-saving marker folder while it is empty. Failures are ignored; a
// missing file is no error; a link or a folder under one of these names is
// not the tool's and stays. True when the day database itself went.
bool RemoveDayDatabases(const platform::Folder& folder, const std::string& dayName) {
    const std::string database = DayDatabaseName(dayName);
    const bool removed = RemoveDatabaseFiles(folder, database);
    RemoveDatabaseFiles(folder, BackupNameOf(database, BackupName::Old));
    RemoveDatabaseFiles(folder, BackupNameOf(database, BackupName::Prev));
    RemoveRegularFile(folder, PartialCopyName(database));
    RemoveRegularFile(folder, PreparedCopyName(database));
    // Only the marker folder goes, and only when empty: a file named DL is
    // the operator's and stays.
    if (folder.Facts(kDaylightSavingMarker).kind == EntryKind::Folder) folder.RemoveEmptyFolder(kDaylightSavingMarker);
    return removed;
}

// Another process holds a database: the design's "some files are in use!".
struct FilesInUse {};
// Whether one does cannot be told here: the entry stays, counted, and one
// line at the end says why.
struct CannotJudge {};

// A database another process holds, one the system does not let this account
// change, or one whether it is held cannot be told, is not removed: the entry
// stays where it is, and the reason is the true one.
void ThrowIfHeld(const platform::Folder& folder, const std::string& name, const fs::path& shownFolder) {
    platform::DatabaseClaim claim;
    switch (claim.Take(folder, name)) {
        case platform::ClaimOutcome::InUse:
            throw FilesInUse{};
        case platform::ClaimOutcome::CannotJudge:
            throw CannotJudge{};
        case platform::ClaimOutcome::Refused:
            throw fs::filesystem_error(design_texts::kRemoveCall, shownFolder / name,
                                       boost::system::error_code(claim.Error(), boost::system::system_category()));
        default:
            break;
    }
}

void ThrowIfDayDatabaseHeld(const platform::Folder& entry, const std::string& dayName, const fs::path& shown) {
    const std::string database = DayDatabaseName(dayName);
    ThrowIfHeld(entry, database, shown);
    ThrowIfHeld(entry, BackupNameOf(database, BackupName::Old), shown);
    ThrowIfHeld(entry, BackupNameOf(database, BackupName::Prev), shown);
}

// What the walk adds up: the summary, and the entries left because whether
// their databases were held could not be told.
struct RevertTally {
    RunSummary& summary;
    unsigned unjudged = 0;
};

struct Reverting {
    const platform::Folder& storage;
    const platform::Folder& day;
    const std::string& dayName;
    StorageActivity& activity;
    RevertTally& tally;
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
    ++reverting.tally.summary.foldersMovedBack;
    const platform::Folder moved = location.OpenChild(reverting.dayName, error);
    if (error == 0 && RemoveDayDatabases(moved, reverting.dayName)) ++reverting.tally.summary.databasesRemoved;
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
        reverting.tally.summary.leftInNewLayout.Add("being recorded");
        return;
    }
    if (recorder.clockSkewed) {
        console::WriteLine(
            design_texts::ClockSkewedLine(design_texts::kRevertDirectoryStructure, entry.path().string()));
    }
    Reasons& left = reverting.tally.summary.leftInNewLayout;
    try {
        {
            int error = 0;
            // The databases are deleted after the move: one that the recorder
            // still holds stays where it is. Not held across the move, which
            // an open file inside would refuse on some systems.
            const platform::Folder folder = reverting.day.OpenChild(entryName, error);
            if (error == 0) ThrowIfDayDatabaseHeld(folder, reverting.dayName, entry.path());
        }
        MoveBack(reverting, entryName, entry.path(), destination);
    } catch (const fs::filesystem_error& e) {
        console::WriteLine(design_texts::StdExceptionLine(design_texts::kRevertDirectoryStructure, e.what()));
        left.Add(ReasonOfError(e.code().value()));
    } catch (const std::exception& e) {
        console::WriteLine(design_texts::StdExceptionLine(design_texts::kRevertDirectoryStructure, e.what()));
        left.Add("exception");
    } catch (const CannotJudge&) {
        ++reverting.tally.unjudged;
        left.Add("whether in use cannot be told");
    } catch (...) {
        console::WriteLine(design_texts::kRevertFilesInUse);
        left.Add("in use");
    }
}

// A reversion stopped between moving a location folder back and removing
// its day databases leaves them in the old layout; a rerun removes them as
// it would have, and only those the tool placed: an unmarked database there
// may be the recorder's own, and stays.
void FinishInterruptedRemovals(const platform::Folder& storageFolder, const fs::path& storage,
                               StorageActivity& activity, const DateRange& range, RunSummary& summary) {
    const walk::Listing top = walk::List(storage, walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn);
    for (const fs::directory_entry& location : top.taken) {
        if (IsDayFolder(location)) continue;
        int error = 0;
        const platform::Folder locationFolder = OpenBeneath(storageFolder, {EntryName(location)}, error);
        if (error != 0) continue;
        for (const fs::directory_entry& day :
             walk::DayFoldersInRange(location.path(), range, walk::OnListingFailure::CarryOn)) {
            const std::string dayName = EntryName(day);
            if (activity.OfDay(dayName).live) continue;
            const platform::Folder dayFolder = locationFolder.OpenChild(dayName, error);
            const std::string database = DayDatabaseName(dayName);
            if (error != 0 || dayFolder.Facts(database).kind != EntryKind::RegularFile) continue;
            if (ApplicationIdOf(dayFolder, database) != kToolMark) {
                if (summary.unmarkedLeft++ == 0) summary.firstUnmarkedLeft = (day.path() / database).string();
                continue;
            }
            try {
                ThrowIfDayDatabaseHeld(dayFolder, dayName, day.path());
            } catch (...) {
                continue;  // held, or not to be told: the next run tries again
            }
            if (RemoveDayDatabases(dayFolder, dayName)) ++summary.databasesRemoved;
        }
    }
}

void RemoveDayFolderIfEmpty(const platform::Folder& storage, const std::string& dayName, const fs::path& dayFolder) {
    const int error = storage.RemoveEmptyFolder(dayName);
    if (error == 0) {
        storage.Sync();
    } else if (platform::KindOfError(error) == platform::ErrorKind::Exists) {
        console::WriteLine(design_texts::NotEmptyLine(dayFolder.string()));
    } else {
        console::WriteLine(design_texts::CannotRemoveLine(dayFolder.string()));
    }
}

void WriteClosingLine(unsigned long handled) {
    if (handled == 0) {
        console::WriteLine(design_texts::kNothingToRevert);
        return;
    }
    console::WriteHeading(design_texts::RevertedLine(handled));
}

}  // namespace

void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                              const std::string& endDate) {
    RunSummary summary;
    RevertDirectoryStructure(storagePath, beginDate, endDate, summary);
}

void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                              RunSummary& summary) {
    const fs::path storage(storagePath);
    if (!StartRoad(design_texts::kRevertHeading, design_texts::kRevertDirectoryStructure, storage)) {
        summary.nothingDone = WhyNothingWasDone(storage, beginDate, endDate, 0, true);
        console::WriteLine(RevertSummaryLine(summary));
        return;
    }
    int error = 0;
    const platform::Folder storageFolder = OpenStorageFolder(storage, error);
    if (error != 0) return;
    const DateRange range(beginDate, endDate);
    StorageActivity activity(storageFolder, storage);
    FinishInterruptedRemovals(storageFolder, storage, activity, range, summary);
    RevertTally tally{summary};
    unsigned long handled = 0;  // every entry met, moved or not
    unsigned dayFoldersInRange = 0;
    for (const fs::directory_entry& day : walk::DayFoldersInRange(storage, range, walk::OnListingFailure::CarryOn)) {
        const std::string dayName = EntryName(day);
        ++dayFoldersInRange;
        {
            const platform::Folder dayFolder = OpenBeneath(storageFolder, {dayName}, error);
            if (error != 0) continue;
            // Every entry whatever its kind; a link is not the storage's own
            // folder, and its day database must not be removed through it.
            const walk::Listing listing =
                walk::List(day.path(), walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn);
            for (const fs::directory_entry& entry : listing.taken) {
                RevertEntry({storageFolder, dayFolder, dayName, activity, tally}, storage, entry);
                ++handled;
            }
        }  // a held folder cannot be removed everywhere
        RemoveDayFolderIfEmpty(storageFolder, dayName, day.path());
    }
    if (tally.unjudged > 0) {
        console::WriteLine(design_texts::UnjudgedLine(design_texts::kRevertDirectoryStructure, tally.unjudged));
    }
    ReportFoldersNotOwned(design_texts::kRevertDirectoryStructure);
    summary.boundNotes = BoundNotes(beginDate, endDate);
    if (handled == 0) summary.nothingDone = WhyNothingWasDone(storage, beginDate, endDate, dayFoldersInRange, true);
    console::WriteLine(RevertSummaryLine(summary));
    WriteClosingLine(handled);
}
