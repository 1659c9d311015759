#include "storage/walk.h"

#include "storage/layout.h"

namespace fs = boost::filesystem;

namespace walk {

namespace {

// Read with the error-value form: a folder that cannot be opened lists
// nothing, and a failure while advancing ends the listing there.
std::vector<fs::directory_entry> ListCarryingOn(const fs::path& folder, std::size_t atMost) {
    std::vector<fs::directory_entry> entries;
    boost::system::error_code error;
    fs::directory_iterator it(folder, error);
    const fs::directory_iterator end;
    while (!error && it != end && entries.size() < atMost) {
        entries.push_back(*it);
        it.increment(error);
    }
    return entries;
}

// Under Throw the listing throws as the file system's iterator does, so the
// design's exception text is the same as ever.
std::vector<fs::directory_entry> EveryEntry(const fs::path& folder, OnListingFailure onFailure,
                                            std::size_t atMost = kWholeFolder) {
    if (onFailure == OnListingFailure::CarryOn) return ListCarryingOn(folder, atMost);
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder), end; it != end && entries.size() < atMost; ++it) entries.push_back(*it);
    return entries;
}

}  // namespace

Listing List(const fs::path& folder, Entries entries, OnListingFailure onFailure, std::size_t atMost) {
    Listing listing;
    for (fs::directory_entry& entry : EveryEntry(folder, onFailure, atMost)) {
        if (IsLinkEntry(entry)) {
            listing.links.push_back(std::move(entry));
        } else if (entries == Entries::AnyKindButLinks || IsExistingDirectory(entry.path())) {
            listing.taken.push_back(std::move(entry));
        }
    }
    return listing;
}

std::vector<fs::directory_entry> DayFoldersInRange(const fs::path& folder, const DateRange& range,
                                                   OnListingFailure onFailure) {
    std::vector<fs::directory_entry> days;
    for (fs::directory_entry& entry : EveryEntry(folder, onFailure)) {
        if (IsDayFolderInRange(entry, range)) days.push_back(std::move(entry));
    }
    return days;
}

// A link named like a recording is refused as every link below the storage
// is: what it points to may lie outside, and a row would index it there. Its
// status is read first all the same, so that an entry whose status cannot be
// read fails the location as the design's regular-file test does.
std::vector<std::string> RecordingsOf(const fs::path& locationFolder) {
    std::vector<std::string> files;
    if (!IsExistingDirectory(locationFolder)) return files;
    for (fs::directory_iterator it(locationFolder), end; it != end; ++it) {
        if (IsRegularFile(*it) && IsRecordingFile(*it) && !IsLinkEntry(*it)) files.push_back(it->path().string());
    }
    return files;
}

const DayLocations::Listed& DayLocations::ListDay(std::size_t day) {
    const auto known = listed_.find(day);
    if (known != listed_.end()) return known->second;
    Listed listed;
    try {
        for (const fs::directory_entry& entry : List(days_[day], entries_, onFailure_).taken) {
            listed.locations.push_back(entry.path());
        }
    } catch (...) {
        listed.failure = std::current_exception();
    }
    return listed_.emplace(day, std::move(listed)).first->second;
}

const std::vector<fs::path>& DayLocations::Reach(std::size_t day) {
    listed_.erase(listed_.begin(), listed_.lower_bound(day));
    const Listed& listed = ListDay(day);
    if (listed.failure) std::rethrow_exception(listed.failure);
    return listed.locations;
}

const std::vector<fs::path>& DayLocations::Ahead(std::size_t day) { return ListDay(day).locations; }

}  // namespace walk
