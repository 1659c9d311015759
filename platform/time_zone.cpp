#include "platform/time_zone.h"

#include <algorithm>
#include <ctime>

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

}  // namespace platform
