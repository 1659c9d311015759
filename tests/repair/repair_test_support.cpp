#include "repair_test_support.h"

#include <sqlite3.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/nowide/fstream.hpp>
#include <stdexcept>

#include "tools/frame_header_writer/frame_header_writer.h"
#include "tools/recording_writer/camera_recording.h"

namespace fs = boost::filesystem;

namespace repairtest {

void WriteRecordingFile(const fs::path& path, const RecordingSpec& recording) {
    recording_writer::CameraRecordingOptions options;
    options.video = recording.video ? "h264" : "none";
    options.audio = recording.audio ? "aac" : "none";
    options.framesPerSecond = 1;
    options.keyFrameInterval = 1;
    options.keyFrameSize = 400;
    options.seconds = recording.spanSeconds + 1.0;
    options.startUtc = recording.startUtc;
    options.startMilliseconds = recording.startMilliseconds;
    options.zoneIndex = recording.zoneIndex;
    options.daylightSaving = recording.cameraDaylightSaving;
    if (recording.daylightElement) options.extraData = frame_writer::DaylightSavingElement(true);
    recording_writer::WriteRecording(recording_writer::CameraRecording(options), path.string());
}

void WriteCameraMinute(const fs::path& path, std::uint32_t startUtc, std::uint8_t zoneIndex,
                       std::uint16_t startMilliseconds) {
    recording_writer::CameraRecordingOptions options;
    options.startUtc = startUtc;
    options.zoneIndex = zoneIndex;
    options.startMilliseconds = startMilliseconds;
    recording_writer::WriteRecording(recording_writer::CameraRecording(options), path.string());
}

void WriteGarbage(const fs::path& path) {
    {
        boost::nowide::ofstream out(path.string(), std::ios::binary);
        out << "this is no recording at all, only text where the boxes should be\n";
    }
    // Written a while ago, as a storage holds it: the tool leaves fresh writes to the recorder.
    recording_writer::DateFile(path.string(), std::time(nullptr) - 3600);
}

std::uint32_t UnixTime(const std::string& text) {
    const auto since =
        boost::posix_time::time_from_string(text) - boost::posix_time::ptime(boost::gregorian::date(1970, 1, 1));
    return static_cast<std::uint32_t>(since.total_seconds());
}

Rows Query(const fs::path& database, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + database.string());
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        const std::string error = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error(error + " in " + sql);
    }
    Rows rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const unsigned char* text = sqlite3_column_text(stmt, i);
            row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

TempFolder::TempFolder(const std::string& tag)
    : path_(fs::temp_directory_path() / fs::unique_path("tolvane2-" + tag + "-%%%%-%%%%-%%%%")) {
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    boost::system::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace repairtest
