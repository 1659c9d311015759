#include "platform/lease_signal.h"

namespace platform {

// Files are held by share modes here; no signal is involved.
void IgnoreLeaseBreaks() {}

}  // namespace platform
