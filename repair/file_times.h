#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <cstdint>
#include <string>

// The times of one recording file, and of one recording interval (then the
// start fields are those of its first file and the end fields those of its
// last). Record times follow the recorder's clock, camera times the camera's;
// both are UTC.
struct FileTimes {
    boost::posix_time::ptime recordStart;
    boost::posix_time::ptime recordEnd;
    boost::posix_time::ptime cameraStart;
    boost::posix_time::ptime cameraEnd;
    std::uint16_t recordDLSaving = 0;
    std::uint16_t cameraDLSaving = 0;
};

// Fills times for one recording: the record start from the file name and the
// daylight-saving flag (RecordStartFromName, with biasMinutes the machine's
// minutes west of UTC), the camera start and end from the first and last
// packets, and the daylight-saving flags from the second packet. Reads only.
// False when the file cannot be opened or has no first or last packet with a
// usable time; a bad file name or malformed media data throws.
bool ReadFileTimes(FileTimes& times, const std::string& path, long biasMinutes);

// What reading a recording's times came to, for callers that say why.
enum class RecordingRead { Read, NotOpened, NoFirstPacket, NoLastPacket };
// The times exactly as ReadFileTimes finds them, and what reading came to:
// for callers that say why a recording gives none.
RecordingRead ReadRecordingTimes(FileTimes& times, const std::string& path, long biasMinutes);

// The zone code recorded in the file's first video packet: 48 - zone offset
// in quarter hours. False when the file has no video packet with a zone.
bool ProbeCameraTimeZone(const std::string& path, std::uint16_t& zone);
