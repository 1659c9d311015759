#include "repair/index_rows.h"

#include <cinttypes>
#include <cstdio>

#include "repair/row_time.h"

namespace {

// Statements are formatted into a fixed buffer; longer text is cut off (and
// then fails to execute rather than writing a wrong row).
constexpr std::size_t kStatementBufferSize = 4096;

constexpr const char* kTimeIntervalFormat =
    "INSERT INTO TimeInterval(IntervalSerial, \t\t\t\t\t\t   StartRecordTime, StartRecordTimeMSec, EndRecordTime, "
    "EndRecordTimeMSec, RecordTimeZone, RecordDLSaving, \t\t\t\t\t\t   StartCameraTime, StartCameraTimeMSec, "
    "EndCameraTime, EndCameraTimeMSec, CameraTimeZone, CameraDLSaving) VALUES(%u, %u, %u, %u, %u, %u, %u, %u, %u, "
    "%u, %u, %u, %u)";

constexpr const char* kMediaFileDiskMapFormat =
    "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial, PathName, StartRecordTime, StartRecordTimeMSec, "
    "EndRecordTime, EndRecordTimeMSec, StartCameraTime, StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec) "
    "VALUES(%" PRIu64 ", %u, '%s', %u, %u, %u, %u, %u, %u, %u, %u)";

// Row times carry no milliseconds.
constexpr unsigned kNoMilliseconds = 0;

template <typename... Values>
std::string FormatStatement(const char* format, Values... values) {
    char buffer[kStatementBufferSize + 1];
    std::snprintf(buffer, sizeof buffer, format, values...);
    buffer[kStatementBufferSize] = '\0';
    return buffer;
}

}  // namespace

std::uint16_t ZoneCode(long minutesWest) { return static_cast<std::uint16_t>(48 + minutesWest / 15); }

std::uint16_t CameraZoneCode(std::int32_t zoneOffsetSeconds) {
    return static_cast<std::uint16_t>(48 - zoneOffsetSeconds / 900);
}

bool JoinsInterval(const FileTimes& interval, const FileTimes& file) {
    const std::uint32_t start = RowSeconds(file.recordStart);
    const std::uint32_t end = RowSeconds(interval.recordEnd);
    const auto endMinusStart = static_cast<std::int32_t>(end - start);
    const auto startMinusEnd = static_cast<std::int32_t>(start - end);
    return endMinusStart <= 3 && startMinusEnd <= 10 && file.recordDLSaving == interval.recordDLSaving;
}

std::string QuoteSqlText(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    for (const char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted;
}

std::string FormatTimeIntervalRow(std::uint32_t intervalSerial, const FileTimes& interval, std::uint16_t recordZone,
                                  std::uint16_t cameraZone) {
    return FormatStatement(kTimeIntervalFormat, unsigned{intervalSerial}, unsigned{RowSeconds(interval.recordStart)},
                           kNoMilliseconds, unsigned{RowSeconds(interval.recordEnd)}, kNoMilliseconds,
                           unsigned{recordZone}, unsigned{interval.recordDLSaving},
                           unsigned{RowSeconds(interval.cameraStart)}, kNoMilliseconds,
                           unsigned{RowSeconds(interval.cameraEnd)}, kNoMilliseconds, unsigned{cameraZone},
                           unsigned{interval.cameraDLSaving});
}

std::string FormatMediaFileDiskMapRow(std::uint64_t serial, std::uint32_t intervalSerial, const std::string& fileName,
                                      const FileTimes& file) {
    return FormatStatement(
        kMediaFileDiskMapFormat, serial, unsigned{intervalSerial}, QuoteSqlText(fileName).c_str(),
        unsigned{RowSeconds(file.recordStart)}, kNoMilliseconds, unsigned{RowSeconds(file.recordEnd)}, kNoMilliseconds,
        unsigned{RowSeconds(file.cameraStart)}, kNoMilliseconds, unsigned{RowSeconds(file.cameraEnd)}, kNoMilliseconds);
}
