// Crashes, full disks and failing disks in the middle of a road. The tool runs
// on a small storage with real recordings and earlier day databases, with a
// preloaded library that kills it, or fails one call with ENOSPC or EIO, at the
// N-th call that changes a file of the storage; then it runs again undisturbed,
// as an operator would (a conversion again, then a repair of the databases).
// No recording may be lost or doubled, no day database may be left empty or
// broken or hold a row twice, the recorder's original database is never lost,
// and after the reruns the day databases and their backups hold exactly the
// rows that the same runs leave when never disturbed.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <boost/filesystem.hpp>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "repair/repair_test_support.h"
#include "storage/storage_test_support.h"
#include "support/recorded_files.h"
#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace {

namespace fs = boost::filesystem;
using storagegen::Structure;
using storagetest::TempFolder;

const std::vector<std::string> kLocations{"1", "2"};
const std::vector<std::string> kDays{"2012-03-03", "2012-03-04"};
constexpr unsigned kRecordingsPerFolder = 2;
// Calls after the template placement are sampled with this stride (the first,
// the last and every call up to the first write of a rebuilt database are all
// faulted): the rebuild's calls repeat the same few shapes per location.
constexpr unsigned long kRebuildStride = 3;

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Wherever a run may leave a day database: in place, as a backup, or on its
// way between the two.
bool IsDayDatabase(const fs::path& file) {
    const std::string name = file.filename().string();
    for (const char* suffix : {".db", ".db.old", ".db.prev", ".db.new", ".db.swap"})
        if (EndsWith(name, suffix)) return true;
    return false;
}

const char* const kCompanions[] = {"-journal", "-wal", "-shm"};

bool IsCompanion(const fs::path& file) {
    for (const char* suffix : kCompanions)
        if (EndsWith(file.string(), suffix)) return true;
    return false;
}

// ---- SQLite, read as the next reader of the storage would ----------------

class Database {
public:
    explicit Database(const fs::path& file) {
        if (sqlite3_open_v2(file.string().c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            error_ = db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open";
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Every row of a statement, its columns joined by "|"; false with the
    // error in error() when it fails.
    bool Rows(const std::string& sql, std::vector<std::string>& rows) {
        if (!error_.empty()) return false;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            error_ = sqlite3_errmsg(db_);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const unsigned char* text = sqlite3_column_text(statement, i);
                row += (i > 0 ? "|" : "") + std::string(text != nullptr ? reinterpret_cast<const char*>(text) : "");
            }
            rows.push_back(row);
        }
        if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
        sqlite3_finalize(statement);
        return error_.empty();
    }
    const std::string& error() const { return error_; }

private:
    sqlite3* db_ = nullptr;
    std::string error_;
};

// A multiset, so that a row written twice shows.
using RowSet = std::multiset<std::string>;

// Checks a day database as SQLite would find it with its companions (a hot
// journal is rolled back, in a copy, so the storage itself stays as the run
// left it) and reads its rows from both tables. Returns what is wrong, or "".
std::string ReadDayDatabase(const fs::path& file, const fs::path& scratch, RowSet& rows) {
    if (fs::file_size(file) == 0) return "empty file";
    fs::create_directory(scratch);
    const fs::path copy = scratch / file.filename();
    fs::copy_file(file, copy);
    for (const char* suffix : kCompanions) {
        const fs::path companion = file.string() + suffix;
        if (fs::exists(companion)) fs::copy_file(companion, copy.string() + suffix);
    }
    Database db(copy);
    std::vector<std::string> check;
    if (!db.Rows("PRAGMA integrity_check", check)) return "integrity_check failed: " + db.error();
    if (check != std::vector<std::string>{"ok"}) return "integrity_check: " + check.front();
    for (const char* table : {"TimeInterval", "MediaFileDiskMap"}) {
        std::vector<std::string> tableRows;
        if (!db.Rows(std::string("SELECT * FROM ") + table, tableRows)) return table + (": " + db.error());
        for (const auto& row : tableRows) rows.insert(table + ("|" + row));
    }
    return "";
}

void Execute(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!ok) throw std::runtime_error("cannot execute " + sql + " on " + file.string());
}

// ---- The storage ----------------------------------------------------------

