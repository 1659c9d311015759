#include "repair/repair_driver.h"

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "app/console.h"
#include "app/dates.h"
#include "platform/dynamic_library.h"
#include "repair/day_indexing.h"
#include "repair/plugin_loader.h"
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

void RepairDay(const fs::path& dayFolder, const DbInterfaceTable& table) {
    for (fs::directory_iterator it(dayFolder), end; it != end; ++it) {
        // A linked location folder is not entered: its day database may lie
        // outside the storage.
        if (IsExistingDirectory(it->path()) && !IsLinkEntry(*it)) RepairLocADay(it->path().string(), table);
    }
}

void WalkDays(const fs::path& storage, const DateRange& range, const DbInterfaceTable& table) {
    for (fs::directory_iterator it(storage), end; it != end; ++it) {
        if (!IsDayFolder(*it) || IsLinkEntry(*it)) continue;
        const std::string name = it->path().filename().string();
        if (!range.Contains(name)) continue;
        console::WriteLine("Processing Date: " + name);
        RepairDay(it->path(), table);
    }
}

}  // namespace

void RepairLocADay(const std::string& locationPath, const DbInterfaceTable& table) {
    try {
        const fs::path location(locationPath);
        if (!IsExistingDirectory(location)) return;
        std::vector<std::string> files = CollectRecordingFiles(location);
        if (files.empty()) return;
        ParseFilesADay(SortedBySerial(std::move(files)), locationPath, table);
    } catch (const std::exception& e) {
        console::ReportStdException("RepairLocADay", e);
    } catch (...) {
        console::ReportUnknownException("RepairLocADay");
    }
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
