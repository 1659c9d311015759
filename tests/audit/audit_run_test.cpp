// Runs the real Tolvane2Audit on generated storages: both layouts before and
// after a repair, a storage left exactly as it was, a repair running and a
// writer holding a day database.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Totals a script reads instead of the entries must say what the entries sum to.
void ExpectTotalsOfTheEntries(const json& document) {
    std::size_t recordings = 0, rows = 0, intervals = 0, gaps = 0, problems = document["storage_problems"].size();
    std::map<std::string, unsigned> byKind;
    for (const json& entry : document["storage_problems"]) ++byKind[entry["kind"].get<std::string>()];
    for (const json& day : document["location_days"]) {
        recordings += day["recordings"].get<std::size_t>();
        rows += day["rows"].get<std::size_t>();
        intervals += day["intervals"].size();
        gaps += day["gaps"].size();
        problems += day["problems"].size();
        for (const json& entry : day["problems"]) ++byKind[entry["kind"].get<std::string>()];
    }
    const json& totals = document["totals"];
    EXPECT_EQ(totals["location_days"], document["location_days"].size());
    EXPECT_EQ(totals["recordings"], recordings);
    EXPECT_EQ(totals["rows"], rows);
    EXPECT_EQ(totals["intervals"], intervals);
    EXPECT_EQ(totals["gaps"], gaps);
    EXPECT_EQ(totals["problems"], problems);
    EXPECT_EQ(totals["problems_by_kind"].get<decltype(byKind)>(), byKind);
}

TEST(AuditRun, UsageVersionAndUnreadableStorage) {
    repairtest::TempFolder temp("audit-usage");
    const std::string inside = (temp.Path() / "audit.json").string();
    repairtest::TempFolder other("audit-usage-storage");
    const fs::path storage = other.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 2);
    // Day folders without recordings: two days; one day under two locations; a day without locations.
    const fs::path twoDays = other.Path() / "two-days", oldLayout = other.Path() / "old",
                   noLocation = other.Path() / "none";
    for (const fs::path& folder :
         {twoDays / "2012-03-03" / "1", twoDays / "2012-03-04" / "1", oldLayout / "1" / "2012-03-03",
          oldLayout / "2" / "2012-03-03", noLocation / "2012-03-03"}) {
        fs::create_directories(folder);
    }
    // A location that recorded and one that did not.
    const fs::path silent = other.Path() / "silent";
    MakeRecordedStorage(silent, storagegen::Structure::New, {"1"}, 1);
    fs::create_directories(silent / "2012-03-03" / "2");
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"-p", temp.Path().string(), "--json", inside}, 2, "writes nothing inside the storage"},
        {{"--version"}, 0, "Tolvane2Audit " TOLVANE2_VERSION},
        {{"--help"}, 0, "usage: Tolvane2Audit -p PATH"},
        {{}, 2, "-p PATH"},
        {{"-p", "x", "--frobnicate"}, 2, "frobnicate"},
        {{"-p", "x", "-b", "2012-3-3"}, 2, "YYYY-MM-DD"},
        {{"-p", "x", "--gap", "minus"}, 2, "gap"},
        {{"-p", "x", "--gap", "-5"}, 2, "above 0, not -5"},
        {{"-p", "x", "--gap", "0"}, 2, "above 0, not 0"},
        {{"-p", "x", "-b", "2024-13-01"}, 2, "--begin 2024-13-01 is no day of the calendar"},
        {{"-p", "x", "-e", "2024-02-30"}, 2, "--end 2024-02-30 is no day of the calendar"},
        {{"-p", "x", "-b", "2024-03-05", "-e", "2024-03-04"}, 2, "--begin 2024-03-05 is after --end 2024-03-04"},
        {{"-p", "no-such-storage-anywhere"}, 2, "cannot read the storage"},
        // Nothing to judge is no "all is well": an empty folder, a mount point with nothing mounted.
        {{"-p", temp.Path().string()}, 2, "no day folder under " + temp.Path().string() + ": is the disk mounted"},
        {{"-p", storage.string(), "-b", "2012-03-04"},
         2,
         "no day folder from 2012-03-04 on; the storage holds 2012-03-03 (1 day folder)"},
        {{"-p", twoDays.string(), "-b", "2012-03-05"},
         2,
         "no day folder from 2012-03-05 on; the storage holds 2012-03-03 ... 2012-03-04 (2 day folders)"},
        {{"-p", oldLayout.string(), "-b", "2012-03-05"}, 2, "the storage holds 2012-03-03 (2 day folders)"},
        {{"-p", noLocation.string()}, 2, "no location folder in the 1 day folder under " + noLocation.string()},
        {{"-p", storage.string(), "-e", "2012-03-03", "--gap", "1"}, 1, "Total: 1 location-days"},
        // The widest gap written, and one day for both bounds.
        {{"-p", storage.string(), "-b", "2012-03-03", "-e", "2012-03-03", "--gap", "999999999"},
         1,
         "Total: 1 location-days"},
        {{"-p", storage.string(), "--gap", "1000000000"}, 2, "gap"},
        {{"-p", silent.string(), "--max-gap", "2=5"},
         1,
         "2012-03-03 2: 0 recordings, 0 rows, 0 intervals, 0 gaps; no "
         "database; problems: no day database 1, outage 1\n"},
        {{"-p", silent.string(), "--max-gap", "5", "--events", "2"},
         1,
         "2012-03-03 2: 0 recordings, 0 rows, 0 intervals, 0 gaps, records on events; no database; problems: no day "
         "database 1\n"},
        {{"-p", "x", "--max-gap", "=5"}, 2, "--max-gap takes [LOCATION=]SECONDS, a whole number above 0, not =5"},
        {{"-p", "x", "--max-gap", "1=0"}, 2, "not 1=0"},
        {{"-p", "x", "--events", "@/no/such/list"}, 2, "--events cannot read /no/such/list"},
    };
    for (const auto& [args, exitCode, text] : cases) {
        const ProcessResult result = Audit(args);
        EXPECT_EQ(result.exitCode, exitCode) << args.size();
        EXPECT_NE((result.out + result.err).find(text), std::string::npos) << result.out << result.err;
    }
    EXPECT_FALSE(fs::exists(inside));
    // The accepted problems on standard output leave it to them alone.
    const ProcessResult accepted = Audit({"-p", silent.string(), "--accept-all", "-"});
    EXPECT_EQ(json::parse(accepted.out)["accepted_problems"].size(), 3u) << accepted.out;
