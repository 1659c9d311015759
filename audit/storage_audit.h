#pragma once

#include <string>

#include "app/dates.h"
#include "audit/audit_model.h"
#include "audit/audit_progress.h"
#include "audit/location_audit.h"

namespace audit {

// Audits every location-day in range in either layout, or both at once. False
// (with `error` set) when the storage itself cannot be read.
bool AuditStorage(const std::string& storage, const DateRange& range, const AuditSettings& settings,
                  AuditProgress& progress, Report& report, std::string& error);

}  // namespace audit