// A day database from the template holding one row per table; the file's row
// names it, so that it can be found wherever the run leaves it.
void WriteEarlierDatabase(const fs::path& file, const std::string& label) {
    storagegen::WriteFile(file, storagetest::TemplateBytes());
    Execute(file, "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial, PathName) VALUES(9, 1, '" + label +
                      "');"
                      "INSERT INTO TimeInterval (IntervalSerial, StartRecordTime, EndRecordTime) VALUES(1, 5, 6)");
}

std::string EarlierLabel(const std::string& location, const std::string& day) {
    return "earlier day database " + location + " " + day;
}

// Every location-day holds two real recordings (distinct bytes everywhere),
// its day database, an older backup and an empty daylight-saving marker.
void MakeStorage(const fs::path& storage, Structure structure) {
    for (std::size_t l = 0; l < kLocations.size(); ++l) {
        for (const std::string& day : kDays) {
            const auto recordings =
                storagegen::MakeLocationDay(storage, structure, kLocations[l], day,
                                            {kRecordingsPerFolder, false, false, storagegen::Marker::Empty});
            for (std::size_t r = 0; r < recordings.size(); ++r) {
                repairtest::RecordingSpec recording;
                recording.startUtc = repairtest::UnixTime(day + " 10:0" + std::to_string(r) + ":00");
                recording.spanSeconds = 20;
                recording.startMilliseconds = static_cast<std::uint16_t>(100 * l);
                repairtest::WriteRecordingFile(recordings[r], recording);
            }
            const fs::path folder = storagegen::FolderOf(storage, structure, kLocations[l], day);
            WriteEarlierDatabase(folder / (day + ".db"), EarlierLabel(kLocations[l], day));
            WriteEarlierDatabase(folder / (day + ".db.old"), "older backup " + kLocations[l] + " " + day);
        }
    }
}

// What a run left behind.
struct Snapshot {
    std::map<std::string, std::uint64_t> recordings;  // relative path -> digest
    std::map<std::string, RowSet> databases;          // relative path of each day database and backup -> rows
    std::set<std::string> files;                      // every other regular file but SQLite's companions
    std::vector<std::string> problems;
};

Snapshot Inspect(const fs::path& storage) {
    Snapshot snapshot;
    const TempFolder scratch;
    const auto digests = storagetest::DigestFiles(storage);
    for (const auto& [relative, digest] : digests) {
        const fs::path file = storage / relative;
        if (file.extension() == ".3gp") {
            snapshot.recordings[relative] = digest;
        } else if (IsDayDatabase(file)) {
            const fs::path own = scratch.path() / std::to_string(snapshot.databases.size());
            const std::string problem = ReadDayDatabase(file, own, snapshot.databases[relative]);
            if (!problem.empty()) snapshot.problems.push_back(relative + ": " + problem);
        } else if (!IsCompanion(file)) {
            snapshot.files.insert(relative);
        }
    }
    return snapshot;
}

// ---- Running the tool -----------------------------------------------------

struct Fault {
    unsigned long at = 0;  // 0: only count the calls
    std::string action;
    fs::path log;
};

// The sweep runs the tool hundreds of times, and syncs on a disk would take
// most of its time: the storages go to a memory file system when there is one
// and no other temporary folder is asked for.
void UseMemoryFileSystem() {
    if (std::getenv("TMPDIR") == nullptr && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
}

testsupport::ProcessResult RunRoad(const fs::path& storage, const std::vector<std::string>& flags,
                                   const Fault* fault = nullptr) {
    std::vector<std::string> args{"-p", storage.string()};
    args.insert(args.end(), flags.begin(), flags.end());
    testsupport::ProcessOptions options;
    options.environment["TZ"] = "UTC";
    if (fault != nullptr) {
        const std::string runtime = SANITIZER_RUNTIME;
        options.environment["LD_PRELOAD"] = runtime.empty() ? FAULT_LIBRARY : runtime + ":" + FAULT_LIBRARY;
        options.environment["TOLVANE2_FAULT_ROOT"] = storage.string();
        options.environment["TOLVANE2_FAULT_AT"] = std::to_string(fault->at);
        options.environment["TOLVANE2_FAULT_ACTION"] = fault->action;
        if (!fault->log.empty()) options.environment["TOLVANE2_FAULT_LOG"] = fault->log.string();
    }
    testsupport::AgeTree(storage);  // copied just now, written by the recorder long ago
    return testsupport::RunTool(args, options);
}

std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file.string());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The calls of an undisturbed run, one line each, as the library logs them.
std::vector<std::string> CountCalls(const fs::path& pristine, const std::vector<std::string>& flags) {
    const TempFolder folder;
    const TempFolder logFolder;
    storagetest::CopyTree(pristine, folder.path());
    Fault counting;
    counting.log = logFolder.path() / "calls";
    RunRoad(folder.path(), flags, &counting);
    return ReadLines(counting.log);
}

