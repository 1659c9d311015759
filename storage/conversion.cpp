#include "storage/conversion.h"

#include <boost/filesystem/exception.hpp>

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "storage/layout.h"
#include "storage/recorder_activity.h"
#include "storage/recorder_folders.h"
#include "storage/road_start.h"
#include "storage/storage_folders.h"
#include "storage/template_placement.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

void ReportRenameFailure(const fs::path& source, const fs::path& destination, int error) {
    const fs::filesystem_error failure(design_texts::kRenameCall, source, destination,
                                       boost::system::error_code(error, boost::system::system_category()));
    console::WriteLine(design_texts::CapitalStdExceptionLine(design_texts::kConvertDirectoryStructure, failure.what()));
}

// One old-structure day folder: <storage>/<location>/<day>, moving to
// <storage>/<day>/<location>. Everything is reached from the storage's own
// handle, never through a link.
struct DayMove {
    const platform::Folder& storage;
    const platform::Folder& location;
    std::string locationName;
    std::string dayName;
    fs::path source;
    fs::path destination;
};

// Moves the day folder into its new day folder (created when missing). A
// destination that already exists is never merged into: the move fails and
// the source stays. Both parents are flushed, so the move survives a power cut.
int MoveDayFolder(const DayMove& move) {
    // The new day folder is the recorder's as much as the folder moved into it.
    const int made = MakeFolderForRecorder(move.storage, move.dayName, move.location.Facts(move.dayName));
    int error = 0;
    const platform::Folder newDay = move.storage.OpenChild(move.dayName, error);
    // A new day folder that is a link (or a file) would take the folder outside.
    if (error != 0) return made != 0 && made != platform::kAlreadyExistsError ? made : error;
    error = move.location.MoveNoReplace(move.dayName, newDay, move.locationName);
    if (error != 0) return error;
    newDay.Sync();
    move.location.Sync();
    if (made == 0) move.storage.Sync();
    return 0;
}

// The placement inside the moved folder, or inside the destination that was
// already there (it gets its day database renewed too).
void PlaceAtDestination(TemplatePlacement& placement, const DayMove& move, bool moved) {
    const fs::path shown = move.destination / DayDatabaseName(move.dayName);
    int error = 0;
    const platform::Folder destination = OpenBeneath(move.storage, {move.dayName, move.locationName}, error);
    if (error != 0) {
        placement.ReportUnreachable(shown, error);
        return;
    }
    const PlacementTarget target{destination, DayDatabaseName(move.dayName), shown};
    if (moved) {
        placement.PlacePrepared(target);
    } else {
        placement.Place(target);
    }
}

// Moves one day folder and places its day database. The template copy is
// prepared inside the folder before it moves, so that a run killed after the
// move finishes the placement when run again; a copy that cannot be written
// leaves the folder where it is, for the same reason.
std::string ReasonNotMoved(int error) {
    return error == platform::kRefusedLinkError ? "destination is a link" : ReasonOfError(error);
}

void ConvertDayFolder(TemplatePlacement& placement, const DayMove& move, RunSummary& summary) {
    const fs::path database = move.destination / DayDatabaseName(move.dayName);
    {
        int error = 0;
        // Held only while the copy is written: a held folder cannot be moved everywhere.
        const platform::Folder day = move.location.OpenChild(move.dayName, error);
        if (error != 0) {
            ReportRenameFailure(move.source, move.destination, error);
            summary.leftInOldLayout.Add(ReasonNotMoved(error));
            return;
        }
        if (!placement.Prepare({day, DayDatabaseName(move.dayName), database})) {
            summary.leftInOldLayout.Add(summary.ReasonLeft(database.string()));
            return;
        }
    }
    const int error = MoveDayFolder(move);
    if (error == 0) {
        ++summary.dayFoldersConverted;
        PlaceAtDestination(placement, move, true);
        return;
    }
    ReportRenameFailure(move.source, move.destination, error);
    summary.leftInOldLayout.Add(ReasonNotMoved(error));
    int reopened = 0;
    const bool throughLink = error == platform::kRefusedLinkError;
    const platform::Folder day = move.location.OpenChild(move.dayName, reopened);
    if (reopened == 0) placement.Discard({day, DayDatabaseName(move.dayName), {}});
    // A destination reached through a link lies outside the storage.
    if (!throughLink) PlaceAtDestination(placement, move, false);
}

