#include "repair/repair_driver.h"

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/console.h"
#include "app/dates.h"
#include "platform/dynamic_library.h"
#include "repair/day_indexing.h"
#include "repair/plugin_loader.h"
#include "repair/read_ahead.h"
#include "repair/recording_name.h"
#include "storage/layout.h"

namespace fs = boost::filesystem;

namespace {

// Ascending serial order. Each serial is read once rather than at every
// comparison; files with equal serials may end in any order.
std::vector<std::string> SortedBySerial(std::vector<std::string> files) {
    std::vector<std::pair<std::uint64_t, std::string>> keyed;
    keyed.reserve(files.size());
    for (std::string& file : files) {
        const std::uint64_t serial = GetFileSerial(file);
        keyed.emplace_back(serial, std::move(file));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> sorted;
    sorted.reserve(keyed.size());
    for (auto& entry : keyed) sorted.push_back(std::move(entry.second));
    return sorted;
}

// How far the cache warming runs ahead of the indexing, and with how many
// requests in flight. Measured on a cold disk: 32 threads (started only as
// recordings turn out cold) came closest to the floor read by 32-64 processes;
// 16 and fewer left the disk idle.
constexpr unsigned kWarmingThreads = 32;
// Two files per thread keep every thread busy while the indexing catches up,
// and the few megabytes warmed are still cached when it reaches them.
constexpr std::size_t kFilesAhead = 64;

ReadAhead::Recordings UpcomingRecordingsOrThrow(const std::string& locationPath) {
    const fs::path location(locationPath);
    if (!IsExistingDirectory(location)) return std::make_shared<const std::vector<std::string>>();
    return std::make_shared<const std::vector<std::string>>(SortedBySerial(CollectRecordingFiles(location)));
}

// The recordings of a location in the order the indexing will read them;
// null when they cannot be listed (the indexing then lists again and says why).
ReadAhead::Recordings UpcomingRecordings(const fs::path& location) {
    try {
        return UpcomingRecordingsOrThrow(location.string());
    } catch (...) {
        return nullptr;
    }
}

// The location folders of a day folder that the walk enters, in listing order.
// A linked location folder is not entered: its day database may lie outside
// the storage.
std::vector<fs::path> LocationFolders(const fs::path& dayFolder) {
    std::vector<fs::path> locations;
    for (fs::directory_iterator it(dayFolder), end; it != end; ++it) {
        if (IsExistingDirectory(it->path()) && !IsLinkEntry(*it)) locations.push_back(it->path());
    }
    return locations;
}

std::vector<fs::path> LocationFoldersOrNone(const fs::path& dayFolder) {
    try {
        return LocationFolders(dayFolder);
    } catch (...) {
        return {};
    }
}

std::vector<fs::path> DayFolders(const fs::path& storage, const DateRange& range) {
    std::vector<fs::path> days;
    for (fs::directory_iterator it(storage), end; it != end; ++it) {
        if (IsDayFolderInRange(*it, range)) days.push_back(it->path());
    }
    return days;
}

// Indexes one location folder from its recordings in serial order; listed
// here unless the walk has listed them already.
void RepairLocationFolder(const std::string& locationPath, const DbInterfaceTable& table, ReadAhead& readAhead,
                          ReadAhead::Recordings listed) {
    try {
        if (!listed) listed = UpcomingRecordingsOrThrow(locationPath);
        if (listed->empty()) return;
        ParseFilesADay(*listed, locationPath, table, [&] { readAhead.FileStarted(); });
    } catch (const std::exception& e) {
        console::ReportStdException("RepairLocADay", e);
    } catch (...) {
        console::ReportUnknownException("RepairLocADay");
    }
}

// Hands the read-ahead the recordings of the walk's locations in walk order,
// so that it always holds those of the location being indexed and of the next
// one that has recordings, across day folders too.
class ReadAheadFeed {
public:
    ReadAheadFeed(ReadAhead& readAhead, const std::vector<fs::path>& days) : readAhead_(readAhead), days_(days) {}

    // The indexing reaches location `location` of day `day`: its recordings
    // as listed for the read-ahead (null when they could not be listed).
    ReadAhead::Recordings Reached(std::size_t day, std::size_t location) {
        const Position reached{day, location};
        while (!(reached < next_) && Advance()) {
        }
        while ((!lastWithRecordings_ || !(reached < *lastWithRecordings_)) && Advance()) {
        }
        ReadAhead::Recordings recordings;
        const auto listed = listed_.find(reached);
        if (listed != listed_.end()) recordings = std::move(listed->second);
        // Lists of locations the walk has passed are let go.
        listed_.erase(listed_.begin(), listed_.upper_bound(reached));
        return recordings;
    }

private:
    using Position = std::pair<std::size_t, std::size_t>;

    // Feeds the next location of the walk; false at its end.
    bool Advance() {
        while (next_.first < days_.size()) {
            if (!listedDay_ || *listedDay_ != next_.first) {
                locations_ = LocationFoldersOrNone(days_[next_.first]);
                listedDay_ = next_.first;
            }
            if (next_.second < locations_.size()) {
                ReadAhead::Recordings files = UpcomingRecordings(locations_[next_.second]);
                if (files && !files->empty()) {
                    readAhead_.Append(files);
                    lastWithRecordings_ = next_;
                }
                listed_[next_] = std::move(files);
                ++next_.second;
                return true;
            }
            next_ = {next_.first + 1, 0};
        }
        return false;
    }

    ReadAhead& readAhead_;
    const std::vector<fs::path>& days_;
    std::vector<fs::path> locations_;
    std::optional<std::size_t> listedDay_;
    Position next_{0, 0};
    std::optional<Position> lastWithRecordings_;
    std::map<Position, ReadAhead::Recordings> listed_;
};

void WalkDays(const fs::path& storage, const DateRange& range, const DbInterfaceTable& table) {
    const std::vector<fs::path> days = DayFolders(storage, range);
    ReadAhead readAhead(kFilesAhead, kWarmingThreads);
    ReadAheadFeed feed(readAhead, days);
    for (std::size_t day = 0; day < days.size(); ++day) {
        console::WriteLine("Processing Date: " + days[day].filename().string());
        const std::vector<fs::path> locations = LocationFolders(days[day]);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            // The feed listed this location a little earlier, for the
            // read-ahead; the indexing reads the same list.
            RepairLocationFolder(locations[i].string(), table, readAhead, feed.Reached(day, i));
        }
    }
}

}  // namespace

void RepairLocADay(const std::string& locationPath, const DbInterfaceTable& table) {
    ReadAhead none(0, 0);
    RepairLocationFolder(locationPath, table, none, nullptr);
}


void RepairStorage(const std::string& storagePath, const std::string& beginDate, const std::string& endDate) {
    const fs::path storage(storagePath);
    if (!IsExistingDirectory(storage)) return;
    const DateRange range(beginDate, endDate);

    DbInterfaceTable table;
    std::memset(&table, 0, sizeof table);
    table.size = kDbInterfaceTableSize;
    platform::DynamicLibrary module;
    const std::int32_t loaded = LoadDbInterface(table, module);
    if (loaded != 0) {
        std::ostringstream line;
        line << "Load Strata failed scRet: 0x";
        console::WriteCode(line, loaded);
        console::WriteLine(line.str());
        return;
    }

    try {
        WalkDays(storage, range, table);
    } catch (const std::exception& e) {
        console::ReportStdException("RepairStorage", e);
    } catch (...) {
        console::ReportUnknownException("RepairStorage");
    }
    module.Unload();
}
