#include "repair/day_database_access.h"

#include <boost/filesystem/path.hpp>

#include "storage/layout.h"
#include "storage/storage_folders.h"

namespace fs = boost::filesystem;

DayDatabaseAccess::DayDatabaseAccess(const std::string& locationPath) {
    const fs::path location(locationPath);
    const std::string dayName = location.parent_path().filename().string();
    name_ = DayDatabaseName(dayName);
    shown_ = (location / name_).string();
    // The storage path is the operator's; below it no link is followed.
    int error = 0;
    const platform::Folder storage = OpenStorageFolder(location.parent_path().parent_path(), error);
    if (error == 0) folder_ = OpenBeneath(storage, {dayName, location.filename().string()}, error);
}

std::string DayDatabaseAccess::ConnectPath() const {
    const std::string held = folder_.IsOpen() ? folder_.PathForLibraries() : std::string();
    if (held.empty()) return shown_;
    return (fs::path(held) / name_).string();
}
