#include "platform/lease_signal.h"

#include <csignal>

namespace platform {

void IgnoreLeaseBreaks() { std::signal(SIGIO, SIG_IGN); }

}  // namespace platform
