#pragma once

#include <cstdint>

namespace platform {

// Milliseconds on a monotonic clock; only differences between two readings mean anything.
std::int64_t RunClockMilliseconds();

}  // namespace platform
