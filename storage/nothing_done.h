#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

// Why a road may have found nothing to do, for the résumé: never a refusal,
// only a hint, and always with the bounds in force. Looks at the storage's
// first levels only, and only when nothing was done.
// reverting: for the reversion, which has nothing to do in the old layout.
std::string WhyNothingWasDone(const boost::filesystem::path& storage, const std::string& beginDate,
                              const std::string& endDate, unsigned dayFoldersInRange, bool reverting = false);
