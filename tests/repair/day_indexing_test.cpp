// The per-day indexing against a recording stand-in for the plug-in: the
// order of the plug-in calls, the statements and every failure message.

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/folder.h"
#include "app/dates.h"
#include "repair/day_indexing.h"
#include "repair/repair_driver.h"
#include "storage/template_database.h"
#include "support/recorded_files.h"
#include "repair_test_support.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

namespace {

// What the stand-in plug-in saw and what it answers.
struct FakePlugin {
    std::vector<std::string> calls;
    std::vector<std::string> statements;
    std::string databaseContent;  // what the path given to connect held
    std::int32_t initCode = 0;
    std::int32_t connectCode = 0;
    std::int32_t disconnectCode = 0;
    std::function<std::int32_t(const std::string&)> executeCode = [](const std::string&) { return 0; };
};

FakePlugin* fake = nullptr;
int connectionObject = 0;  // the handle the stand-in gives out

std::int32_t FakeInit(std::int32_t reserved, DbConnection* connection, std::int32_t count) {
    fake->calls.push_back("Init " + std::to_string(reserved) + " " + std::to_string(count));
    if (fake->initCode == 0) *connection = &connectionObject;
    return fake->initCode;
}
std::int32_t FakeRelease(DbConnection* connection) {
    fake->calls.push_back(*connection == &connectionObject ? "Release" : "Release of a foreign handle");
    *connection = nullptr;
    return 0;
}
std::int32_t FakeConnect(DbConnection connection, const char* path, std::int32_t a, std::int32_t b, std::int32_t c) {
    fake->calls.push_back(connection == &connectionObject && a == kConnectOnlyWriter && b == 0 && c == 0
                              ? "Connect"
                              : "Connect with odd arguments");
    boost::system::error_code missing;
    if (fs::exists(path, missing)) fake->databaseContent = storagegen::ReadFile(path);
    return fake->connectCode;
}
std::int32_t FakeDisconnect(DbConnection) {
    fake->calls.push_back("Disconnect");
    return fake->disconnectCode;
}
std::int32_t FakeExecute(DbConnection, const char* statement, std::int32_t length) {
    const std::string text(statement, static_cast<std::size_t>(length));
    fake->calls.push_back(text.size() == std::strlen(statement) ? "Execute" : "Execute with a wrong length");
    fake->statements.push_back(text);
    return fake->executeCode(text);
}

bool IsIntervalRow(const std::string& statement) { return statement.rfind("INSERT INTO TimeInterval", 0) == 0; }

class DayIndexingTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake = &plugin_;
        std::memset(&table_, 0, sizeof table_);
        table_.size = kDbInterfaceTableSize;
        table_.InitConnection = FakeInit;
        table_.ReleaseConnection = FakeRelease;
        table_.ConnectDB = FakeConnect;
        table_.Disconnect = FakeDisconnect;
        table_.ExecuteSQL = FakeExecute;
        location_ = folder_.Path() / "2012-03-03" / "4";
        fs::create_directories(location_);
        recording_ = (location_ / "00000009_2012-03-03_100000.3gp").string();
        repairtest::WriteRecordingFile(recording_, repairtest::RecordingSpec{});
        storagegen::WriteFile(DatabasePath(), kPlacedDatabase);
        int error = 0;
        const platform::Folder folder = platform::Folder::OpenPath(location_.string(), error);
        placed_.RememberPlaced(folder.Facts("2012-03-03.db").identity);
    }
    void TearDown() override { fake = nullptr; }

    static constexpr const char* kPlacedDatabase = "the day database this run placed";

    // Runs the indexing and returns what it wrote on standard output; what it
    // counted goes to summary_.
    std::string Index(const std::vector<std::string>& files) { return Index(files, placed_); }
    std::string Index(const std::vector<std::string>& files, const PlacedDatabases& placed) {
        ::testing::internal::CaptureStdout();
        RecorderZones zones;
        ParseFilesADay(
            files, location_.string(), table_, placed, [] { fake->calls.push_back("Read"); },
            [] { fake->calls.push_back("Done"); }, summary_, zones);
        return ::testing::internal::GetCapturedStdout();
    }
    RunSummary summary_;
    PlacedDatabases placed_;  // the setup's database, as its run placed it
    std::string DatabasePath() const { return (location_ / "2012-03-03.db").string(); }

    repairtest::TempFolder folder_{"day-indexing"};
    fs::path location_;
    std::string recording_;
    FakePlugin plugin_;
    DbInterfaceTable table_;
};

