#include "audit/location_audit.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/filesystem/operations.hpp>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "audit/day_database_reading.h"
#include "platform/time_zone.h"
#include "repair/recorder_zone.h"
#include "platform/file_handle.h"
#include "repair/file_times.h"
#include "repair/read_ahead.h"
#include "repair/recording_name.h"
#include "repair/row_time.h"
#include "storage/recorder_activity.h"
#include "storage/layout.h"
#include "storage/template_placement.h"
#include "storage/template_source.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace audit {

namespace {

// The recorder's daylight-saving marker folder.
constexpr const char* kDaylightSavingMarker = "DL";

struct Recording {
    std::string name;
    fs::path path;
    std::int64_t size = 0;
    std::int64_t modified = 0;
};

// What a location folder holds, sorted by kind.
struct Contents {
    std::vector<Recording> recordings;
    std::set<std::string> names;            // every entry's name
    std::vector<Problem> problems;          // links, recordings under other names, leftovers
    std::vector<std::string> otherEntries;  // the operator's own files and folders
};

// <serial>_<YYYY-MM-DD>_<HHMMSS> and any extension: the recorder's naming.
bool NamedLikeARecording(const std::string& name) {
    static const std::regex pattern("[0-9]+_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{6}(\\..*)?");
    return std::regex_match(name, pattern);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The names of a location-day that belong to its databases: the database and
// its backups (each possibly with companions), and what runs leave behind.
struct DatabaseNames {
    explicit DatabaseNames(const std::string& day)
        : database(DayDatabaseName(day)),
          bases{database, BackupNameOf(database, BackupName::Old), BackupNameOf(database, BackupName::Prev)},
          interrupted{PartialCopyName(database), PreparedCopyName(database), SwappingName(database)} {}

    std::string database;
    std::vector<std::string> bases;
    std::vector<std::string> interrupted;

    // The base a companion belongs to, or "" when the name is no companion.
    std::string CompanionBase(const std::string& name) const {
        for (const char* const* suffix = CompanionSuffixes(); *suffix != nullptr; ++suffix) {
            if (EndsWith(name, *suffix)) return name.substr(0, name.size() - std::string(*suffix).size());
        }
        return "";
    }
    bool IsBase(const std::string& name) const { return std::find(bases.begin(), bases.end(), name) != bases.end(); }
    bool IsInterrupted(const std::string& name) const {
        return std::find(interrupted.begin(), interrupted.end(), name) != interrupted.end();
    }
};

const char* KindWord(platform::EntryKind kind) {
    switch (kind) {
        case platform::EntryKind::Folder:
            return "a folder";
        case platform::EntryKind::RegularFile:
            return "a file";
        case platform::EntryKind::Unreadable:
            return "unreadable";
        default:
            return "neither file nor folder";
    }
}

// Every entry of a location folder in name order, so that every output reads
// the same whatever order the file system lists in. Links are among them only
// to be named as passed over (the held folder's facts say so); what they
// point to is never read.
std::vector<std::pair<std::string, fs::directory_entry>> InNameOrder(const fs::path& shown) {
    walk::Listing walked = walk::List(shown, walk::Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn);
    std::vector<std::pair<std::string, fs::directory_entry>> listed;
    for (std::vector<fs::directory_entry>* part : {&walked.taken, &walked.links}) {
        for (fs::directory_entry& entry : *part) listed.emplace_back(EntryName(entry), std::move(entry));
    }
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return listed;
}

Contents ListContents(const platform::Folder& folder, const fs::path& shown, const DatabaseNames& databases) {
    Contents contents;
    const std::vector<std::pair<std::string, fs::directory_entry>> listed = InNameOrder(shown);
    for (const auto& named : listed) contents.names.insert(named.first);

    for (const auto& [name, entry] : listed) {
        // One status of the entry itself, from the held folder: links are seen as links.
        const platform::EntryFacts facts = folder.Facts(name);
        if (facts.kind == platform::EntryKind::Missing) continue;  // gone since it was listed
        if (facts.kind == platform::EntryKind::Link) {
            contents.problems.push_back({ProblemKind::LinkPassedOver, name, "a symbolic link: not followed", {}});
            continue;
        }
        if (facts.kind == platform::EntryKind::Folder && name == kDaylightSavingMarker) continue;
        if (facts.kind == platform::EntryKind::RegularFile && IsRecordingFile(entry)) {
            contents.recordings.push_back({name, entry.path(), static_cast<std::int64_t>(facts.size), facts.modified});
            continue;
        }
        if (databases.IsBase(name)) continue;
        if (databases.IsInterrupted(name)) {
            contents.problems.push_back({ProblemKind::Leftover,
                                         name,
                                         "left by an interrupted run; a repair finishes the tool's own copy, and "
                                         "leaves this location-day as it was when it is not (in the way)",
                                         {}});
            continue;
        }
        const std::string base = databases.CompanionBase(name);
        if (!base.empty() && (databases.IsBase(base) || databases.IsInterrupted(base))) {
            if (contents.names.count(base) == 0 || databases.IsInterrupted(base)) {
                contents.problems.push_back(
                    {ProblemKind::Leftover, name, "companion without its database " + base, {}});
            }
            continue;
        }
        // Named like a recording, it is footage the index can never show;
        // anything else is the operator's, and only information.
        if (NamedLikeARecording(name)) {
            contents.problems.push_back({ProblemKind::NotARecording, name, KindWord(facts.kind), {}});
        } else {
            contents.otherEntries.push_back(name);
        }
    }
    return contents;
}

// The recorder's account is taken to own the location folder: it writes
// there, and the journal it creates must fit beside the database.
bool RecorderCanWrite(const platform::EntryFacts& folder, const platform::EntryFacts& database) {
    const auto writable = [](const platform::EntryFacts& of, const platform::EntryFacts& by) {
        if (of.owner == by.owner) return (of.mode & 0200) != 0;
        if (of.group == by.group) return (of.mode & 0020) != 0;
        return (of.mode & 0002) != 0;
    };
    return writable(folder, folder) && writable(database, folder);
}

// The minutes west of UTC of a RecordTimeZone as read (16 bits, so zones
// east of UTC+12 wrap); none for no code or one no repair writes.
std::optional<long> MinutesWestOf(std::uint32_t stored) {
    if (stored > 0xFFFF) return std::nullopt;
    const long code = stored > 0x7FFF ? static_cast<long>(stored) - 0x10000 : static_cast<long>(stored);
    if (code < -8 || code > 96) return std::nullopt;  // UTC+14 to UTC-12
    return (code - 48) * 15;
}

// The systems that report no owner or mode (0 for all) cannot be judged.
bool HasOwnership(const platform::EntryFacts& facts) { return facts.mode != 0; }

// The record start a repair takes from the name, as a row holds it.
std::optional<std::uint32_t> NameTime(const std::string& name, long biasMinutes, bool daylightSaving) {
    try {
        return RowSeconds(RecordStartFromName(name, biasMinutes, daylightSaving));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The recordings in the order a repair reads them.
std::vector<const Recording*> InSerialOrder(std::vector<const Recording*> recordings) {
    std::vector<std::string> names;
    names.reserve(recordings.size());
    for (const Recording* recording : recordings) names.push_back(recording->name);
    std::vector<const Recording*> ordered;
    ordered.reserve(recordings.size());
    for (const std::size_t at : SerialOrder(names)) ordered.push_back(recordings[at]);
    return ordered;
}

std::string Seconds(std::uint32_t value) { return std::to_string(value); }

// Merges ranges into their union, in start order.
std::vector<TimeRange> Union(std::vector<TimeRange> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const TimeRange& a, const TimeRange& b) { return a.start < b.start; });
    std::vector<TimeRange> merged;
    for (const TimeRange& range : ranges) {
        if (!merged.empty() && range.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, range.end);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

// What `covered` holds that `by` does not.
std::vector<TimeRange> Uncovered(const std::vector<TimeRange>& covered, const std::vector<TimeRange>& by) {
    std::vector<TimeRange> lost;
    // Both ends of every range are seconds it holds.
    for (TimeRange range : Union(covered)) {
        bool left = true;
        for (const TimeRange& cover : Union(by)) {
            if (cover.end < range.start || cover.start > range.end) continue;
            if (cover.start > range.start) lost.push_back({range.start, cover.start - 1});
            if (cover.end >= range.end) {
                left = false;
                break;
            }
            range.start = cover.end + 1;
        }
        if (left) lost.push_back(range);
    }
    return lost;
}

std::vector<TimeRange> RecordRanges(const std::vector<IntervalRow>& rows) {
    std::vector<TimeRange> ranges;
    for (const IntervalRow& row : rows) ranges.push_back({row.recordStart, row.recordEnd});
    return ranges;
}

// A recording read as a repair reads it: its times, or why it has none.
struct RecordingReading {
    std::optional<FileTimes> times;
    std::string reason;
};

RecordingReading ReadRecording(const Recording& recording, long biasMinutes) {
    if (recording.size == 0) return {std::nullopt, "empty"};
    try {
        RecordTimeFromFileName(recording.name);
    } catch (const std::exception& e) {
        return {std::nullopt, std::string("no time in its name: ") + e.what()};
    }
    if (!platform::OwnFileHandle(platform::OpenFileForReading(recording.path.string())).IsOpen())
        return {std::nullopt, "unreadable"};
    try {
        FileTimes times;
        switch (ReadRecordingTimes(times, recording.path.string(), biasMinutes)) {
            case RecordingRead::Read:
                return {times, ""};
            case RecordingRead::NotOpened:
                return {std::nullopt, "bad format"};
            case RecordingRead::NoFirstPacket:
                return {std::nullopt, "no creation time (no first packet with a time)"};
            case RecordingRead::NoLastPacket:
                return {std::nullopt, "no last packet with a time"};
        }
    } catch (const std::exception& e) {
        return {std::nullopt, std::string("bad format: ") + e.what()};
    } catch (...) {
        return {std::nullopt, "bad format"};
    }
    return {std::nullopt, "bad format"};
}

class LocationDayAudit {
public:
    LocationDayAudit(const platform::Folder& folder, const fs::path& shown, const std::string& day,
                     const AuditSettings& settings)
        : folder_(folder), shown_(shown), settings_(settings), names_(day) {}

    LocationDay Run(LocationDay result, ReadAhead& readAhead, AuditProgress& progress) {
        result_ = std::move(result);
        const Contents contents = ListContents(folder_, shown_, names_);
        result_.recordings = static_cast<unsigned>(contents.recordings.size());
        result_.problems = contents.problems;
        result_.otherEntries = contents.otherEntries;
        for (const Recording& recording : contents.recordings) {
            // The rule by which the tool leaves a location-day to the recorder.
            if (ClassifyWriteTime(recording.modified, settings_.now) == WriteTime::Recent) {
                result_.growing.push_back(recording.name);
            }
        }

        ReadDatabase();
        if (database_.state == DatabaseState::Read) {
            CheckRows(contents);
            CheckIntervals();
            CheckZones();
        }
        CompareWithOld(contents);
        ReadRecordings(contents, readAhead, progress);
        return std::move(result_);
    }

private:
    void Add(ProblemKind kind, std::string name, std::string detail, std::optional<TimeRange> range = {}) {
        result_.problems.push_back({kind, std::move(name), std::move(detail), range});
    }

    void ReadDatabase() {
        const platform::EntryFacts facts = folder_.Facts(names_.database);
        if (facts.kind == platform::EntryKind::Missing) {
            Add(ProblemKind::NoDatabase, names_.database, "missing");
            return;
        }
        if (facts.kind != platform::EntryKind::RegularFile) {
            if (facts.kind != platform::EntryKind::Link) {
                Add(ProblemKind::DatabaseDamaged, names_.database, KindWord(facts.kind));
            }
            result_.database = DatabaseState::NotRead;
            result_.databaseDetail = "not a regular file";
            return;
        }
        database_ = ReadDayDatabase((shown_ / names_.database).string(), true);
        result_.database = database_.state;
        result_.databaseDetail = database_.detail;
        if (database_.state == DatabaseState::Read || database_.state == DatabaseState::Damaged ||
            database_.applicationId != 0) {
            result_.origin = database_.applicationId == kToolMark ? DatabaseOrigin::Tool : DatabaseOrigin::Recorder;
        }
        if (database_.state == DatabaseState::Damaged)
            Add(ProblemKind::DatabaseDamaged, names_.database, database_.detail);
        if (database_.state == DatabaseState::NeedsRecovery) {
            Add(ProblemKind::NeedsRecovery, names_.database, database_.detail);
        }
        const platform::EntryFacts own = folder_.OwnFacts();
        if (HasOwnership(own) && HasOwnership(facts) && !RecorderCanWrite(own, facts)) {
            Add(ProblemKind::NotWritable, names_.database,
                "owner " + std::to_string(facts.owner) + ", mode " + ModeText(facts.mode) +
                    "; the location folder: owner " + std::to_string(own.owner) + ", mode " + ModeText(own.mode));
        }
        result_.rows = static_cast<unsigned>(database_.files.size());
        for (const FileRow& row : database_.files) listed_[row.pathName] += 1;
    }

    static std::string ModeText(std::uint32_t mode) {
        char text[8];
        std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
        return text;
    }

    void CheckRows(const Contents& contents) {
        std::unordered_set<std::string> present;
        for (const Recording& recording : contents.recordings) present.insert(recording.name);
        // A name is compared with its row in the zone the row was written
        // with, whatever the zone of the machine auditing.
        std::map<std::uint32_t, const IntervalRow*> intervalOf;
        for (const IntervalRow& row : database_.intervals) intervalOf[row.serial] = &row;

        std::unordered_map<std::string, unsigned> seen;
        for (const FileRow& row : database_.files) {
            const TimeRange range{row.recordStart, row.recordEnd};
            if (present.count(row.pathName) == 0) {
                Add(ProblemKind::MissingRecording, row.pathName, "listed, but not in the folder", range);
            }
            if (++seen[row.pathName] == 2) {
                Add(ProblemKind::ListedTwice, row.pathName,
                    "listed " + std::to_string(listed_[row.pathName]) + " times", range);
            }
            if (row.recordStart < kYear2000 || row.cameraStart < kYear2000) {
                Add(ProblemKind::Before2000, row.pathName,
                    "record start " + Seconds(row.recordStart) + ", camera start " + Seconds(row.cameraStart), range);
            } else if (const auto named = NameTime(row.pathName, BiasOfRow(intervalOf, row.intervalSerial),
                                                   DaylightSavingOfRow(intervalOf, row.intervalSerial))) {
                const std::int64_t off = static_cast<std::int64_t>(row.recordStart) - *named;
                if (off > kNameTimeToleranceSeconds || -off > kNameTimeToleranceSeconds) {
                    Add(ProblemKind::NameTimeMismatch, row.pathName,
                        "row starts " + std::to_string(off) + " s from its name's time", range);
                }
            }
        }
    }

    // The minutes west of UTC the rows of an interval were written with; the
    // machine's where the interval or its zone is missing.
    long BiasOfRow(const std::map<std::uint32_t, const IntervalRow*>& intervalOf, std::uint32_t serial) const {
        const auto interval = intervalOf.find(serial);
        if (interval == intervalOf.end()) return settings_.biasMinutes;
        return MinutesWestOf(interval->second->recordTimeZone).value_or(settings_.biasMinutes);
    }

    // Whether the interval of a row was recorded in daylight saving; not when the interval is missing.
    static bool DaylightSavingOfRow(const std::map<std::uint32_t, const IntervalRow*>& intervalOf,
                                    std::uint32_t serial) {
        const auto interval = intervalOf.find(serial);
        return interval != intervalOf.end() && interval->second->recordDLSaving == 1;
    }

    // A machine's zone may change between days; within one location-day's
    // rows two zones mean some rows are hours off.
    void CheckZones() {
        std::set<long> zones;
        for (const IntervalRow& row : database_.intervals) {
            if (const auto minutesWest = MinutesWestOf(row.recordTimeZone)) zones.insert(-*minutesWest);
        }
        result_.rowZones.assign(zones.begin(), zones.end());
        if (zones.size() > 1) {
            std::string seen;
            for (const long zone : zones) seen += (seen.empty() ? "" : ", ") + platform::UtcOffsetText(zone);
            Add(ProblemKind::MixedZones, names_.database, "intervals written at " + seen);
        }
    }

    void CheckIntervals() {
        std::vector<IntervalRow> intervals = database_.intervals;
        std::stable_sort(intervals.begin(), intervals.end(),
                         [](const IntervalRow& a, const IntervalRow& b) { return a.recordStart < b.recordStart; });
        std::map<std::uint32_t, Interval> members;
        for (const FileRow& file : database_.files) {
            Interval& interval = members[file.intervalSerial];
            if (interval.files++ == 0) interval.firstFile = file.pathName;
            interval.lastFile = file.pathName;
        }
        std::vector<TimeRange> ranges;
        for (const IntervalRow& row : intervals) {
            Interval interval = members[row.serial];
            interval.range = {row.recordStart, row.recordEnd};
            if (const auto minutesWest = MinutesWestOf(row.recordTimeZone)) interval.zoneMinutesEast = -*minutesWest;
            interval.daylightSaving = row.recordDLSaving == 1;
            result_.intervals.push_back(interval);
            ranges.push_back(interval.range);
            if (row.recordStart < kYear2000) {
                Add(ProblemKind::Before2000, "interval " + std::to_string(row.serial),
                    "starts " + Seconds(row.recordStart), TimeRange{row.recordStart, row.recordEnd});
            }
        }
        // Each interval against the one reaching furthest among those before it.
        const IntervalRow* furthest = nullptr;
        for (const IntervalRow& row : intervals) {
            if (furthest != nullptr && row.recordStart < furthest->recordEnd) {
                Add(ProblemKind::Overlap,
                    "intervals " + std::to_string(furthest->serial) + " and " + std::to_string(row.serial),
                    "both cover " + Seconds(row.recordStart) + " to " +
                        Seconds(std::min(row.recordEnd, furthest->recordEnd)),
                    TimeRange{row.recordStart, std::min(row.recordEnd, furthest->recordEnd)});
            }
            if (furthest == nullptr || row.recordEnd > furthest->recordEnd) furthest = &row;
        }
        const std::vector<TimeRange> covered = Union(ranges);
        const std::optional<unsigned> maxGap = result_.events ? std::nullopt : settings_.MaxGapFor(result_.location);
        for (std::size_t i = 0; i < covered.size(); ++i) {
            result_.recordedSeconds += covered[i].Seconds();
            // The seconds between the last one recorded and the next one recorded.
            if (i == 0 || covered[i].start - covered[i - 1].end < 2) continue;
            const TimeRange hole{covered[i - 1].end + 1, covered[i].start - 1};
            const std::uint32_t length = hole.Seconds();
            if (length > settings_.gapSeconds) {
                result_.gaps.push_back(hole);
                if (!result_.longestGap || length > result_.longestGap->Seconds()) result_.longestGap = hole;
            }
            if (maxGap && length > *maxGap) {
                Add(ProblemKind::Outage, "",
                    "no recording for " + DurationWords(length) + ", longer than " + std::to_string(*maxGap) + " s",
                    hole);
            }
        }
    }

    // A database set aside, read when it is a regular file; none when it is not there.
    std::optional<DayDatabaseContents> ReadBackup(const Contents& contents, const std::string& name,
                                                  std::optional<BackupDatabase>& described) const {
        if (contents.names.count(name) == 0) return std::nullopt;
        described.emplace();
        if (folder_.Facts(name).kind != platform::EntryKind::RegularFile) {
            described->detail = "not a regular file";
            return std::nullopt;
        }
        DayDatabaseContents read = ReadDayDatabase((shown_ / name).string(), false);
        if (read.state == DatabaseState::Read) {
            described->rows = static_cast<unsigned>(read.files.size());
            described->intervals = static_cast<unsigned>(read.intervals.size());
        } else {
            described->detail =
                std::string(DatabaseStateId(read.state)) + (read.detail.empty() ? std::string() : ": " + read.detail);
        }
        return read;
    }

    void CompareWithOld(const Contents& contents) {
        ReadBackup(contents, BackupNameOf(names_.database, BackupName::Prev), result_.previousBackup);
        const std::string oldName = BackupNameOf(names_.database, BackupName::Old);
        const std::optional<DayDatabaseContents> read = ReadBackup(contents, oldName, result_.oldBackup);
        if (!read || read->state != DatabaseState::Read || database_.state != DatabaseState::Read) return;
        const DayDatabaseContents& old = *read;
        for (const TimeRange& lost : Uncovered(RecordRanges(old.intervals), RecordRanges(database_.intervals))) {
            Add(ProblemKind::LostCoverage, oldName,
                "covered " + Seconds(lost.start) + " to " + Seconds(lost.end) + " before, not now", lost);
        }
        std::set<std::string> reported;
        for (const FileRow& row : old.files) {
            if (listed_.count(row.pathName) == 0 && reported.insert(row.pathName).second) {
                Add(ProblemKind::LostRecording, row.pathName, "listed in " + oldName + " only",
                    TimeRange{row.recordStart, row.recordEnd});
            }
        }
    }

    // Without --verify only the recordings without a row are read, so that
    // auditing a healthy storage costs little more than listing it.
    void ReadRecordings(const Contents& contents, ReadAhead& readAhead, AuditProgress& progress) {
        // Where the rows could not be read, no recording is known to lack one.
        const bool rowsKnown = result_.database == DatabaseState::Read || result_.database == DatabaseState::Missing;
        std::vector<const Recording*> toRead;
        for (const Recording& recording : contents.recordings) {
            if (rowsKnown && (settings_.verify || listed_.count(recording.name) == 0)) toRead.push_back(&recording);
        }
        toRead = InSerialOrder(std::move(toRead));
        auto paths = std::make_shared<std::vector<std::string>>();
        for (const Recording* recording : toRead) paths->push_back(recording->path.string());
        readAhead.Append(paths);
        progress.LocationStarted(result_.day, result_.location, toRead.size());

        if (toRead.empty()) return;
        std::unordered_map<std::string, const FileRow*> rows;
        for (const FileRow& row : database_.files) rows.emplace(row.pathName, &row);
        const std::set<std::string> growing(result_.growing.begin(), result_.growing.end());
        for (const Recording* recording : toRead) {
            readAhead.FileStarted();
            const RecordingReading reading = ReadRecording(*recording, settings_.biasMinutes);
            progress.RecordingDone();
            if (reading.times) CountNamedOffset(*reading.times);
            const auto row = rows.find(recording->name);
            if (row == rows.end()) {
                NoRow(*recording, reading, growing.count(recording->name) != 0);
            } else {
                CompareRow(*row->second, reading);
            }
        }
    }

    // The offset a recording's name shows against its first packet's UTC
    // time (the recorder's clock against the camera's), to the quarter hour.
    void CountNamedOffset(const FileTimes& times) {
        ++result_.namedOffsets[static_cast<long>(SkewMinutes(times)) - settings_.biasMinutes];
    }

    void NoRow(const Recording& recording, const RecordingReading& reading, bool growing) {
        UnlistedRecording unlisted{recording.name, std::nullopt, reading.reason};
        std::optional<TimeRange> range;
        if (reading.times) {
            range = TimeRange{RowSeconds(reading.times->recordStart), RowSeconds(reading.times->recordEnd)};
            unlisted.times = range;
        } else if (auto named = NameTime(recording.name, settings_.biasMinutes, false)) {
            // Unread, its daylight-saving flag is not known: the name's time as it stands.
            range = TimeRange{*named, *named};
        }
        result_.unlisted.push_back(unlisted);
        // The recorder lists a recording once it is finished.
        if (growing) return;
        Add(reading.times ? ProblemKind::NoRow : ProblemKind::Unreadable, recording.name,
            reading.times ? "readable: a repair would list it" : reading.reason, range);
    }

    void CompareRow(const FileRow& row, const RecordingReading& reading) {
        const TimeRange range{row.recordStart, row.recordEnd};
        if (!reading.times) {
            Add(ProblemKind::StaleRow, row.pathName, "a repair would drop its row: " + reading.reason, range);
            return;
        }
        const FileTimes& now = *reading.times;
        const std::array<std::uint32_t, 4> fresh{RowSeconds(now.recordStart), RowSeconds(now.recordEnd),
                                                 RowSeconds(now.cameraStart), RowSeconds(now.cameraEnd)};
        const std::array<std::uint32_t, 4> stored{row.recordStart, row.recordEnd, row.cameraStart, row.cameraEnd};
        if (fresh != stored) {
            Add(ProblemKind::StaleRow, row.pathName,
                "row " + Seconds(row.recordStart) + " to " + Seconds(row.recordEnd) + " (camera " +
                    Seconds(row.cameraStart) + " to " + Seconds(row.cameraEnd) + "), a repair writes " +
                    Seconds(fresh[0]) + " to " + Seconds(fresh[1]) + " (camera " + Seconds(fresh[2]) + " to " +
                    Seconds(fresh[3]) + ")",
                range);
        }
    }

    const platform::Folder& folder_;
    const fs::path shown_;
    const AuditSettings& settings_;
    const DatabaseNames names_;
    LocationDay result_;
    DayDatabaseContents database_;
    std::unordered_map<std::string, unsigned> listed_;  // rows per recording name
};

}  // namespace

std::optional<unsigned> AuditSettings::MaxGapFor(const std::string& location) const {
    const auto own = maxGapByLocation.find(location);
    return own != maxGapByLocation.end() ? std::optional<unsigned>(own->second) : maxGapSeconds;
}

LocationDay AuditLocationDay(const platform::Folder& folder, const fs::path& shown, const std::string& day,
                             const std::string& location, const AuditSettings& settings, ReadAhead& readAhead,
                             AuditProgress& progress) {
    LocationDay result;
    result.day = day;
    result.location = location;
    result.events = settings.eventLocations.count(location) != 0;
    result.folder = shown.string();
    return LocationDayAudit(folder, shown, day, settings).Run(std::move(result), readAhead, progress);
}

}  // namespace audit
