#include "platform/run_clock.h"

#include <chrono>

namespace platform {

std::int64_t RunClockMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace platform
