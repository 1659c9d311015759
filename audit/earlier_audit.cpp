#include "audit/earlier_audit.h"

#include <boost/filesystem/operations.hpp>
#include <boost/nowide/fstream.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

namespace audit {

namespace {

using nlohmann::json;

// The formats of the audit's JSON this audit reads: 1 and 2 differ only in
// kinds and fields that a comparison does not need.
constexpr int kNewestKnownFormat = 2;
// An audit's JSON of a very large storage stays well below this.
constexpr std::streamsize kLargestFile = 1 << 30;

std::string RangeKey(const std::optional<TimeRange>& range) {
    return range ? std::to_string(range->start) + "-" + std::to_string(range->end) : std::string();
}

std::string Key(const std::string& kind, const std::string& day, const std::string& location, const std::string& name,
                bool namesNoFile, const std::optional<TimeRange>& range) {
    // Fields joined by a byte no name on the console or in JSON ever holds.
    return kind + '\x1f' + day + '\x1f' + location + '\x1f' + (namesNoFile ? "@" + RangeKey(range) : name);
}

std::optional<TimeRange> RangeOf(const json& item) {
    const json range = item.value("range", json());
    const bool pair = range.is_array() && range.size() == 2;
    if (!pair || !range[0].is_number_unsigned() || !range[1].is_number_unsigned()) return std::nullopt;
    return TimeRange{range[0].get<std::uint32_t>(), range[1].get<std::uint32_t>()};
}

std::string Text(const json& item, const char* field) {
    const auto value = item.find(field);
    return value != item.end() && value->is_string() ? value->get<std::string>() : std::string();
}

// Interval problems name intervals, "interval 3" or "intervals 3 and 4",
// in every format; outages name nothing. A repair renumbers intervals, so
// these are known again by their time range.
bool NamesNoFile(const std::string& kind, const std::string& name) {
    return name.empty() || kind == "overlap" || name.rfind("interval ", 0) == 0;
}

void Take(const json& problems, const std::string& day, const std::string& location, KnownProblems& known) {
    if (!problems.is_array()) return;
    for (const json& item : problems) {
        if (!item.is_object()) continue;
        FixedProblem problem{day,          location, Text(item, "kind"), Text(item, "name"), Text(item, "detail"),
                             RangeOf(item)};
        const std::string key =
            Key(problem.kind, day, location, problem.name, NamesNoFile(problem.kind, problem.name), problem.range);
        known.byKey.emplace(key, std::move(problem));
    }
}

// The whole text of a file that opens and is of a size an audit's JSON can be.
std::optional<std::string> WholeText(const std::string& file) {
    boost::nowide::ifstream in(file, std::ios::binary);
    // Its size first: a file named by mistake is not read whole into memory.
    in.seekg(0, std::ios::end);
    if (!in || in.tellg() > kLargestFile) return std::nullopt;
    in.seekg(0, std::ios::beg);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ReadJson(const std::string& file, json& document, std::string& error) {
    // A FIFO or a device would be waited on or read without end.
    boost::system::error_code status;
    if (!boost::filesystem::is_regular_file(boost::filesystem::path(file), status)) {
        error = "cannot read " + file + (status ? "" : ": not a file");
        return false;
    }
    const std::optional<std::string> text = WholeText(file);
    document = text ? json::parse(*text, nullptr, false) : json(json::value_t::discarded);
    if (document.is_discarded() || !document.is_object()) {
        error = file + " is no audit's JSON";
        return false;
    }
    return true;
}

}  // namespace

std::string ProblemKey(const std::string& day, const std::string& location, const Problem& problem) {
    const std::string kind = ProblemId(problem.kind);
    return Key(kind, day, location, problem.name, NamesNoFile(kind, problem.name), problem.range);
}

bool ReadKnownProblems(const std::string& file, const std::string& storageGiven, const std::string& storageCanonical,
                       KnownProblems& known, std::string& error) {
    json document;
    if (!ReadJson(file, document, error)) return false;
    const auto format = document.find("format");
    if (format == document.end() || !format->is_number_integer() || format->get<long long>() < 1 ||
        format->get<long long>() > kNewestKnownFormat) {
        error = file + " is of a format this audit does not know (a newer audit's?)";
        return false;
    }
    const std::string canonical = Text(document, "storage_canonical");
    const bool sameStorage =
        canonical.empty() ? Text(document, "storage") == storageGiven || Text(document, "storage") == storageCanonical
                          : canonical == storageCanonical;
    if (!sameStorage) {
        error = file + " is of another storage (" + (canonical.empty() ? Text(document, "storage") : canonical) + ")";
        return false;
    }
    if (document.value("repair_running", false)) {
        error = file + " judged nothing (a repair was running)";
        return false;
    }
    const auto at = document.find("audited_at");
    if (at != document.end() && at->is_number_integer()) known.auditedAt = at->get<std::int64_t>();
    // An --accept-all file lists its problems flat; an audit's JSON by location-day.
    const auto accepted = document.find("accepted_problems");
    if (accepted != document.end() && accepted->is_array()) {
        for (const json& item : *accepted) {
            if (item.is_object()) Take(json::array({item}), Text(item, "day"), Text(item, "location"), known);
        }
        return true;
    }
    Take(document.value("storage_problems", json::array()), "", "", known);
    const auto days = document.find("location_days");
    if (days != document.end() && days->is_array()) {
        for (const json& day : *days) {
            if (day.is_object())
                Take(day.value("problems", json::array()), Text(day, "day"), Text(day, "location"), known);
        }
    }
    return true;
}

namespace {

template <typename Visit>
void EachProblem(Report& report, Visit visit) {
    for (Problem& problem : report.storageProblems) visit(std::string(), std::string(), problem);
    for (LocationDay& locationDay : report.locationDays) {
        for (Problem& problem : locationDay.problems) visit(locationDay.day, locationDay.location, problem);
    }
}

}  // namespace

void CompareWithEarlier(Report& report, const KnownProblems& earlier, const std::string& earlierFile) {
    Comparison comparison;
    comparison.earlierFile = earlierFile;
    comparison.earlierAuditedAt = earlier.auditedAt;
    std::map<std::string, bool> seen;
    EachProblem(report, [&](const std::string& day, const std::string& location, Problem& problem) {
        const std::string key = ProblemKey(day, location, problem);
        problem.change = earlier.byKey.count(key) != 0 ? Change::Still : Change::New;
        seen[key] = true;
    });
    // A location-day outside this audit's range is not judged, so nothing of it is fixed.
    std::map<std::pair<std::string, std::string>, bool> judged;
    for (const LocationDay& locationDay : report.locationDays) judged[{locationDay.day, locationDay.location}] = true;
    for (const auto& [key, problem] : earlier.byKey) {
        const bool inScope = problem.day.empty() || judged.count({problem.day, problem.location}) != 0;
        if (inScope && seen.count(key) == 0) comparison.fixed.push_back(problem);
    }
    report.comparison = std::move(comparison);
}

void ApplyBaseline(Report& report, const KnownProblems& accepted) {
    report.baselineGiven = true;
    EachProblem(report, [&](const std::string& day, const std::string& location, Problem& problem) {
        problem.accepted = accepted.byKey.count(ProblemKey(day, location, problem)) != 0;
    });
}

std::string AcceptedProblemsJson(const Report& report) {
    json list = json::array();
    auto add = [&](const std::string& day, const std::string& location, const Problem& problem) {
        json item = {{"day", day},
                     {"location", location},
                     {"kind", ProblemId(problem.kind)},
                     {"name", problem.name},
                     {"detail", problem.detail}};
        if (problem.range) item["range"] = json::array({problem.range->start, problem.range->end});
        list.push_back(std::move(item));
    };
    for (const Problem& problem : report.storageProblems) add("", "", problem);
    for (const LocationDay& locationDay : report.locationDays) {
        for (const Problem& problem : locationDay.problems) add(locationDay.day, locationDay.location, problem);
    }
    const json document = {{"format", kNewestKnownFormat},
                           {"storage", report.storage},
                           {"storage_canonical", report.storageCanonical},
                           {"audited_at", report.auditedAt},
                           {"accepted_problems", list}};
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace audit