// Every recording is read before the first row, so that the rows go to the
// database back to back.
TEST_F(DayIndexingTest, CallsThePluginInOrderAndWritesIntervalsAfterTheirFiles) {
    // A second copy of a recording starts a minute before the interval's
    // end, so every copy opens an interval of its own.
    const std::string out = Index({recording_, recording_});
    EXPECT_EQ(out, "");
    EXPECT_EQ(plugin_.calls, (std::vector<std::string>{"Init 0 1", "Connect", "Read", "Done", "Read", "Done", "Execute",
                                                       "Execute", "Execute", "Execute", "Disconnect", "Release"}));
    EXPECT_EQ(plugin_.databaseContent, kPlacedDatabase);
    ASSERT_EQ(plugin_.statements.size(), 4u);
    EXPECT_FALSE(IsIntervalRow(plugin_.statements[0]));
    EXPECT_NE(plugin_.statements[0].find("VALUES(9, 1, '00000009_2012-03-03_100000.3gp', "), std::string::npos);
    EXPECT_TRUE(IsIntervalRow(plugin_.statements[1]));
    EXPECT_NE(plugin_.statements[1].find("VALUES(1, "), std::string::npos);
    EXPECT_NE(plugin_.statements[2].find("VALUES(9, 2, "), std::string::npos);
    EXPECT_TRUE(IsIntervalRow(plugin_.statements[3]));
    EXPECT_NE(plugin_.statements[3].find("VALUES(2, "), std::string::npos);
}

// Only a database this run placed is written; where there is none, connecting
// still says so.
TEST_F(DayIndexingTest, ADatabaseThisRunDidNotPlaceIsNeverConnected) {
    const std::string notReplaced =
        "ParseFilesADay - " + DatabasePath() + " was not replaced in this run, left as it was\n";
    const struct {
        bool present;
        std::string out;
        std::vector<std::string> calls;
    } cases[] = {
        {true, notReplaced, {}},
        {false,
         notReplaced + "Connect DB: " + DatabasePath() + " failed scRet: 0x8000000e\n",
         {"Init 0 1", "Connect", "Release"}},
    };
    for (const auto& c : cases) {
        plugin_.calls.clear();
        plugin_.connectCode = static_cast<std::int32_t>(0x8000000e);
        if (!c.present) fs::remove(DatabasePath());
        EXPECT_EQ(Index({recording_}, PlacedDatabases()), c.out);
        EXPECT_EQ(plugin_.calls, c.calls);
    }
}

TEST_F(DayIndexingTest, FailedInitStopsBeforeAnythingElse) {
    plugin_.initCode = -2;
    EXPECT_EQ(Index({recording_}), "Init DB connection failed scRet: fffffffe\n");
    EXPECT_EQ(plugin_.calls, (std::vector<std::string>{"Init 0 1"}));
}

TEST_F(DayIndexingTest, FailedConnectReleasesTheConnection) {
    plugin_.connectCode = static_cast<std::int32_t>(0x8000000e);
    EXPECT_EQ(Index({recording_}), "Connect DB: " + DatabasePath() + " failed scRet: 0x8000000e\n");
    EXPECT_EQ(plugin_.calls, (std::vector<std::string>{"Init 0 1", "Connect", "Release"}));
}

