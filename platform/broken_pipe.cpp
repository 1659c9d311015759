#include "platform/broken_pipe.h"

#include <csignal>

namespace platform {

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
