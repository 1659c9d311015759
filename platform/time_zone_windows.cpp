#include "platform/time_zone.h"

#include <windows.h>

#include <string>

namespace platform {

// Bias is the standard-time offset; the daylight part lives in DaylightBias.
long StandardBiasMinutes() {
    TIME_ZONE_INFORMATION zone;
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
    return static_cast<long>(zone.Bias);
}

// The bias comes from the machine's own zone setting, which TZ does not change.
std::string ZoneSettingAdvice(long offsetMinutesEast) {
    return "set this machine's time zone to one at " + UtcOffsetText(offsetMinutesEast) +
           " in the Windows time-zone setting and run again";
}

}  // namespace platform
