#include "repair/recorder_zone.h"

#include <cstdlib>

#include "platform/time_zone.h"

namespace {

const long long kQuarterSeconds = 15 * 60;
// The offsets zones have: UTC-12:00 to UTC+14:00.
const long kWestmostMinutes = -12 * 60;
const long kEastmostMinutes = 14 * 60;

// No zone sits at a quarter past the hour: a skew like that is clocks apart,
// not a zone, and setting one would only move the rows off the recorder's.
bool IsZoneOffset(long long minutesEast) {
    const long long past = std::llabs(minutesEast) % 60;
    return minutesEast >= kWestmostMinutes && minutesEast <= kEastmostMinutes && past != 15;
}

template <typename Key>
bool Majority(const std::map<Key, unsigned long>& counts, unsigned long total, Key& value, unsigned long& count) {
    for (const auto& entry : counts) {
        if (entry.second * 2 > total) {
            value = entry.first;
            count = entry.second;
            return true;
        }
    }
    return false;
}

}  // namespace

long long SkewMinutes(const FileTimes& times) {
    const long long shifted = (times.recordStart - times.cameraStart).total_seconds() + kQuarterSeconds / 2;
    long long quarters = shifted / kQuarterSeconds;
    if (shifted % kQuarterSeconds < 0) --quarters;
    return quarters * 15;
}

void RecorderZones::AddRecording(const FileTimes& times) {
    if (times.recordStart.is_special() || times.cameraStart.is_special()) return;
    ++recordings_;
    ++skewMinutes_[SkewMinutes(times)];
}

void RecorderZones::AddCameraZone(std::uint16_t zoneCode) {
    // The code is 48 - quarter hours east, stored unsigned: east of UTC+12 it wraps.
    const long minutesEast = (48 - static_cast<std::int16_t>(zoneCode)) * 15L;
    ++cameraZones_;
    ++cameraOffsets_[minutesEast];
}

std::string RecorderZones::AdviceLine(long biasMinutes) const {
    long long skew = 0;
    unsigned long agreeing = 0;
    if (!Majority(skewMinutes_, recordings_, skew, agreeing) || skew == 0) return {};
    const long machine = -biasMinutes;
    const long long recorder = skew + machine;
    if (!IsZoneOffset(recorder)) return {};

    std::string line = "RepairStorage - the recorder may have run at " +
                       platform::UtcOffsetText(static_cast<long>(recorder)) + " standard time (" +
                       std::to_string(agreeing) + " of " + std::to_string(recordings_) + " readable recordings agree";
    long camera = 0;
    unsigned long cameraAgreeing = 0;
    if (Majority(cameraOffsets_, cameraZones_, camera, cameraAgreeing) && IsZoneOffset(camera)) {
        line += "; the cameras say " + platform::UtcOffsetText(camera);
    }
    return line + "), but this machine is at " + platform::UtcOffsetText(machine) +
           " and the rows were written for it; to write them for the recorder's zone, " +
           platform::ZoneSettingAdvice(static_cast<long>(recorder));
}
