// The tool run beside a recorder that keeps recording: what it records now
// is left as it was on every road, a recorder without a busy timeout never
// fails an insert because of the tool, and the folders the tool makes stay
// the recorder's.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <boost/filesystem.hpp>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "repair/repair_test_support.h"
#include "support/process.h"
#include "support/recorded_files.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

namespace {

const std::string kEarlier = "2012-03-03";
const std::string kToday = "2012-03-04";
const std::vector<std::string> kLocations = {"1", "2"};

fs::path TemplatePath() { return fs::path(testsupport::BuildDirectory()) / "PellamDB" / "dbtemplate.db"; }

// The recorder's own database with one row of its own.
void WriteRecorderDatabase(const fs::path& database) {
    fs::copy_file(TemplatePath(), database);
    sqlite3* db = nullptr;
    sqlite3_open(database.string().c_str(), &db);
    sqlite3_exec(db, "INSERT INTO MediaFileDiskMap(PathName) VALUES('recorder')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

long Count(const fs::path& database, const std::string& table) {
    const repairtest::Rows rows = repairtest::Query(database, "SELECT COUNT(*) FROM " + table);
    return std::stol(rows.at(0).at(0));
}

// Two days of two locations, two recordings and the recorder's database in
// each, all written an hour ago.
struct RecordedStorage {
    explicit RecordedStorage(bool oldLayout) : old(oldLayout) {
        for (const std::string& day : {kEarlier, kToday}) {
            for (const std::string& location : kLocations) {
                fs::create_directories(Folder(day, location));
                for (unsigned serial = 1; serial <= 2; ++serial) {
                    repairtest::RecordingSpec recording;
                    recording.startUtc = repairtest::UnixTime(day + " 10:0" + std::to_string(serial) + ":00");
                    repairtest::WriteRecordingFile(Recording(day, location, serial), recording);
                }
                WriteRecorderDatabase(Folder(day, location) / (day + ".db"));
            }
        }
        testsupport::AgeTree(storage);
    }
    fs::path Folder(const std::string& day, const std::string& location, bool inOld) const {
        return inOld ? storage / location / day : storage / day / location;
    }
    fs::path Folder(const std::string& day, const std::string& location) const { return Folder(day, location, old); }
    fs::path Recording(const std::string& day, const std::string& location, unsigned serial) const {
        return Folder(day, location) /
               ("0000000" + std::to_string(serial) + "_" + day + "_10000" + std::to_string(serial) + ".3gp");
    }
    // The recorder finishes a recording of today's first location.
    void RecordNow(bool inOld) {
        repairtest::RecordingSpec recording;
        recording.startUtc = repairtest::UnixTime(kToday + " 10:03:00");
        const fs::path path = Folder(kToday, "1", inOld) / ("00000003_" + kToday + "_100300.3gp");
        repairtest::WriteRecordingFile(path, recording);
        fs::last_write_time(path, std::time(nullptr));
    }
    testsupport::ProcessResult Run(const std::vector<std::string>& flags) const {
        std::vector<std::string> args{"-p", storage.string()};
        args.insert(args.end(), flags.begin(), flags.end());
        testsupport::ProcessOptions utc;
        utc.environment["TZ"] = "UTC";
        return testsupport::RunTool(args, utc);
    }

    repairtest::TempFolder temp{"beside-recorder"};
    fs::path storage = temp.Path() / "storage";
    bool old;
};

// Every road leaves the day being recorded as it was, all its locations
// alike, and says so for each; the other day is done as ever.
TEST(BesideARecorder, TheDayBeingRecordedIsLeftAsItWasOnEveryRoad) {
    const struct {
        const char* name;
        bool oldLayout;
        std::vector<std::string> flags;
        bool revertAfterARepair;
        const char* routine;        // nullptr: nothing to say, as the road does not walk the day
        bool preparedCopy = false;  // a copy an interrupted conversion left to be installed
    } cases[] = {
        {"conversion", true, {}, false, "ConvertDirectoryStructure"},
        {"-o", false, {"-o"}, false, "CopyTemplateDB"},
        {"-r", false, {"-r"}, true, "RevertDirectoryStructure"},
        {"conversion finishing an interrupted placement", false, {}, false, nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedStorage at(c.oldLayout);
        if (c.revertAfterARepair) {
            ASSERT_EQ(at.Run({"-o"}).exitCode, 0);
        }
        std::vector<std::string> before;
        for (const std::string& location : kLocations) {
            before.push_back(storagegen::ReadFile(at.Folder(kToday, location) / (kToday + ".db")));
        }
        if (c.preparedCopy) {
            // What the tool places, taken from a location-day without recordings.
            RecordedStorage scratch(false);
            const fs::path empty = scratch.storage / kEarlier / "3";
            fs::create_directories(empty);
            ASSERT_EQ(scratch.Run({"-o"}).exitCode, 0);
            for (const std::string& location : kLocations) {
                fs::copy_file(empty / (kEarlier + ".db"), at.Folder(kToday, location) / (kToday + ".db.new"));
            }
        }
        at.RecordNow(c.oldLayout);
        const testsupport::ProcessResult result = at.Run(c.flags);

        for (std::size_t i = 0; i < kLocations.size(); ++i) {
            const fs::path today = at.Folder(kToday, kLocations[i]);
            EXPECT_EQ(storagegen::ReadFile(today / (kToday + ".db")), before[i]) << today;
            EXPECT_EQ(fs::exists(today / (kToday + ".db.old")), c.revertAfterARepair) << today;
        }
        if (c.preparedCopy) {
            EXPECT_TRUE(fs::exists(at.Folder(kToday, "1") / (kToday + ".db.new")));
            continue;
        }
        const std::string line = std::string(c.routine) + " - ";
        std::size_t said = 0;
        for (std::size_t at = result.out.find(" is being recorded (last written "); at != std::string::npos;
             at = result.out.find(" is being recorded (last written ", at + 1)) {
            ++said;
        }
        EXPECT_EQ(said, kLocations.size()) << result.out;
        EXPECT_EQ(result.out.find("was not replaced in this run"), std::string::npos) << "said once";
        EXPECT_NE(result.out.find(line), std::string::npos) << result.out;
        // The earlier day went its way: rebuilt, or moved back without its databases.
        if (c.revertAfterARepair) {
            EXPECT_FALSE(fs::exists(at.storage / "1" / kEarlier / (kEarlier + ".db"))) << result.out;
            EXPECT_TRUE(fs::exists(at.storage / "1" / kEarlier));
        } else {
            EXPECT_EQ(Count(at.storage / kEarlier / "1" / (kEarlier + ".db"), "MediaFileDiskMap"), 2) << result.out;
        }
    }
}

// The tool's own writes never make a day the recorder's: -o right after a run
// rebuilds what the run placed.
TEST(BesideARecorder, TheToolsOwnWritesDoNotCount) {
    RecordedStorage at(false);
    ASSERT_EQ(at.Run({"-o"}).exitCode, 0);
    const testsupport::ProcessResult again = at.Run({"-o"});
    EXPECT_EQ(again.out.find("is being recorded"), std::string::npos) << again.out;
    for (const std::string& day : {kEarlier, kToday}) {
        EXPECT_TRUE(fs::exists(at.Folder(day, "1") / (day + ".db.prev")));
        EXPECT_EQ(Count(at.Folder(day, "1") / (day + ".db"), "MediaFileDiskMap"), 2);
    }
}

// A file dated ahead of the machine's clock is no sign of recording: the day
// is done as ever, and the run says the clocks look skewed.
TEST(BesideARecorder, AFileDatedAheadIsNoRecording) {
    const struct {
        const char* routine;
        bool oldLayout;
        std::vector<std::string> flags;
        fs::path shown;  // the folder the line names, below the storage
    } cases[] = {
        {"ConvertDirectoryStructure", true, {}, fs::path("2") / kToday},
        {"CopyTemplateDB", false, {"-o"}, kToday},
        {"RevertDirectoryStructure", false, {"-r"}, fs::path(kToday) / "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.routine);
        RecordedStorage at(c.oldLayout);
        const fs::path ahead = at.Recording(kToday, "2", 1);
        fs::last_write_time(ahead, std::time(nullptr) + 3600);
        const testsupport::ProcessResult result = at.Run(c.flags);
        EXPECT_NE(result.out.find(std::string(c.routine) + " - " + (at.storage / c.shown).string() +
                                  " holds files written more than 2 minutes ahead of this machine's clock"),
                  std::string::npos)
            << result.out;
        if (c.flags == std::vector<std::string>{"-r"}) {
            EXPECT_TRUE(fs::is_directory(at.storage / "2" / kToday)) << result.out;
        } else {
            EXPECT_EQ(Count(at.storage / kToday / "1" / (kToday + ".db"), "MediaFileDiskMap"), 2);
        }
    }
}

// A recorder whose SQLite has no busy timeout fails at once whenever another
// connection holds a lock. While the tool repairs the other days, it keeps
// listing recordings in today's database: none of its inserts fails.
TEST(BesideARecorder, ARecorderWithoutABusyTimeoutNeverWaits) {
    RecordedStorage at(false);
    at.RecordNow(false);
    const fs::path database = at.Folder(kToday, "1") / (kToday + ".db");
    std::atomic<bool> over{false};
    int inserts = 0, failures = 0;
    std::thread recorder([&] {
        for (int row = 0; !over || row == 0; ++row) {
            sqlite3* db = nullptr;
            const bool ok =
                sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, "INSERT INTO MediaFileDiskMap(PathName) VALUES('listed now')", nullptr, nullptr,
                             nullptr) == SQLITE_OK;
            sqlite3_close(db);
            ++(ok ? inserts : failures);
        }
    });
    const testsupport::ProcessResult result = at.Run({"-o"});
    over = true;
    recorder.join();
    EXPECT_EQ(failures, 0) << result.out;
    EXPECT_EQ(Count(database, "MediaFileDiskMap WHERE PathName = 'listed now'"), inserts);
    EXPECT_EQ(Count(at.Folder(kEarlier, "1") / (kEarlier + ".db"), "MediaFileDiskMap"), 2);
}

#ifndef _WIN32
struct Ownership {
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool operator==(const Ownership& other) const {
        return owner == other.owner && group == other.group && mode == other.mode;
    }
};
std::ostream& operator<<(std::ostream& out, const Ownership& o) {
    return out << o.owner << ":" << o.group << " " << std::oct << o.mode << std::dec;
}
Ownership OwnershipOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return {status.st_uid, status.st_gid, status.st_mode & 07777};
}

// Run as root on a storage of the recorder's account (uid and gid differ, so
// a swap shows), every folder the tool makes is that account's: the new day
// folder of a conversion, the location folder of a reversion, the marker
// beside a daylight-saving recording. Under a default ACL no mode is set,
// which would narrow the ACL's mask and lock out the account it names.
TEST(BesideARecorder, FoldersTheToolMakesStayTheRecorders) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can hand folders to another account";
    for (const bool acl : {false, true}) {
        SCOPED_TRACE(acl ? "default ACL" : "no ACL");
        repairtest::TempFolder temp("beside-owners");
        const fs::path storage = temp.Path() / "storage", day = storage / "1" / kEarlier;
        fs::create_directories(day);
        repairtest::RecordingSpec daylight;
        daylight.daylightElement = true;
        daylight.startUtc = repairtest::UnixTime(kEarlier + " 10:00:00");
        repairtest::WriteRecordingFile(day / ("00000001_" + kEarlier + "_110000.3gp"), daylight);
        testsupport::AgeTree(storage);
        // Setgid, as shared recorder folders often are; under the ACL a group
        // without write, so that a mode set on a new folder would narrow the mask.
        const Ownership recorder{1234, 5678, acl ? 0755u : 02775u};
        for (const fs::path& folder : {storage, storage / "1", day}) {
            ASSERT_EQ(::chown(folder.c_str(), recorder.owner, recorder.group), 0);
            ASSERT_EQ(::chmod(folder.c_str(), recorder.mode), 0);
        }
        // The storage's own mode differs, so a folder made like its parent instead shows.
        ASSERT_EQ(::chmod(storage.c_str(), 0755), 0);
        if (acl &&
            std::system(("setfacl -m d:u:4321:rwx,u:4321:rwx '" + storage.string() + "' 2>/dev/null").c_str()) != 0) {
            GTEST_SKIP() << "no default ACL here";
        }
        testsupport::ProcessOptions utc;
        utc.environment["TZ"] = "UTC";
        ASSERT_EQ(testsupport::RunTool({"-p", storage.string()}, utc).exitCode, 0);
        const fs::path newDay = storage / kEarlier, marker = newDay / "1" / "DL";
        // Under the ACL, the mode is as the ACL gives it: the named account keeps rwx.
        const auto expectTheRecorders = [&](const fs::path& folder) {
            if (!acl) {
                EXPECT_EQ(OwnershipOf(folder), recorder) << folder;
                return;
            }
            const testsupport::ProcessResult facl =
                testsupport::RunProcess("/usr/bin/getfacl", {"-p", folder.string()});
            for (const char* entry : {"\nmask::rwx\n", "\nother::r-x\n"}) {
                EXPECT_NE(facl.out.find(entry), std::string::npos) << facl.out;
            }
            EXPECT_EQ(OwnershipOf(folder).owner, recorder.owner) << folder;
            EXPECT_EQ(OwnershipOf(folder).group, recorder.group) << folder;
        };
        ASSERT_TRUE(fs::is_directory(marker));
        EXPECT_EQ(OwnershipOf(marker), OwnershipOf(newDay / "1"));
        expectTheRecorders(newDay);
        if (!acl) EXPECT_EQ(OwnershipOf(marker), recorder);
        ASSERT_EQ(testsupport::RunTool({"-p", storage.string(), "-r"}, utc).exitCode, 0);
        ASSERT_TRUE(fs::is_directory(storage / "1" / kEarlier));
        expectTheRecorders(storage / "1");
    }
}

// Run as an account that may not give folders away, the run makes them all
// the same and says so once; being in the recorder's group, it gives them that.
TEST(BesideARecorder, AnAccountThatCannotSetOwnersSaysSoOnce) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to play both accounts";
    repairtest::TempFolder temp("beside-not-owner");
    const fs::path storage = temp.Path() / "storage";
    repairtest::RecordingSpec daylight;  // its repair makes a marker folder
    daylight.daylightElement = true;
    for (const std::string& location : kLocations) {
        fs::create_directories(storage / location / kEarlier);
        repairtest::WriteRecordingFile(storage / location / kEarlier / ("00000001_" + kEarlier + "_110000.3gp"),
                                       daylight);
    }
    testsupport::AgeTree(storage);
    for (const fs::path& folder :
         {storage, storage / "1", storage / "2", storage / "1" / kEarlier, storage / "2" / kEarlier}) {
        ASSERT_EQ(::chown(folder.c_str(), 1234, 5678), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    }
    const testsupport::ProcessResult result = testsupport::RunProcess(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--groups=5678", testsupport::ToolPath(), "-p", storage.string()},
        {testsupport::BuildDirectory(), {{"TZ", "UTC"}}});
    if (!fs::is_directory(storage / kEarlier)) GTEST_SKIP() << "cannot run as another account: " << result.err;
    EXPECT_NE(result.out.find("ConvertDirectoryStructure - 1 folder(s) made without the owner or mode"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(OwnershipOf(storage / kEarlier).group, 5678u);
    EXPECT_NE(result.out.find("RepairStorage - 2 folder(s) made without the owner or mode"), std::string::npos)
        << result.out;
    const testsupport::ProcessResult reverted = testsupport::RunProcess(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--groups=5678", testsupport::ToolPath(), "-p", storage.string(), "-r"},
        {testsupport::BuildDirectory(), {{"TZ", "UTC"}}});
    EXPECT_NE(reverted.out.find("RevertDirectoryStructure - 2 folder(s) made without the owner or mode"),
              std::string::npos)
        << reverted.out;
}
#endif

}  // namespace
