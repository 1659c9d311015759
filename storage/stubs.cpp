#include "storage/conversion.h"
#include "storage/reversion.h"
#include "storage/template_database.h"

void ConvertDirectoryStructure(const std::string&, const std::string&, const std::string&) {}
void RevertDirectoryStructure(const std::string&, const std::string&, const std::string&) {}
void CopyTemplateDB(const std::string&, const std::string&, const std::string&) {}
