#pragma once

#include <string>

// Rebuilds the day databases of every location folder of every day folder in
// range (new directory structure) through the database plug-in.
void RepairStorage(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);
