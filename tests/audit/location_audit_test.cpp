// The audit of one location-day over folders generated for each problem kind:
// a healthy folder, then one change per row that must show as exactly the
// problems named, and nothing else.

#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <boost/filesystem.hpp>
#include <ctime>
#include <functional>
#include <optional>

#include "audit/location_audit.h"
#include "audit/storage_audit.h"
#include "audit_test_support.h"
#include "repair/read_ahead.h"
#include "repair/repair_test_support.h"
#include "storage/storage_folders.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;
using audit::ProblemKind;
using audittest::WriteDayDatabase;
using repairtest::kTenOClockUtc;

namespace {

const char* const kDay = "2012-03-03";
const std::string kFirst = "00000001_2012-03-03_100000.3gp";
const std::string kSecond = "00000002_2012-03-03_100100.3gp";
const std::string kThird = "00000003_2012-03-03_100200.3gp";
constexpr std::uint32_t kTen = kTenOClockUtc;

struct Folder {
    fs::path path;
    fs::path database() const { return path / (std::string(kDay) + ".db"); }
};

// Two one-minute recordings, one interval, rows exactly as a repair writes them.
void Healthy(const Folder& folder) {
    repairtest::RecordingSpec recording;
    repairtest::WriteRecordingFile(folder.path / kFirst, recording);
    recording.startUtc += 60;
    repairtest::WriteRecordingFile(folder.path / kSecond, recording);
    WriteDayDatabase(folder.database(), {{1, kTen, kTen + 120}},
                     {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}}, true);
}

void Rows(const Folder& folder, const std::vector<audittest::IntervalSpec>& intervals,
          const std::vector<audittest::FileRowSpec>& files) {
    fs::remove(folder.database());
    WriteDayDatabase(folder.database(), intervals, files, true);
}

#ifndef _WIN32
// Owned by another account in the folder owner's group: only root can make it.
void AnotherAccountsDatabase(const Folder& f, mode_t mode) {
    struct stat folder {};
    ::stat(f.path.c_str(), &folder);
    ::chown(f.database().c_str(), 4321, folder.st_gid);
    ::chmod(f.database().c_str(), mode);
}
#endif

// One page more than any table or the free list accounts for.
void AddUnusedPage(const Folder& f) {
    std::string bytes = storagegen::ReadFile(f.database());
    const std::size_t pageSize = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    std::uint32_t pages = 0;
    for (int i = 28; i < 32; ++i) pages = (pages << 8) | static_cast<unsigned char>(bytes[i]);
    ++pages;
    for (int i = 31; i >= 28; --i, pages >>= 8) bytes[i] = static_cast<char>(pages & 0xff);
    bytes.append(pageSize, '\0');
    storagegen::WriteFile(f.database(), bytes);
}

struct Case {
    const char* name;
    std::function<void(const Folder&)> change;
    std::vector<ProblemKind> expected;
    const char* detail = "";  // in the first problem's detail
    bool verify = false;
    std::size_t gaps = 0;
    bool growing = false;  // the audit runs right after the folder was made
    std::optional<audit::DatabaseOrigin> origin = std::nullopt;
    long machineBias = 0;  // minutes west of UTC of the machine auditing
    std::optional<unsigned> maxGap = std::nullopt;
    bool events = false;  // the location is declared to record on events
};

