#include "audit/storage_audit.h"

#include <algorithm>
#include <set>
#include <boost/filesystem/operations.hpp>
#include <cctype>
#include <system_error>

#include "repair/read_ahead.h"
#include "storage/layout.h"
#include "storage/storage_folders.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace audit {

namespace {

// How far reading runs ahead, as in a repair.
constexpr std::size_t kFilesAhead = 32;
constexpr unsigned kWarmingThreads = 4;

struct Target {
    std::string day;
    std::string location;
    std::string first;  // the two folder names beneath the storage
    std::string second;
};

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Locations by number where both are numbers (2 before 10), else by name.
bool LocationBefore(const std::string& a, const std::string& b) {
    if (AllDigits(a) && AllDigits(b) && a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// With --max-gap, a location that recorded nothing on a day on which others
// recorded is an outage, whether its folder is empty or was never made.
void MarkDaysWithoutRecordings(Report& report, const AuditSettings& settings) {
    std::set<std::string> recordingDays, locations;
    std::set<std::pair<std::string, std::string>> present;
    for (const LocationDay& locationDay : report.locationDays) {
        if (locationDay.recordings > 0) recordingDays.insert(locationDay.day);
        locations.insert(locationDay.location);
        present.insert({locationDay.day, locationDay.location});
    }
    const auto watched = [&](const std::string& location) {
        return settings.eventLocations.count(location) == 0 && settings.MaxGapFor(location).has_value();
    };
    for (LocationDay& locationDay : report.locationDays) {
        if (locationDay.recordings == 0 && recordingDays.count(locationDay.day) != 0 && watched(locationDay.location)) {
            locationDay.problems.push_back({ProblemKind::Outage, "", "no recording this day, while others recorded"});
        }
    }
    for (const std::string& day : recordingDays) {
        for (const std::string& location : locations) {
            if (present.count({day, location}) != 0 || !watched(location)) continue;
            LocationDay absent;
            absent.day = day;
            absent.location = location;
            absent.folderMissing = true;
            absent.problems.push_back(
                {ProblemKind::Outage, "", "no folder and no recording this day, while others recorded"});
            report.locationDays.push_back(std::move(absent));
        }
    }
    std::stable_sort(report.locationDays.begin(), report.locationDays.end(),
                     [](const LocationDay& a, const LocationDay& b) {
                         if (a.day != b.day) return a.day < b.day;
                         return LocationBefore(a.location, b.location);
                     });
}

void CountDayFolder(Report& report, const std::string& name) {
    ++report.dayFolders;
    if (report.firstDay.empty() || name < report.firstDay) report.firstDay = name;
    if (report.lastDay.empty() || report.lastDay < name) report.lastDay = name;
}

void PassOverLink(Report& report, const std::string& name) {
    report.storageProblems.push_back({ProblemKind::LinkPassedOver, name, "a symbolic link: not followed", {}});
}

// What the walk finds to audit, and in which layouts.
struct Listed {
    std::vector<Target> targets;
    bool newLayout = false;
    bool oldLayout = false;
};

// The audit's rule is the repair's (walk::Entries::FoldersButLinks), but it
// carries on past a listing failure and names every link it passes over.
walk::Listing ListFolders(const fs::path& folder) {
    return walk::List(folder, walk::Entries::FoldersButLinks, walk::OnListingFailure::CarryOn);
}

void ListNewLayoutDay(const fs::path& day, const std::string& name, Listed& listed, Report& report) {
    const walk::Listing locations = ListFolders(day);
    for (const fs::directory_entry& link : locations.links) PassOverLink(report, name + "/" + EntryName(link));
    for (const fs::directory_entry& location : locations.taken) {
        listed.targets.push_back({name, EntryName(location), name, EntryName(location)});
    }
}

// A folder holding day folders is a location of the old layout; a link in it
// counts as one of its days, passed over.
void ListOldLayoutLocation(const fs::path& location, const std::string& name, const DateRange& range, Listed& listed,
                           Report& report) {
    const walk::Listing days = ListFolders(location);
    for (const fs::directory_entry& link : days.links) {
        listed.oldLayout = true;
        CountDayFolder(report, EntryName(link));
        if (!range.Contains(EntryName(link))) continue;
        ++report.dayFoldersInRange;
        PassOverLink(report, name + "/" + EntryName(link));
    }
    for (const fs::directory_entry& day : days.taken) {
        if (!IsDayFolder(day)) continue;
        listed.oldLayout = true;
        CountDayFolder(report, EntryName(day));
        if (!range.Contains(EntryName(day))) continue;
        ++report.dayFoldersInRange;
        listed.targets.push_back({EntryName(day), name, name, EntryName(day)});
    }
}

Listed ListTargets(const fs::path& root, const DateRange& range, Report& report) {
    Listed listed;
    const walk::Listing top = ListFolders(root);
    for (const fs::directory_entry& link : top.links) PassOverLink(report, EntryName(link));
    for (const fs::directory_entry& entry : top.taken) {
        const std::string name = EntryName(entry);
        if (!IsDayFolder(entry)) {
            ListOldLayoutLocation(entry.path(), name, range, listed, report);
            continue;
        }
        listed.newLayout = true;
        CountDayFolder(report, name);
        if (!range.Contains(name)) continue;
        ++report.dayFoldersInRange;
        ListNewLayoutDay(entry.path(), name, listed, report);
    }
    return listed;
}

}  // namespace

bool AuditStorage(const std::string& storage, const DateRange& range, const AuditSettings& settings,
                  AuditProgress& progress, Report& report, std::string& error) {
    const fs::path root(storage);
    report.storage = storage;
    report.verified = settings.verify;
    report.gapSeconds = settings.gapSeconds;
    report.auditedAt = settings.now;
    report.biasMinutes = settings.biasMinutes;
    int code = 0;
    const platform::Folder storageFolder =
        IsExistingDirectory(root) ? OpenStorageFolder(root, code) : platform::Folder();
    if (!storageFolder.IsOpen()) {
        error = code != 0 ? std::system_category().message(code) : "not a folder";
        return false;
    }

    Listed listed = ListTargets(root, range, report);
    std::vector<Target>& targets = listed.targets;
    std::sort(report.storageProblems.begin(), report.storageProblems.end(),
              [](const Problem& a, const Problem& b) { return a.name < b.name; });
    report.layout = listed.newLayout && listed.oldLayout ? Layout::Mixed
                    : listed.newLayout                   ? Layout::New
                    : listed.oldLayout                   ? Layout::Old
                                                         : Layout::Empty;
    std::sort(targets.begin(), targets.end(), [](const Target& a, const Target& b) {
        if (a.day != b.day) return a.day < b.day;
        if (a.location != b.location) return LocationBefore(a.location, b.location);
        return a.first < b.first;
    });

    progress.StorageStarted(targets.size());
    ReadAhead readAhead(kFilesAhead, kWarmingThreads);
    for (const Target& target : targets) {
        int opened = 0;
        const platform::Folder folder = OpenBeneath(storageFolder, {target.first, target.second}, opened);
        const fs::path shown = root / target.first / target.second;
        if (opened != 0) {
            // Swapped for a link or gone since it was listed.
            LocationDay skipped;
            skipped.day = target.day;
            skipped.location = target.location;
            skipped.folder = shown.string();
            skipped.database = DatabaseState::NotRead;
            skipped.databaseDetail = "folder cannot be opened: " + std::system_category().message(opened);
            report.locationDays.push_back(std::move(skipped));
            continue;
        }
        report.locationDays.push_back(
            AuditLocationDay(folder, shown, target.day, target.location, settings, readAhead, progress));
    }
    MarkDaysWithoutRecordings(report, settings);
    return true;
}

}  // namespace audit
