#include "platform/time_zone.h"

#include <windows.h>

namespace platform {

// Bias is the standard-time offset; the daylight part lives in DaylightBias.
long StandardBiasMinutes() {
    TIME_ZONE_INFORMATION zone;
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
    return static_cast<long>(zone.Bias);
}

}  // namespace platform
