#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "audit/audit_model.h"
#include "audit/audit_progress.h"
#include "platform/folder.h"

class ReadAhead;

namespace audit {

struct AuditSettings {
    unsigned gapSeconds = 60;
    bool verify = false;   // read every recording, not only those without a row
    std::int64_t now = 0;  // seconds since 1970: recordings the recorder wrote recently are growing
    long biasMinutes = 0;  // the machine's standard bias, as a repair uses it
    // Outages: a gap longer than this (for every location, or per location)
    // is a problem; locations that record on events have none.
    std::optional<unsigned> maxGapSeconds;
    std::map<std::string, unsigned> maxGapByLocation;
    std::set<std::string> eventLocations;

    std::optional<unsigned> MaxGapFor(const std::string& location) const;
};

// How far a row's start may lie from the time its file name gives.
constexpr std::int64_t kNameTimeToleranceSeconds = 5 * 60;
// 2000-01-01 00:00:00 UTC: a row dated before it comes from a clock never set.
constexpr std::uint32_t kYear2000 = 946684800u;

// Audits one location folder of one day, held as `folder` (reached from the
// storage's handle) and shown as `shown`. Only reads.
LocationDay AuditLocationDay(const platform::Folder& folder, const boost::filesystem::path& shown,
                             const std::string& day, const std::string& location, const AuditSettings& settings,
                             ReadAhead& readAhead, AuditProgress& progress);

}  // namespace audit
