#pragma once

#include <string>

namespace platform {

// Minutes west of UTC of the machine's standard (not daylight) time:
// UTC+8 gives -480, UTC-5 gives 300.
long StandardBiasMinutes();

// An offset east of UTC the way both systems show it: 60 gives UTC+01:00,
// -300 UTC-05:00, 330 UTC+05:30.
inline std::string UtcOffsetText(long offsetMinutesEast) {
    const long magnitude = offsetMinutesEast < 0 ? -offsetMinutesEast : offsetMinutesEast;
    const auto twoDigits = [](long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return std::string("UTC") + (offsetMinutesEast < 0 ? '-' : '+') + twoDigits(magnitude / 60) + ":" +
           twoDigits(magnitude % 60);
}

// What the operator sets so that this machine's standard time is the given
// offset east of UTC, as the end of a sentence ("..., <advice>").
std::string ZoneSettingAdvice(long offsetMinutesEast);

}  // namespace platform
