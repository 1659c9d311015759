#include "storage/nothing_done.h"

#include "app/dates.h"
#include "storage/layout.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

// Enough of a large folder to tell its kind; a storage holds far fewer.
constexpr std::size_t kEntriesLookedAt = 2000;

bool IsDayFolderName(const std::string& name) { return name.size() == 10 && MatchDateFormat(name.c_str()); }

struct Contents {
    bool dayFolders = false;       // day folders in range
    bool recordings = false;       // recordings right here
    bool dayOfLocations = false;   // folders whose entries are day folders in range: the old layout
    bool dayOfRecordings = false;  // day folders holding recordings right there: a location folder of the old layout
};

std::vector<fs::directory_entry> FirstEntries(const fs::path& folder, walk::Entries entries) {
    return walk::List(folder, entries, walk::OnListingFailure::CarryOn, kEntriesLookedAt).taken;
}

bool HoldsRecordings(const fs::path& folder) {
    for (const fs::directory_entry& entry : FirstEntries(folder, walk::Entries::AnyKindButLinks)) {
        if (IsRecordingFile(entry)) return true;
    }
    return false;
}

bool HoldsDayFoldersInRange(const fs::path& folder, const DateRange& range) {
    for (const fs::directory_entry& entry : FirstEntries(folder, walk::Entries::FoldersButLinks)) {
        if (IsDayFolderInRange(entry, range)) return true;
    }
    return false;
}

Contents LookAt(const fs::path& storage, const DateRange& range) {
    Contents contents;
    for (const fs::directory_entry& entry : FirstEntries(storage, walk::Entries::AnyKindButLinks)) {
        if (IsRecordingFile(entry)) contents.recordings = true;
        if (!IsExistingDirectory(entry.path())) continue;
        if (IsDayFolderInRange(entry, range)) {
            contents.dayFolders = true;
            contents.dayOfRecordings = contents.dayOfRecordings || HoldsRecordings(entry.path());
        } else if (!IsDayFolder(entry)) {
            contents.dayOfLocations = contents.dayOfLocations || HoldsDayFoldersInRange(entry.path(), range);
        }
    }
    return contents;
}

std::string Hint(const fs::path& storage, const Contents& contents, bool reverting) {
    if (IsDayFolderName(storage.filename().string())) {
        return "; " + storage.string() + " looks like a day folder: give the storage folder above it";
    }
    if (contents.recordings || contents.dayOfRecordings) {
        return "; " + storage.string() + " looks like a location folder: give the storage folder above it";
    }
    if (contents.dayOfLocations) {
        return reverting ? "; it is in the old layout already"
                         : "; it holds location folders of the old layout: run without -o";
    }
    return {};
}

}  // namespace

std::string WhyNothingWasDone(const fs::path& storage, const std::string& beginDate, const std::string& endDate,
                              unsigned dayFoldersInRange, bool reverting) {
    if (!IsExistingDirectory(storage)) {
        boost::system::error_code error;
        const bool missing = fs::status(storage, error).type() == fs::file_not_found;
        return storage.string() + (missing ? " does not exist" : " is not a folder");
    }
    const DateRange range(beginDate, endDate);
    const std::string bounds = BoundsText(beginDate, endDate);
    const std::string within = bounds.empty() ? "" : " " + bounds;
    const Contents contents = LookAt(storage, range);
    if (dayFoldersInRange == 0) {
        return "no day folder" + within + " under " + storage.string() + Hint(storage, contents, reverting);
    }
    const std::string hint = contents.dayOfRecordings ? Hint(storage, contents, reverting) : std::string();
    return "no recording in the " + std::to_string(dayFoldersInRange) +
           (dayFoldersInRange == 1 ? " day folder" : " day folders") + within + " under " + storage.string() + hint;
}
