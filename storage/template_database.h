#pragma once

#include <string>

// Places a fresh copy of the template database in every location folder of
// every day folder in range (new directory structure).
void CopyTemplateDB(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);
