#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <string>

#include <sqlite3.h>

#include "repair/index_rows.h"
#include "repair_test_support.h"
#include "support/process.h"

namespace {

using boost::posix_time::seconds;
using boost::posix_time::time_from_string;

FileTimes TimesFrom(const char* recordStart, int lengthSeconds, std::uint16_t recordDLSaving = 0) {
    FileTimes times;
    times.recordStart = time_from_string(recordStart);
    times.recordEnd = times.recordStart + seconds(lengthSeconds);
    times.cameraStart = times.recordStart + seconds(5);
    times.cameraEnd = times.recordEnd + seconds(5);
    times.recordDLSaving = recordDLSaving;
    return times;
}

TEST(ZoneCodeTest, CountsQuarterHoursFromFortyEight) {
    const struct {
        long minutesWest;
        std::uint16_t code;
    } cases[] = {{0, 48}, {-480, 16}, {300, 68}, {-570, 10}, {-345, 25}, {-14, 48}, {14, 48}, {720, 96}};
    for (const auto& c : cases) EXPECT_EQ(ZoneCode(c.minutesWest), c.code) << c.minutesWest;

    const struct {
        std::int32_t offsetSeconds;
        std::uint16_t code;
    } camera[] = {{0, 48}, {28800, 16}, {-18000, 68}, {899, 48}, {-899, 48}, {34200, 10}};
    for (const auto& c : camera) EXPECT_EQ(CameraZoneCode(c.offsetSeconds), c.code) << c.offsetSeconds;
}

TEST(JoinsIntervalTest, AllowsThreeSecondsBeforeAndTenAfterTheEnd) {
    const FileTimes interval = TimesFrom("2012-03-03 10:00:00", 60);  // ends 10:01:00
    const struct {
        const char* start;
        std::uint16_t dl;
        bool joins;
    } cases[] = {
        {"2012-03-03 10:01:00", 0, true},     {"2012-03-03 10:01:10", 0, true},
        {"2012-03-03 10:01:10.999", 0, true},  // whole seconds are compared
        {"2012-03-03 10:01:11", 0, false},    {"2012-03-03 10:00:57", 0, true},
        {"2012-03-03 10:00:56", 0, false},    {"2012-03-03 10:01:00", 1, false},  // daylight-saving change
        {"2012-03-03 09:00:00", 0, false},    {"2030-01-01 00:00:00", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinsInterval(interval, TimesFrom(c.start, 60, c.dl)), c.joins) << c.start << " dl " << c.dl;
    }
    const FileTimes daylight = TimesFrom("2012-03-03 10:00:00", 60, 1);
    EXPECT_TRUE(JoinsInterval(daylight, TimesFrom("2012-03-03 10:01:00", 60, 1)));
}

// The statements, executed on the template's own tables, store every value in
// its column, and a name with a quote as it is.
TEST(RowFormatTest, StatementsStoreEachValueInItsColumn) {
    const repairtest::TempFolder folder("row-format");
    const boost::filesystem::path database = folder.Path() / "day.db";
    boost::filesystem::copy_file(testsupport::BuildDirectory() + "/PellamDB/dbtemplate.db", database);
    FileTimes interval = TimesFrom("2012-03-03 02:00:00.750", 180, 1);
    interval.cameraDLSaving = 1;
    const FileTimes file = TimesFrom("2012-03-03 02:00:00", 60);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.string().c_str(), &db), SQLITE_OK);
    for (const std::string& statement :
         {FormatTimeIntervalRow(2, interval, 16, 68), FormatMediaFileDiskMapRow(123, 1, "00000123_x.3gp", file),
          FormatMediaFileDiskMapRow(4294967295u, 7, "it's.3gp", file)}) {
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << statement;
    }
    sqlite3_close(db);
    EXPECT_EQ(repairtest::Query(database,
                                "SELECT IntervalSerial, StartRecordTime, StartRecordTimeMSec, EndRecordTime, "
                                "EndRecordTimeMSec, RecordTimeZone, RecordDLSaving, StartCameraTime, "
                                "StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec, CameraTimeZone, "
                                "CameraDLSaving FROM TimeInterval"),
              (repairtest::Rows{{"2", "1330740000", "0", "1330740180", "0", "16", "1", "1330740005", "0", "1330740185",
                                 "0", "68", "1"}}));
    const std::vector<std::string> times{"1330740000", "0", "1330740060", "0", "1330740005", "0", "1330740065", "0"};
    repairtest::Rows files{{"123", "1", "00000123_x.3gp"}, {"4294967295", "7", "it's.3gp"}};
    for (auto& row : files) row.insert(row.end(), times.begin(), times.end());
    EXPECT_EQ(repairtest::Query(database,
                                "SELECT MFSerial, IntervalSerial, PathName, StartRecordTime, StartRecordTimeMSec, "
                                "EndRecordTime, EndRecordTimeMSec, StartCameraTime, StartCameraTimeMSec, "
                                "EndCameraTime, EndCameraTimeMSec FROM MediaFileDiskMap ORDER BY rowid"),
              files);
}

}  // namespace
