#pragma once

#include <string>

#include "app/run_summary.h"
#include "storage/placed_databases.h"

// Places a fresh copy of the template database in every location folder of
// every day folder in range (new directory structure).
// What it left, and why, goes to the summary; what it installed, and the
// location folders it left to the recorder, go to placed for the run's repair.
void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);
void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                    RunSummary& summary, PlacedDatabases& placed);
