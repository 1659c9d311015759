#pragma once

#include <boost/program_options/variables_map.hpp>
#include <string>

// The values main owns for the run; initial values stand when an option is absent.
struct CommandLineOptions {
    std::string recordingPath;
    std::string beginDate;
    std::string endDate;
    bool databaseOnly = false;
    bool revert = false;
    unsigned verboseLevel = 1;
};

// Parses the arguments, echoes every option found and returns only when the
// recording path is present. Help and every parse error end the process with
// exit code 0.
void ParseCommandLine(std::string& recordingPath, std::string& beginDate, int argc, const char* const argv[],
                      boost::program_options::variables_map& variablesMap, std::string& endDate, bool& databaseOnly,
                      bool& revert, unsigned& verboseLevel);

// Convenience over the above for a CommandLineOptions record.
void ParseCommandLine(CommandLineOptions& options, int argc, const char* const argv[]);
