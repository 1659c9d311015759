#pragma once

#include <string>

#include "repair/db_interface.h"

// Rebuilds the day databases of every location folder of every day folder in
// range (new directory structure) through the database plug-in.
void RepairStorage(const std::string& storagePath, const std::string& beginDate, const std::string& endDate);

// Rebuilds one location folder of one day: collects its recordings, orders
// them by serial number and indexes them. Reports its own failures.
void RepairLocADay(const std::string& locationPath, const DbInterfaceTable& table);