// Two intervals with four minutes between them in which nothing was recorded.
void FourMinuteHole(const Folder& f) {
    Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 301, kTen + 360}},
         {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 301, kTen + 360, 2}});
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"healthy", [](const Folder&) {}, {}, "", false, 0, false, audit::DatabaseOrigin::Tool},
        // Named in summer time, an hour ahead of the rows' standard time.
        {"rows of a daylight-saving interval",
         [](const Folder& f) {
             Rows(f, {{1, kTen - 3600, kTen - 3480, 48, 1}},
                  {{kFirst, kTen - 3600, kTen - 3540}, {kSecond, kTen - 3540, kTen - 3480}});
         },
         {}},
        {"unreadable recording without a row",
         [](const Folder& f) {
             repairtest::WriteGarbage(f.path / kThird);
             fs::last_write_time(f.path / kThird, std::time(nullptr));  // written this moment
         },
         {ProblemKind::Unreadable},
         "bad format"},
        {"empty recording without a row",
         [](const Folder& f) { storagegen::WriteFile(f.path / kThird, ""); },
         {ProblemKind::Unreadable},
         "empty"},
        {"readable recording without a row",
         [](const Folder& f) {
             repairtest::RecordingSpec recording;
             recording.startUtc += 120;
             repairtest::WriteRecordingFile(f.path / kThird, recording);
         },
         {ProblemKind::NoRow},
         "readable"},
        {"a recording still written has no row yet",
         [](const Folder& f) {
             repairtest::WriteGarbage(f.path / kThird);
             fs::last_write_time(f.path / kThird, std::time(nullptr));  // written this moment
         },
         {},
         "",
         false,
         0,
         true},
        {"a gap longer than --max-gap",
         FourMinuteHole,
         {ProblemKind::Outage},
         "no recording for 4 min",
         false,
         1,
         false,
         std::nullopt,
         0,
         239u},
        {"a gap as long as --max-gap", FourMinuteHole, {}, "", false, 1, false, std::nullopt, 0, 240u},
        {"a gap of a location that records on events",
         FourMinuteHole,
         {},
         "",
         false,
         1,
         false,
         std::nullopt,
         0,
         239u,
         true},
        {"row without its recording",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 180}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}, {kThird, kTen + 120, kTen + 180}});
         },
         {ProblemKind::MissingRecording}},
        {"recording listed twice",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 120}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}, {kSecond, kTen + 60, kTen + 120}});
         },
         {ProblemKind::ListedTwice},
         "listed 2 times"},
        {"overlapping intervals",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 50, kTen + 120}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120, 2}});
         },
         {ProblemKind::Overlap}},
        {"row ten minutes off its name",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 660, kTen + 720}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 660, kTen + 720, 2}});
         },
         {ProblemKind::NameTimeMismatch},
         "",
         false,
         1},
        // Names are compared with rows in the zone the rows were written with.
        {"audited on a machine five hours west", [](const Folder&) {}, {}, "", false, 0, false, std::nullopt, 300},
        {"rows written five hours west",
         [](const Folder& f) {
             Rows(f, {{1, kTen + 5 * 3600, kTen + 5 * 3600 + 120, 48 + 20}},
                  {{kFirst, kTen + 5 * 3600, kTen + 5 * 3600 + 60},
                   {kSecond, kTen + 5 * 3600 + 60, kTen + 5 * 3600 + 120}});
         },
         {}},
        {"rows written five hours west, one ten minutes off",
         [](const Folder& f) {
             Rows(f,
                  {{1, kTen + 5 * 3600, kTen + 5 * 3600 + 60, 48 + 20},
                   {2, kTen + 5 * 3600 + 660, kTen + 5 * 3600 + 720, 48 + 20}},
                  {{kFirst, kTen + 5 * 3600, kTen + 5 * 3600 + 60},
                   {kSecond, kTen + 5 * 3600 + 660, kTen + 5 * 3600 + 720, 2}});
         },
         {ProblemKind::NameTimeMismatch},
         "",
         false,
         1,
         false,
         std::nullopt,
         300},
        {"rows of one location-day in two zones",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 60 - 3600, kTen + 120 - 3600, 48 - 4}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60 - 3600, kTen + 120 - 3600, 2}});
         },
         {ProblemKind::MixedZones},
         "intervals written at UTC+00:00, UTC+01:00",
         false,
         1},
        {"row dated 1970",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 120}}, {{kFirst, kTen, kTen + 60}, {kSecond, 60, 120}});
         },
         {ProblemKind::Before2000}},
        {"row whose camera start is dated 1970",
         [](const Folder& f) {
             audittest::FileRowSpec second{kSecond, kTen + 60, kTen + 120};
             second.cameraStart = 60;
             Rows(f, {{1, kTen, kTen + 120}}, {{kFirst, kTen, kTen + 60}, second});
         },
         {ProblemKind::Before2000}},
        {"coverage and a recording lost against the backup",
         [](const Folder& f) {
             WriteDayDatabase(f.path / (std::string(kDay) + ".db.old"), {{1, kTen, kTen + 300}},
                              {{kFirst, kTen, kTen + 60}, {kThird, kTen + 240, kTen + 300}});
         },
         {ProblemKind::LostCoverage, ProblemKind::LostRecording}},
        {"no day database: the audit is the dry run",
         [](const Folder& f) { fs::remove(f.database()); },
         {ProblemKind::NoRow, ProblemKind::NoRow, ProblemKind::NoDatabase}},
        {"database that is no database",
         [](const Folder& f) { storagegen::WriteFile(f.database(), std::string(4096, 'x')); },
         {ProblemKind::DatabaseDamaged},
         "not an SQLite database",
         false,
         0,
         false,
         audit::DatabaseOrigin::Recorder},
        {"empty database",
         [](const Folder& f) { storagegen::WriteFile(f.database(), ""); },
         {ProblemKind::DatabaseDamaged},
         "empty file"},
        {"database shorter than its header",
         [](const Folder& f) { storagegen::WriteFile(f.database(), std::string("SQLite format 3\0", 16)); },
         {ProblemKind::DatabaseDamaged},
         "not an SQLite database"},
        // Its rows read, but a page belongs to nothing: SQLite's check sees it.
        {"database with a page nothing uses", AddUnusedPage, {ProblemKind::DatabaseDamaged}, "never used"},
        // Its rows cannot be read: the reason is SQLite's, not that of the
        // rollback that follows.
        {"database without the day tables",
         [](const Folder& f) {
             fs::remove(f.database());
             sqlite3* db = nullptr;
             sqlite3_open(f.database().string().c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE Other(x)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         {ProblemKind::DatabaseDamaged},
         "no such table"},
        {"database with a hot journal",
         [](const Folder& f) {
             std::string journal("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
             journal.resize(1024, '\x01');
             storagegen::WriteFile(f.path / (std::string(kDay) + ".db-journal"), journal);
         },
         {ProblemKind::NeedsRecovery}},
        {"leftovers of interrupted runs",
         [](const Folder& f) {
             storagegen::WriteFile(f.path / (std::string(kDay) + ".db.new"), "copy");
             storagegen::WriteFile(f.path / (std::string(kDay) + ".db.old-journal"), "companion");
         },
         {ProblemKind::Leftover, ProblemKind::Leftover}},
        // Named like recordings, they are footage the index can never show;
        // the operator's own files are information.
        {"files named like recordings that are none",
         [](const Folder& f) {
             storagegen::WriteFile(f.path / "notes.txt", "x");
             fs::create_directories(f.path / "archive");
             storagegen::WriteFile(f.path / "00000004_2012-03-03_100300.3GP", "x");
             storagegen::WriteFile(f.path / "00000005_2012-03-03_100400.3gp.part", "x");
             fs::create_directories(f.path / "00000006_2012-03-03_100500.3gp");
             fs::create_directories(f.path / "DL");
         },
         {ProblemKind::NotARecording, ProblemKind::NotARecording, ProblemKind::NotARecording}},
        {"healthy, with --verify", [](const Folder&) {}, {}, "", true},
        {"stale row, with --verify",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 120}}, {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 119}});
         },
         {ProblemKind::StaleRow},
         "a repair writes",
         true},
        {"intervals that touch leave no gap",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 61, kTen + 119}, {3, kTen + 120, kTen + 180}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 61, kTen + 119, 2}});
         },
         {}},
        {"gaps are no problem",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 62 + 60, kTen + 200}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 119}});
         },
         {},
         "",
         false,
         1},
        {"a gap of just the option's length is none",
         [](const Folder& f) {
             Rows(f, {{1, kTen, kTen + 60}, {2, kTen + 60 + 60, kTen + 200}},
                  {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 119}});
         },
         {}},
