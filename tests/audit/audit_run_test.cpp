// Runs the real Tolvane2Audit on generated storages: both layouts before and
// after a repair, a storage left exactly as it was, a repair running and a
// writer holding a day database.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <boost/filesystem.hpp>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <tuple>

#include "audit_test_support.h"
#include "platform/storage_lock.h"
#include "repair/repair_test_support.h"
#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;
using nlohmann::json;
using testsupport::ProcessResult;

namespace {

const char* const kDay = "2012-03-03";

ProcessResult Audit(std::vector<std::string> args) {
    testsupport::ProcessOptions options;
    options.environment["TZ"] = "UTC";
    return testsupport::RunProcess(audittest::AuditPath(), args, options);
}

// Recordings finished an hour ago: the recorder is no longer writing them.
void Finished(const fs::path& recording) { fs::last_write_time(recording, std::time(nullptr) - 3600); }

// Real recordings, one a minute from 10:00 UTC, as the generator names them.
void MakeRecordedStorage(const fs::path& storage, storagegen::Structure structure,
                         const std::vector<std::string>& locations, unsigned recordings) {
    storagegen::StorageDescription description;
    description.structure = structure;
    description.locations = locations;
    description.content.recordings = recordings;
    for (const fs::path& path : storagegen::MakeStorage(storage, description)) {
        repairtest::RecordingSpec recording;
        recording.startUtc =
            repairtest::kTenOClockUtc + 60 * (static_cast<unsigned>(std::stoul(path.filename().string())) - 1);
        repairtest::WriteRecordingFile(path, recording);
        Finished(path);
    }
}

json AuditJson(const fs::path& storage, const fs::path& jsonFile, int expectedExit,
               std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"-p", storage.string(), "--json", jsonFile.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const ProcessResult result = Audit(args);
    EXPECT_EQ(result.exitCode, expectedExit) << result.out << result.err;
    std::ifstream in(jsonFile.string());
    return json::parse(in);
}

TEST(AuditRun, UsageVersionAndUnreadableStorage) {
    repairtest::TempFolder temp("audit-usage");
    const std::string inside = (temp.Path() / "audit.json").string();
    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
        {{"-p", temp.Path().string(), "--json", inside}, 2, "writes nothing inside the storage"},
        {{"--version"}, 0, "Tolvane2Audit " TOLVANE2_VERSION},
        {{"--help"}, 0, "usage: Tolvane2Audit -p PATH"},
        {{}, 2, "-p PATH"},
        {{"-p", "x", "--frobnicate"}, 2, "frobnicate"},
        {{"-p", "x", "-b", "2012-3-3"}, 2, "YYYY-MM-DD"},
        {{"-p", "x", "--gap", "minus"}, 2, "gap"},
        {{"-p", "no-such-storage-anywhere"}, 2, "cannot read the storage"},
    };
    for (const auto& [args, exitCode, text] : cases) {
        const ProcessResult result = Audit(args);
        EXPECT_EQ(result.exitCode, exitCode) << args.size();
        EXPECT_NE((result.out + result.err).find(text), std::string::npos) << result.out << result.err;
    }
    EXPECT_FALSE(fs::exists(inside));
}

TEST(AuditRun, BothLayoutsBeforeAndAfterARepair) {
    repairtest::TempFolder temp("audit-run");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::Old, {"1", "2"}, 3);

    // Never repaired: the audit is the dry run.
    json before = AuditJson(storage, temp.Path() / "before.json", 1);
    EXPECT_EQ(before["layout"], "old");
    EXPECT_EQ(before["totals"]["recordings"], 6);
    EXPECT_EQ(before["totals"]["problems_by_kind"]["no_database"], 2);
    EXPECT_EQ(before["totals"]["problems_by_kind"]["no_row"], 6);

    testsupport::ProcessOptions utc;
    utc.environment["TZ"] = "UTC";
    ASSERT_EQ(testsupport::RunTool({"-p", storage.string()}, utc).exitCode, 0);
    const ProcessResult after = Audit({"-p", storage.string()});
    EXPECT_EQ(after.exitCode, 0) << after.out;
    EXPECT_NE(after.out.find("(new layout"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("2012-03-03 2: 3 recordings, 3 rows, 1 intervals, 0 gaps; database placed by Tolvane2; "
                             "no problems"),
              std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("Total: 2 location-days, 6 recordings, 6 rows, 2 intervals, 0 gaps; no problems"),
              std::string::npos)
        << after.out;

    // Through a link to the storage, as operators reach it: the same findings.
    const fs::path link = temp.Path() / "rec";
    boost::system::error_code linked;
    fs::create_directory_symlink(storage, link, linked);
    if (!linked && fs::is_symlink(fs::symlink_status(link))) {
        EXPECT_EQ(Audit({"-p", link.string()}).exitCode, 0);
    }

    // A location still in the old layout beside the converted ones.
    MakeRecordedStorage(storage, storagegen::Structure::Old, {"3"}, 1);
    const json mixed = AuditJson(storage, temp.Path() / "mixed.json", 1, {"--verify"});
    EXPECT_EQ(mixed["layout"], "mixed");
    EXPECT_EQ(mixed["totals"]["location_days"], 3);
    EXPECT_EQ(mixed["totals"]["problems"], 2);  // location 3: no database, a recording without a row
    EXPECT_EQ(mixed["location_days"][2]["location"], "3");
}

