#pragma once

#include <string>

#include "audit/audit_model.h"

namespace audit {

// The model as JSON, its fields documented in the README. Names that are not
// valid UTF-8 (Linux names are bytes) get U+FFFD where they are not.
std::string JsonReport(const Report& report);

}  // namespace audit
