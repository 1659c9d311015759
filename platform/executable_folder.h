#pragma once

#include <string>

namespace platform {

// The folder of the running executable, empty when it cannot be told.
std::string ExecutableFolder();

}  // namespace platform
