#pragma once

// Day databases for the audit tests: copies of the built template with the
// rows a case needs, written with SQLite directly.

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace audittest {

struct FileRowSpec {
    std::string name;
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t interval = 1;
    std::int64_t cameraStart = -1;  // -1: the record start
};
struct IntervalSpec {
    std::uint32_t serial;
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t zone = 48;     // RecordTimeZone: 48 + minutes west of UTC / 15
    std::uint32_t dlSaving = 0;  // RecordDLSaving: 1 where the names are an hour ahead
};

// A copy of the template holding these rows; `marked`: as the tool places it.
void WriteDayDatabase(const boost::filesystem::path& path, const std::vector<IntervalSpec>& intervals,
                      const std::vector<FileRowSpec>& files, bool marked = false);

// The audit executable beside the tool.
std::string AuditPath();

}  // namespace audittest
