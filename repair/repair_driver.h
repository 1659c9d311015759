#pragma once

#include <string>

#include "app/run_summary.h"
#include "storage/placed_databases.h"

// Rebuilds the day databases of every location folder of every day folder in
// range (new directory structure) through the database plug-in; only those
// that placed says this run's placement installed are written.
// What it wrote and left, and why, goes to the summary; so does the zone the
// recorder may have run at, said once when it is not the machine's.
void RepairStorage(const std::string& storagePath, const std::string& beginDate, const std::string& endDate,
                   RunSummary& summary, const PlacedDatabases& placed);
