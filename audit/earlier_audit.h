#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "audit/audit_model.h"

// What an earlier audit found (--compare) and what the operator accepted
// (--baseline), matched to this audit's problems by a key that survives a
// repair: kind, day, location and file name, or the time range where the
// problem names no file (a repair renumbers intervals).
namespace audit {

std::string ProblemKey(const std::string& day, const std::string& location, const Problem& problem);

struct KnownProblems {
    std::int64_t auditedAt = 0;
    std::map<std::string, FixedProblem> byKey;
};

// Reads an audit's JSON (any format this audit knows) or an --accept-all
// file. False with the reason when it cannot be read, is of an unknown or
// newer format, or is of another storage than the one given (its canonical
// path; the path as given where the file holds none).
bool ReadKnownProblems(const std::string& file, const std::string& storageGiven, const std::string& storageCanonical,
                       KnownProblems& known, std::string& error);

// Marks each problem still or new and lists the earlier ones gone as fixed.
void CompareWithEarlier(Report& report, const KnownProblems& earlier, const std::string& earlierFile);

// Marks the problems the operator accepted.
void ApplyBaseline(Report& report, const KnownProblems& accepted);

// Every problem of this audit as a file --baseline reads: the operator's
// own list of what is known and accepted, to be edited as they see fit.
std::string AcceptedProblemsJson(const Report& report);

}  // namespace audit
