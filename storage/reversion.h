#pragma once

#include <string>

// Moves every new-structure location folder <path>/<date>/<location> in range
// back to <path>/<location>/<date> and deletes the day databases there.
void RevertDirectoryStructure(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);