TEST_F(DayIndexingTest, FailedInsertsAreReportedAndTheLoopGoesOn) {
    plugin_.executeCode = [](const std::string&) { return -5; };
    // Eleven intervals: the serials after 9 must come out decimal again.
    const std::vector<std::string> files(11, recording_);
    const std::string out = Index(files);
    const std::string fileFailure =
        "ParseFilesADay - insert into " + recording_ + " mediafilediskmap scRet: 0xfffffffb\n";
    std::string expected;
    for (int serial = 1; serial <= 11; ++serial) {
        expected += fileFailure;
        expected +=
            "ParseFilesADay - insert into NO." + std::to_string(serial) + " timeinterval failed scRet: fffffffb\n";
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(plugin_.calls.back(), "Release");
}

// The plug-in found the recorder's rows in the database, at a statement or
// only when the last commit was replayed: one line, and not one statement
// more, whatever the plug-in would answer to it.
TEST_F(DayIndexingTest, ARecorderThatWroteFirstStopsTheRowsAtOnce) {
    const struct {
        int stoppedAt;  // the statement answered with the code; 0: none
        std::int32_t disconnectCode;
        int executed;
    } cases[] = {{2, kOtherWriterCode, 2}, {2, 0, 2}, {0, kOtherWriterCode, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stoppedAt);
        int executed = 0;
        plugin_.executeCode = [&](const std::string&) { return ++executed == c.stoppedAt ? kOtherWriterCode : 0; };
        plugin_.disconnectCode = c.disconnectCode;
        const std::vector<std::string> files(5, recording_);
        EXPECT_EQ(Index(files), "ParseFilesADay - the recorder wrote into " + DatabasePath() +
                                    " during the run: no more rows written there; run again when it is idle\n");
        EXPECT_EQ(executed, c.executed);
        EXPECT_EQ(plugin_.calls.back(), "Release");
    }
}

// What a location-day came to is counted for the résumé, each outcome apart.
TEST_F(DayIndexingTest, EachOutcomeIsCountedForTheSummary) {
    const struct {
        const char* name;
        std::int32_t init, connect, disconnect;
        std::int32_t failedInsert;  // answered to every MediaFileDiskMap row
        unsigned rebuilt;
        unsigned long rows;
        const char* left;
        const char* incomplete;
        const char* withoutRow;
    } cases[] = {
        {"written", 0, 0, 0, 0, 1, 2, "", "", ""},
        {"no plug-in connection", -2, 0, 0, 0, 0, 0, "plug-in failed 1", "", ""},
        {"no database connection", 0, -5, 0, 0, 0, 0, "connect failed 1", "", ""},
        {"rows refused", 0, 0, 0, -5, 0, 0, "", "insert failed 1", "insert failed 2"},
        {"commit failed", 0, 0, -5, 0, 0, 2, "", "commit failed 1", ""},
        {"the recorder wrote", 0, 0, kOtherWriterCode, 0, 0, 2, "", "recorder wrote 1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        summary_ = RunSummary{};
        plugin_.initCode = c.init;
        plugin_.connectCode = c.connect;
        plugin_.disconnectCode = c.disconnect;
        plugin_.executeCode = [&](const std::string& statement) {
            return IsIntervalRow(statement) ? 0 : c.failedInsert;
        };
        Index({recording_, recording_});
        EXPECT_EQ(summary_.locationDaysRebuilt, c.rebuilt);
        EXPECT_EQ(summary_.rows, c.rows);
        EXPECT_EQ(summary_.leftAsTheyWere.Text(), c.left);
        EXPECT_EQ(summary_.incomplete.Text(), c.incomplete);
        EXPECT_EQ(summary_.withoutRow.Text(), c.withoutRow);
        EXPECT_EQ(summary_.recordings, std::string(c.left).empty() ? 2u : 0u);
    }
}

TEST_F(DayIndexingTest, FailedCommitIsReported) {
    plugin_.disconnectCode = static_cast<std::int32_t>(0x80000005);
    EXPECT_EQ(Index({recording_}), "ParseFilesADay - disconnect " + DatabasePath() + " failed scRet: 0x80000005\n");
    EXPECT_EQ(plugin_.calls.back(), "Release");
}

// Also what is no regular file by the time it is read (swapped after the
// listing): a FIFO is refused without waiting for a writer.
TEST_F(DayIndexingTest, UnreadableFilesAreReportedOneByOne) {
    const std::string missing = (location_ / "00000010_2012-03-03_100100.3gp").string();
    const std::string folder = (location_ / "00000011_2012-03-03_100200.3gp").string();
    fs::create_directory(folder);
    std::vector<std::string> failing{missing, folder};
#ifndef _WIN32
    const std::string fifo = (location_ / "00000012_2012-03-03_100300.3gp").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    failing.push_back(fifo);
#endif
    const std::string shortName = (location_ / "1_x.3gp").string();
    std::vector<std::string> files = failing;
    files.push_back(shortName);
    const std::string out = Index(files);
    std::string expected;
    for (const std::string& path : failing) expected += "ParseFilesADay - parse: " + path + " failed\n";
    EXPECT_EQ(out.find(expected), 0u) << out;
    EXPECT_NE(out.find("ParseFilesADay - parse: " + shortName + " got std::exception: "), std::string::npos) << out;
    EXPECT_TRUE(plugin_.statements.empty());
    std::vector<std::string> calls{"Init 0 1", "Connect"};
    // An unreadable recording is done all the same, for progress.
    for (std::size_t i = 0; i < files.size(); ++i) calls.insert(calls.end(), {"Read", "Done"});
    calls.insert(calls.end(), {"Disconnect", "Release"});
    EXPECT_EQ(plugin_.calls, calls);
}

TEST_F(DayIndexingTest, HandlesMoreFilesThanASixteenBitIndexCounts) {
    const std::size_t count = 65536 + 2;
    const std::string shortName = (location_ / "1_x.3gp").string();
    std::vector<std::string> files(count, shortName);
    files.back() = recording_;
    Index(files);
    ASSERT_EQ(plugin_.statements.size(), 2u);
    EXPECT_NE(plugin_.statements[0].find("VALUES(9, 1, "), std::string::npos);
}

}  // namespace

namespace {

// The placement in the form its callers know (path, begin, end) still does
// its whole work; the repair writes only what its own run's placement
// installed, so a database another run placed is left as it was.
TEST(RoadsTest, TheDesignsFormPlacesAndOnlyTheRunsOwnPlacementIsRebuilt) {
    repairtest::TempFolder temp("roads");
    const fs::path storage = temp.Path() / "storage", location = storage / "2012-03-03" / "1";
    fs::create_directories(location);
    repairtest::RecordingSpec recording;
    repairtest::WriteRecordingFile(location / "00000001_2012-03-03_100000.3gp", recording);
    recording.startUtc += 60;
    repairtest::WriteRecordingFile(location / "00000002_2012-03-03_100100.3gp", recording);
    testsupport::AgeTree(temp.Path());
    const fs::path database = location / "2012-03-03.db";
    const char* const rowCount = "SELECT COUNT(*) FROM MediaFileDiskMap";
    ::testing::internal::CaptureStdout();
    CopyTemplateDB(storage.string(), UnsetDate, UnsetDate);
    RunSummary summary;
    PlacedDatabases placed;
    RepairStorage(storage.string(), UnsetDate, UnsetDate, summary, placed);
    const repairtest::Rows otherRunsPlacement = repairtest::Query(database, rowCount);
    CopyTemplateDB(storage.string(), UnsetDate, UnsetDate, summary, placed);
    RepairStorage(storage.string(), UnsetDate, UnsetDate, summary, placed);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(otherRunsPlacement, (repairtest::Rows{{"0"}}));
    EXPECT_EQ(repairtest::Query(database, rowCount), (repairtest::Rows{{"2"}}));
}

}  // namespace
