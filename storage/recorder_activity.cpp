#include "storage/recorder_activity.h"

#include <algorithm>
#include <ctime>

#include "platform/durable_copy.h"
#include "storage/layout.h"
#include "storage/walk.h"
#include "storage/location_day_files.h"
#include "storage/storage_folders.h"
#include "storage/template_source.h"

WriteTime ClassifyWriteTime(std::int64_t modified, std::int64_t now) {
    if (modified > now + kRecorderActiveSeconds) return WriteTime::Future;
    return modified >= now - kRecorderActiveSeconds ? WriteTime::Recent : WriteTime::Past;
}

void RecorderActivity::Add(const RecorderActivity& other) {
    if (other.live) lastWrite = live ? std::max(lastWrite, other.lastWrite) : other.lastWrite;
    live = live || other.live;
    clockSkewed = clockSkewed || other.clockSkewed;
}

namespace {

void Judge(RecorderActivity& activity, const platform::EntryFacts& facts, std::int64_t now) {
    if (facts.kind != platform::EntryKind::RegularFile) return;
    switch (ClassifyWriteTime(facts.modified, now)) {
        case WriteTime::Recent:
            activity.Add(RecorderActivity{true, facts.modified, false});
            break;
        case WriteTime::Future:
            activity.clockSkewed = true;
            break;
        case WriteTime::Past:
            break;
    }
}

// What the recorder may be writing, files and folders alike; a link is none of
// the storage's (no road acts through it).
std::vector<boost::filesystem::directory_entry> EntriesOf(const boost::filesystem::path& folder) {
    return walk::List(folder, walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn).taken;
}

bool PlacedByTheTool(const platform::Folder& location, const std::string& database) {
    return ApplicationIdOf(location, database) == kToolMark;
}

}  // namespace

RecorderActivity ActivityOfLocation(const platform::Folder& location, const boost::filesystem::path& locationPath,
                                    const std::string& databaseName, std::int64_t now) {
    RecorderActivity activity;
    for (const boost::filesystem::directory_entry& entry : EntriesOf(locationPath)) {
        if (IsRecordingFile(entry)) Judge(activity, location.Facts(EntryName(entry)), now);
    }
    if (!PlacedByTheTool(location, databaseName)) {
        Judge(activity, location.Facts(databaseName), now);
        ForEachCompanion(location, databaseName,
                         [&](const std::string& companion) { Judge(activity, location.Facts(companion), now); });
    }
    return activity;
}

std::int64_t StorageActivity::SystemNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

StorageActivity::StorageActivity(const platform::Folder& storage, boost::filesystem::path storagePath, Clock clock)
    : storage_(storage), storagePath_(std::move(storagePath)), clock_(std::move(clock)) {}

const RecorderActivity& StorageActivity::OfDay(const std::string& dayName) {
    const auto known = days_.find(dayName);
    if (known != days_.end()) return known->second;
    return days_.emplace(dayName, Judge(dayName)).first->second;
}

RecorderActivity StorageActivity::Judge(const std::string& dayName) {
    const std::int64_t now = clock_();
    const std::string database = DayDatabaseName(dayName);
    RecorderActivity activity;
    int error = 0;
    // New layout: every location of the day folder.
    const platform::Folder day = OpenBeneath(storage_, {dayName}, error);
    if (error == 0) {
        for (const boost::filesystem::directory_entry& entry : EntriesOf(storagePath_ / dayName)) {
            const platform::Folder location = day.OpenChild(EntryName(entry), error);
            if (error == 0) activity.Add(ActivityOfLocation(location, entry.path(), database, now));
        }
    }
    // Old layout: the day folder of every location.
    if (!listed_) {
        for (const boost::filesystem::directory_entry& entry : EntriesOf(storagePath_)) {
            topFolders_.push_back(EntryName(entry));
        }
        listed_ = true;
    }
    for (const std::string& location : topFolders_) {
        const platform::Folder folder = OpenBeneath(storage_, {location, dayName}, error);
        if (error == 0) activity.Add(ActivityOfLocation(folder, storagePath_ / location / dayName, database, now));
    }
    return activity;
}
