#include "repair/repair_driver.h"

#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "app/progress.h"
#include "platform/dynamic_library.h"
#include "platform/time_zone.h"
#include "repair/day_indexing.h"
#include "repair/db_interface.h"
#include "repair/plugin_loader.h"
#include "repair/read_ahead.h"
#include "repair/read_ahead_feed.h"
#include "repair/recorder_zone.h"
#include "storage/layout.h"
#include "storage/recorder_folders.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

// How far the cache warming runs ahead of the indexing, and with how many
// requests in flight. Measured on a cold disk: 32 threads (started only as
// recordings turn out cold) came closest to the floor read by 32-64 processes;
// 16 and fewer left the disk idle.
constexpr unsigned kWarmingThreads = 32;
// Two files per thread keep every thread busy while the indexing catches up,
// and the few megabytes warmed are still cached when it reaches them.
constexpr std::size_t kFilesAhead = 64;

// What the walk adds up over the location-days.
struct WalkTally {
    RunSummary& summary;
    RecorderZones zones;
};

// The design's routine for one location folder of one day: indexes its
// recordings in serial order and reports its own failures. The walk hands it
// the listing it made for the read-ahead; where that listing failed, the
// folder is listed here again, so that the failure is this location's.

void RepairLocADay(const std::string& locationPath, const DbInterfaceTable& table, const PlacedDatabases& placed,
                   ReadAhead::Recordings listed, ReadAhead& readAhead, WalkProgress& progress, WalkTally& tally) {
    try {
        if (!listed) listed = ListRecordingsInReadingOrder(locationPath);
        if (listed->empty()) return;
        const fs::path location(locationPath);
        progress.LocationStarted(location.parent_path().filename().string(), location.filename().string(),
                                 listed->size());
        ParseFilesADay(
            *listed, locationPath, table, placed, [&] { readAhead.FileStarted(); }, [&] { progress.RecordingDone(); },
            tally.summary, tally.zones);
    } catch (const std::exception& e) {
        console::ReportStdException(design_texts::kRepairLocADay, e);
    } catch (...) {
        console::ReportUnknownException(design_texts::kRepairLocADay);
    }
}

// The repair's walk: day folders in range and their location folders, by the
// repair's rules; the feed reads the same listings a little ahead.
walk::DayLocations RepairWalk(const fs::path& storage, const DateRange& range) {
    std::vector<fs::path> days;
    for (const fs::directory_entry& day : walk::DayFoldersInRange(storage, range, walk::OnListingFailure::Throw)) {
        days.push_back(day.path());
    }
    return walk::DayLocations(std::move(days), walk::Entries::FoldersButLinks, walk::OnListingFailure::Throw);
}

void WalkDays(const fs::path& storage, const DateRange& range, const DbInterfaceTable& table,
              const PlacedDatabases& placed, WalkTally& tally) {
    walk::DayLocations walked = RepairWalk(storage, range);
    tally.summary.dayFoldersInRange = static_cast<unsigned>(walked.DayCount());
    ReadAhead readAhead(kFilesAhead, kWarmingThreads);
    ReadAheadFeed feed(readAhead, walked);
    // The walk's total is not known up front: listing every location first
    // would read a large storage's folders twice.
    WalkProgress progress;
    for (std::size_t day = 0; day < walked.DayCount(); ++day) {
        console::WriteLine(design_texts::ProcessingDateLine(walked.Day(day).filename().string()));
        const std::vector<fs::path>& locations = walked.Reach(day);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            RepairLocADay(locations[i].string(), table, placed, feed.Reached(day, i), readAhead, progress, tally);
        }
    }
}

}  // namespace

void RepairStorage(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                   RunSummary& summary, const PlacedDatabases& placed) {
    const fs::path storage(storagePath);
    if (!IsExistingDirectory(storage)) return;
    const DateRange range(beginDate, endDate);

    DbInterfaceTable table;
    std::memset(&table, 0, sizeof table);
    table.size = kDbInterfaceTableSize;
    platform::DynamicLibrary module;
    const std::int32_t loaded = LoadDbInterface(table, module);
    if (loaded != 0) {
        console::WriteLine(design_texts::LoadPluginFailedLine(loaded));
        summary.nothingDone = "the database plug-in could not be loaded";
        return;
    }

    WalkTally tally{summary, {}};
    try {
        WalkDays(storage, range, table, placed, tally);
    } catch (const std::exception& e) {
        console::ReportStdException(design_texts::kRepairStorage, e);
    } catch (...) {
        console::ReportUnknownException(design_texts::kRepairStorage);
    }
    ReportFoldersNotOwned(design_texts::kRepairStorage);
    const std::string zoneAdvice = tally.zones.AdviceLine(platform::StandardBiasMinutes());
    if (!zoneAdvice.empty()) console::WriteLine(zoneAdvice);
    module.Unload();
}
