#include "storage/template_database.h"

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "storage/layout.h"
#include "storage/recorder_activity.h"
#include "storage/road_start.h"
#include "storage/storage_folders.h"
#include "storage/template_placement.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

// Every entry of a day folder gets a target, folder or not
// (walk::Entries::AnyKindButLinks); for a file the copy then fails and says so.
// A day the recorder is recording is left as it was, each location-day saying
// so, before anything claims or opens its databases.
void PlaceDay(TemplatePlacement& placement, const platform::Folder& storageFolder, StorageActivity& activity,
              const fs::directory_entry& day, RunSummary& summary, PlacedDatabases& placed) {
    const std::string dayName = EntryName(day);
    int error = 0;
    const platform::Folder dayFolder = OpenBeneath(storageFolder, {dayName}, error);
    if (error != 0) return;
    const RecorderActivity& recorder = activity.OfDay(dayName);
    if (recorder.clockSkewed && !recorder.live) {
        console::WriteLine(design_texts::ClockSkewedLine(design_texts::kCopyTemplateDB, day.path().string()));
    }
    const walk::Listing listing =
        walk::List(day.path(), walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn);
    for (const fs::directory_entry& location : listing.taken) {
        const fs::path shown = location.path() / DayDatabaseName(dayName);
        const platform::Folder locationFolder = dayFolder.OpenChild(EntryName(location), error);
        if (error != 0) {
            placement.ReportUnreachable(shown, error);
            continue;
        }
        if (recorder.live) {
            console::WriteLine(design_texts::BeingRecordedLine(design_texts::kCopyTemplateDB, shown.string(),
                                                               activity.Now() - recorder.lastWrite));
            placed.RememberLeftWhileRecorded(locationFolder.OwnFacts().identity);
            summary.NoteLeft(shown.string(), "being recorded");
            continue;
        }
        placement.Place({locationFolder, DayDatabaseName(dayName), shown});
    }
}

}  // namespace

void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate) {
    RunSummary summary;
    PlacedDatabases placed;
    CopyTemplateDB(storagePath, beginDate, endDate, summary, placed);
}

void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                    RunSummary& summary, PlacedDatabases& placed) {
    const fs::path storage(storagePath);
    if (!StartRoad(design_texts::kCopyTemplateHeading, design_texts::kCopyTemplateDB, storage)) return;
    int error = 0;
    const platform::Folder storageFolder = OpenStorageFolder(storage, error);
    if (error != 0) return;
    TemplatePlacement placement(TemplateSource::Find(), kCopyTemplateDBTexts, summary, placed);
    const DateRange range(beginDate, endDate);
    StorageActivity activity(storageFolder, storage);
    for (const fs::directory_entry& day : walk::DayFoldersInRange(storage, range, walk::OnListingFailure::CarryOn)) {
        PlaceDay(placement, storageFolder, activity, day, summary, placed);
    }
    placement.ReportUnjudged();
}
