#include "support/recorded_files.h"

#include <boost/filesystem/operations.hpp>
#include <ctime>

namespace testsupport {

void AgeTree(const boost::filesystem::path& root) {
    namespace fs = boost::filesystem;
    const std::time_t anHourAgo = std::time(nullptr) - 3600;
    boost::system::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (fs::is_regular_file(it->symlink_status())) fs::last_write_time(it->path(), anHourAgo, error);
        error.clear();
    }
}

}  // namespace testsupport
