#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace audit {

struct AuditOptions {
    std::string path;
    std::string beginDate;
    std::string endDate;
    std::string htmlFile;
    std::string jsonFile;
    unsigned gapSeconds = 60;
    bool verify = false;
    std::string compareFile;    // an earlier audit's JSON
    std::string baselineFile;   // the problems the operator accepted
    std::string acceptAllFile;  // where to write this audit's problems as such a file
    std::optional<unsigned> maxGapSeconds;
    std::map<std::string, unsigned> maxGapByLocation;
    std::set<std::string> eventLocations;
    std::vector<std::string> arguments;  // as given, for the JSON
};

enum class ParseOutcome { Run, Help, Version, UsageError };

// Fills options from the arguments; a usage error says what is wrong in
// `error`. An unknown option, a missing -p or a date not in YYYY-MM-DD form is
// a usage error.
ParseOutcome ParseAuditCommandLine(int argc, const char* const argv[], AuditOptions& options, std::string& error);

std::string AuditUsage();

}  // namespace audit
