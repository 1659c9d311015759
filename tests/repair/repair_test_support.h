#pragma once

// Helpers of the repair tests: real recordings written by the recording
// writer, temporary storage folders, and reading day databases back.

#include <boost/filesystem.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace repairtest {

// 2012-03-03 10:00:00 UTC.
constexpr std::uint32_t kTenOClockUtc = 1330768800u;

struct RecordingSpec {
    std::uint32_t startUtc = kTenOClockUtc;  // camera time of the first packet
    std::uint32_t spanSeconds = 60;          // camera time from the first to the last packet
    std::uint16_t startMilliseconds = 0;
    std::uint8_t zoneIndex = 48;        // camera zone, 48 = UTC
    bool cameraDaylightSaving = false;  // the camera applied daylight saving
    bool daylightElement = false;       // the recorder's daylight-saving element says "in effect"
    bool video = true;                  // one H.264 frame a second
    bool audio = false;                 // AAC
};

// A recording whose packets span exactly recording.spanSeconds (video at one
// frame a second), with header tracks carrying the camera's times.
void WriteRecordingFile(const boost::filesystem::path& path, const RecordingSpec& recording);

// One minute as cameras record it: 25 fps H.264 and AAC, header tracks.
void WriteCameraMinute(const boost::filesystem::path& path, std::uint32_t startUtc, std::uint8_t zoneIndex = 48,
                       std::uint16_t startMilliseconds = 0);

// Bytes that no reader takes for a recording.
void WriteGarbage(const boost::filesystem::path& path);

// Seconds since 1970 of a "YYYY-MM-DD HH:MM:SS" text read as UTC.
std::uint32_t UnixTime(const std::string& text);

// Every row of a query, each column as text ("" for NULL).
using Rows = std::vector<std::vector<std::string>>;
Rows Query(const boost::filesystem::path& database, const std::string& sql);

// A fresh folder under the temporary folder, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const boost::filesystem::path& Path() const { return path_; }

private:
    boost::filesystem::path path_;
};

}  // namespace repairtest
