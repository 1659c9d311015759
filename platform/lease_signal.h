#pragma once

namespace platform {

// A process holding a lease is sent SIGIO when another process opens the
// file, and SIGIO ends a process by default: the run ignores it throughout.
void IgnoreLeaseBreaks();

}  // namespace platform
