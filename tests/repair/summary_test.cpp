// The résumé each road says before the design's closing line: what was done,
// what was left and why, and why nothing was done when nothing was.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "repair/repair_test_support.h"
#include "support/process.h"
#include "support/recorded_files.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

namespace {

const std::string kDay = "2012-03-03";
// What the system says of a folder path through a file.
#ifdef _WIN32
#define NOT_A_FOLDER_REASON "path not found"
#else
#define NOT_A_FOLDER_REASON "not a directory"
#endif
const std::string kNextDay = "2012-03-04";

struct Storage {
    repairtest::TempFolder temp{"summary"};
    fs::path path = temp.Path() / "storage";

    // Two locations of two days, three recordings each.
    void Make(bool oldLayout) const {
        for (const char* location : {"1", "2"}) {
            for (const std::string& day : {kDay, kNextDay}) {
                const fs::path folder = oldLayout ? path / location / day : path / day / location;
                fs::create_directories(folder);
                for (int serial = 1; serial <= 3; ++serial) {
                    repairtest::RecordingSpec recording;
                    recording.startUtc = repairtest::UnixTime(day + " 10:00:00") + 60 * (serial - 1);
                    repairtest::WriteRecordingFile(folder / ("0000000" + std::to_string(serial) + "_" + day + "_1000" +
                                                             std::to_string(serial - 1) + "0.3gp"),
                                                   recording);
                }
            }
        }
    }
    fs::path Location(const std::string& day, const std::string& location) const { return path / day / location; }
    fs::path Database(const std::string& day, const std::string& location) const {
        return Location(day, location) / (day + ".db");
    }
};

testsupport::ProcessResult RunOn(const Storage& storage, std::vector<std::string> flags,
                                 const std::string& zone = "UTC") {
    std::vector<std::string> args{"-p", storage.path.string()};
    args.insert(args.end(), flags.begin(), flags.end());
    testsupport::ProcessOptions options;
    options.environment["TZ"] = zone;
    testsupport::AgeTree(storage.temp.Path());
    return testsupport::RunTool(args, options);
}

// The résumé line, and that the design's closing line follows it at once (a
// reversion of a storage that is no folder has none: the résumé ends it).
std::string Resume(const std::string& out, bool reverting) {
    const auto at = out.find("\nSummary: ");
    if (at == std::string::npos) return "(none)\n" + out;
    const auto end = out.find('\n', at + 1);
    const std::string next = out.substr(end + 1);
    if (reverting && next.empty()) return out.substr(at + 1, end - at - 1);
    const char* closing = reverting ? (next.rfind("\nCongratulation! Revert [", 0) == 0 ? "" : "Cannot find any proper")
                                    : "Congratulation! The database have repaired completely.";
    EXPECT_EQ(next.rfind(closing, 0), 0u) << out;
    return out.substr(at + 1, end - at - 1);
}

// Holds a database open in a transaction, as a recorder writing it would.
class Writer {
public:
    explicit Writer(const fs::path& database) {
        sqlite3_open(database.string().c_str(), &db_);
        sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~Writer() { sqlite3_close(db_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

private:
    sqlite3* db_ = nullptr;
};

TEST(Summary, EachRoadSaysWhatItDidAndWhy) {
    const struct {
        const char* name;
        bool oldLayout;
        std::vector<std::string> prepare;                   // a run before, when not empty
        std::function<std::string(const Storage&)> change;  // the path to give, when not the storage
        std::vector<std::string> flags;
        std::string resume;  // with "<S>" for the storage
    } cases[] = {
        {"a conversion and its repair",
         true,
         {},
         nullptr,
         {},
         "Summary: 4 day folders converted; 4 location-days rebuilt, 12 rows from 12 recordings"},
        {"an unreadable recording and a bound that is no date",
         false,
         {},
         [](const Storage& s) {
             repairtest::WriteGarbage(s.Location(kDay, "1") / "00000009_2012-03-03_110000.3gp");
             return std::string();
         },
         {"-o", "-b", "2012-3-3"},
         "Summary: 4 location-days rebuilt, 12 rows from 13 recordings; 1 recording without a row (bad format 1); "
         "begin 2012-3-3 is not a YYYY-MM-DD date: no lower bound"},
        {"a database a recorder writes",
         false,
         {"-o"},
         nullptr,
         {"-o"},
         "Summary: 3 location-days rebuilt, 9 rows from 9 recordings; 1 location-day left as it was (in use 1)"},
        {"the database-only repair of the old layout",
         true,
         {},
         nullptr,
         {"-o"},
         "Summary: nothing repaired: no day folder under <S>; it holds location folders of the old layout: run "
         "without -o"},
        {"bounds that take no day",
         false,
         {},
         nullptr,
         {"-o", "-b", kNextDay, "-e", kDay},
         "Summary: nothing repaired: no day folder between 2012-03-04 and 2012-03-03 under <S>"},
        {"a day folder given for the storage",
         false,
         {},
         [](const Storage& s) { return (s.path / kDay).string(); },
         {"-o"},
         "Summary: nothing repaired: no day folder under <D>; <D> looks like a day folder: give the storage folder "
         "above it"},
        {"a reversion",
         false,
         {"-o"},
         nullptr,
         {"-r"},
         "Summary: 4 location folders moved back; 4 day databases removed"},
        {"a reversion beside a recorder writing",
         false,
         {"-o"},
         nullptr,
         {"-r"},
         "Summary: 3 location folders moved back, 1 left (in use 1); 3 day databases removed"},
        {"a reversion of the old layout",
         true,
         {},
         nullptr,
         {"-r"},
         "Summary: nothing moved back: no day folder under <S>; it is in the old layout already"},
        {"a reversion with a bound that is no date",
         false,
         {"-o"},
         nullptr,
         {"-r", "-e", "2012-3-3"},
         "Summary: 4 location folders moved back; 4 day databases removed; end 2012-3-3 is not a YYYY-MM-DD date: "
         "no upper bound"},
        // Exactly one of a kind is something done.
        {"one empty day folder converted",
         true,
         {},
         [](const Storage& s) {
             fs::remove_all(s.path);
             fs::create_directories(s.path / "1" / kDay);
             return std::string();
         },
         {},
         "Summary: 1 day folder converted; 0 location-days rebuilt, 0 rows from 0 recordings"},
        {"one day folder that cannot move",
         true,
         {},
         [](const Storage& s) {
             fs::remove_all(s.path / "2");
             fs::remove_all(s.path / "1" / kNextDay);
             storagegen::WriteFile(s.path / kDay, "a file where the day folder would go\n");
             return std::string();
         },
         {},
         "Summary: 0 day folders converted, 1 left in the old layout (" NOT_A_FOLDER_REASON
         " 1); 0 location-days rebuilt, 0 rows from 0 recordings"},
        {"one location-day a recorder writes",
         false,
         {"-o"},
         [](const Storage& s) {
             fs::remove_all(s.path / kNextDay);
             fs::remove_all(s.Location(kDay, "2"));
             return std::string();
         },
         {"-o"},
         "Summary: 0 location-days rebuilt, 0 rows from 0 recordings; 1 location-day left as it was (in use 1)"},
        {"a reversion of a path that does not exist",
         false,
         {},
         [](const Storage& s) { return (s.path / "gone").string(); },
         {"-r"},
         "Summary: nothing moved back: <G> does not exist"},
        {"a location folder given for the storage",
         false,
         {},
         [](const Storage& s) { return s.Location(kDay, "1").string(); },
         {"-o"},
         "Summary: nothing repaired: no day folder under <L>; <L> looks like a location folder: give the storage "
         "folder above it"},
        {"a reversion beside a recorder writing a backup",
         false,
         {"-o"},
         [](const Storage& s) {
             RunOn(s, {"-o"});  // the first copy becomes <date>.db.prev
             return std::string();
         },
         {"-r"},
         "Summary: 3 location folders moved back, 1 left (in use 1); 3 day databases removed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Storage storage;
        storage.Make(c.oldLayout);
        if (!c.prepare.empty()) {
            ASSERT_EQ(RunOn(storage, c.prepare).exitCode, 0);
        }
        std::string path = storage.path.string();
        if (c.change) {
            const std::string changed = c.change(storage);
            if (!changed.empty()) path = changed;
        }
        std::vector<std::string> flags = c.flags;
        flags.insert(flags.begin(), {"-p", path});
        const bool writing =
            std::string(c.name).find("recorder writes") != std::string::npos ||
            std::string(c.name).find("recorder writing") != std::string::npos;  // its database or a backup
        std::unique_ptr<Writer> writer;
        if (writing) {
            const bool backup = std::string(c.name).find("a backup") != std::string::npos;
            writer = std::make_unique<Writer>(storage.Database(kDay, "1").string() + (backup ? ".prev" : ""));
        }
        testsupport::ProcessOptions options;
        options.environment["TZ"] = "UTC";
        testsupport::AgeTree(storage.temp.Path());
        const testsupport::ProcessResult result = testsupport::RunTool(flags, options);
        std::string expected = c.resume;
        for (auto at = expected.find("<S>"); at != std::string::npos; at = expected.find("<S>"))
            expected.replace(at, 3, storage.path.string());
        for (auto at = expected.find("<D>"); at != std::string::npos; at = expected.find("<D>"))
            expected.replace(at, 3, (storage.path / kDay).string());
        for (auto at = expected.find("<G>"); at != std::string::npos; at = expected.find("<G>"))
            expected.replace(at, 3, (storage.path / "gone").string());
        for (auto at = expected.find("<L>"); at != std::string::npos; at = expected.find("<L>"))
            expected.replace(at, 3, storage.Location(kDay, "1").string());
        const bool reverting = std::find(c.flags.begin(), c.flags.end(), "-r") != c.flags.end();
        EXPECT_EQ(Resume(result.out, reverting), expected);
    }
}

#ifndef _WIN32
// An immutable file, for the length of a test; only root may make one.
class Immutable {
public:
    explicit Immutable(const fs::path& file) : file_(file) {
        made_ = std::system(("chattr +i '" + file_.string() + "' 2>/dev/null").c_str()) == 0;
    }
    ~Immutable() {
        if (made_) std::system(("chattr -i '" + file_.string() + "'").c_str());
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool Made() const { return made_; }

private:
    fs::path file_;
    bool made_ = false;
};

// A database the system will not let go (immutable here) is reported with
// the system's reason, in the design's form for a failed step, not as one
// in use nor as one whose users cannot be told.
TEST(Summary, ADatabaseTheSystemRefusesIsSaidSo) {
    const Storage storage;
    storage.Make(false);
    ASSERT_EQ(RunOn(storage, {"-o"}).exitCode, 0);
    const Immutable held(storage.Database(kDay, "1"));
    if (!held.Made()) GTEST_SKIP() << "cannot make a file immutable here";
    const std::string placed = RunOn(storage, {"-o"}).out;
    EXPECT_NE(
        placed.find(
            "CopyTemplateDB - remove existed got std::exception: boost::filesystem::rename: Operation not permitted"),
        std::string::npos)
        << placed;
    EXPECT_EQ(Resume(placed, false),
              "Summary: 3 location-days rebuilt, 9 rows from 9 recordings; 1 location-day left as it was (not "
              "permitted 1)");
    const std::string reverted = RunOn(storage, {"-r"}).out;
    EXPECT_NE(reverted.find(
                  "RevertDirectoryStructure - got std::exception: boost::filesystem::remove: Operation not permitted"),
              std::string::npos)
        << reverted;
    EXPECT_EQ(Resume(reverted, true),
              "Summary: 3 location folders moved back, 1 left (not permitted 1); 3 day databases removed");
}
#endif

// Without its plug-in the repair cannot run: after a conversion that moved
// folders the résumé says so beside what was done; alone it is the reason.
TEST(Summary, ARepairWithoutItsPlugInSaysSo) {
    repairtest::TempFolder installed("summary-no-plugin");
    const fs::path tool = installed.Path() / fs::path(testsupport::ToolPath()).filename();
    fs::copy_file(testsupport::ToolPath(), tool);
    fs::create_directories(installed.Path() / "PellamDB");
    fs::copy_file(fs::path(testsupport::BuildDirectory()) / "PellamDB" / "dbtemplate.db",
                  installed.Path() / "PellamDB" / "dbtemplate.db");
    const struct {
        bool oldLayout;
        const char* resume;
    } cases[] = {
        {true,
         "Summary: 4 day folders converted; 0 location-days rebuilt, 0 rows from 0 recordings; the database plug-in "
         "could not be loaded"},
        {false, "Summary: nothing repaired: the database plug-in could not be loaded"},
    };
    for (const auto& c : cases) {
        const Storage storage;
        storage.Make(c.oldLayout);
        testsupport::AgeTree(storage.temp.Path());
        std::vector<std::string> args{"-p", storage.path.string()};
        if (!c.oldLayout) args.push_back("-o");
        const testsupport::ProcessResult result =
            testsupport::RunProcess(tool.string(), args, {installed.Path().string(), {{"TZ", "UTC"}}});
        EXPECT_EQ(Resume(result.out, false), c.resume) << result.out;
    }
}

// A reversion stopped between moving a location folder back and removing its
// day databases: a rerun removes them as it would have, and only those the
// tool placed. A database it did not place may be the recorder's, and stays.
TEST(Summary, ARerunOfTheReversionFinishesWhatAStoppedOneLeft) {
    const Storage storage;
    storage.Make(false);
    ASSERT_EQ(RunOn(storage, {"-o"}).exitCode, 0);
    const fs::path moved = storage.path / "1" / kDay;
    fs::create_directories(moved.parent_path());
    fs::rename(storage.Location(kDay, "1"), moved);  // where the stopped run had put it
    storagegen::WriteFile(moved / (kDay + ".db.old"), "the recorder's database\n");
    storagegen::WriteFile(moved / (kDay + ".db-journal"), "");
    fs::create_directory(moved / "DL");
    // Another one moved back, whose database a recorder writes: it stays.
    const fs::path held = storage.path / "2" / kDay;
    fs::create_directories(held.parent_path());
    fs::rename(storage.Location(kDay, "2"), held);
    // Another location-day of the old layout, with a database no run placed.
    const fs::path recorders = storage.path / "3" / kDay;
    fs::create_directories(recorders);
    storagegen::WriteFile(recorders / (kDay + ".db"), "the recorder's own\n");

    std::string out;
    {
        const Writer writer(held / (kDay + ".db"));
        out = RunOn(storage, {"-r"}).out;
    }
    EXPECT_EQ(Resume(out, true),
              "Summary: 2 location folders moved back; 3 day databases removed; 1 day database in the old layout not "
              "placed by Tolvane2 left (" +
                  (recorders / (kDay + ".db")).string() + ")");
    EXPECT_TRUE(fs::exists(held / (kDay + ".db")));
    for (const auto& name : {kDay + ".db", kDay + ".db.old", kDay + ".db-journal", std::string("DL")})
        EXPECT_FALSE(fs::exists(moved / name)) << name;
    EXPECT_EQ(storagegen::ReadFile(recorders / (kDay + ".db")), "the recorder's own\n");

    const std::string again = RunOn(storage, {"-r"}).out;
    // Its writer gone, the held one goes too; nothing is in the new layout any more.
    EXPECT_EQ(Resume(again, true),
              "Summary: 0 location folders moved back; 1 day database removed; 1 day database in the old layout not "
              "placed by Tolvane2 left (" +
                  (recorders / (kDay + ".db")).string() + ")");
    EXPECT_FALSE(fs::exists(held / (kDay + ".db")));
    EXPECT_NE(again.find("Cannot find any proper path to revert."), std::string::npos);
    EXPECT_EQ(storagegen::ReadFile(recorders / (kDay + ".db")), "the recorder's own\n");
}

// Recordings named by a recorder an hour east of UTC, read on a machine five
// hours west: one line says what the recorder's zone may have been. A camera
// zone field that alone differs says nothing.
TEST(Summary, ARecorderInAnotherZoneIsNamedOnce) {
    const struct {
        const char* name;
        int recorderHours;  // east of UTC: its names are that far ahead of the first packets
        std::uint8_t cameraZone;
        bool line;
    } cases[] = {
        {"recorder an hour east", 1, 44, true},
        {"only the cameras east", -5, 44, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Storage storage;
        const fs::path folder = storage.Location(kDay, "1");
        fs::create_directories(folder);
        for (int serial = 1; serial <= 3; ++serial) {
            repairtest::RecordingSpec recording;
            recording.startUtc = repairtest::UnixTime(kDay + " 10:00:00") + 60 * (serial - 1);
            recording.zoneIndex = c.cameraZone;
            const int hour = 10 + c.recorderHours;
            const std::string hh = (hour < 10 ? "0" : "") + std::to_string(hour);
            repairtest::WriteRecordingFile(folder / ("0000000" + std::to_string(serial) + "_" + kDay + "_" + hh + "0" +
                                                     std::to_string(serial - 1) + "00.3gp"),
                                           recording);
        }
        const std::string out = RunOn(storage, {"-o"}, "America/New_York").out;
        const auto at = out.find("RepairStorage - the recorder may have run at UTC+01:00");
        EXPECT_EQ(at != std::string::npos, c.line) << out;
        if (c.line) {
#ifndef _WIN32
            EXPECT_NE(out.find("TZ=Etc/GMT-1", at), std::string::npos) << out;
#endif
            EXPECT_LT(at, out.find("\nSummary: "));
        }
    }
}

}  // namespace
