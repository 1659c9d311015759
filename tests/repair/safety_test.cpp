// What a run may and may not do to the day databases of a real storage: other
// file systems, hot journals, databases held by the recorder, a second run,
// links to folders outside the storage, and a reader that goes away.

#include <gtest/gtest.h>
#include <sqlite3.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/storage_lock.h"

#include "repair_test_support.h"
#include "support/recorded_files.h"
#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;
using repairtest::Query;

namespace {

const std::string kDay = "2012-03-03";
const std::string kClosingLine = "Congratulation! The database have repaired completely. elapsed time: ";

std::string TemplatePath() { return testsupport::BuildDirectory() + "/PellamDB/dbtemplate.db"; }

std::string Count(const fs::path& database, const std::string& table) {
    return Query(database, "SELECT COUNT(*) FROM " + table)[0][0];
}

// The first value a statement yields, or SQLite's error text. The database is
// opened for writing, as a recorder would, so that a hot journal is rolled back first.
std::string Single(const fs::path& database, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string answer = "cannot open";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        const int step = sqlite3_step(statement);
        answer = step == SQLITE_ROW    ? reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))
                 : step == SQLITE_DONE ? ""
                                       : sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return answer;
}

std::string IntegrityOf(const fs::path& database) { return Single(database, "PRAGMA integrity_check"); }

// A writer that dies in the middle of a transaction, leaving a hot journal.
[[noreturn]] void WriteAndDie(const std::string& database) {
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; DELETE FROM MediaFileDiskMap;", nullptr, nullptr, nullptr);
    for (int i = 0; i < 200; ++i) {
        sqlite3_exec(db, "INSERT INTO MediaFileDiskMap(PathName) VALUES(hex(randomblob(500)))", nullptr, nullptr,
                     nullptr);
    }
    _exit(0);  // dies with the transaction open
}

#ifdef _WIN32
// There is no fork here: the writer is this test program started again, which
// plays it before any test runs when the variable names its database.
const char* const kDyingWriterVariable = "TOLVANE2_DIE_IN_TRANSACTION";
const bool kPlaysTheDyingWriter = [] {
    if (const char* database = std::getenv(kDyingWriterVariable)) WriteAndDie(database);
    return false;
}();

void LeaveHotJournal(const fs::path& database) {
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    testsupport::ProcessOptions options;
    options.environment[kDyingWriterVariable] = database.string();
    testsupport::RunProcess(self, {}, options);
}
#else
void LeaveHotJournal(const fs::path& database) {
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) WriteAndDie(database.string());
    waitpid(writer, nullptr, 0);
}
#endif

// A location folder of the new structure with one readable recording and a
// day database (a template copy holding `rows` rows of its own).
fs::path MakeLocation(const fs::path& storage, const std::string& location, int rows) {
    const fs::path folder = storage / kDay / location;
    fs::create_directories(folder);
    repairtest::WriteRecordingFile(folder / (std::string("00000001_") + kDay + "_100000.3gp"), {});
    const fs::path database = folder / (kDay + ".db");
    storagegen::WriteFile(database, storagegen::ReadFile(TemplatePath()));
    for (int i = 0; i < rows; ++i)
        Single(database, "INSERT INTO MediaFileDiskMap(MFSerial) VALUES(" + std::to_string(900 + i) + ")");
    return database;
}

// Path -> bytes of every file below a folder (links not followed).
std::map<std::string, std::string> Contents(const fs::path& root) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : storagegen::TreeListing(root)) {
        if (entry.back() != '/' && !fs::is_symlink(fs::symlink_status(root / entry))) {
            contents[entry] = storagegen::ReadFile(root / entry);
        }
    }
    return contents;
}

TEST(SafetyTest, StorageOnAnotherFileSystemGetsItsDatabasesAndRows) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    const fs::path storage = fs::path("/dev/shm") / fs::unique_path("tolvane2-shm-%%%%-%%%%");
    const fs::path database = MakeLocation(storage, "1", 1);

    testsupport::AgeTree(storage);
    const auto result = testsupport::RunTool({"-p", storage.string(), "-o"});
    EXPECT_EQ(result.out.find("copy dbtemplate.db got"), std::string::npos) << result.out;
    EXPECT_EQ(Count(database, "MediaFileDiskMap"), "1");
    EXPECT_EQ(Count(database.string() + ".old", "MediaFileDiskMap"), "1");
    EXPECT_EQ(fs::file_size(database.string() + ".old"), fs::file_size(TemplatePath()));
    fs::remove_all(storage);
}