// The calls to fault: every call until the rebuild first writes a database
// (the template placement and the moves), then a sample, then the last.
std::vector<unsigned long> CallsToFault(const std::vector<std::string>& calls) {
    std::vector<unsigned long> chosen;
    bool rebuilding = false;
    for (unsigned long n = 1; n <= calls.size(); ++n) {
        const std::string& call = calls[n - 1];
        rebuilding =
            rebuilding || call.find(".db-journal") != std::string::npos || call.find(".db-wal") != std::string::npos;
        if (!rebuilding || n % kRebuildStride == 0 || n == calls.size()) chosen.push_back(n);
    }
    return chosen;
}

// ---- The sweep ------------------------------------------------------------

struct Road {
    const char* name;
    std::vector<std::string> flags;
    Structure structure;
    bool keepsDatabases;                           // the reversion deletes them
    std::vector<std::vector<std::string>> reruns;  // what the operator runs next
};

struct SweepCase {
    Road road;
    const char* action;
};

void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.road.name << " " << c.action; }

const Road kConvert{"convert", {}, Structure::Old, true, {{}, {"-o"}}};
const Road kDatabaseOnly{"dbonly", {"-o"}, Structure::New, true, {{"-o"}}};
const Road kRevert{"revert", {"-r"}, Structure::New, false, {{"-r"}}};

const SweepCase kCases[] = {
    {kConvert, "kill"},      {kConvert, "enospc"},      {kConvert, "eio"},
    {kDatabaseOnly, "kill"}, {kDatabaseOnly, "enospc"}, {kDatabaseOnly, "eio"},
    {kRevert, "kill"},       {kRevert, "enospc"},       {kRevert, "eio"},
};

std::multiset<std::uint64_t> Digests(const std::map<std::string, std::uint64_t>& recordings) {
    std::multiset<std::uint64_t> digests;
    for (const auto& entry : recordings) digests.insert(entry.second);
    return digests;
}

// The tool's own backups (.db.prev) are left out: whether one exists depends
// on where an earlier run was stopped.
std::set<std::string> DatabaseFiles(const Snapshot& snapshot) {
    std::set<std::string> names;
    for (const auto& entry : snapshot.databases)
        if (!EndsWith(entry.first, ".db.prev")) names.insert(entry.first);
    return names;
}

// Recordings by path and digest, for messages.
std::vector<std::string> Listing(const std::map<std::string, std::uint64_t>& recordings) {
    std::vector<std::string> lines;
    for (const auto& [path, digest] : recordings) lines.push_back(path + " " + std::to_string(digest));
    return lines;
}

