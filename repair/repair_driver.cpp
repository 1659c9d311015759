#include "repair/repair_driver.h"

void RepairStorage(const std::string&, const std::string&, const std::string&) {}