// A recorder killed in the middle of a transaction leaves a hot journal; it
// belongs to the database that is set aside, never to the fresh copy.
TEST(SafetyTest, HotJournalMovesWithTheDatabaseItBelongsTo) {
    repairtest::TempFolder folder("safety-journal");
    const fs::path database = MakeLocation(folder.Path(), "1", 3);
    LeaveHotJournal(database);
    ASSERT_TRUE(fs::exists(database.string() + "-journal"));

    testsupport::AgeTree(folder.Path());
    const auto result = testsupport::RunTool({"-p", folder.Path().string(), "-o"});
    EXPECT_FALSE(fs::exists(database.string() + "-journal"));
    EXPECT_TRUE(fs::exists(database.string() + ".old-journal"));
    EXPECT_EQ(IntegrityOf(database), "ok") << result.out;
    EXPECT_EQ(Count(database, "MediaFileDiskMap"), "1");
    EXPECT_EQ(IntegrityOf(database.string() + ".old"), "ok");
    EXPECT_EQ(Count(database.string() + ".old", "MediaFileDiskMap"), "3")
        << "the journal was rolled back into its own database";
}

#ifndef _WIN32
bool LeasesAreGranted(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool granted = fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    if (granted) fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return granted;
}
#endif

// The recorder holding its database, in a transaction or idle between two,
// keeps it: the set-aside reports it locked and the copy then fails; the
// reversion leaves its folder in place rather than deleting it.
TEST(SafetyTest, DatabaseHeldByAnotherProcessIsNotSetAsideOrRemoved) {
    for (const char* hold : {"BEGIN IMMEDIATE", "SELECT 1"}) {
        repairtest::TempFolder folder("safety-held");
        const fs::path database = folder.Path() / kDay / "1" / (kDay + ".db");
        fs::create_directories(database.parent_path());
        fs::copy_file(TemplatePath(), database);
#ifndef _WIN32
        // An idle holder shows only through a lease, which some file systems
        // (network, some overlays) do not grant at all.
        if (std::string(hold) == "SELECT 1" && !LeasesAreGranted(database)) continue;
#endif
        sqlite3* recorder = nullptr;
        ASSERT_EQ(sqlite3_open(database.string().c_str(), &recorder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(recorder, hold, nullptr, nullptr, nullptr), SQLITE_OK);

        testsupport::AgeTree(folder.Path());
        const auto result = testsupport::RunTool({"-p", folder.Path().string(), "-o"});
        sqlite3_close(recorder);
        const std::string target = database.string();
        EXPECT_NE(result.out.find(target + "or" + target +
                                  ".oldis locked!\n"
                                  "CopyTemplateDB - copy dbtemplate.db got std::exception: "),
                  std::string::npos)
            << hold << "\n"
            << result.out;
        EXPECT_FALSE(fs::exists(target + ".old")) << hold;
        EXPECT_EQ(IntegrityOf(database), "ok") << hold;

        ASSERT_EQ(sqlite3_open(database.string().c_str(), &recorder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(recorder, hold, nullptr, nullptr, nullptr), SQLITE_OK);
        testsupport::AgeTree(folder.Path());
        const auto reverted = testsupport::RunTool({"-p", folder.Path().string(), "-r"});
        sqlite3_close(recorder);
        EXPECT_NE(reverted.out.find("RevertDirectoryStructure - some files are in use!\n"), std::string::npos)
            << reverted.out;
        EXPECT_EQ(IntegrityOf(database), "ok") << hold;
    }
}

TEST(SafetyTest, SecondRunOnTheSameStorageTouchesNothing) {
    repairtest::TempFolder folder("safety-second");
    storagegen::StorageDescription old;
    old.content.dayDatabase = true;
    storagegen::MakeStorage(folder.Path(), old);
    const auto before = Contents(folder.Path());
    {
        // Held as a run holds it: two runs must exclude each other.
        platform::StorageLock held;
        ASSERT_EQ(held.Acquire(folder.Path().string()), platform::StorageLock::Outcome::Locked);

        for (const std::vector<std::string>& road : {std::vector<std::string>{}, {"-o"}, {"-r"}}) {
            std::vector<std::string> args{"-p", folder.Path().string()};
            args.insert(args.end(), road.begin(), road.end());
            const auto result = testsupport::RunTool(args);
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_NE(
                result.out.find("Tolvane2 - StoragePath is in use by another run: " + folder.Path().string() + "\n"),
                std::string::npos)
                << result.out;
            EXPECT_EQ(result.out.find(kClosingLine), std::string::npos) << result.out;
        }
    }  // the lock is given back before the storage is compared
    EXPECT_EQ(Contents(folder.Path()), before);
}

// Links inside the storage to folders outside it: no road acts through them.
TEST(SafetyTest, LinksToOutsideFoldersAreNotFollowedOnAnyRoad) {
    for (const std::vector<std::string>& road : {std::vector<std::string>{}, {"-o"}, {"-r"}}) {
        repairtest::TempFolder folder("safety-links");
        const fs::path storage = folder.Path() / "storage";
        const fs::path outside = folder.Path() / "outside";
        MakeLocation(outside, "1", 1);
        fs::copy_file(TemplatePath(), outside / kDay / "1" / (kDay + ".db.old"));
        fs::create_directories(outside / "old" / "2012-03-05");
        repairtest::WriteRecordingFile(outside / "old" / "2012-03-05" / "00000001_2012-03-05_100000.3gp", {});
        // New structure: a linked day folder, and a linked location in a real one.
        fs::create_directories(storage / "2012-03-04");
        fs::create_symlink(outside / kDay, storage / kDay);
        if (!fs::is_symlink(fs::symlink_status(storage / kDay))) GTEST_SKIP() << "the system made no link";
        fs::create_symlink(outside / kDay / "1", storage / "2012-03-04" / "1");
        // Old structure: a linked location, and a linked day in a real location.
        fs::create_symlink(outside / "old", storage / "7");
        fs::create_directories(storage / "8");
        fs::create_symlink(outside / "old" / "2012-03-05", storage / "8" / "2012-03-05");
        // A real location-day whose place in the new structure is a link.
        fs::create_directories(storage / "9" / "2012-03-06");
        repairtest::WriteRecordingFile(storage / "9" / "2012-03-06" / "00000001_2012-03-06_100000.3gp", {});
        fs::create_directories(storage / "2012-03-06");
        fs::create_symlink(outside / "old", storage / "2012-03-06" / "9");
        const auto before = Contents(outside);

        std::vector<std::string> args{"-p", storage.string()};
        args.insert(args.end(), road.begin(), road.end());
        const auto result = testsupport::RunTool(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(Contents(outside), before) << result.out;
        EXPECT_TRUE(fs::is_symlink(storage / kDay)) << result.out;
        EXPECT_TRUE(fs::is_symlink(storage / "7")) << result.out;
    }
}

// The recorder, opening its database for each row, starts listing recordings
// of the location-day (from its last one back, each once) in the database the
// run placed, while the run reads them: the run writes no row once it finds
// the recorder's (its rows would list them again), says so, every row the
// recorder was told it wrote is there, no interval of the run overlaps
// another, and the database is sound. Where the recorder slips in between two
// of the run's transactions, the rows before stay, each recording once.
TEST(SafetyTest, RecorderWritingDuringTheRunKeepsItsRows) {
    repairtest::TempFolder folder("safety-recorder");
    const fs::path database = MakeLocation(folder.Path(), "1", 0);
    constexpr unsigned kRecordings = 1200;
    // The recorder's intervals are numbered apart from the run's.
    constexpr unsigned kRecorderIntervals = 1000000;
    const auto nameOf = [&](unsigned n) {
        char time[8];
        std::snprintf(time, sizeof time, "%02u%02u00", 10 + (n - 1) / 60, (n - 1) % 60);
        return storagegen::RecordingFileName(n, kDay, time);
    };
    const fs::path first = database.parent_path() / nameOf(1);
    for (unsigned n = 2; n <= kRecordings; ++n) fs::copy_file(first, database.parent_path() / nameOf(n));
    const auto insertAsRecorder = [&](int row) {
        const unsigned n = kRecordings - static_cast<unsigned>(row) % kRecordings;
        const std::string start = std::to_string(repairtest::kTenOClockUtc + 60 * (n - 1));
        const std::string end = std::to_string(repairtest::kTenOClockUtc + 60 * n);
        const std::string interval = std::to_string(kRecorderIntervals + row);
        const std::string name = "'" + nameOf(n) + "'";
        sqlite3* db = nullptr;
        bool written = sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
        sqlite3_busy_timeout(db, 60000);
        // A recording the run has listed already is not listed again.
        const std::string sql =
            "BEGIN IMMEDIATE; INSERT INTO MediaFileDiskMap(MFSerial, IntervalSerial, PathName, StartRecordTime, "
            "EndRecordTime) SELECT " +
            std::to_string(n) + ", " + interval + ", " + name + ", " + start + ", " + end +
            " WHERE NOT EXISTS (SELECT 1 FROM MediaFileDiskMap WHERE PathName = " + name +
            "); "
            "INSERT INTO TimeInterval(IntervalSerial, StartRecordTime, EndRecordTime) SELECT " +
            interval + ", " + start + ", " + end + " WHERE changes() = 1; COMMIT";
        written = written && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
                  sqlite3_changes(db) == 1;
        sqlite3_close(db);
        return written;
    };
    const std::string runsRows = "MediaFileDiskMap WHERE IntervalSerial < " + std::to_string(kRecorderIntervals);
    // Rows the run has committed, as a reader sees them (-1 while it cannot read).
    const auto committedByTheRun = [&] {
        sqlite3* db = nullptr;
        sqlite3_stmt* count = nullptr;
        long rows = -1;
        if (sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, ("SELECT COUNT(*) FROM " + runsRows).c_str(), -1, &count, nullptr) == SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW) {
            rows = sqlite3_column_int64(count, 0);
        }
        sqlite3_finalize(count);
        sqlite3_close(db);
        return rows;
    };
    std::atomic<bool> runOver{false};
    int recorderRows = 0;
    std::thread recorder([&] {
        // The recorder's database is the one the run places: it starts once
        // the old one is set aside. Nothing depends on when that is seen.
        while (!runOver && !(fs::exists(database.string() + ".old") && fs::exists(database))) {
            std::this_thread::yield();
        }
        // After each row the recorder waits until the run has committed more
        // of its own, so the two take turns at the lock and neither can starve
        // the other, however fast or slow the machine is.
        while (!runOver) {
            recorderRows += insertAsRecorder(recorderRows) ? 1 : 0;
            const long committed = committedByTheRun();
            while (!runOver && committedByTheRun() == committed) std::this_thread::yield();
        }
        recorderRows += insertAsRecorder(recorderRows) ? 1 : 0;
    });
    testsupport::AgeTree(folder.Path());
    testsupport::ProcessOptions utc;  // the recorder's times are UTC
    utc.environment["TZ"] = "UTC";
    const auto result = testsupport::RunTool({"-p", folder.Path().string(), "-o"}, utc);
    runOver = true;
    recorder.join();

    EXPECT_NE(result.out.find(kClosingLine), std::string::npos) << result.out;
    EXPECT_EQ(IntegrityOf(database), "ok");
    const repairtest::Rows rows = Query(database, "SELECT COUNT(DISTINCT PathName), COUNT(*) FROM MediaFileDiskMap");
    EXPECT_EQ(rows[0][0], rows[0][1]) << "a recording listed twice";
    const bool stopped = std::stoul(Count(database, runsRows)) < kRecordings;
    const std::string said =
        "ParseFilesADay - the recorder wrote into " + database.string() + " during the run: no more rows written there";
    EXPECT_EQ(result.out.find(said) != std::string::npos, stopped) << result.out;
    // Whether the recorder got in before the run listed everything is the
    // machine's timing; what holds either way is asserted.
    const std::string recorders = " WHERE IntervalSerial >= " + std::to_string(kRecorderIntervals);
    EXPECT_EQ(Count(database, "MediaFileDiskMap" + recorders), std::to_string(recorderRows));
    EXPECT_EQ(Count(database, "TimeInterval" + recorders), std::to_string(recorderRows));
    EXPECT_EQ(
        Count(database, "TimeInterval AS a JOIN TimeInterval AS b ON a.rowid <> b.rowid WHERE a.IntervalSerial < " +
                            std::to_string(kRecorderIntervals) +
                            " AND a.StartRecordTime < b.EndRecordTime AND b.StartRecordTime < a.EndRecordTime"),
        "0")
        << "an interval of the run overlaps another";
}

// `| head -1` closes the output after the first line; the run goes on to its end.
TEST(SafetyTest, ClosedOutputChangesNothingButTheText) {
#ifdef _WIN32
    GTEST_SKIP() << "a closed output raises no signal here; the test drives a POSIX shell";
#endif
    repairtest::TempFolder folder("safety-pipe");
    const fs::path storage = folder.Path() / "storage";
    storagegen::StorageDescription old;
    old.recordingBytes = [](const storagegen::RecordingInfo& info) {
        repairtest::WriteRecordingFile(info.path, {});
        return storagegen::ReadFile(info.path);
    };
    storagegen::MakeStorage(storage, old);
    testsupport::ProcessOptions inBuild;
    inBuild.workingDirectory = testsupport::BuildDirectory();

    const auto result = testsupport::RunProcess("/bin/bash",
                                                {"-c", "\"$0\" -p \"$1\" | head -1 >/dev/null; echo ${PIPESTATUS[0]}",
                                                 testsupport::ToolPath(), storage.string()},
                                                inBuild);
    EXPECT_EQ(result.out, "0\n");
    EXPECT_EQ(Count(storage / kDay / "1" / (kDay + ".db"), "MediaFileDiskMap"), "2");
}

}  // namespace
