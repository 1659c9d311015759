#include "storage/template_database.h"

#include "app/console.h"
#include "app/dates.h"
#include "storage/layout.h"
#include "storage/road_start.h"
#include "storage/template_placement.h"

namespace fs = boost::filesystem;

void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad("Copy the template DB:", "CopyTemplateDB", storage)) return;
    const DateRange range(beginDate, endDate);
    for (const fs::directory_entry& day : ListFolder(storage)) {
        if (!IsDayFolder(day) || IsLinkEntry(day) || !range.Contains(EntryName(day))) continue;
        // Every entry of a day folder gets a target, folder or not; for a file
        // the copy then fails and says so. A link is passed over.
        for (const fs::directory_entry& location : ListFolder(day.path())) {
            if (IsLinkEntry(location)) continue;
            PlaceTemplateDatabase(location.path() / DayDatabaseName(EntryName(day)), kCopyTemplateDBTexts);
        }
    }
}
