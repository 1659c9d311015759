#include "audit/json_report.h"

#include <nlohmann/json.hpp>

namespace audit {

namespace {

using nlohmann::json;

// Raised when the meaning of a field changes; new fields do not raise it.
constexpr int kFormat = 2;

json Range(const TimeRange& range) { return json::array({range.start, range.end}); }

json Ranges(const std::vector<TimeRange>& ranges) {
    json list = json::array();
    for (const TimeRange& range : ranges) list.push_back(Range(range));
    return list;
}

json Intervals(const std::vector<Interval>& intervals) {
    json list = json::array();
    for (const Interval& interval : intervals) {
        list.push_back({{"range", Range(interval.range)},
                        {"first_file", interval.firstFile},
                        {"last_file", interval.lastFile},
                        {"files", interval.files}});
    }
    return list;
}

json Problems(const std::vector<Problem>& problems) {
    json list = json::array();
    for (const Problem& problem : problems) {
        json item = {{"kind", ProblemId(problem.kind)}, {"name", problem.name}, {"detail", problem.detail}};
        if (problem.range) item["range"] = Range(*problem.range);
        if (problem.change) item["change"] = *problem.change == Change::New ? "new" : "still";
        if (problem.accepted) item["accepted"] = true;
        list.push_back(std::move(item));
    }
    return list;
}

json NamedOffsets(const std::map<long, unsigned>& offsets) {
    json object = json::object();
    for (const auto& [offset, count] : offsets) object[std::to_string(offset)] = count;
    return object;
}

json LocationDayJson(const LocationDay& locationDay) {
    json unlisted = json::array();
    for (const UnlistedRecording& recording : locationDay.unlisted) {
        json item = {{"name", recording.name}, {"reason", recording.reason}};
        if (recording.times) item["range"] = Range(*recording.times);
        unlisted.push_back(std::move(item));
    }
    return {
        {"day", locationDay.day},
        {"location", locationDay.location},
        {"status", LocationDayStatus(locationDay)},
        {"events", locationDay.events},
        {"folder_missing", locationDay.folderMissing},
        {"recorded_seconds", locationDay.recordedSeconds},
        {"longest_gap", locationDay.longestGap ? Range(*locationDay.longestGap) : json(nullptr)},
        {"recordings", locationDay.recordings},
        {"rows", locationDay.rows},
        {"database",
         {{"state", DatabaseStateId(locationDay.database)},
          {"origin", DatabaseOriginId(locationDay.origin)},
          {"detail", locationDay.databaseDetail},
          {"old_backup", locationDay.oldBackup.has_value()},
          {"prev_backup", locationDay.previousBackup.has_value()}}},
        {"intervals", Intervals(locationDay.intervals)},
        {"gaps", Ranges(locationDay.gaps)},
        {"growing", locationDay.growing},
        {"unlisted", unlisted},
        {"other_entries", locationDay.otherEntries},
        {"row_zones_minutes_east", locationDay.rowZones},
        {"named_offsets_minutes_east", NamedOffsets(locationDay.namedOffsets)},
        {"problems", Problems(locationDay.problems)},
    };
}

json ComparisonJson(const Comparison& comparison, const Report& report) {
    json fixed = json::array();
    for (const FixedProblem& problem : comparison.fixed) {
        json item = {{"day", problem.day},
                     {"location", problem.location},
                     {"kind", problem.kind},
                     {"name", problem.name},
                     {"detail", problem.detail}};
        if (problem.range) item["range"] = Range(*problem.range);
        fixed.push_back(std::move(item));
    }
    return {{"earlier_file", comparison.earlierFile}, {"earlier_audited_at", comparison.earlierAuditedAt},
            {"fixed", comparison.fixed.size()},       {"still", report.CountOf(Change::Still)},
            {"new", report.CountOf(Change::New)},     {"fixed_problems", fixed}};
}

const char* StorageStatus(const Report& report) {
    if (report.repairRunning) return "repair_running";
    if (report.OpenProblemCount() > 0) return "problems";
    return report.ProblemCount() > 0 ? "accepted" : "ok";
}

}  // namespace

std::string JsonReport(const Report& report) {
    unsigned recordings = 0, rows = 0, intervals = 0, gaps = 0;
    json days = json::array();
    for (const LocationDay& locationDay : report.locationDays) {
        recordings += locationDay.recordings;
        rows += locationDay.rows;
        intervals += static_cast<unsigned>(locationDay.intervals.size());
        gaps += static_cast<unsigned>(locationDay.gaps.size());
        days.push_back(LocationDayJson(locationDay));
    }
    json byKind = json::object();
    for (const auto& [kind, count] : report.ProblemsByKind()) byKind[ProblemId(kind)] = count;
    json document = {
        {"format", kFormat},
        {"tool", {{"name", "Tolvane2Audit"}, {"version", TOLVANE2_VERSION}}},
        {"arguments", report.arguments},
        {"status", StorageStatus(report)},
        {"storage", report.storage},
        {"storage_canonical", report.storageCanonical},
        {"layout", LayoutId(report.layout)},
        {"repair_running", report.repairRunning},
        {"verified", report.verified},
        {"gap_seconds", report.gapSeconds},
        {"audited_at", report.auditedAt},
        {"bias_minutes", report.biasMinutes},
        {"totals",
         {{"location_days", report.locationDays.size()},
          {"recordings", recordings},
          {"rows", rows},
          {"intervals", intervals},
          {"gaps", gaps},
          {"problems", report.ProblemCount()},
          {"accepted", report.ProblemCount() - report.OpenProblemCount()},
          {"problems_by_kind", byKind}}},
        {"storage_problems", Problems(report.storageProblems)},
        {"location_days", days},
    };
    if (report.comparison) document["comparison"] = ComparisonJson(*report.comparison, report);
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace audit
