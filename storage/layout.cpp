#include "storage/layout.h"

#include "app/dates.h"
#include "platform/links.h"

namespace fs = boost::filesystem;

bool IsExistingDirectory(const fs::path& path) {
    boost::system::error_code error;
    const fs::file_status first = fs::status(path, error);
    if (error || !fs::exists(first)) return false;
    return fs::is_directory(fs::status(path, error)) && !error;
}

bool IsDayFolder(const fs::directory_entry& entry) {
    boost::system::error_code error;
    if (!fs::is_directory(entry.status(error)) || error) return false;
    return MatchDateFormat(EntryName(entry).c_str());
}

// A listed entry's name ends its path: ending in ".3gp" is having that
// extension, found without taking the path apart for every entry.
bool IsRecordingFile(const fs::directory_entry& entry) {
    static const fs::path::string_type kExtension = fs::path(".3gp").native();
    const fs::path::string_type& path = entry.path().native();
    return path.size() >= kExtension.size() &&
           path.compare(path.size() - kExtension.size(), kExtension.size(), kExtension) == 0;
}

bool IsRegularFile(const fs::directory_entry& entry) { return fs::is_regular_file(entry.status()); }

std::string DayDatabaseName(const std::string& dayFolderName) { return dayFolderName + ".db"; }

std::string EntryName(const fs::directory_entry& entry) { return entry.path().filename().string(); }

bool IsLinkEntry(const fs::directory_entry& entry) { return platform::IsSymbolicLink(entry.path()); }

bool IsDayFolderInRange(const boost::filesystem::directory_entry& entry, const DateRange& range) {
    return IsDayFolder(entry) && !IsLinkEntry(entry) && range.Contains(EntryName(entry));
}
