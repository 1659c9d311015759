#include "platform/links.h"

#include <boost/filesystem/operations.hpp>

namespace platform {

bool IsSymbolicLink(const boost::filesystem::path& path) {
    boost::system::error_code error;
    return boost::filesystem::is_symlink(boost::filesystem::symlink_status(path, error)) && !error;
}

}  // namespace platform
