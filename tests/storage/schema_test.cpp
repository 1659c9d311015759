// The template database holds exactly the tables and columns the rebuild
// writes, and takes the rebuild's rows as they are formatted.
#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagetest::TempFolder;
namespace fs = boost::filesystem;

testsupport::ProcessResult Sql(const fs::path& database, const std::string& statement) {
    return testsupport::RunProcess(SQLITE3_SHELL, {"-bail", database.string(), statement});
}

class TemplateSchema : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(fs::path(testsupport::BuildDirectory()) / "PellamDB" / "dbtemplate.db", database_);
    }

    TempFolder folder_;
    fs::path database_ = folder_.path() / "2012-03-03.db";
};

TEST_F(TemplateSchema, HoldsBothTablesWithTheRebuildsColumnsInOrderAndNoRows) {
    const struct {
        const char* table;
        const char* columns;
    } tables[] = {
        {"TimeInterval",
         "IntervalSerial|INTEGER\nStartRecordTime|INTEGER\nStartRecordTimeMSec|INTEGER\nEndRecordTime|INTEGER\n"
         "EndRecordTimeMSec|INTEGER\nRecordTimeZone|INTEGER\nRecordDLSaving|INTEGER\nStartCameraTime|INTEGER\n"
         "StartCameraTimeMSec|INTEGER\nEndCameraTime|INTEGER\nEndCameraTimeMSec|INTEGER\nCameraTimeZone|INTEGER\n"
         "CameraDLSaving|INTEGER\n"},
        {"MediaFileDiskMap",
         "MFSerial|INTEGER\nIntervalSerial|INTEGER\nPathName|TEXT\nStartRecordTime|INTEGER\n"
         "StartRecordTimeMSec|INTEGER\nEndRecordTime|INTEGER\nEndRecordTimeMSec|INTEGER\nStartCameraTime|INTEGER\n"
         "StartCameraTimeMSec|INTEGER\nEndCameraTime|INTEGER\nEndCameraTimeMSec|INTEGER\n"},
    };
    for (const auto& t : tables) {
        EXPECT_EQ(Sql(database_, std::string("SELECT name, type FROM pragma_table_info('") + t.table + "')").out,
                  t.columns);
        EXPECT_EQ(Sql(database_, std::string("SELECT count(*) FROM ") + t.table).out, "0\n");
    }
    EXPECT_EQ(Sql(database_, "SELECT count(*) FROM sqlite_master WHERE type = 'table'").out, "2\n");
}

TEST_F(TemplateSchema, AcceptsTheRebuildsRowsTwiceOverWithExtremeValues) {
    const std::string interval =
        "INSERT INTO TimeInterval(IntervalSerial, \t\t\t\t\t\t   StartRecordTime, StartRecordTimeMSec, EndRecordTime, "
        "EndRecordTimeMSec, RecordTimeZone, RecordDLSaving, \t\t\t\t\t\t   StartCameraTime, StartCameraTimeMSec, "
        "EndCameraTime, EndCameraTimeMSec, CameraTimeZone, CameraDLSaving) VALUES(1, 1330740000, 0, 4294967295, 0, 16, "
        "1, 0, 0, 4294967295, 0, 65535, 1)";
    const std::string file =
        "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial, PathName, StartRecordTime, StartRecordTimeMSec, "
        "EndRecordTime, EndRecordTimeMSec, StartCameraTime, StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec) "
        "VALUES(18446744073709551615, 1, '00000123_2012-03-03_101500.3gp', 1330740000, 0, 1330740060, 0, 0, 0, "
        "4294967295, 0)";
    for (int round = 0; round < 2; ++round) {
        for (const auto& statement : {interval, file}) {
            const auto result = Sql(database_, statement);
            EXPECT_EQ(result.exitCode, 0) << result.err;
        }
    }
    EXPECT_EQ(Sql(database_, "SELECT count(*), max(EndRecordTime) FROM TimeInterval").out, "2|4294967295\n");
    EXPECT_EQ(Sql(database_, "SELECT count(*), PathName FROM MediaFileDiskMap").out,
              "2|00000123_2012-03-03_101500.3gp\n");
}

}  // namespace
