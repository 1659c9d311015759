#pragma once

#include <string>

#include "audit/audit_model.h"

namespace audit {

// The model as one self-contained static page: totals, then per day an inline
// SVG timeline (a row per location over the day's 24 hours: intervals as bars,
// gaps as marked spans, recordings without a row as red marks, coverage lost
// against the backup hatched), each mark titled with its file names, times and
// reason, and the day's problems grouped by kind. Days without problems are
// folded. No script, no style sheet, font or image from elsewhere.
std::string HtmlReport(const Report& report);

}  // namespace audit
