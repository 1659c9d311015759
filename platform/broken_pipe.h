#pragma once

namespace platform {

// A reader that goes away (`| head`) must not end the run: writes to a closed
// output then fail quietly instead of killing the process.
void IgnoreBrokenPipe();

}  // namespace platform
