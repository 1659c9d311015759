#include "platform/time_zone.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {

namespace {

// Minutes west of UTC in force at local midnight of the given day of this year.
long BiasOn(int year, int month) {
    std::tm day{};
    day.tm_year = year;
    day.tm_mon = month;
    day.tm_mday = 1;
    day.tm_isdst = -1;
    std::mktime(&day);
    return -day.tm_gmtoff / 60;
}

std::string TwoDigits(long n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

// Standard time is the one that sets the clocks furthest back, whether the zone
// data models the other half of the year as daylight saving forward (most
// zones) or as a negative saving (Europe/Dublin, whose winter time counts as
// the saving): taking the larger bias of January and July answers what the
// recorder's own platform reports for both.
long StandardBiasMinutes() {
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::max(BiasOn(local.tm_year, 0), BiasOn(local.tm_year, 6));
}

// Only the standard offset matters here (daylight saving is read from each
// recording), so a fixed zone is exact. Etc/GMT names count hours west, the
// POSIX way, and cover UTC-12 to UTC+14 in whole hours; other offsets need a
// POSIX string, whose sign is inverted the same way.
std::string ZoneSettingAdvice(long offsetMinutesEast) {
    const std::string offset = UtcOffsetText(offsetMinutesEast);
    std::string value;
    if (offsetMinutesEast == 0) {
        value = "UTC";
    } else if (offsetMinutesEast % 60 == 0 && offsetMinutesEast >= -12 * 60 && offsetMinutesEast <= 14 * 60) {
        value = "Etc/GMT" + std::string(offsetMinutesEast < 0 ? "+" : "-") +
                std::to_string(std::labs(offsetMinutesEast) / 60);
    } else {
        const long magnitude = std::labs(offsetMinutesEast);
        const std::string hours = TwoDigits(magnitude / 60);
        const std::string minutes = TwoDigits(magnitude % 60);
        const bool east = offsetMinutesEast > 0;
        value = std::string("'<") + (east ? '+' : '-') + hours + minutes + ">" + (east ? '-' : '+') + hours + ":" +
                minutes + "'";
    }
    return "run again with TZ=" + value + " (or a named zone whose standard time is " + offset + ")";
}

}  // namespace platform