// One item a line, indented by `depth` steps.
template <typename Container>
std::string Join(const Container& items, int depth) {
    std::ostringstream text;
    for (const auto& item : items) text << '\n' << std::string(3 * depth, ' ') << item;
    return text.str();
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {
protected:
    static void SetUpTestSuite() { UseMemoryFileSystem(); }

    void SetUp() override {
        MakeStorage(pristine_.path(), road().structure);
        before_ = Inspect(pristine_.path());
        const TempFolder folder;
        storagetest::CopyTree(pristine_.path(), folder.path());
        ASSERT_EQ(RunRoad(folder.path(), road().flags).exitCode, 0);
        for (const auto& rerun : road().reruns) ASSERT_EQ(RunRoad(folder.path(), rerun).exitCode, 0);
        reference_ = Inspect(folder.path());
        ASSERT_EQ(reference_.problems, std::vector<std::string>{});
        ASSERT_EQ(reference_.recordings.size(), kLocations.size() * kDays.size() * kRecordingsPerFolder);
    }

    const Road& road() const { return GetParam().road; }

    // What is wrong right after the disturbed run: recordings lost or doubled,
    // broken day databases, earlier databases gone.
    std::vector<std::string> AfterFault(const Snapshot& state) const {
        std::vector<std::string> problems = state.problems;
        if (Digests(state.recordings) != Digests(before_.recordings))
            problems.push_back("recordings are not each there once:" + Join(Listing(state.recordings), 3));
        if (!road().keepsDatabases) return problems;
        // Wherever the run left it, as the database or its backup.
        const auto holds = [&](const std::string& label) {
            for (const auto& entry : state.databases)
                for (const auto& row : entry.second)
                    if (row.find("|" + label + "|") != std::string::npos) return true;
            return false;
        };
        for (const auto& location : kLocations)
            for (const auto& day : kDays)
                if (!holds(EarlierLabel(location, day)))
                    problems.push_back("the earlier day database of " + location + " " + day + " is lost");
        for (const auto& [relative, rows] : state.databases)
            if (std::set<std::string>(rows.begin(), rows.end()).size() != rows.size())
                problems.push_back(relative + " holds a row twice:" + Join(rows, 3));
        return problems;
    }

    // What is wrong after the undisturbed rerun: anything that differs from a
    // run that was never disturbed.
    std::vector<std::string> AfterRerun(const Snapshot& state) const {
        std::vector<std::string> problems = state.problems;
        if (state.recordings != reference_.recordings)
            problems.push_back("recordings differ from an undisturbed run:" + Join(Listing(state.recordings), 3));
        if (state.files != reference_.files) problems.push_back("files left behind:" + Join(state.files, 3));
        if (!road().keepsDatabases) return problems;
        for (const auto& [relative, rows] : state.databases)
            if (std::set<std::string>(rows.begin(), rows.end()).size() != rows.size())
                problems.push_back(relative + " holds a row twice:" + Join(rows, 3));
        if (DatabaseFiles(state) != DatabaseFiles(reference_))
            problems.push_back("day databases differ from an undisturbed run:" + Join(DatabaseFiles(state), 3));
        // The rebuilt databases and the originals; what an earlier run of the
        // tool left as its own backup depends on where it was stopped.
        for (const auto& [relative, rows] : reference_.databases) {
            if (!EndsWith(relative, ".db") && !EndsWith(relative, ".db.old")) continue;
            const auto found = state.databases.find(relative);
            if (found != state.databases.end() && found->second != rows)
                problems.push_back(relative + " holds other rows than an undisturbed run:" + Join(found->second, 3));
        }
        return problems;
    }

    // Runs the road disturbed at call n, then undisturbed; returns what went wrong.
    std::vector<std::string> DisturbAndRerun(unsigned long n) const {
        const TempFolder folder;
        storagetest::CopyTree(pristine_.path(), folder.path());
        Fault fault;
        fault.at = n;
        fault.action = GetParam().action;
        const auto disturbed = RunRoad(folder.path(), road().flags, &fault);
        std::vector<std::string> problems;
        if (fault.action != "kill" && disturbed.exitCode != 0)
            problems.push_back("disturbed run ended with " + std::to_string(disturbed.exitCode) + ": " + disturbed.err);
        for (const auto& problem : AfterFault(Inspect(folder.path())))
            problems.push_back("after the fault: " + problem);
        for (const auto& flags : road().reruns) {
            const auto rerun = RunRoad(folder.path(), flags);
            if (rerun.exitCode != 0)
                problems.push_back("rerun ended with " + std::to_string(rerun.exitCode) + ": " + rerun.err);
        }
        for (const auto& problem : AfterRerun(Inspect(folder.path())))
            problems.push_back("after the rerun: " + problem);
        return problems;
    }

    TempFolder pristine_;
    Snapshot before_;
    Snapshot reference_;
};

TEST_P(FaultSweep, NoRecordingOrDayDatabaseIsLostOrBrokenAndARerunRepairsAll) {
    const auto calls = CountCalls(pristine_.path(), road().flags);
    ASSERT_FALSE(calls.empty());
    const auto chosen = CallsToFault(calls);
    std::vector<std::string> failures;
    for (const unsigned long n : chosen) {
        const auto problems = DisturbAndRerun(n);
        if (!problems.empty()) failures.push_back("call " + calls[n - 1] + Join(problems, 2));
    }
    constexpr std::size_t kShown = 12;
    const std::vector<std::string> shown(failures.begin(), failures.begin() + std::min(failures.size(), kShown));
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << chosen.size() << " faulted calls (of " << calls.size()
                                  << ") went wrong; the first ones:" << Join(shown, 1);
}

// One logged call: its name and the path(s) it acted on.
struct LoggedCall {
    std::string name, path, second;
};

std::vector<LoggedCall> ParseCalls(const std::vector<std::string>& lines) {
    std::vector<LoggedCall> calls;
    for (const std::string& text : lines) {
        std::istringstream line(text);
        std::string number;
        LoggedCall call;
        line >> number >> call.name >> call.path >> call.second;
        calls.push_back(call);
    }
    return calls;
}

bool IsRename(const LoggedCall& call) { return call.name.rfind("rename", 0) == 0; }

// A change is durable only once the folder holding the new name is flushed:
// a power cut before that can bring back what the change replaced. Each rule:
// after the last call that `after` matches (before `before`), and before the
// first call that `before` matches, the folder is flushed.
TEST(FaultLog, FoldersAreFlushedAfterEachChangeTheNextStepReliesOn) {
    const TempFolder pristine;
    MakeStorage(pristine.path(), Structure::Old);
    const std::vector<std::string> lines = CountCalls(pristine.path(), {});
    const std::vector<LoggedCall> calls = ParseCalls(lines);
    const auto first = [&](std::size_t from, const std::function<bool(const LoggedCall&)>& matches) {
        for (std::size_t n = from; n < calls.size(); ++n)
            if (matches(calls[n])) return n;
        return calls.size();
    };
    const auto flushedBetween = [&](std::size_t from, std::size_t to, const std::string& folder) {
        for (std::size_t n = from + 1; n < to && n < calls.size(); ++n)
            if (calls[n].name == "fsync" && EndsWith(calls[n].path, folder)) return true;
        return false;
    };
    for (const auto& location : kLocations) {
        // The old location folder, emptied and removed: its parent is flushed after.
        const std::size_t removed = first(0, [&](const LoggedCall& c) {
            return (c.name == "rmdir" || c.name == "unlinkat") && EndsWith(c.path, "/" + location);
        });
        ASSERT_LT(removed, calls.size()) << Join(lines, 1);
        const std::string storage = calls[removed].path.substr(0, calls[removed].path.size() - location.size() - 1);
        EXPECT_LT(first(removed, [&](const LoggedCall& c) { return c.name == "fsync" && c.path == storage; }),
                  calls.size())
            << "the storage after " << location << " left";
        for (const auto& day : kDays) {
            SCOPED_TRACE(day + "/" + location);
            const std::string folder = "/" + day + "/" + location, database = folder + "/" + day + ".db";
            const std::string journal = database + "-journal";
            const auto touchesJournal = [&](const LoggedCall& c) { return EndsWith(c.path, journal); };
            // The location-day moved into its new day folder: both folders are
            // flushed before its day database is put in place.
            const std::size_t moved = first(0, [&](const LoggedCall& c) {
                return IsRename(c) && EndsWith(c.path, "/" + location + "/" + day) && EndsWith(c.second, folder);
            });
            ASSERT_LT(moved, calls.size()) << Join(lines, 1);
            const std::size_t install = first(moved, [&](const LoggedCall& c) {
                return IsRename(c) && (EndsWith(c.path, database) || EndsWith(c.second, database));
            });
            ASSERT_LT(install, calls.size());
            EXPECT_TRUE(flushedBetween(moved, install, "/" + day)) << "the new day folder";
            EXPECT_TRUE(flushedBetween(moved, install, "/" + location)) << "the old location folder";
            // The copy installed: flushed before the first row goes in.
            const std::size_t firstRow = first(install, touchesJournal);
            ASSERT_LT(firstRow, calls.size());
            std::size_t lastInstall = install;
            for (std::size_t n = install; n < firstRow; ++n)
                if (IsRename(calls[n]) && (EndsWith(calls[n].path, database) || EndsWith(calls[n].second, database)))
                    lastInstall = n;
            EXPECT_TRUE(flushedBetween(lastInstall, firstRow, folder)) << "the installed copy";
            // Deleting its journal commits the database: flushed after the last commit.
            std::size_t lastCommit = calls.size();
            for (std::size_t n = 0; n < calls.size(); ++n)
                if (calls[n].name.rfind("unlink", 0) == 0 && touchesJournal(calls[n])) lastCommit = n;
            ASSERT_LT(lastCommit, calls.size()) << "never committed";
            EXPECT_TRUE(flushedBetween(lastCommit, calls.size(), folder)) << "the last commit";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, FaultSweep, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                             return std::string(info.param.road.name) + "_" + info.param.action;
                         });

}  // namespace
