#include "storage/conversion.h"

#include "app/console.h"
#include "app/dates.h"
#include "storage/layout.h"
#include "storage/road_start.h"
#include "storage/move_entry.h"
#include "storage/template_placement.h"

namespace fs = boost::filesystem;

namespace {

enum class MoveOutcome { Moved, ReportedFailure, Abandoned };

// Moves <storage>/<location>/<day> to <storage>/<day>/<location>. A destination
// that already exists is never merged into: the move fails and the source stays.
MoveOutcome MoveDayFolder(const fs::path& source, const fs::path& destination) {
    try {
        // A failure to create the new day folder shows up in the move.
        boost::system::error_code ignored;
        fs::create_directories(destination.parent_path(), ignored);
        MoveWithoutReplacing(source, destination);
        return MoveOutcome::Moved;
    } catch (const std::exception& e) {
        console::WriteLine(std::string("ConvertDirectoryStructure - got std::Exception: ") + e.what());
        return MoveOutcome::ReportedFailure;
    } catch (...) {
        console::WriteErrorLine("ConvertDirectoryStructure - convert " + destination.string() + "got Exception");
        return MoveOutcome::Abandoned;
    }
}

void RemoveIfEmpty(const fs::path& folder) {
    boost::system::error_code error;
    if (fs::is_empty(folder, error) && !error) fs::remove(folder, error);
}

void ConvertLocationFolder(const fs::path& storage, const fs::directory_entry& location, const DateRange& range) {
    for (const fs::directory_entry& day : ListFolder(location.path())) {
        const std::string dayName = EntryName(day);
        if (!IsDayFolder(day) || !range.Contains(dayName)) continue;
        const fs::path destination = storage / dayName / EntryName(location);
        console::WriteLine("Processing Path: " + day.path().string() + " structure");
        if (MoveDayFolder(day.path(), destination) == MoveOutcome::Abandoned) continue;
        // Also after a failed move: a destination that was already there gets
        // its day database renewed too.
        PlaceTemplateDatabase(destination / DayDatabaseName(dayName), kConvertDirectoryStructureTexts);
        RemoveIfEmpty(location.path());
    }
}

}  // namespace

void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                               const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad("Convert the directory structure:", "ConvertDirectoryStructure", storage)) return;
    const DateRange range(beginDate, endDate);
    for (const fs::directory_entry& location : ListFolder(storage)) {
        boost::system::error_code error;
        if (!fs::is_directory(location.status(error)) || error) continue;
        ConvertLocationFolder(storage, location, range);
    }
}