#ifndef _WIN32
        {"database the recorder cannot write",
         [](const Folder& f) { ::chmod(f.database().c_str(), 0444); },
         {ProblemKind::NotWritable}},
        // The recorder's account owns the folder; a database of another
        // account is the recorder's to write when their group may.
        {"database of another account that the group may write",
         [](const Folder& f) { AnotherAccountsDatabase(f, 0664); },
         {}},
        {"database of another account that the group may not write",
         [](const Folder& f) { AnotherAccountsDatabase(f, 0644); },
         {ProblemKind::NotWritable}},
        {"link passed over",
         [](const Folder& f) { fs::create_symlink("/etc/hostname", f.path / "00000005_2012-03-03_100400.3gp"); },
         {ProblemKind::LinkPassedOver}},
#endif
    };
    return cases;
}

void PrintTo(const Case& test, std::ostream* out) { *out << test.name; }

class LocationAuditTest : public testing::TestWithParam<Case> {};

TEST_P(LocationAuditTest, FindsExactlyTheProblemsOfItsKind) {
    const Case& test = GetParam();
#ifndef _WIN32
    if (std::string(test.name).find("another account") != std::string::npos && ::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another account";
    }
#endif
    repairtest::TempFolder temp("audit-model");
    const Folder folder{temp.Path() / kDay / "1"};
    fs::create_directories(folder.path);
    Healthy(folder);
    test.change(folder);

    int error = 0;
    const platform::Folder storage = OpenStorageFolder(temp.Path(), error);
    const platform::Folder held = OpenBeneath(storage, {kDay, "1"}, error);
    ASSERT_EQ(error, 0);
    audit::AuditSettings settings;
    settings.verify = test.verify;
    settings.biasMinutes = test.machineBias;
    settings.maxGapSeconds = test.maxGap;
    if (test.events) settings.eventLocations = {"1"};
    settings.now = static_cast<std::int64_t>(std::time(nullptr)) + (test.growing ? 0 : 3600);
    ReadAhead none(0, 0);
    audit::AuditProgress quiet;
    const audit::LocationDay day = audit::AuditLocationDay(held, folder.path, kDay, "1", settings, none, quiet);

    std::vector<ProblemKind> found;
    for (const audit::Problem& problem : day.problems) found.push_back(problem.kind);
    std::sort(found.begin(), found.end());
    std::vector<ProblemKind> expected = test.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << test.name;
    if (!day.problems.empty()) {
        EXPECT_NE(day.problems.front().detail.find(test.detail), std::string::npos);
    }
    EXPECT_EQ(day.gaps.size(), test.gaps);
    if (test.maxGap) {
        EXPECT_EQ(day.longestGap->Seconds(), 240u);
        EXPECT_EQ(day.longestGap->start, kTen + 61);
    }
    EXPECT_EQ(day.growing.empty(), !test.growing);
    if (test.origin) {
        EXPECT_EQ(day.origin, *test.origin);
    }
#ifndef _WIN32
    ::chmod(folder.database().c_str(), 0644);
#endif
}

