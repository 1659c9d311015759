// The ways operators start and rerun the tool, on a storage whose location-days
// hold the recorder's own day databases. After every sequence of runs each
// location-day either has a fresh database with exactly one row per recording
// and the recorder's original beside it as <date>.db.old, or keeps the
// original untouched under its own name.

#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <boost/filesystem.hpp>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "repair_test_support.h"
#include "support/recorded_files.h"
#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

namespace {

const std::string kDay = "2012-03-03";
const std::vector<std::string> kLocations{"1", "2"};

enum class Layout { Old, New };
enum class Outcome { Rebuilt, Untouched, NoneAndNonePlaced };

std::string TemplatePath() { return testsupport::BuildDirectory() + "/PellamDB/dbtemplate.db"; }

std::string RecordingName(int serial) {
    return "0000000" + std::to_string(serial) + "_" + kDay + "_10000" + std::to_string(serial) + ".3gp";
}

// Held open by a connection of this process, as a recorder would.
class Holder {
public:
    Holder(const fs::path& database, const char* statement) {
        sqlite3_open(database.string().c_str(), &db_);
        sqlite3_exec(db_, statement, nullptr, nullptr, nullptr);
    }
    ~Holder() { sqlite3_close(db_); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

private:
    sqlite3* db_ = nullptr;
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A storage of two location-days of one day, and the runs made on it.
class StorageRuns {
public:
    fs::path Storage() const { return folder_.Path() / "storage"; }
    fs::path Folder(const std::string& location, Layout layout) const {
        return layout == Layout::New ? Storage() / kDay / location : Storage() / location / kDay;
    }
    fs::path Database(const std::string& location) const { return Storage() / kDay / location / (kDay + ".db"); }

    // Two recordings and the recorder's own database in every location-day.
    void MakeStorage(Layout layout) {
        for (const auto& location : kLocations) {
            const fs::path folder = Folder(location, layout);
            fs::create_directories(folder);
            for (int serial = 1; serial <= 2; ++serial) {
                repairtest::RecordingSpec recording;
                recording.startUtc = repairtest::kTenOClockUtc + static_cast<std::uint32_t>(serial);
                repairtest::WriteRecordingFile(folder / RecordingName(serial), recording);
            }
            const fs::path original = folder / (kDay + ".db");
            fs::copy_file(TemplatePath(), original);
            sqlite3* db = nullptr;
            sqlite3_open(original.string().c_str(), &db);
            sqlite3_exec(db, ("INSERT INTO MediaFileDiskMap(PathName) VALUES('recorder " + location + "')").c_str(),
                         nullptr, nullptr, nullptr);
            sqlite3_close(db);
            originals_.push_back(storagegen::ReadFile(original));
        }
    }

    void RunWith(const std::vector<std::string>& flags, const testsupport::ProcessOptions& options = {},
                 const std::string& shownPath = {}) {
        std::vector<std::string> args{"-p", shownPath.empty() ? Storage().string() : shownPath};
        args.insert(args.end(), flags.begin(), flags.end());
        testsupport::AgeTree(Storage());  // what the test wrote, the recorder wrote long ago
        const auto result = testsupport::RunTool(args, options);
        out_ += result.out;
        EXPECT_EQ(result.exitCode, 0);
    }

    void Expect(const std::string& location, Outcome outcome) {
        const std::size_t index = static_cast<std::size_t>(std::stoi(location) - 1);
        const fs::path database = Database(location);
        const std::string backup = database.string() + ".old";
        if (outcome == Outcome::NoneAndNonePlaced) {
            EXPECT_FALSE(fs::exists(database)) << location << out_;
            return;
        }
        if (outcome == Outcome::Untouched) {
            EXPECT_EQ(storagegen::ReadFile(database), originals_[index]) << location << out_;
            EXPECT_FALSE(fs::is_regular_file(backup)) << location << out_;
            return;
        }
        std::vector<std::string> names;
        for (const auto& row : repairtest::Query(database, "SELECT PathName FROM MediaFileDiskMap"))
            names.push_back(row[0]);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{RecordingName(1), RecordingName(2)})) << location << out_;
        ASSERT_TRUE(fs::exists(backup)) << location << out_;
        EXPECT_EQ(storagegen::ReadFile(backup), originals_[index]) << location << out_;
    }

