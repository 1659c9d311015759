#pragma once

#include <string>

// Moves every old-structure day folder <path>/<location>/<date> in range to
// <path>/<date>/<location> and places a fresh day database in it.
void ConvertDirectoryStructure(const std::string& storagePath, const std::string& beginDate,
                               const std::string& endDate);
