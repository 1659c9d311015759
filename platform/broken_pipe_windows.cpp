#include "platform/broken_pipe.h"

namespace platform {

// No signal is raised here for a reader that has gone: the write just fails.
void IgnoreBrokenPipe() {}

}  // namespace platform
