#pragma once

#include <ostream>

#include "audit/audit_model.h"

namespace audit {

// The console's account: the storage and its layout, one line per
// location-day (recordings, rows, intervals, problems by kind), then totals.
void WriteSummary(const Report& report, std::ostream& out);

}  // namespace audit
