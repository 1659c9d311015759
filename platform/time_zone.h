#pragma once

namespace platform {

// Minutes west of UTC of the machine's standard (not daylight) time:
// UTC+8 gives -480, UTC-5 gives 300.
long StandardBiasMinutes();

}  // namespace platform
