#pragma once

#include <string>

namespace audit {

struct AuditOptions {
    std::string path;
    std::string beginDate;
    std::string endDate;
    std::string htmlFile;
    std::string jsonFile;
    unsigned gapSeconds = 60;
    bool verify = false;
};

enum class ParseOutcome { Run, Help, Version, UsageError };

// Fills options from the arguments; a usage error says what is wrong in
// `error`. An unknown option, a missing -p or a date not in YYYY-MM-DD form is
// a usage error.
ParseOutcome ParseAuditCommandLine(int argc, const char* const argv[], AuditOptions& options, std::string& error);

std::string AuditUsage();

}  // namespace audit
