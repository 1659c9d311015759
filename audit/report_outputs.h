#pragma once

#include <string>
#include <vector>

#include "platform/output_file.h"

namespace audit {

// One of the audit's outputs (--html, --json): a file outside the storage,
// or standard output for "-".
struct ReportOutput {
    std::string given;
    bool standardOutput = false;
    platform::OutputTarget target;
    platform::OutputFile file;
};

// Judges every output before anything is read and opens it for writing.
// Refused, with one line in `error`: an existing output that is not a
// regular file, two outputs that are one file, an output whose folder lies
// inside the storage (by the folders' identities, whatever links lead
// there), and an output that can be written neither beside nor, where its
// folder cannot be written, in place (a regular file with one name that is
// no SQLite database). Empty names are skipped.
bool PrepareOutputs(const std::string& storage, const std::vector<std::string>& givens,
                    std::vector<ReportOutput>& outputs, std::string& error);

// Writes an output's whole text: to standard output, or beside it and then
// under its name. False with one line in `error`.
bool WriteReportOutput(ReportOutput& output, const std::string& text, std::string& error);

}  // namespace audit