// The audit of the location-day 1 of kDay under `storage`, nothing growing.
audit::LocationDay AuditOfLocationOne(const fs::path& storagePath, const fs::path& location) {
    int error = 0;
    const platform::Folder storage = OpenStorageFolder(storagePath, error);
    const platform::Folder held = OpenBeneath(storage, {kDay, "1"}, error);
    audit::AuditSettings settings;
    settings.now = static_cast<std::int64_t>(std::time(nullptr)) + 3600;
    ReadAhead none(0, 0);
    audit::AuditProgress quiet;
    return audit::AuditLocationDay(held, location, kDay, "1", settings, none, quiet);
}

// Every output reads the same whatever order the file system lists in.
TEST(LocationAudit, ProblemsComeInNameOrder) {
    repairtest::TempFolder temp("audit-order");
    const Folder folder{temp.Path() / kDay / "1"};
    fs::create_directories(folder.path);
    Healthy(folder);
    for (const char* name : {"m.txt", "z.txt", "a.txt", "q.txt"}) storagegen::WriteFile(folder.path / name, "x");
    for (const char* serial : {"7", "9", "5", "8"}) {
        storagegen::WriteFile(folder.path / (std::string("0000000") + serial + "_2012-03-03_100000.bak"), "x");
    }
    const audit::LocationDay day = AuditOfLocationOne(temp.Path(), folder.path);
    std::vector<std::string> names;
    for (const audit::Problem& problem : day.problems) names.push_back(problem.name);
    EXPECT_EQ(names, (std::vector<std::string>{"00000005_2012-03-03_100000.bak", "00000007_2012-03-03_100000.bak",
                                               "00000008_2012-03-03_100000.bak", "00000009_2012-03-03_100000.bak"}));
    EXPECT_EQ(day.otherEntries, (std::vector<std::string>{"a.txt", "m.txt", "q.txt", "z.txt"}));
}