// What an audit may not change: every name, size, content and modification
// time. Access times are not looked at, nor an -shm that exists already
// (readers of a WAL database write there by design).
std::map<std::string, std::tuple<std::uintmax_t, std::size_t, std::time_t>> Snapshot(const fs::path& storage) {
    std::map<std::string, std::tuple<std::uintmax_t, std::size_t, std::time_t>> entries;
    const std::hash<std::string> digest;
    for (fs::recursive_directory_iterator it(storage), end; it != end; ++it) {
        const std::string name = it->path().lexically_relative(storage).generic_string();
        if (fs::is_regular_file(it->symlink_status())) {
            const bool shm = name.size() > 4 && name.compare(name.size() - 4, 4, "-shm") == 0;
            entries[name] = {fs::file_size(it->path()), shm ? 0 : digest(storagegen::ReadFile(it->path())),
                             shm ? 0 : fs::last_write_time(it->path())};
        } else {
            entries[name] = {0, 0, fs::last_write_time(it->path())};
        }
    }
    return entries;
}

TEST(AuditRun, LeavesTheStorageAsItWas) {
    repairtest::TempFolder temp("audit-unchanged");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1", "2", "3", "4"}, 2);
    const fs::path day = storage / kDay;
    audittest::WriteDayDatabase(day / "1" / "2012-03-03.db", {}, {});
    audittest::WriteDayDatabase(day / "1" / "2012-03-03.db.old", {{1, 1, 2}}, {{"gone.3gp", 1, 2}});
    // A repair leaves a "DL" folder beside a daylight-saving recording; an audit must not.
    repairtest::RecordingSpec daylight;
    daylight.daylightElement = true;
    repairtest::WriteRecordingFile(day / "1" / "00000008_2012-03-03_110000.3gp", daylight);
    Finished(day / "1" / "00000008_2012-03-03_110000.3gp");
    audittest::WriteDayDatabase(day / "2" / "2012-03-03.db", {}, {});
    std::string journal("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    journal.resize(1024, '\x01');
    storagegen::WriteFile(day / "2" / "2012-03-03.db-journal", journal);
    storagegen::WriteFile(day / "3" / "2012-03-03.db.new", "leftover");
    repairtest::WriteGarbage(day / "3" / "00000009_2012-03-03_110000.3gp");
    Finished(day / "3" / "00000009_2012-03-03_110000.3gp");
    // A WAL database that its writer keeps open, and one closed cleanly.
    audittest::WriteDayDatabase(day / "4" / "2012-03-03.db", {}, {});
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open((day / "4" / "2012-03-03.db").string().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA journal_mode=WAL; INSERT INTO TimeInterval(IntervalSerial) VALUES(7)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    audittest::WriteDayDatabase(day / "3" / "2012-03-03.db", {}, {});
    {
        sqlite3* closed = nullptr;
        sqlite3_open((day / "3" / "2012-03-03.db").string().c_str(), &closed);
        sqlite3_exec(closed, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_close(closed);
    }

    const auto before = Snapshot(storage);
    const json report = AuditJson(storage, temp.Path() / "audit.json", 1, {"--verify"});
    EXPECT_EQ(Snapshot(storage), before);
    sqlite3_close(writer);

    // Three recordings without rows; time and a recording lost against the backup.
    EXPECT_EQ(report["location_days"][0]["problems"].size(), 5u);
    EXPECT_EQ(report["location_days"][1]["database"]["state"], "needs_recovery");
    EXPECT_EQ(report["location_days"][2]["database"]["state"], "not_read");
    EXPECT_EQ(report["location_days"][3]["database"]["state"], "read");
}

TEST(AuditRun, BesideARepairAndAWriter) {
    repairtest::TempFolder temp("audit-beside");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 2);
    const fs::path database = storage / kDay / "1" / "2012-03-03.db";
    audittest::WriteDayDatabase(database, {}, {});

    platform::StorageLock repair;
    ASSERT_EQ(repair.Acquire(storage.string()), platform::StorageLock::Outcome::Locked);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(database.string().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE; INSERT INTO TimeInterval(IntervalSerial) VALUES(1)", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);

    const ProcessResult result = Audit({"-p", storage.string()});
    EXPECT_NE(result.out.find("A repair is running on this storage now"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("database busy, not read"), std::string::npos) << result.out;
    EXPECT_EQ(result.exitCode, 0);
    // The writer was kept waiting by nothing.
    EXPECT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
}

}  // namespace
