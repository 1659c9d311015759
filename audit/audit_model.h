#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What an audit found on a storage: per location-day its recordings, rows and
// intervals, the problems (each one makes the audit end with exit code 1) and
// the information that needs no action. Every output is written from this
// model alone.
namespace audit {

// Whole seconds since 1970, UTC, as the rows hold them; end included.
struct TimeRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    // How many seconds it spans, both ends counted.
    std::uint32_t Seconds() const { return end - start + 1; }
};

// The order here is the order of every summary; the ids are stable names for
// programs reading the JSON.
enum class ProblemKind {
    NoRow,             // a readable recording the recorder will not show: a repair would list it
    Unreadable,        // a recording without a row that cannot be read: a repair cannot list it either
    MissingRecording,  // a row pointing nowhere
    ListedTwice,
    Overlap,           // two intervals covering the same time
    NameTimeMismatch,  // a row more than five minutes off its file name
    Before2000,
    LostCoverage,   // covered by <date>.db.old, not by <date>.db
    LostRecording,  // listed in <date>.db.old, not in <date>.db
    NoDatabase,
    DatabaseDamaged,  // fails quick_check or cannot be read as a day database
    NeedsRecovery,    // a hot journal: the last writer stopped mid-transaction
    NotWritable,      // the recorder's account could not write it
    Leftover,         // of an interrupted run
    LinkPassedOver,
    NotARecording,
    StaleRow,    // --verify: the row differs from what a repair would write now
    MixedZones,  // rows of one location-day written in two time zones
    Outage,      // --max-gap: no recording for longer than allowed, or none that day
};
constexpr int kProblemKinds = static_cast<int>(ProblemKind::Outage) + 1;

const char* ProblemId(ProblemKind kind);     // "no_row", ...
const char* ProblemTitle(ProblemKind kind);  // "no row", ...

// Against an earlier audit (--compare): a problem it had too, or one it had not.
enum class Change { Still, New };

struct Problem {
    Problem(ProblemKind kind, std::string name, std::string detail, std::optional<TimeRange> range = std::nullopt)
        : kind(kind), name(std::move(name)), detail(std::move(detail)), range(range) {}

    ProblemKind kind;
    std::string name;    // the file (or interval) it is about
    std::string detail;  // why, in words
    std::optional<TimeRange> range;
    std::optional<Change> change;
    bool accepted = false;  // listed in the operator's --baseline: no exit code 1
};

// A problem of an earlier audit that this one no longer finds.
struct FixedProblem {
    std::string day;
    std::string location;
    std::string kind;  // its id, as the earlier audit wrote it
    std::string name;
    std::string detail;
    std::optional<TimeRange> range;
};

struct Comparison {
    std::string earlierFile;
    std::int64_t earlierAuditedAt = 0;
    std::vector<FixedProblem> fixed;
};

// Where a location-day's database stands.
enum class DatabaseState {
    Missing,
    Read,
    NeedsRecovery,
    Busy,     // a writer held it longer than the audit waits
    NotRead,  // left alone on purpose (a WAL database without its -wal and -shm)
    Damaged,
};
const char* DatabaseStateId(DatabaseState state);

// Who placed the day database: the tool marks its copies.
enum class DatabaseOrigin { Unknown, Tool, Recorder };
const char* DatabaseOriginId(DatabaseOrigin origin);

// An interval of the day database and the recordings its rows name.
struct Interval {
    TimeRange range;
    std::string firstFile;
    std::string lastFile;
    unsigned files = 0;
    // The recorder's clock as the rows were written: the zone (minutes east
    // of UTC, where the row says) and daylight saving time on or off.
    std::optional<long> zoneMinutesEast;
    bool daylightSaving = false;
};

// A day database set aside, and what it holds.
struct BackupDatabase {
    std::optional<unsigned> rows;       // none where it was not read
    std::optional<unsigned> intervals;  // likewise
    std::string detail;                 // why it was not read
};

// A recording that has no row, as a repair would read it now.
struct UnlistedRecording {
    std::string name;
    std::optional<TimeRange> times;  // when readable: what a repair would write
    std::string reason;              // when not
};

struct LocationDay {
    std::string day;
    std::string location;
    std::string folder;  // as the operator gave the storage
    unsigned recordings = 0;
    unsigned rows = 0;
    std::vector<Interval> intervals;  // of <date>.db, in start order
    DatabaseState database = DatabaseState::Missing;
    std::string databaseDetail;
    DatabaseOrigin origin = DatabaseOrigin::Unknown;
    // The day databases set aside beside it, where they exist: <date>.db.old
    // (the recorder's own, as the first repair found it) and <date>.db.prev
    // (the tool's copy of the run before the last). The rows each lists,
    // where it could be read.
    std::optional<BackupDatabase> oldBackup;
    std::optional<BackupDatabase> previousBackup;
    std::vector<Problem> problems;
    // Information.
    std::vector<TimeRange> gaps;       // the seconds in which nothing was recorded
    std::vector<std::string> growing;  // modified within the last two minutes
    std::vector<UnlistedRecording> unlisted;
    std::vector<std::string> otherEntries;  // files and folders not named like recordings
    std::vector<long> rowZones;             // minutes east of UTC the rows were written in, each once
    // Of the recordings read: the offset (minutes east of UTC) their names
    // show against their first packets' UTC times, and how many show each.
    std::map<long, unsigned> namedOffsets;
    bool events = false;                // declared with --events: gaps are no outage
    std::uint32_t recordedSeconds = 0;  // covered by its intervals
    std::optional<TimeRange> longestGap;
    bool folderMissing = false;  // a location with recordings on other days has no folder this day

    unsigned CountOf(ProblemKind kind) const;
    unsigned OpenProblems() const;  // not accepted
};

// "2 h 05 min", "3 min 20 s", "41 min", "45 s": a duration as people read it.
std::string DurationWords(std::uint32_t seconds);

// For scripts: ok, problems, accepted (every problem accepted), growing,
// not_read (its database was left alone), repair_running.
const char* LocationDayStatus(const LocationDay& locationDay);

enum class Layout { Empty, New, Old, Mixed };
const char* LayoutId(Layout layout);

struct Report {
    std::string storage;
    std::string storageCanonical;        // how earlier audits are matched to this storage
    std::vector<std::string> arguments;  // as given, for the JSON
    Layout layout = Layout::Empty;
    bool repairRunning = false;
    bool verified = false;
    unsigned gapSeconds = 60;
    std::int64_t auditedAt = 0;            // seconds since 1970
    long biasMinutes = 0;                  // the machine's, as the rows were written with
    std::vector<Problem> storageProblems;  // above any location-day
    std::vector<LocationDay> locationDays;
    // The storage's day folders in either layout, in range or not, and the
    // first and last of their names: what the storage holds when none is in range.
    unsigned dayFolders = 0;
    unsigned dayFoldersInRange = 0;
    std::string firstDay;
    std::string lastDay;
    std::optional<Comparison> comparison;
    bool baselineGiven = false;

    unsigned ProblemCount() const;
    unsigned OpenProblemCount() const;      // not accepted: these set exit code 1
    unsigned CountOf(Change change) const;  // against the earlier audit (--compare)
    std::map<ProblemKind, unsigned> ProblemsByKind() const;
};

}  // namespace audit
