#pragma once

#include <boost/filesystem/path.hpp>

namespace platform {

// True when the path itself (not what it points to) is a symbolic link. An
// unreadable status answers false: the caller's own operation reports it.
bool IsSymbolicLink(const boost::filesystem::path& path);

}  // namespace platform
