#include "audit/audit_model.h"

namespace audit {

namespace {

struct KindNames {
    const char* id;
    const char* title;
};

constexpr KindNames kKindNames[kProblemKinds] = {
    {"no_row", "no row"},
    {"unreadable", "unreadable recording"},
    {"missing_recording", "row without recording"},
    {"listed_twice", "listed twice"},
    {"overlap", "overlapping intervals"},
    {"name_time_mismatch", "row time off its name"},
    {"before_2000", "dated before 2000"},
    {"lost_coverage", "coverage lost"},
    {"lost_recording", "recording lost"},
    {"no_database", "no day database"},
    {"database_damaged", "damaged database"},
    {"needs_recovery", "needs recovery"},
    {"not_writable", "not writable by the recorder"},
    {"leftover", "leftover of an interrupted run"},
    {"link_passed_over", "link passed over"},
    {"not_a_recording", "not a recording"},
    {"stale_row", "stale row"},
    {"mixed_zones", "rows in two time zones"},
    {"outage", "outage"},
};

}  // namespace

const char* ProblemId(ProblemKind kind) { return kKindNames[static_cast<int>(kind)].id; }
const char* ProblemTitle(ProblemKind kind) { return kKindNames[static_cast<int>(kind)].title; }

const char* DatabaseStateId(DatabaseState state) {
    switch (state) {
        case DatabaseState::Missing:
            return "missing";
        case DatabaseState::Read:
            return "read";
        case DatabaseState::NeedsRecovery:
            return "needs_recovery";
        case DatabaseState::Busy:
            return "busy";
        case DatabaseState::NotRead:
            return "not_read";
        case DatabaseState::Damaged:
            return "damaged";
    }
    return "";
}

const char* DatabaseOriginId(DatabaseOrigin origin) {
    switch (origin) {
        case DatabaseOrigin::Unknown:
            return "unknown";
        case DatabaseOrigin::Tool:
            return "tool";
        case DatabaseOrigin::Recorder:
            return "recorder";
    }
    return "";
}

const char* LayoutId(Layout layout) {
    switch (layout) {
        case Layout::Empty:
            return "empty";
        case Layout::New:
            return "new";
        case Layout::Old:
            return "old";
        case Layout::Mixed:
            return "mixed";
    }
    return "";
}

unsigned LocationDay::CountOf(ProblemKind kind) const {
    unsigned count = 0;
    for (const Problem& problem : problems) count += problem.kind == kind ? 1 : 0;
    return count;
}

std::string DurationWords(std::uint32_t seconds) {
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) {
        const std::uint32_t rest = seconds % 60;
        return std::to_string(seconds / 60) + " min" + (rest == 0 ? "" : " " + std::to_string(rest) + " s");
    }
    const std::uint32_t minutes = seconds / 60 % 60;
    return std::to_string(seconds / 3600) + " h " + (minutes < 10 ? "0" : "") + std::to_string(minutes) + " min";
}

unsigned LocationDay::OpenProblems() const {
    unsigned count = 0;
    for (const Problem& problem : problems) count += problem.accepted ? 0 : 1;
    return count;
}

const char* LocationDayStatus(const LocationDay& locationDay) {
    if (locationDay.database == DatabaseState::Busy || locationDay.database == DatabaseState::NotRead) {
        return "not_read";
    }
    if (locationDay.OpenProblems() > 0) return "problems";
    if (!locationDay.problems.empty()) return "accepted";
    if (!locationDay.growing.empty()) return "growing";
    return "ok";
}

unsigned Report::OpenProblemCount() const {
    unsigned count = 0;
    for (const Problem& problem : storageProblems) count += problem.accepted ? 0 : 1;
    for (const LocationDay& locationDay : locationDays) count += locationDay.OpenProblems();
    return count;
}

unsigned Report::CountOf(Change change) const {
    unsigned count = 0;
    for (const Problem& problem : storageProblems) count += problem.change == change ? 1 : 0;
    for (const LocationDay& locationDay : locationDays) {
        for (const Problem& problem : locationDay.problems) count += problem.change == change ? 1 : 0;
    }
    return count;
}

unsigned Report::ProblemCount() const {
    unsigned count = static_cast<unsigned>(storageProblems.size());
    for (const LocationDay& locationDay : locationDays) count += static_cast<unsigned>(locationDay.problems.size());
    return count;
}

std::map<ProblemKind, unsigned> Report::ProblemsByKind() const {
    std::map<ProblemKind, unsigned> counts;
    for (const Problem& problem : storageProblems) ++counts[problem.kind];
    for (const LocationDay& locationDay : locationDays) {
        for (const Problem& problem : locationDay.problems) ++counts[problem.kind];
    }
    return counts;
}

}  // namespace audit