#ifndef _WIN32
    // A FIFO given for the storage is no storage, and never waited on.
    const fs::path fifo = other.Path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const ProcessResult fromFifo = Audit({"-p", fifo.string()});
    EXPECT_EQ(fromFifo.exitCode, 2) << fromFifo.out << fromFifo.err;
#endif
}

TEST(AuditRun, BothLayoutsBeforeAndAfterARepair) {
    repairtest::TempFolder temp("audit-run");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::Old, {"1", "2"}, 3);

    // Never repaired: the audit is the dry run.
    json before = AuditJson(storage, temp.Path() / "before.json", 1);
    EXPECT_EQ(before["layout"], "old");
    EXPECT_EQ(before["format"], 2);
    EXPECT_EQ(before["totals"]["recordings"], 6);
    EXPECT_EQ(before["totals"]["problems_by_kind"]["no_database"], 2);
    EXPECT_EQ(before["totals"]["problems_by_kind"]["no_row"], 6);
    ExpectTotalsOfTheEntries(before);

    testsupport::ProcessOptions utc;
    utc.environment["TZ"] = "UTC";
    ASSERT_EQ(testsupport::RunTool({"-p", storage.string()}, utc).exitCode, 0);
    const ProcessResult after = Audit({"-p", storage.string()});
    EXPECT_EQ(after.exitCode, 0) << after.out;
    EXPECT_NE(after.out.find("(new layout"), std::string::npos) << after.out;
    EXPECT_NE(
        after.out.find(
            "2012-03-03 2: 3 recordings, 3 rows, 1 intervals, 0 gaps, 3 min 1 s recorded; database placed by Tolvane2; "
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
    ExpectTotalsOfTheEntries(mixed);
}

#ifndef _WIN32
// A link is passed over wherever it lies, and named: here a day folder of an
// old-layout location that is a link. (The links wine makes are no links to
// the Windows build.)
TEST(AuditRun, ALinkAmongALocationsDaysIsNamedAndPassedOver) {
    repairtest::TempFolder temp("audit-run");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::Old, {"1"}, 1);
    boost::system::error_code error;
    fs::create_directory_symlink(storage / "1" / "2012-03-03", storage / "1" / "2012-03-05", error);
    if (error) GTEST_SKIP() << "the system makes no links here";
    const json report = AuditJson(storage, temp.Path() / "links.json", 1);
    std::vector<std::string> links;
    for (const json& problem : report["storage_problems"]) {
        if (problem["kind"] == "link_passed_over") links.push_back(problem["name"]);
    }
    EXPECT_EQ(links, std::vector<std::string>{"1/2012-03-05"}) << report["storage_problems"].dump();
}
#endif

