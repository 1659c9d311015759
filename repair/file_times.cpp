#include "repair/file_times.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>

#include "media/media_packet.h"
#include "media/parsers.h"
#include "repair/daylight_saving.h"
#include "repair/index_rows.h"
#include "repair/recording_name.h"
#include "repair/row_time.h"

namespace fs = boost::filesystem;

namespace {

bool HasUsableTime(const TMediaPacket* packet) {
    return packet != nullptr && static_cast<std::uint32_t>(packet->utcSeconds) != 0;
}

boost::posix_time::ptime TimeOf(const TMediaPacket& packet) {
    return PacketTime(static_cast<std::uint32_t>(packet.utcSeconds), packet.milliseconds);
}

bool IsVideo(const TMediaPacket& packet) { return packet.mediaType < 255; }

void ReadDaylightSavingFlags(const TMediaPacket& packet, FileTimes& times) {
    times.cameraDLSaving = packet.dstAdjust != 0 ? 1 : 0;
    times.recordDLSaving = RecordDaylightSavingFromExtraData(packet.extraData, packet.extraDataLength);
}

}  // namespace

RecordingRead ReadRecordingTimes(FileTimes& times, const std::string& path, long biasMinutes) {
    // A name without a time throws before the file is opened.
    const std::string name = RecordingFileName(path);
    times.recordStart = RecordStartFromName(name, biasMinutes, false);

    CParsers parsers(path);
    if (!parsers.IsOpened()) return RecordingRead::NotOpened;
    parsers.FilterTracks();

    const TMediaPacket* first = parsers.Read();
    if (!HasUsableTime(first)) return RecordingRead::NoFirstPacket;
    times.cameraStart = TimeOf(*first);

    times.recordDLSaving = 0;
    times.cameraDLSaving = 0;
    if (const TMediaPacket* second = parsers.Read()) ReadDaylightSavingFlags(*second, times);

    parsers.SeekBackward();
    const TMediaPacket* last = parsers.ReadBackward();
    if (!HasUsableTime(last)) return RecordingRead::NoLastPacket;
    times.cameraEnd = TimeOf(*last);

    if (times.recordDLSaving == 1) times.recordStart = RecordStartFromName(name, biasMinutes, true);
    times.recordEnd = times.recordStart + (times.cameraEnd - times.cameraStart);
    return RecordingRead::Read;
}

bool ReadFileTimes(FileTimes& times, const std::string& path, long biasMinutes) {
    return ReadRecordingTimes(times, path, biasMinutes) == RecordingRead::Read;
}

bool ProbeCameraTimeZone(const std::string& path, std::uint16_t& zone) {
    CParsers parsers(path);
    const TMediaPacket* packet = parsers.Read();
    while (packet != nullptr && !IsVideo(*packet)) packet = parsers.Read();
    if (packet == nullptr || packet->timeZoneValid == 0) return false;
    zone = CameraZoneCode(packet->zoneOffset);
    return true;
}
