#include "audit_test_support.h"

#include <sqlite3.h>

#include <boost/filesystem/operations.hpp>
#include <stdexcept>

#include "support/process.h"

namespace fs = boost::filesystem;

namespace audittest {

namespace {

void Execute(sqlite3* database, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error(text + " in " + sql);
    }
}

}  // namespace

void WriteDayDatabase(const fs::path& path, const std::vector<IntervalSpec>& intervals,
                      const std::vector<FileRowSpec>& files, bool marked) {
    fs::copy_file(fs::path(testsupport::BuildDirectory()) / "PellamDB" / "dbtemplate.db", path,
                  fs::copy_options::overwrite_existing);
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(path.string().c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        throw std::runtime_error("cannot open " + path.string());
    }
    Execute(database, "BEGIN");
    for (const IntervalSpec& interval : intervals) {
        const std::string start = std::to_string(interval.start), end = std::to_string(interval.end);
        Execute(database,
                "INSERT INTO TimeInterval(IntervalSerial, StartRecordTime, StartRecordTimeMSec, "
                "EndRecordTime, EndRecordTimeMSec, RecordTimeZone, RecordDLSaving, StartCameraTime, "
                "StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec, CameraTimeZone, CameraDLSaving) "
                "VALUES(" +
                    std::to_string(interval.serial) + ", " + start + ", 0, " + end + ", 0, " +
                    std::to_string(interval.zone) + ", " + std::to_string(interval.dlSaving) + ", " + start + ", 0, " +
                    end + ", 0, 48, 0)");
    }
    for (const FileRowSpec& file : files) {
        const std::string start = std::to_string(file.start), end = std::to_string(file.end);
        const std::string camera = file.cameraStart < 0 ? start : std::to_string(file.cameraStart);
        Execute(database,
                "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial, PathName, StartRecordTime, "
                "StartRecordTimeMSec, EndRecordTime, EndRecordTimeMSec, StartCameraTime, "
                "StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec) VALUES(1, " +
                    std::to_string(file.interval) + ", '" + file.name + "', " + start + ", 0, " + end + ", 0, " +
                    camera + ", 0, " + end + ", 0)");
    }
    if (marked) Execute(database, "PRAGMA application_id = 1416394290");  // "Tlv2"
    Execute(database, "COMMIT");
    sqlite3_close(database);
}

std::string AuditPath() { return TOLVANE2_AUDIT_EXE; }

}  // namespace audittest
