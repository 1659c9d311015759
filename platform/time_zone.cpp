#include "platform/time_zone.h"

#include <ctime>

namespace platform {

long StandardBiasMinutes() {
    tzset();
    return static_cast<long>(timezone / 60);
}

}  // namespace platform