    repairtest::TempFolder folder_{"operator-runs"};
    std::vector<std::string> originals_;
    std::string out_;
};

class OperatorRuns : public ::testing::Test, protected StorageRuns {};

// The roads, each run once or twice, as operators do.
TEST_F(OperatorRuns, EveryRoadAndRerunKeepsTheOriginalAndWritesEachRowOnce) {
    const struct {
        const char* name;
        Layout layout;
        std::vector<std::vector<std::string>> runs;
        std::function<void(const fs::path&)> between;  // after the first run
    } cases[] = {
        {"-p", Layout::Old, {{}}, {}},
        {"-p twice", Layout::Old, {{}, {}}, {}},
        {"-p then -o", Layout::Old, {{}, {"-o"}}, {}},
        {"-o", Layout::New, {{"-o"}}, {}},
        {"-o twice", Layout::New, {{"-o"}, {"-o"}}, {}},
        // What a run stopped in the middle of the repair leaves: the fresh
        // database holds part of its rows.
        {"-o stopped during the repair, then -o",
         Layout::New,
         {{"-o"}, {"-o"}},
         [](const fs::path& database) {
             sqlite3* db = nullptr;
             sqlite3_open(database.string().c_str(), &db);
             sqlite3_exec(db, "DELETE FROM MediaFileDiskMap WHERE rowid > 1", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StorageRuns run;
        run.MakeStorage(c.layout);
        for (std::size_t i = 0; i < c.runs.size(); ++i) {
            run.RunWith(c.runs[i]);
            if (i == 0 && c.between) c.between(run.Database("1"));
        }
        for (const auto& location : kLocations) run.Expect(location, Outcome::Rebuilt);
    }
}

// The ways a storage is named and the tool is started.
TEST_F(OperatorRuns, TheStorageIsRebuiltHoweverItIsNamedAndWhereverTheToolStarts) {
    MakeStorage(Layout::Old);
    const fs::path above = folder_.Path() / "mount";
    const fs::path link = folder_.Path() / "rec";
    boost::system::error_code linked;
    fs::create_directory_symlink(folder_.Path(), above, linked);
    if (!linked) fs::create_directory_symlink(Storage(), link, linked);
    const bool links = !linked && fs::is_symlink(fs::symlink_status(above));
    const repairtest::TempFolder elsewhere("operator-elsewhere");
    // Storages on another drive have no relative path.
    const std::string relative = fs::relative(Storage(), testsupport::BuildDirectory()).string();

    if (links) {
        RunWith({}, {}, link.string());                     // the storage through a link
        RunWith({"-o"}, {}, (above / "storage").string());  // a folder above it a link
    } else {
        RunWith({});  // the system makes no links here
    }
    if (relative.find("..") != std::string::npos) RunWith({"-o"}, {}, relative + "/");  // with .. and a trailing slash
    RunWith({"-o"}, {elsewhere.Path().string(), {}});                                   // started from another folder

    for (const auto& location : kLocations) Expect(location, Outcome::Rebuilt);
    EXPECT_EQ(out_.find("failed scRet"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("was not replaced"), std::string::npos) << out_;
}

// A recorder holding its database, inside a transaction or idle between two,
// keeps it as it is; the other location-days are rebuilt.
TEST_F(OperatorRuns, ADatabaseTheRecorderHoldsIsLeftAsItIs) {
    for (const char* hold : {"BEGIN IMMEDIATE", "SELECT 1"}) {
        SCOPED_TRACE(hold);
        StorageRuns run;
        run.MakeStorage(Layout::New);
        {
            const Holder recorder(run.Database("1"), hold);
            run.RunWith({"-o"});
        }
        // Idle holders show only through a lease, which some file systems never grant.
        if (std::string(hold) == "SELECT 1" && fs::exists(run.Database("1").string() + ".old")) continue;
        run.Expect("1", Outcome::Untouched);
        run.Expect("2", Outcome::Rebuilt);
        EXPECT_NE(run.out_.find("ParseFilesADay - " + run.Database("1").string() +
                                " was not replaced in this run, left as it was\n"),
                  std::string::npos)
            << run.out_;
    }
}

#ifdef FAULT_LIBRARY
class OperatorRunsWithFaults : public OperatorRuns {
protected:
    // The fault library preloaded, watching the storage.
    testsupport::ProcessOptions Faulted(const std::map<std::string, std::string>& settings) const {
        testsupport::ProcessOptions options;
        const std::string runtime = SANITIZER_RUNTIME;
        options.environment["LD_PRELOAD"] = runtime.empty() ? FAULT_LIBRARY : runtime + ":" + FAULT_LIBRARY;
        options.environment["TOLVANE2_FAULT_ROOT"] = fs::canonical(Storage()).string();
        for (const auto& setting : settings) options.environment[setting.first] = setting.second;
        return options;
    }
};

// The disk fills up while the first copy is written: that location-day keeps
// its database under its own name, the next one is rebuilt.
TEST_F(OperatorRunsWithFaults, ACopyThatCannotBeWrittenLeavesTheDatabaseInPlace) {
    MakeStorage(Layout::New);
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_AT", "1"}, {"TOLVANE2_FAULT_ACTION", "enospc"}}));
    const bool firstFailed = !fs::exists(Database("1").string() + ".old");
    Expect("1", firstFailed ? Outcome::Untouched : Outcome::Rebuilt);
    Expect("2", firstFailed ? Outcome::Rebuilt : Outcome::Untouched);
    EXPECT_NE(out_.find("\nSummary: 1 location-day rebuilt, 2 rows from 2 recordings; 1 location-day left as it was "
                        "(disk full 1)\n"),
              std::string::npos)
        << out_;
}

// The disk fills up while the rows go in: the résumé does not call that
// location-day rebuilt, whatever the closing line says.
TEST_F(OperatorRunsWithFaults, RowsThatCannotBeWrittenAreNoRebuild) {
    MakeStorage(Layout::New);
    const fs::path log = folder_.Path() / "calls.log";
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_LOG", log.string()}}));
    // The first write into a day database's journal: the rows begin there.
    std::istringstream calls(storagegen::ReadFile(log));
    std::string number;
    for (std::string line; std::getline(calls, line);) {
        if (line.find(".db-journal") != std::string::npos) {
            number = line.substr(0, line.find(' '));
            break;
        }
    }
    ASSERT_FALSE(number.empty());
    // The same storage made again, so that the same call comes at that number.
    fs::remove_all(Storage());
    MakeStorage(Layout::New);
    out_.clear();
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_AT", number}, {"TOLVANE2_FAULT_ACTION", "enospc"}}));
    EXPECT_NE(out_.find("\nSummary: 1 location-day rebuilt, "), std::string::npos) << out_;
    EXPECT_NE(out_.find("; 1 location-day with rows missing ("), std::string::npos) << out_;
}

// A copy reaches the disk before it gets a name that a later run would trust.
TEST_F(OperatorRunsWithFaults, TheCopyIsFlushedBeforeItIsNamed) {
    MakeStorage(Layout::New);
    const fs::path log = folder_.Path() / "calls.log";
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_LOG", log.string()}}));
    const std::string calls = storagegen::ReadFile(log);
    const std::string copy = fs::canonical(Database("1").parent_path()).string() + "/" + kDay + ".db.tmp";
    const auto flushed = calls.find(" fsync " + copy + "\n");
    const auto named = calls.find(" " + copy + " " + copy.substr(0, copy.size() - 4) + ".new\n");
    ASSERT_NE(named, std::string::npos) << calls;
    EXPECT_LT(flushed, named) << calls;
}

// A copy that cannot take its prepared name is not left under its partial one,
// whatever the reason the rename was refused for.
TEST_F(OperatorRunsWithFaults, ACopyThatCannotBeNamedIsNotLeftBehind) {
    MakeStorage(Layout::New);
    const fs::path log = folder_.Path() / "calls.log";
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_LOG", log.string()}}));
    std::istringstream calls(storagegen::ReadFile(log));
    const std::string partial = " " + fs::canonical(Database("1").parent_path()).string() + "/" + kDay + ".db.tmp ";
    std::string number;
    for (std::string line; std::getline(calls, line) && number.empty();) {
        if (line.find(" rename") != std::string::npos && line.find(partial) != std::string::npos)
            number = line.substr(0, line.find(' '));
    }
    ASSERT_FALSE(number.empty());
    fs::remove_all(Storage());
    MakeStorage(Layout::New);
    RunWith({"-o"}, Faulted({{"TOLVANE2_FAULT_AT", number}, {"TOLVANE2_FAULT_ACTION", "eperm"}}));
    EXPECT_FALSE(fs::exists(Database("1").string() + ".tmp"));
    Expect("1", Outcome::Untouched);
}

// Where the file system cannot refuse a rename or swap two names, the tool
// looks before it renames: an existing destination, even an empty folder
// that a plain rename would replace, is never merged into.
TEST_F(OperatorRunsWithFaults, WithoutARenameThatRefusesNothingIsReplaced) {
    MakeStorage(Layout::Old);
    fs::create_directories(Folder("1", Layout::New));
    RunWith({}, Faulted({{"TOLVANE2_FAULT_NO_RENAME2", "1"}}));
    EXPECT_TRUE(fs::exists(Folder("1", Layout::Old) / RecordingName(1))) << out_;
    EXPECT_EQ(storagegen::ReadFile(Folder("1", Layout::Old) / (kDay + ".db")), originals_[0]);
    Expect("2", Outcome::Rebuilt);
}
#endif

// A recorder's database in WAL mode, its last rows still only in its log, is
// set aside together with the log: the backup still holds them.
TEST_F(OperatorRuns, AWalDatabaseIsSetAsideWithItsLog) {
    MakeStorage(Layout::New);
    const fs::path database = Database("1");
    const fs::path scratch = folder_.Path() / "wal";
    fs::create_directory(scratch);
    sqlite3* db = nullptr;
    sqlite3_open((scratch / "wal.db").string().c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; CREATE TABLE MediaFileDiskMap(PathName);"
                 "INSERT INTO MediaFileDiskMap VALUES('only in the log')",
                 nullptr, nullptr, nullptr);
    // Copied while the connection is open: the rows are in the log alone.
    fs::remove(database);
    fs::copy_file(scratch / "wal.db", database);
    fs::copy_file(scratch / "wal.db-wal", database.string() + "-wal");
    sqlite3_close(db);
    RunWith({"-o"});
    EXPECT_FALSE(fs::exists(database.string() + "-wal")) << out_;
    EXPECT_EQ(repairtest::Query(database.string() + ".old", "SELECT PathName FROM MediaFileDiskMap"),
              (repairtest::Rows{{"only in the log"}}))
        << out_;
    EXPECT_EQ(repairtest::Query(database, "SELECT COUNT(*) FROM MediaFileDiskMap"), (repairtest::Rows{{"2"}}));
}

#ifndef _WIN32
// The copy stays the recorder's: its owner, group and mode are those of the
// database it replaces. And a run as another account, which the system will
// not tell whether the recorder has a database open, leaves every one alone.
TEST_F(OperatorRuns, CopiesKeepTheRecordersOwnershipAndOtherAccountsLeaveDatabasesAlone) {
    if (geteuid() != 0) GTEST_SKIP() << "needs to act as two accounts";
    // Owner and group differ, so a swap of the two shows.
    constexpr uid_t kRecorder = 1234;
    constexpr gid_t kRecorders = 5678;
    MakeStorage(Layout::New);
    ASSERT_EQ(chown(Database("1").c_str(), kRecorder, kRecorders), 0);
    ASSERT_EQ(chmod(Database("1").c_str(), 0660), 0);
    RunWith({"-o"});
    struct stat placed {};
    ASSERT_EQ(stat(Database("1").c_str(), &placed), 0);
    EXPECT_EQ(placed.st_uid, kRecorder);
    EXPECT_EQ(placed.st_gid, kRecorders);
    EXPECT_EQ(placed.st_mode & 07777, 0660u);

    StorageRuns other;
    other.MakeStorage(Layout::New);
    for (const auto& folder : {other.Storage(), other.Storage() / kDay, other.Storage() / kDay / "1",
                               other.Storage() / kDay / "2", other.Database("1"), other.Database("2")}) {
        ASSERT_EQ(chmod(folder.c_str(), fs::is_directory(folder) ? 0777 : 0666), 0);
    }
    // The recorder is reading the first inside a transaction: that much the
    // lock bytes tell, lease or not, when the probe asks for them all to write.
    std::optional<Holder> recorder;
    recorder.emplace(other.Database("1"), "BEGIN; SELECT count(*) FROM sqlite_master");
    testsupport::AgeTree(other.Storage());
    const auto result = testsupport::RunProcess("/usr/bin/setpriv",
                                                {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                 testsupport::ToolPath(), "-p", other.Storage().string(), "-o"},
                                                {testsupport::BuildDirectory(), {}});
    if (result.exitCode != 0) GTEST_SKIP() << "cannot run as another account: " << result.err;
    other.out_ = result.out;
    for (const auto& location : kLocations) other.Expect(location, Outcome::Untouched);
    EXPECT_NE(result.out.find(other.Database("1").string() + "or" + other.Database("1").string() + ".oldis locked!"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("CopyTemplateDB - 1 day database(s) left as they were"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\nSummary: 0 location-days rebuilt, 0 rows from 0 recordings; 2 location-days left as "
                              "they were (in use 1, whether in use cannot be told 1)\n"),
              std::string::npos)
        << result.out;

    // Moving back: the one held is in use, the other cannot be told; neither
    // is said to be in use wrongly. Reading the database above let this
    // process's locks go, as POSIX has it: the recorder takes them again.
    recorder.reset();
    recorder.emplace(other.Database("1"), "BEGIN; SELECT count(*) FROM sqlite_master");
    const auto reverted = testsupport::RunProcess("/usr/bin/setpriv",
                                                  {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                   testsupport::ToolPath(), "-p", other.Storage().string(), "-r"},
                                                  {testsupport::BuildDirectory(), {}});
    EXPECT_EQ(Count(reverted.out, "RevertDirectoryStructure - some files are in use!"), 1u) << reverted.out;
    EXPECT_NE(reverted.out.find("RevertDirectoryStructure - 1 day database(s) left as they were"), std::string::npos)
        << reverted.out;
    EXPECT_NE(reverted.out.find("\nSummary: 0 location folders moved back, 2 left (in use 1, whether in use cannot be "
                                "told 1); 0 day databases removed\n"),
              std::string::npos)
        << reverted.out;
}
#endif

// What an operator or an earlier run may have left under the tool's own names.
TEST_F(OperatorRuns, LeftoversThatAreNotTheToolsOwnStopOnlyTheirLocationDay) {
    const fs::path outside = folder_.Path() / "outside.db";
    storagegen::WriteFile(outside, "the operator's own file\n");
    // What a conversion stopped between moving a location-day and installing
    // its copy leaves; the next conversion finishes it before anything else.
    const auto ownCopy = [] { return storagegen::ReadFile(TemplatePath()).replace(68, 4, "Tlv2"); };
    const auto completeCopy = [&](const fs::path& db) { storagegen::WriteFile(db.string() + ".new", ownCopy()); };
    const struct {
        const char* name;
        std::function<void(const fs::path&)> leave;
        Outcome outcome;
        std::vector<std::string> flags = {"-o"};
        Outcome second = Outcome::Rebuilt;
    } cases[] = {
        {"a foreign .db.new", [](const fs::path& db) { storagegen::WriteFile(db.string() + ".new", "notes\n"); },
         Outcome::Untouched},
        {"a .db.new linking outside",
         [&](const fs::path& db) {
             boost::system::error_code unsupported;
             fs::create_symlink(outside, db.string() + ".new", unsupported);
             if (!fs::is_symlink(fs::symlink_status(db.string() + ".new"))) fs::remove(db.string() + ".new");
         },
         Outcome::Untouched},
        {"a .db.tmp folder", [](const fs::path& db) { fs::create_directory(db.string() + ".tmp"); },
         Outcome::Untouched},
        {"a foreign .db.tmp", [](const fs::path& db) { storagegen::WriteFile(db.string() + ".tmp", "notes\n"); },
         Outcome::Untouched},
        {"a beginning of the tool's own copy",
         [&](const fs::path& db) { storagegen::WriteFile(db.string() + ".tmp", ownCopy().substr(0, 100)); },
         Outcome::Rebuilt},
        // A fresh database beside it would be rolled back into garbage.
        {"the journal of a database that is gone",
         [](const fs::path& db) {
             fs::remove(db);
             storagegen::WriteFile(db.string() + "-journal", "journal\n");
         },
         Outcome::NoneAndNonePlaced},
        // Whose journal either is cannot be told once both have one.
        {"journals beside the database and beside its backup's name",
         [](const fs::path& db) {
             storagegen::WriteFile(db.string() + "-journal", std::string(512, '\0'));
             storagegen::WriteFile(db.string() + ".old-journal", "journal\n");
         },
         Outcome::Untouched},
        {"a folder under the backup's name", [](const fs::path& db) { fs::create_directory(db.string() + ".old"); },
         Outcome::Untouched},
        {"a complete copy of the tool's own", completeCopy, Outcome::Rebuilt},
        // Stopped while the copy was being swapped in, after it had been prepared again.
        {"the tool's own copy under the swapping name and a prepared one",
         [&](const fs::path& db) {
             completeCopy(db);
             storagegen::WriteFile(db.string() + ".swap", ownCopy());
         },
         Outcome::Rebuilt},
        // Nothing moves, so only the finished location-day is placed and rebuilt.
        {"a complete copy, then a conversion", completeCopy, Outcome::Rebuilt, {}, Outcome::Untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StorageRuns run;
        run.MakeStorage(Layout::New);
        c.leave(run.Database("1"));
        const bool noLink = std::string(c.name) == "a .db.new linking outside" &&
                            !fs::exists(fs::symlink_status(run.Database("1").string() + ".new"));
        if (noLink) continue;  // the system made no link here
        run.RunWith(c.flags);
        run.Expect("1", c.outcome);
        run.Expect("2", c.second);
    }
    EXPECT_EQ(storagegen::ReadFile(outside), "the operator's own file\n");
}

// The tool and its plug-in on their own, with the given template beside them
// (none: empty bytes); every run starts from that folder.
class InstalledElsewhere {
public:
    explicit InstalledElsewhere(const std::string& templateBytes) {
        fs::copy_file(testsupport::ToolPath(), tool_);
        for (const char* plugin : {"Strata_SQLite.so", "Strata_SQLite.dll"}) {
            const fs::path built = fs::path(testsupport::BuildDirectory()) / plugin;
            if (fs::exists(built)) fs::copy_file(built, folder_.Path() / plugin);
        }
        if (!templateBytes.empty()) storagegen::WriteFile(folder_.Path() / "PellamDB" / "dbtemplate.db", templateBytes);
    }
    std::string Run(const fs::path& storage, const std::vector<std::string>& flags) const {
        std::vector<std::string> args{"-p", storage.string()};
        args.insert(args.end(), flags.begin(), flags.end());
        testsupport::AgeTree(storage);
        return testsupport::RunProcess(tool_.string(), args, {folder_.Path().string(), {}}).out;
    }

private:
    repairtest::TempFolder folder_{"operator-installed"};
    fs::path tool_ = folder_.Path() / fs::path(testsupport::ToolPath()).filename();
};

// Without a template anywhere nothing is set aside: every database stays
// under its own name, byte for byte, and the conversion still moves folders.
TEST_F(OperatorRuns, WithoutATemplateAnywhereEveryOriginalStaysInPlace) {
    MakeStorage(Layout::Old);
    const InstalledElsewhere bare("");
    for (const std::vector<std::string>& flags : {std::vector<std::string>{}, {"-o"}})
        out_ += bare.Run(Storage(), flags);
    for (const auto& location : kLocations) Expect(location, Outcome::Untouched);
}

// A template with an application id of its own cannot mark its copies: a
// rerun then never replaces the backup, which may be the original.
TEST_F(OperatorRuns, ATemplateThatCannotBeMarkedNeverReplacesTheBackup) {
    MakeStorage(Layout::New);
    std::string own = storagegen::ReadFile(TemplatePath());
    own.replace(68, 4, std::string("\0\0\0\x05", 4));
    const InstalledElsewhere installed(own);
    for (int run = 0; run < 2; ++run) out_ += installed.Run(Storage(), {"-o"});
    for (const auto& location : kLocations) {
        EXPECT_EQ(storagegen::ReadFile(Database(location).string() + ".old"),
                  originals_[static_cast<std::size_t>(std::stoi(location) - 1)]);
        EXPECT_TRUE(fs::exists(Database(location).string() + ".prev")) << location;
    }
    EXPECT_NE(out_.find("CopyTemplateDB - " + fs::path("PellamDB/dbtemplate.db").make_preferred().string() +
                        " carries an application id of its own (0x5)"),
              std::string::npos)
        << out_;
}

}  // namespace