// Zone codes are 16 bits, so those east of UTC+12 wrap; the repair writes
// UTC+14 to UTC-12 and nothing else.
TEST(LocationAudit, ZoneCodesAtTheEndsOfTheirRange) {
    repairtest::TempFolder temp("audit-zone-codes");
    const Folder folder{temp.Path() / kDay / "1"};
    fs::create_directories(folder.path);
    Healthy(folder);
    std::vector<audittest::IntervalSpec> intervals;
    std::uint32_t serial = 0;
    for (const std::uint32_t code : {0xFFF8u, 96u, 0xFFFFu, 0xFFF7u, 97u, 0x8000u, 0x10000u}) {
        intervals.push_back({++serial, kTen, kTen + 120, code});
    }
    Rows(folder, intervals, {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}});
    const audit::LocationDay day = AuditOfLocationOne(temp.Path(), folder.path);
    EXPECT_EQ(day.rowZones, (std::vector<long>{-720, 735, 840}));  // minutes east
}

// With --max-gap, a location that recorded nothing on a day on which another
// recorded is an outage, whether its folder is empty or was never made; one
// that records on events is not.
TEST(StorageAudit, LocationsThatRecordedNothingAreOutages) {
    repairtest::TempFolder temp("audit-silent");
    for (const char* folder : {"2012-03-03/1", "2012-03-03/2", "2012-03-03/3", "2012-03-04/1"}) {
        fs::create_directories(temp.Path() / folder);
    }
    for (const char* day : {"2012-03-03", "2012-03-04"}) {
        const fs::path recording = temp.Path() / day / "1" / (std::string("00000001_") + day + "_100000.3gp");
        repairtest::WriteGarbage(recording);
        fs::last_write_time(recording, std::time(nullptr) - 3600);
    }
    struct Counted : audit::AuditProgress {
        void StorageStarted(std::size_t locationDays) override { total = locationDays; }
        std::size_t total = 0;
    } progress;
    audit::AuditSettings settings;
    settings.now = static_cast<std::int64_t>(std::time(nullptr));
    settings.maxGapSeconds = 600;
    settings.eventLocations = {"3"};
    audit::Report report;
    std::string error;
    ASSERT_TRUE(
        audit::AuditStorage(temp.Path().string(), DateRange(UnsetDate, UnsetDate), settings, progress, report, error));
    EXPECT_EQ(progress.total, 4u);
    std::vector<std::string> outages;
    for (const audit::LocationDay& day : report.locationDays) {
        for (const audit::Problem& problem : day.problems) {
            if (problem.kind == ProblemKind::Outage)
                outages.push_back(day.day + " " + day.location + ": " + problem.detail);
        }
    }
    EXPECT_EQ(outages,
              (std::vector<std::string>{"2012-03-03 2: no recording this day, while others recorded",
                                        "2012-03-04 2: no folder and no recording this day, while others recorded"}));
    ASSERT_EQ(report.locationDays.size(), 5u);
    EXPECT_TRUE(report.locationDays[4].folderMissing);
}