// Night after night: what the repair fixed, what is new, what the operator
// accepted, and a camera that did not record.
TEST(AuditRun, NightAfterNight) {
    repairtest::TempFolder temp("audit-nights");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1", "2", "3"}, 3);
    const std::string path = storage.string(), first = (temp.Path() / "first.json").string();
    const json before = AuditJson(storage, first, 1);
    EXPECT_EQ(before["tool"]["version"], TOLVANE2_VERSION);
    EXPECT_EQ(before["arguments"][0], "-p");
    EXPECT_EQ(before["location_days"][0]["status"], "problems");

    testsupport::ProcessOptions utc;
    utc.environment["TZ"] = "UTC";
    ASSERT_EQ(testsupport::RunTool({"-p", path, "-o"}, utc).exitCode, 0);
    // A recording of location 2 is gone; location 3 recorded nothing.
    const fs::path day = storage / kDay;
    fs::remove(day / "2" / "00000002_2012-03-03_100100.3gp");
    for (const fs::directory_entry& entry : fs::directory_iterator(day / "3")) {
        if (entry.path().extension() == ".3gp") fs::remove(entry.path());
    }
    // Location 1 records on events, named in a list as operators keep one.
    const fs::path events = temp.Path() / "events.txt";
    storagegen::WriteFile(events, "# event cameras\r\n\r\n1\r\n");
    ProcessResult after = Audit(
        {"-p", path, "--compare", first, "--max-gap", "600", "--max-gap", "1=1", "--events", "@" + events.string()});
    EXPECT_EQ(after.exitCode, 1) << after.out << after.err;
    EXPECT_NE(after.out.find("Since " + first + ": 12 fixed, 0 still open, 5 new\n"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("  new: 2012-03-03 2: row without recording: 00000002_2012-03-03_100100.3gp: "),
              std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("  new: 2012-03-03 3: outage: no recording this day, while others recorded\n"),
              std::string::npos)
        << after.out;
    EXPECT_NE(after.out.find("2012-03-03 1: 3 recordings, 3 rows, 1 intervals, 0 gaps, 3 min 1 s recorded, records on "
                             "events; database placed by Tolvane2; no problems"),
              std::string::npos)
        << after.out;

    // The operator accepts what is known; the next night is all well, and says why.
    const std::string accepted = (temp.Path() / "accepted.json").string();
    ASSERT_EQ(Audit({"-p", path, "--accept-all", accepted, "--max-gap", "600"}).exitCode, 1);
    after =
        Audit({"-p", path, "--baseline", accepted, "--max-gap", "600", "--json", (temp.Path() / "b.json").string()});
    EXPECT_EQ(after.exitCode, 0) << after.out << after.err;
    EXPECT_NE(
        after.out.find("Total: 3 location-days, 5 recordings, 9 rows, 3 intervals, 0 gaps; no problems; accepted: "
                       "row without recording 4, outage 1\n"),
        std::string::npos)
        << after.out;
    const json baselined = json::parse(storagegen::ReadFile(temp.Path() / "b.json"));
    EXPECT_EQ(baselined["status"], "accepted");
    EXPECT_EQ(baselined["location_days"][2]["status"], "accepted");
    EXPECT_EQ(baselined["totals"]["accepted"], 5);

    // Another storage's audit is no earlier night of this one.
    const fs::path otherStorage = temp.Path() / "other";
    MakeRecordedStorage(otherStorage, storagegen::Structure::New, {"1"}, 1);
    const ProcessResult refused = Audit({"-p", otherStorage.string(), "--compare", first});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("is of another storage"), std::string::npos) << refused.err;
}

