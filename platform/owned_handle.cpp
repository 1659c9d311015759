#include "platform/owned_handle.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

// Not retried on EINTR: Linux has let the descriptor go by then.
int CloseSystemHandle(SystemHandle handle) { return ::close(handle) == 0 ? 0 : errno; }

}  // namespace platform
