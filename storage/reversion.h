#pragma once

#include <string>

#include "app/run_summary.h"

// Moves every new-structure location folder <path>/<date>/<location> in range
// back to <path>/<location>/<date> and deletes the day databases there.
// Day databases a stopped reversion left in the old layout, marked as the
// tool's, go too. The résumé comes right before the closing lines.
void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);
void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                              RunSummary& summary);