#ifndef _WIN32
// A name is text on the page, never markup, whatever characters it holds.
TEST(AuditRun, NamesOnThePageAreEscaped) {
    repairtest::TempFolder temp("audit-escape");
    const fs::path storage = temp.Path() / "storage", page = temp.Path() / "page.html";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"a&b<i>\"c'd"}, 1);
    EXPECT_EQ(Audit({"-p", storage.string(), "--html", page.string()}).exitCode, 1);
    const std::string html = storagegen::ReadFile(page);
    EXPECT_NE(html.find("a&amp;b&lt;i&gt;&quot;c&#39;d"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    EXPECT_EQ(html.find("\"c'd"), std::string::npos);
}
#endif

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
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1", "2", "3", "4", "5"}, 2);
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
    audittest::WriteDayDatabase(day / "5" / "2012-03-03.db", {}, {});
    {
        // Its writer gone, its last rows still in the log: the audit, the
        // last to close it, must not move them into the database.
        sqlite3* closed = nullptr;
        sqlite3_open((day / "5" / "2012-03-03.db").string().c_str(), &closed);
        sqlite3_db_config(closed, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_exec(closed, "PRAGMA journal_mode=WAL; INSERT INTO TimeInterval(IntervalSerial) VALUES(8)", nullptr,
                     nullptr, nullptr);
        sqlite3_close(closed);
    }
    ASSERT_GT(fs::file_size(day / "5" / "2012-03-03.db-wal"), 0u);

    const auto before = Snapshot(storage);
    const json report = AuditJson(storage, temp.Path() / "audit.json", 1, {"--verify"});
    EXPECT_EQ(Snapshot(storage), before);
    sqlite3_close(writer);

    // Three recordings without rows; time and a recording lost against the backup.
    EXPECT_EQ(report["location_days"][0]["problems"].size(), 5u);
    EXPECT_EQ(report["location_days"][1]["database"]["state"], "needs_recovery");
    EXPECT_EQ(report["location_days"][2]["database"]["state"], "not_read");
    EXPECT_EQ(report["location_days"][3]["database"]["state"], "read");
    EXPECT_EQ(report["location_days"][4]["database"]["state"], "read");
}

std::vector<std::string> Names(const fs::path& folder);

// Rows written by a repair in another zone than the auditing machine's are
// compared in their own zone: no problem, and one line says which zones.
TEST(AuditRun, RowsAreJudgedInTheZoneTheyWereWrittenIn) {
    repairtest::TempFolder temp("audit-zones");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 3);
    // Never repaired, audited five hours west: the names show the recorder's zone.
    testsupport::ProcessOptions newYork;
    newYork.environment["TZ"] = "America/New_York";
    const ProcessResult before = testsupport::RunProcess(audittest::AuditPath(), {"-p", storage.string()}, newYork);
#ifndef _WIN32  // wine's zone does not follow TZ for the audit's own lines
    EXPECT_NE(before.out.find("Zones: this machine is at UTC-05:00; the names of 3 of 3 recordings read show "
                              "UTC+00:00 against their first packets"),
              std::string::npos)
        << before.out;
#endif
    testsupport::ProcessOptions berlin;
    berlin.environment["TZ"] = "Europe/Berlin";
    ASSERT_EQ(testsupport::RunTool({"-p", storage.string(), "-o"}, berlin).exitCode, 0);
    const ProcessResult result = Audit({"-p", storage.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out;
#ifndef _WIN32
    EXPECT_NE(result.out.find("Zones: this machine is at UTC+00:00; rows written at UTC+01:00"), std::string::npos)
        << result.out;
#endif
}

// Recordings nobody can read are what the operator must act on: each is named
// on the console (twenty a location-day) and listed on the page, all of them.
TEST(AuditRun, UnreadableRecordingsAreNamedAndListedInFull) {
    repairtest::TempFolder temp("audit-unreadable");
    const fs::path storage = temp.Path() / "storage", page = temp.Path() / "page.html";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 1);
    for (int serial = 100; serial < 205; ++serial) {
        const fs::path garbage = storage / kDay / "1" / ("00000" + std::to_string(serial) + "_2012-03-03_110000.3gp");
        repairtest::WriteGarbage(garbage);
        Finished(garbage);
    }
    const ProcessResult result = Audit({"-p", storage.string(), "--html", page.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("\n  unreadable recording: 00000100_2012-03-03_110000.3gp: "), std::string::npos)
        << result.out;
    std::size_t named = 0;
    for (auto at = result.out.find("\n  unreadable recording: "); at != std::string::npos;
         at = result.out.find("\n  unreadable recording: ", at + 1))
        ++named;
    EXPECT_EQ(named, 20u);
    EXPECT_NE(result.out.find("\n  ... and 85 more (see the JSON or the page)\n"), std::string::npos) << result.out;
    const std::string html = storagegen::ReadFile(page);
    const auto table = html.find("data-kind=\"unreadable\"");
    ASSERT_NE(table, std::string::npos);
    const std::string rows = html.substr(table, html.find("</table>", table) - table);
    std::size_t listed = 0;
    for (auto at = rows.find("<tr><td>"); at != std::string::npos; at = rows.find("<tr><td>", at + 1)) ++listed;
    EXPECT_EQ(listed, 105u);
}

// While a repair runs nothing is judged: exit 3, the JSON says why, a page
// stays as it was. A lock file that no run holds is no repair.
TEST(AuditRun, ARunningRepairIsSaidAndNothingJudged) {
    repairtest::TempFolder temp("audit-repair");
    const fs::path storage = temp.Path() / "storage", page = temp.Path() / "page.html",
                   report = temp.Path() / "audit.json";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 2);
    storagegen::WriteFile(page, "the page of last night\n");
    {
        platform::StorageLock repair;
        ASSERT_EQ(repair.Acquire(storage.string()), platform::StorageLock::Outcome::Locked);
        const ProcessResult result =
            Audit({"-p", storage.string(), "--html", page.string(), "--json", report.string()});
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_NE(result.err.find("a repair is running on " + storage.string()), std::string::npos) << result.err;
        EXPECT_EQ(storagegen::ReadFile(page), "the page of last night\n");
        const json document = json::parse(storagegen::ReadFile(report));
        EXPECT_EQ(document["repair_running"], true);
        EXPECT_TRUE(document["location_days"].empty());
        EXPECT_EQ(Names(temp.Path()), (std::vector<std::string>{"audit.json", "page.html", "storage"}));
    }
    // Let go, or left behind by a power cut (Windows keeps a lock file): judged again.
    EXPECT_EQ(Audit({"-p", storage.string()}).exitCode, 1);
    storagegen::WriteFile(storage / "Tolvane2.lock", "");
    EXPECT_EQ(Audit({"-p", storage.string()}).exitCode, 1);
}

// A writer that holds a day database longer than the audit waits is never
// kept waiting: the database is said to be busy.
TEST(AuditRun, BesideAWriter) {
    repairtest::TempFolder temp("audit-beside");
    const fs::path storage = temp.Path() / "storage";
    MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 2);
    const fs::path database = storage / kDay / "1" / "2012-03-03.db";
    audittest::WriteDayDatabase(database, {}, {});
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(database.string().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE; INSERT INTO TimeInterval(IntervalSerial) VALUES(1)", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);

    const ProcessResult result = Audit({"-p", storage.string()});
    EXPECT_NE(result.out.find("database busy, not read"), std::string::npos) << result.out;
    // The writer was kept waiting by nothing.
    EXPECT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
}

std::size_t RowsOf(const fs::path& database) {
    sqlite3* reader = nullptr;
    std::size_t rows = 0;
    if (sqlite3_open_v2(database.string().c_str(), &reader, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            reader, "SELECT COUNT(*) FROM MediaFileDiskMap",
            [](void* count, int, char** values, char**) {
                *static_cast<std::size_t*>(count) = std::stoul(values[0]);
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(reader);
    return rows;
}

// Everything in a folder, by name: a temporary left behind shows up here.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct OutputStorage {
    explicit OutputStorage(const char* tag) : temp(tag) {
        MakeRecordedStorage(storage, storagegen::Structure::New, {"1"}, 1);
        audittest::WriteDayDatabase(database, {{1, 1, 2}}, {{"00000001_2012-03-03_100000.3gp", 1, 2}});
        fs::create_directory(out);
    }
    repairtest::TempFolder temp;
    fs::path storage = temp.Path() / "storage";
    fs::path database = storage / kDay / "1" / "2012-03-03.db";
    fs::path out = temp.Path() / "out";
};

// An output is a name, never a file's bytes: whatever the name held before
// (a hard link to a day database, above all) keeps its content.
TEST(AuditRun, AnOutputReplacesItsNameNeverTheFileItNamed) {
    OutputStorage at("audit-output-link");
    const fs::path page = at.out / "page.html";
    fs::create_hard_link(at.database, page);
    const ProcessResult result = Audit({"-p", at.storage.string(), "--html", page.string()});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(RowsOf(at.database), 1u);
    EXPECT_EQ(fs::hard_link_count(at.database), 1u);
    EXPECT_EQ(storagegen::ReadFile(page).rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(Names(at.out), std::vector<std::string>{"page.html"});
}

#ifdef FAULT_LIBRARY
// The page's name is held by another program when it is replaced: said so,
// and nothing but the page the name held before is left.
TEST(AuditRun, AnOutputHeldByAnotherProgramIsSaidSo) {
    OutputStorage at("audit-output-held");
    const fs::path page = at.out / "page.html";
    storagegen::WriteFile(page, "before\n");
    testsupport::ProcessOptions options;
    const std::string runtime = SANITIZER_RUNTIME;
    options.environment["LD_PRELOAD"] = runtime.empty() ? FAULT_LIBRARY : runtime + ":" + FAULT_LIBRARY;
    options.environment["TOLVANE2_FAULT_ROOT"] = fs::canonical(at.out).string();
    options.environment["TOLVANE2_FAULT_ACTION"] = "ebusy";
    const std::vector<std::string> args{"-p", at.storage.string(), "--html", page.string()};
    const fs::path log = at.storage.parent_path() / "calls.log";
    options.environment["TOLVANE2_FAULT_LOG"] = log.string();
    testsupport::RunProcess(audittest::AuditPath(), args, options);
    std::istringstream calls(storagegen::ReadFile(log));
    std::string number;
    for (std::string line; std::getline(calls, line) && number.empty();) {
        if (line.find(" rename") != std::string::npos) number = line.substr(0, line.find(' '));
    }
    ASSERT_FALSE(number.empty()) << storagegen::ReadFile(log);
    storagegen::WriteFile(page, "before\n");
    options.environment["TOLVANE2_FAULT_AT"] = number;
    const ProcessResult result = testsupport::RunProcess(audittest::AuditPath(), args, options);
    EXPECT_NE(result.err.find("cannot replace " + page.string() + ": another program has it open"), std::string::npos)
        << result.err;
    EXPECT_EQ(storagegen::ReadFile(page), "before\n");
    EXPECT_EQ(Names(at.out), std::vector<std::string>{"page.html"});
}
#endif

TEST(AuditRun, OutputsAreRefusedBeforeAnythingIsRead) {
    OutputStorage at("audit-output-refused");
    const std::string storage = at.storage.string(), out = at.out.string();
    storagegen::WriteFile(at.out / "a.json", "{}");
    fs::create_hard_link(at.out / "a.json", at.out / "b.json");
    std::vector<std::tuple<std::vector<std::string>, const char*>> cases = {
        {{"--html", (at.out / "x.html").string(), "--json", (at.out / "x.html").string()}, "the same file"},
        {{"--html", (at.out / "a.json").string(), "--json", (at.out / "b.json").string()}, "the same file"},
        {{"--json", "-", "--html", "-"}, "the same file"},
        {{"--json", (at.out / "y.json").string(), "--accept-all", (at.out / "y.json").string()},
         "two outputs name the same file"},
        {{"--html", out}, "not a regular file"},
        {{"--html", (at.out / "none" / "x.html").string()}, "cannot write"},
        {{"--html", (at.storage / kDay / "x.html").string()}, "inside the storage"},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((at.out / "fifo").c_str(), 0644), 0);
    fs::create_directory_symlink(at.storage / kDay / "1", at.out / "into");
    fs::create_symlink(at.database, at.out / "database");
    fs::create_directory_symlink(at.storage, at.temp.Path() / "rec");
    cases.push_back({{"--html", (at.out / "fifo").string()}, "not a regular file"});
    cases.push_back({{"--html", (at.out / "into" / "x.html").string()}, "inside the storage"});
    cases.push_back({{"--html", (at.out / "database").string()}, "inside the storage"});
    cases.push_back({{"--html", (at.out / "into" / ".." / ".." / "x.html").string()}, "inside the storage"});
    // A link inside the storage that leads out: still reached through the storage.
    fs::create_directory_symlink(at.out, at.storage / "out");
    cases.push_back({{"--html", (at.storage / "out" / "x.html").string()}, "inside the storage"});
    // The storage given through a link, the output by its real name.
    cases.push_back(
        {{"-p", (at.temp.Path() / "rec").string(), "--html", (at.storage / "x.html").string()}, "inside the storage"});
#endif
    for (const auto& [extra, text] : cases) {
        std::vector<std::string> args{"-p", storage};
        if (extra.front() == "-p") args.clear();
        args.insert(args.end(), extra.begin(), extra.end());
        const ProcessResult result = Audit(args);
        EXPECT_EQ(result.exitCode, 2) << extra.back();
        EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("Storage:"), std::string::npos) << extra.back();
    }
    // Opened before the storage turns out unreadable: the new file beside it goes again.
    const ProcessResult unreadable =
        Audit({"-p", (at.temp.Path() / "none").string(), "--html", (at.out / "y.html").string()});
    EXPECT_EQ(unreadable.exitCode, 2);
    for (const std::string& name : Names(at.out)) EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    EXPECT_EQ(RowsOf(at.database), 1u);
    EXPECT_EQ(storagegen::ReadFile(at.out / "a.json"), "{}");
    EXPECT_FALSE(fs::exists(at.out / "x.html"));
    EXPECT_FALSE(fs::exists(at.storage / "x.html"));
}

TEST(AuditRun, JsonToStandardOutputLeavesTheConsoleLinesToStandardError) {
    OutputStorage at("audit-output-stdout");
    const ProcessResult result = Audit({"-p", at.storage.string(), "--json", "-"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(json::parse(result.out)["totals"]["location_days"], 1);
    EXPECT_NE(result.err.find("Total: 1 location-days"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists("-"));
}

#ifndef _WIN32
// A page a web server publishes stays readable: the result has the mode,
// owner and group of the file it replaces, or a new file's usual mode.
TEST(AuditRun, AReplacedOutputKeepsItsModeAndOwner) {
    OutputStorage at("audit-output-mode");
    const fs::path kept = at.out / "kept.html", fresh = at.out / "fresh.html";
    storagegen::WriteFile(kept, "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(kept.c_str(), 1234, 5678), 0);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ASSERT_EQ(Audit({"-p", at.storage.string(), "--html", kept.string(), "--json", fresh.string()}).exitCode, 1);
    struct stat status {};
    ASSERT_EQ(::stat(kept.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(std::make_pair(status.st_uid, status.st_gid), std::make_pair(1234u, 5678u));
    }
    ASSERT_EQ(::stat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(Names(at.out), (std::vector<std::string>{"fresh.html", "kept.html"}));
}

// Where the output's folder cannot take a new file, the output itself is
// written, but only a regular file with one name that is no database.
TEST(AuditRun, InPlaceOnlyWhatNothingElseReads) {
    OutputStorage at("audit-output-in-place");
    const fs::path page = at.out / "page.html", linked = at.out / "linked.html", database = at.out / "copy.db";
    storagegen::WriteFile(page, std::string(1 << 20, 'x'));  // longer than the page: nothing of it may stay
    storagegen::WriteFile(linked, "old");
    fs::create_hard_link(linked, at.temp.Path() / "other-name");
    fs::copy_file(at.database, database);
    const bool immutable =
        ::geteuid() == 0 && std::system(("chattr +i '" + at.out.string() + "' 2>/dev/null").c_str()) == 0;
    if (!immutable) ::chmod(at.out.c_str(), 0555);
    struct Restore {
        const fs::path& folder;
        bool immutable;
        ~Restore() {
            if (immutable) std::system(("chattr -i '" + folder.string() + "'").c_str());
            ::chmod(folder.c_str(), 0755);
        }
    } restore{at.out, immutable};
    if (::access(at.out.c_str(), W_OK) == 0 && !immutable) GTEST_SKIP() << "the folder cannot be made read-only";

    EXPECT_EQ(Audit({"-p", at.storage.string(), "--html", page.string()}).exitCode, 1);
    EXPECT_EQ(storagegen::ReadFile(page).rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(storagegen::ReadFile(page).find("xxxx"), std::string::npos);
    for (const fs::path& refused : {linked, database}) {
        const ProcessResult result = Audit({"-p", at.storage.string(), "--html", refused.string()});
        EXPECT_EQ(result.exitCode, 2) << refused;
        EXPECT_NE(result.err.find("written in place"), std::string::npos) << result.err;
    }
    EXPECT_EQ(storagegen::ReadFile(linked), "old");
    EXPECT_EQ(RowsOf(database), 1u);
}
#endif

// A name can hold anything its maker put there. Both tools show each name on
// one line, with nothing in it a terminal would act on: the same number of
// lines as for plain names, and no control character, C1 control or
// bidirectional override anywhere in what they print.
TEST(AuditRun, HostileNamesPrintAsOneHarmlessLineEach) {
    std::vector<std::string> hostile = {
        "e\xc2\x9b"
        "2J",
        "g\xe2\x80\xae"
        "h",
        "i\xe2\x81\xa6"
        "j"};
    std::string storageName =
        "s\xe2\x80\xae"
        "t";
#ifndef _WIN32
    // Names the system allows only here: C0 controls and bytes that are no UTF-8.
    hostile.insert(hostile.end(), {"a\x1b[2K\r\x1b[8m"
                                   "b",
                                   "c\nd",
                                   "f\x9b"
                                   "2J\x7f"});
    storageName += "\x1b[2K\r";
#endif
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < hostile.size(); ++i) plain.push_back(std::to_string(i + 1));
    repairtest::TempFolder temp("audit-names");
    const auto lineCounts = [&](const std::vector<std::string>& names, const std::string& storageName) {
        const fs::path storage = temp.Path() / storageName;
        MakeRecordedStorage(storage, storagegen::Structure::Old, names, 1);
        testsupport::ProcessOptions utc;
        utc.environment["TZ"] = "UTC";
        std::vector<std::size_t> counts;
        for (const ProcessResult& result :
             {Audit({"-p", storage.string()}), testsupport::RunTool({"-p", storage.string()}, utc),
              Audit({"-p", storage.string(), "--json", "-"})}) {
            const std::string text = result.out + result.err;
            counts.push_back(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
            // The JSON keeps true names; the console lines are then on standard error.
            const std::string console = counts.size() == 3 ? result.err : text;
            for (const unsigned char byte : console) {
                EXPECT_TRUE(byte >= 0x20 || byte == '\n' || byte == '\r') << static_cast<int>(byte) << "\n" << console;
                EXPECT_TRUE(byte != 0x7f && byte != 0x9b) << console;
            }
            for (const char* hidden : {"\xe2\x80\xae", "\xe2\x81\xa6"})
                EXPECT_EQ(console.find(hidden), std::string::npos);
        }
        return counts;
    };
    EXPECT_EQ(lineCounts(hostile, storageName), lineCounts(plain, "plain"));
}

}  // namespace