// A healthy location-day changed as given, audited.
audit::LocationDay AuditChanged(const std::function<void(const Folder&)>& change) {
    repairtest::TempFolder temp("audit-changed");
    const Folder folder{temp.Path() / kDay / "1"};
    fs::create_directories(folder.path);
    Healthy(folder);
    change(folder);
    int error = 0;
    const platform::Folder storage = OpenStorageFolder(temp.Path(), error);
    const platform::Folder held = OpenBeneath(storage, {kDay, "1"}, error);
    EXPECT_EQ(error, 0);
    audit::AuditSettings settings;
    settings.now = static_cast<std::int64_t>(std::time(nullptr)) + 3600;
    ReadAhead none(0, 0);
    audit::AuditProgress quiet;
    return audit::AuditLocationDay(held, folder.path, kDay, "1", settings, none, quiet);
}

// What the backup covered and the database does not, both ends counted: a
// second before the first interval and the seconds after its end.
TEST(LocationAudit, CoverageLostHasItsOwnSeconds) {
    const audit::LocationDay day = AuditChanged([](const Folder& f) {
        WriteDayDatabase(f.path / (std::string(kDay) + ".db.old"), {{1, kTen - 60, kTen + 300}},
                         {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}});
    });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lost;
    for (const audit::Problem& problem : day.problems) {
        if (problem.kind == ProblemKind::LostCoverage) lost.emplace_back(problem.range->start, problem.range->end);
    }
    EXPECT_EQ(lost,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{kTen - 60, kTen - 1}, {kTen + 121, kTen + 300}}));
}

// The page's clock comes from the rows: their zone and daylight saving flag.
TEST(LocationAudit, IntervalsKeepTheClockTheirRowsWereWrittenWith) {
    const audit::LocationDay day = AuditChanged([](const Folder& f) {
        Rows(f, {{1, kTen, kTen + 120, 44, 1}}, {{kFirst, kTen, kTen + 60}, {kSecond, kTen + 60, kTen + 120}});
    });
    ASSERT_EQ(day.intervals.size(), 1u);
    EXPECT_TRUE(day.intervals.front().daylightSaving);
    EXPECT_EQ(day.intervals.front().zoneMinutesEast, std::optional<long>(60));
}

// The databases set aside beside a location-day's are shown with what they
// hold, or why they could not be read; neither is a problem.
TEST(LocationAudit, DatabasesSetAsideAreDescribed) {
    const audit::LocationDay day = AuditChanged([](const Folder& folder) {
        fs::copy_file(folder.database(), folder.path / (std::string(kDay) + ".db.old"));
        fs::create_directory(folder.path / (std::string(kDay) + ".db.prev"));
    });
    EXPECT_TRUE(day.problems.empty());
    ASSERT_TRUE(day.oldBackup && day.oldBackup->rows);
    EXPECT_EQ(*day.oldBackup->rows, 2u);
    EXPECT_EQ(*day.oldBackup->intervals, 1u);
    ASSERT_TRUE(day.previousBackup);
    EXPECT_FALSE(day.previousBackup->rows);
    EXPECT_EQ(day.previousBackup->detail, "not a regular file");
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, LocationAuditTest, testing::ValuesIn(Cases()), CaseName);

}  // namespace
