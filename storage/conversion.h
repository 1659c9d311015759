#pragma once

#include <string>

#include "app/run_summary.h"
#include "storage/placed_databases.h"

// Moves every old-structure day folder <path>/<location>/<date> in range to
// <path>/<date>/<location> and places a fresh day database in it.
// What it moved and left, and why, goes to the summary; what it installed
// goes to placed for the run's repair.
void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                               const std::string& endDate);
void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                               RunSummary& summary, PlacedDatabases& placed);
