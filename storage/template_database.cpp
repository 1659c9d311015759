#include "storage/template_database.h"

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "storage/layout.h"
#include "storage/road_start.h"
#include "storage/storage_folders.h"
#include "storage/template_placement.h"

namespace fs = boost::filesystem;

namespace {

// Every entry of a day folder gets a target, folder or not; for a file the
// copy then fails and says so. A link is passed over.
void PlaceDay(TemplatePlacement& placement, const platform::Folder& storageFolder, const fs::directory_entry& day) {
    const std::string dayName = EntryName(day);
    int error = 0;
    const platform::Folder dayFolder = OpenBeneath(storageFolder, {dayName}, error);
    if (error != 0) return;
    for (const fs::directory_entry& location : ListFolder(day.path())) {
        if (IsLinkEntry(location)) continue;
        const fs::path shown = location.path() / DayDatabaseName(dayName);
        const platform::Folder locationFolder = dayFolder.OpenChild(EntryName(location), error);
        if (error != 0) {
            placement.ReportUnreachable(shown, error);
            continue;
        }
        placement.Place({locationFolder, DayDatabaseName(dayName), shown});
    }
}

}  // namespace

void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad(design_texts::kCopyTemplateHeading, design_texts::kCopyTemplateDB, storage)) return;
    int error = 0;
    const platform::Folder storageFolder = OpenStorageFolder(storage, error);
    if (error != 0) return;
    TemplatePlacement placement(TemplateSource::Find(), kCopyTemplateDBTexts);
    const DateRange range(beginDate, endDate);
    for (const fs::directory_entry& day : ListFolder(storage)) {
        if (!IsDayFolderInRange(day, range)) continue;
        PlaceDay(placement, storageFolder, day);
    }
    placement.ReportUnjudged();
}
