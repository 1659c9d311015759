#include "platform/executable_folder.h"

#include <limits.h>
#include <unistd.h>

namespace platform {

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
    const std::string executable(buffer, static_cast<size_t>(length));
    const auto slash = executable.rfind('/');
    return slash == std::string::npos ? std::string() : executable.substr(0, slash);
}

}  // namespace platform