// A day the recorder is recording stays where it is: moved, it would be
// recreated under its old path by the recorder and split in two.
bool LeftToTheRecorder(StorageActivity& activity, const std::string& dayName, const fs::path& shown) {
    const RecorderActivity& recorder = activity.OfDay(dayName);
    if (recorder.live) {
        console::WriteLine(design_texts::BeingRecordedLine(design_texts::kConvertDirectoryStructure, shown.string(),
                                                           activity.Now() - recorder.lastWrite));
    } else if (recorder.clockSkewed) {
        console::WriteLine(design_texts::ClockSkewedLine(design_texts::kConvertDirectoryStructure, shown.string()));
    }
    return recorder.live;
}

void ConvertLocationFolder(TemplatePlacement& placement, const platform::Folder& storageFolder, const fs::path& storage,
                           StorageActivity& activity, const fs::directory_entry& location, const DateRange& range,
                           RunSummary& summary) {
    const std::string locationName = EntryName(location);
    bool moved = false;
    {
        int error = 0;
        const platform::Folder locationFolder = OpenBeneath(storageFolder, {locationName}, error);
        if (error != 0) return;
        for (const fs::directory_entry& day :
             walk::DayFoldersInRange(location.path(), range, walk::OnListingFailure::CarryOn)) {
            const std::string dayName = EntryName(day);
            console::WriteLine(design_texts::ProcessingPathLine(day.path().string()));
            if (LeftToTheRecorder(activity, dayName, day.path())) {
                summary.leftInOldLayout.Add("being recorded");
                continue;
            }
            const DayMove move{storageFolder, locationFolder, locationName,
                               dayName,       day.path(),     storage / dayName / locationName};
            ConvertDayFolder(placement, move, summary);
            moved = true;
        }
    }  // a held folder cannot be removed everywhere
    // Once its last day folder has left, the location folder goes; anything
    // left in it keeps it.
    if (moved && storageFolder.RemoveEmptyFolder(locationName) == 0) storageFolder.Sync();
}

// Placements that a killed or failed run prepared and moved but did not finish.
void FinishInterruptedPlacements(TemplatePlacement& placement, const platform::Folder& storageFolder,
                                 const fs::path& storage, StorageActivity& activity, const DateRange& range) {
    for (const fs::directory_entry& day : walk::DayFoldersInRange(storage, range, walk::OnListingFailure::CarryOn)) {
        const std::string dayName = EntryName(day);
        if (activity.OfDay(dayName).live) continue;
        // The placement's rule: every entry; one that is no folder fails to open.
        const walk::Listing listing =
            walk::List(day.path(), walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn);
        for (const fs::directory_entry& location : listing.taken) {
            int error = 0;
            const platform::Folder folder = OpenBeneath(storageFolder, {dayName, EntryName(location)}, error);
            if (error != 0) continue;
            placement.FinishInterrupted({folder, DayDatabaseName(dayName), location.path() / DayDatabaseName(dayName)});
        }
    }
}

}  // namespace

void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                               const std::string& endDate) {
    RunSummary summary;
    PlacedDatabases placed;
    ConvertDirectoryStructure(storagePath, beginDate, endDate, summary, placed);
}

void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                               RunSummary& summary, PlacedDatabases& placed) {
    summary.converting = true;
    const fs::path storage(storagePath);
    if (!StartRoad(design_texts::kConvertHeading, design_texts::kConvertDirectoryStructure, storage)) return;
    int error = 0;
    const platform::Folder storageFolder = OpenStorageFolder(storage, error);
    if (error != 0) return;
    TemplatePlacement placement(TemplateSource::Find(), kConvertDirectoryStructureTexts, summary, placed);
    const DateRange range(beginDate, endDate);
    StorageActivity activity(storageFolder, storage);
    FinishInterruptedPlacements(placement, storageFolder, storage, activity, range);
    const walk::Listing locations =
        walk::List(storage, walk::Entries::FoldersButLinks, walk::OnListingFailure::CarryOn);
    for (const fs::directory_entry& location : locations.taken) {
        ConvertLocationFolder(placement, storageFolder, storage, activity, location, range, summary);
    }
    placement.ReportUnjudged();
    ReportFoldersNotOwned(design_texts::kConvertDirectoryStructure);
}
