#include "storage/conversion.h"

#include <cerrno>

#include "app/console.h"
#include "app/dates.h"
#include "platform/links.h"
#include "storage/layout.h"
#include "storage/road_start.h"
#include "storage/move_entry.h"
#include "storage/template_placement.h"

namespace fs = boost::filesystem;

namespace {

void ReportStdException(const std::exception& e) {
    console::WriteLine(std::string("ConvertDirectoryStructure - got std::Exception: ") + e.what());
}

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
        ReportStdException(e);
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

// A destination whose day folder, or which itself, is a link would put the
// folder and its day database outside the storage.
bool ReachesThroughLink(const fs::path& destination) {
    return platform::IsSymbolicLink(destination.parent_path()) || platform::IsSymbolicLink(destination);
}

// Moves one day folder and places its day database. The template copy is
// prepared inside the folder before it moves, so that a run killed after the
// move finishes the placement when run again; a copy that cannot be written
// leaves the folder where it is, for the same reason.
void ConvertDayFolder(const fs::path& source, const fs::path& destination, const std::string& dayName) {
    const fs::path sourceTarget = source / DayDatabaseName(dayName);
    const fs::path target = destination / DayDatabaseName(dayName);
    if (ReachesThroughLink(destination)) {
        ReportStdException(fs::filesystem_error("boost::filesystem::rename", source, destination,
                                                boost::system::error_code(ELOOP, boost::system::system_category())));
        return;
    }
    const PreparedTemplate prepared = PrepareTemplateCopy(sourceTarget);
    if (prepared.error && !prepared.templateUnreadable) {
        ReportStdException(fs::filesystem_error("boost::filesystem::copy_file", TemplateDatabasePath(), target,
                                                prepared.error));
        return;
    }
    const MoveOutcome moved = MoveDayFolder(source, destination);
    if (moved == MoveOutcome::Moved) {
        PlacePreparedTemplate(target, prepared, kConvertDirectoryStructureTexts);
        return;
    }
    DiscardPreparedTemplate(sourceTarget);
    if (moved == MoveOutcome::Abandoned) return;
    // A destination that was already there gets its day database renewed too.
    PlaceTemplateDatabase(target, kConvertDirectoryStructureTexts);
}

void ConvertLocationFolder(const fs::path& storage, const fs::directory_entry& location, const DateRange& range) {
    for (const fs::directory_entry& day : ListFolder(location.path())) {
        const std::string dayName = EntryName(day);
        if (!IsDayFolder(day) || IsLinkEntry(day) || !range.Contains(dayName)) continue;
        const fs::path destination = storage / dayName / EntryName(location);
        console::WriteLine("Processing Path: " + day.path().string() + " structure");
        ConvertDayFolder(day.path(), destination, dayName);
        RemoveIfEmpty(location.path());
    }
}

// Placements that a killed or failed run prepared and moved but did not finish.
void FinishInterruptedPlacements(const fs::path& storage, const DateRange& range) {
    for (const fs::directory_entry& day : ListFolder(storage)) {
        const std::string dayName = EntryName(day);
        if (!IsDayFolder(day) || IsLinkEntry(day) || !range.Contains(dayName)) continue;
        for (const fs::directory_entry& location : ListFolder(day.path())) {
            if (IsLinkEntry(location)) continue;
            FinishInterruptedPlacement(location.path() / DayDatabaseName(dayName), kConvertDirectoryStructureTexts);
        }
    }
}

}  // namespace

void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                               const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!StartRoad("Convert the directory structure:", "ConvertDirectoryStructure", storage)) return;
    const DateRange range(beginDate, endDate);
    FinishInterruptedPlacements(storage, range);
    for (const fs::directory_entry& location : ListFolder(storage)) {
        boost::system::error_code error;
        if (!fs::is_directory(location.status(error)) || error || IsLinkEntry(location)) continue;
        ConvertLocationFolder(storage, location, range);
    }
}
