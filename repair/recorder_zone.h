#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "repair/file_times.h"

// A recording's name time (shifted by the machine's bias, as ReadFileTimes
// gives it) less its first packet's UTC time, to the nearest quarter hour
// (halves up): 0 when the machine's zone is the recorder's.
long long SkewMinutes(const FileTimes& times);

// The offsets the recorder ran at, as its recordings show them, added up over
// a run. A recording's name is the recorder's local time and its first packet
// the camera's UTC time, so a storage copied off a recorder in another zone
// shows a skew that this machine's zone does not explain.
class RecorderZones {
public:
    // One readable recording, its times as ReadFileTimes fills them with the
    // machine's standard bias.
    void AddRecording(const FileTimes& times);
    // The zone code a location-day's first video packet carries (see
    // CameraZoneCode), only when it has one.
    void AddCameraZone(std::uint16_t zoneCode);
    // One line, or empty: when more than half of the readable recordings agree
    // on a standard offset other than the machine's (-biasMinutes).
    std::string AdviceLine(long biasMinutes) const;

private:
    // Skew (record start - camera start) rounded to 15 minutes -> recordings.
    std::map<long long, unsigned long> skewMinutes_;
    unsigned long recordings_ = 0;
    // Camera offset east in minutes -> location-days.
    std::map<long, unsigned long> cameraOffsets_;
    unsigned long cameraZones_ = 0;
};
