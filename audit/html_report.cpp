#include "audit/html_report.h"

#include <algorithm>
#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

namespace audit {

namespace {

// The timeline's drawing units: a label column, then the day.
constexpr double kLabelWidth = 70;
constexpr double kDayWidth = 1120;
constexpr double kRowHeight = 22;
constexpr double kAxisHeight = 18;
constexpr std::int64_t kDaySeconds = 86400;
// Rows of a day's problems table per kind: enough to act on, few enough
// that a day of thousands stays light.
constexpr std::size_t kRowsPerKind = 100;

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Row seconds (UTC) as the machine's local clock, the way the file names read.
class Clock {
public:
    Clock(long biasMinutes, std::int64_t dayStart) : biasSeconds_(biasMinutes * 60), dayStart_(dayStart) {}

    std::string Text(std::uint32_t seconds) const {
        const std::int64_t local = static_cast<std::int64_t>(seconds) - biasSeconds_;
        const boost::posix_time::ptime time =
            boost::posix_time::ptime(boost::gregorian::date(1970, 1, 1)) + boost::posix_time::seconds(local);
        std::string text = boost::posix_time::to_iso_extended_string(time);
        std::replace(text.begin(), text.end(), 'T', ' ');
        const std::int64_t since = static_cast<std::int64_t>(seconds) - dayStart_;
        return since >= 0 && since <= kDaySeconds ? text.substr(11) : text;
    }
    std::string Range(const TimeRange& range) const {
        return Text(range.start) + " to " + Text(range.end) + " (" +
               std::to_string(static_cast<std::int64_t>(range.end) - range.start) + " s)";
    }
    // The horizontal position of a time, held inside the day.
    double X(std::int64_t seconds) const {
        const double since = static_cast<double>(std::clamp<std::int64_t>(seconds - dayStart_, 0, kDaySeconds));
        return kLabelWidth + since * kDayWidth / kDaySeconds;
    }

private:
    std::int64_t biasSeconds_;
    std::int64_t dayStart_;
};

// Midnight of the day folder's date on the local clock, in UTC seconds; none
// for a name that is no calendar date (2012-19-39 is a day folder's name).
std::optional<std::int64_t> DayStart(const std::string& day, long biasMinutes) {
    try {
        const boost::gregorian::date date = boost::gregorian::from_simple_string(day);
        return (date - boost::gregorian::date(1970, 1, 1)).days() * kDaySeconds + biasMinutes * 60;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Mark(std::ostringstream& svg, const char* kind, const Clock& clock, const TimeRange& range, double y,
          double height, double minimumWidth, const std::string& title, const char* fill = nullptr) {
    double x = clock.X(range.start);
    double width = clock.X(range.end) - x;
    if (width < minimumWidth) {
        x -= (minimumWidth - width) / 2;
        width = minimumWidth;
    }
    svg << "<rect class=\"" << kind << "\" x=\"" << Number(x) << "\" y=\"" << Number(y) << "\" width=\""
        << Number(width) << "\" height=\"" << Number(height) << "\"";
    if (fill != nullptr) svg << " fill=\"" << fill << "\"";
    svg << "><title>" << Escape(title) << "</title></rect>\n";
}

std::string IntervalTitle(const Interval& interval, const Clock& clock) {
    std::string title = "interval " + clock.Range(interval.range) + ", " + std::to_string(interval.files) +
                        (interval.files == 1 ? " recording" : " recordings");
    if (interval.files == 1) title += ": " + interval.firstFile;
    if (interval.files > 1) title += ": " + interval.firstFile + " to " + interval.lastFile;
    return title;
}

// Recordings without a row that would overlap on the screen share one mark,
// which says how many it stands for (data-count) and which files: a day of
// minute-long recordings without rows is one mark, not 1,440 of them.
void RedMarks(std::ostringstream& svg, const LocationDay& location, const Clock& clock, double top) {
    constexpr double kMarkWidth = 3;
    std::vector<const Problem*> marks;
    for (const Problem& problem : location.problems) {
        const bool withoutRow = problem.kind == ProblemKind::NoRow || problem.kind == ProblemKind::Unreadable;
        if (withoutRow && problem.range) marks.push_back(&problem);
    }
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Problem* a, const Problem* b) { return a->range->start < b->range->start; });
    for (std::size_t first = 0; first < marks.size();) {
        std::size_t last = first;
        TimeRange span = *marks[first]->range;
        std::map<std::string, unsigned> reasons{{marks[first]->detail, 1}};
        while (last + 1 < marks.size() && clock.X(marks[last + 1]->range->start) <= clock.X(span.end) + kMarkWidth) {
            ++last;
            span.end = std::max(span.end, marks[last]->range->end);
            ++reasons[marks[last]->detail];
        }
        const std::size_t count = last - first + 1;
        std::string title;
        if (count == 1) {
            title = marks[first]->name + ": " + clock.Range(span) + ", no row: " + marks[first]->detail;
        } else {
            title = std::to_string(count) + " recordings without a row, " + clock.Range(span) + ": " +
                    marks[first]->name + " to " + marks[last]->name + "; why:";
            for (const auto& [reason, times] : reasons) title += " " + reason + " (" + std::to_string(times) + ")";
        }
        svg << "<g data-count=\"" << count << "\">";
        Mark(svg, "norow", clock, span, top + 1, kRowHeight - 2, kMarkWidth, title);
        svg << "</g>";
        first = last + 1;
    }
}

void Timeline(std::ostringstream& page, const std::vector<const LocationDay*>& locations, const Clock& clock,
              std::size_t index) {
    const double height = kAxisHeight + kRowHeight * static_cast<double>(locations.size()) + 4;
    const std::string hatch = "hatch" + std::to_string(index);
    std::ostringstream svg;
    svg << "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 "
        << Number(kLabelWidth + kDayWidth + 10) << " " << Number(height) << "\" role=\"img\">\n"
        << "<defs><pattern id=\"" << hatch
        << "\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
           "<rect width=\"6\" height=\"6\" fill=\"#fde0c5\"/><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" "
           "stroke=\"#d9480f\" stroke-width=\"3\"/></pattern></defs>\n";
    for (int hour = 0; hour <= 24; ++hour) {
        const double x = kLabelWidth + hour * kDayWidth / 24;
        svg << "<line class=\"hour\" x1=\"" << Number(x) << "\" y1=\"" << Number(kAxisHeight - 4) << "\" x2=\""
            << Number(x) << "\" y2=\"" << Number(height) << "\"/>";
        if (hour % 2 == 0 && hour < 24) {
            svg << "<text class=\"axis\" x=\"" << Number(x + 2) << "\" y=\"12\">" << (hour < 10 ? "0" : "") << hour
                << ":00</text>";
        }
        svg << "\n";
    }
    for (std::size_t row = 0; row < locations.size(); ++row) {
        const LocationDay& location = *locations[row];
        const double top = kAxisHeight + kRowHeight * static_cast<double>(row);
        svg << "<g class=\"location\" data-location=\"" << Escape(location.location) << "\">\n"
            << "<text class=\"label\" x=\"4\" y=\"" << Number(top + 15) << "\">" << Escape(location.location)
            << "</text>\n";
        // A location that records on events is expected to have gaps: drawn quietly.
        for (const TimeRange& gap : location.gaps) {
            Mark(svg, location.events ? "gap quiet" : "gap", clock, gap, top + 2, kRowHeight - 4, 1,
                 "gap " + clock.Range(gap) + ": nothing recorded");
        }
        for (const Problem& problem : location.problems) {
            if (problem.kind != ProblemKind::Outage || !problem.range) continue;
            Mark(svg, "outage", clock, *problem.range, top + 1, kRowHeight - 2, 2,
                 "outage " + clock.Range(*problem.range));
        }
        for (const Interval& interval : location.intervals) {
            Mark(svg, "bar", clock, interval.range, top + 4, kRowHeight - 8, 1, IntervalTitle(interval, clock));
        }
        for (const Problem& problem : location.problems) {
            if (problem.kind != ProblemKind::LostCoverage || !problem.range) continue;
            Mark(svg, "lost", clock, *problem.range, top + 4, kRowHeight - 8, 2,
                 "coverage lost against " + problem.name + ": " + clock.Range(*problem.range),
                 ("url(#" + hatch + ")").c_str());
        }
        RedMarks(svg, location, clock, top);
        svg << "</g>\n";
    }
    svg << "</svg>\n";
    page << svg.str();
}

// A hint only: many gaps may mean a camera that records on events, or one
// that keeps dropping out; only the operator can say which (--events).
constexpr std::size_t kGapsOfEventRecording = 12;

std::string EventHint(const LocationDay& location) {
    if (location.events || location.gaps.size() < kGapsOfEventRecording) return {};
    return " (looks like event recording: declare it with --events)";
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void ProblemTables(std::ostringstream& page, const std::vector<const LocationDay*>& locations, const Clock& clock) {
    std::map<ProblemKind, std::vector<std::pair<const LocationDay*, const Problem*>>> byKind;
    std::vector<std::pair<const LocationDay*, const Problem*>> accepted;
    for (const LocationDay* location : locations) {
        for (const Problem& problem : location->problems) {
            (problem.accepted ? accepted : byKind[problem.kind]).emplace_back(location, &problem);
        }
    }
    for (const auto& [kind, problems] : byKind) {
        if (problems.empty()) continue;
        page << "<h4>" << Escape(ProblemTitle(kind)) << " (" << problems.size() << ")</h4>\n"
             << "<table class=\"problems\" data-kind=\"" << ProblemId(kind)
             << "\"><tr><th>Location</th><th>File</th><th>Time</th><th>Detail</th></tr>\n";
        // Lost footage and recordings nobody can read are listed in full:
        // each is something the operator must act on.
        const bool inFull = kind == ProblemKind::Unreadable || kind == ProblemKind::MissingRecording;
        std::size_t shown = 0;
        for (const auto& [location, problem] : problems) {
            if (!inFull && ++shown > kRowsPerKind) {
                page << "<tr><td colspan=\"4\">and " << problems.size() - kRowsPerKind
                     << " more: every one is in the audit's JSON (--json)</td></tr>\n";
                break;
            }
            page << "<tr" << (problem->change == Change::New ? " class=\"new\"" : "") << "><td>"
                 << Escape(location->location) << "</td><td>" << Escape(problem->name) << "</td><td>"
                 << (problem->range ? Escape(clock.Range(*problem->range)) : "") << "</td><td>"
                 << (problem->change == Change::New ? "new: " : "") << Escape(problem->detail) << "</td></tr>\n";
        }
        page << "</table>\n";
    }
    // Known and accepted by the operator (--baseline): apart, and no exit code 1.
    if (accepted.empty()) return;
    page << "<h4>Accepted (" << accepted.size() << ")</h4>\n<table class=\"problems\" data-kind=\"accepted\">"
         << "<tr><th>Location</th><th>File</th><th>Problem</th><th>Detail</th></tr>\n";
    for (const auto& [location, problem] : accepted) {
        page << "<tr><td>" << Escape(location->location) << "</td><td>" << Escape(problem->name) << "</td><td>"
             << Escape(ProblemTitle(problem->kind)) << "</td><td>" << Escape(problem->detail) << "</td></tr>\n";
    }
    page << "</table>\n";
}

// Against the earlier audit (--compare): what is new and what was fixed, at the top.
void ComparisonSection(std::ostringstream& page, const Report& report) {
    const Comparison& comparison = *report.comparison;
    std::vector<std::pair<const LocationDay*, const Problem*>> fresh;
    for (const LocationDay& locationDay : report.locationDays) {
        for (const Problem& problem : locationDay.problems) {
            if (problem.change == Change::New) fresh.emplace_back(&locationDay, &problem);
        }
    }
    for (const Problem& problem : report.storageProblems) {
        if (problem.change == Change::New) fresh.emplace_back(nullptr, &problem);
    }
    const Clock utc(0, 0);
    page << "<section class=\"comparison\"><h2>Since the audit of "
         << Escape(utc.Text(static_cast<std::uint32_t>(comparison.earlierAuditedAt))) << " UTC</h2>\n<p><b>"
         << comparison.fixed.size() << " fixed</b>, " << report.CountOf(Change::Still)
         << " still open, <span class=\"new\">" << fresh.size() << " new</span>.</p>\n";
    if (!fresh.empty()) {
        page << "<table class=\"problems\" data-change=\"new\"><tr><th>Day</th><th>Location</th><th>Problem</th>"
                "<th>File</th><th>Detail</th></tr>\n";
        for (std::size_t i = 0; i < fresh.size() && i < kRowsPerKind; ++i) {
            const auto& [location, problem] = fresh[i];
            page << "<tr class=\"new\"><td>" << (location ? Escape(location->day) : "") << "</td><td>"
                 << (location ? Escape(location->location) : "") << "</td><td>" << Escape(ProblemTitle(problem->kind))
                 << "</td><td>" << Escape(problem->name) << "</td><td>" << Escape(problem->detail) << "</td></tr>\n";
        }
        if (fresh.size() > kRowsPerKind) {
            page << "<tr><td colspan=\"5\">and " << fresh.size() - kRowsPerKind << " more in the JSON</td></tr>\n";
        }
        page << "</table>\n";
    }
    if (!comparison.fixed.empty()) {
        page << "<table class=\"problems\" data-change=\"fixed\"><tr><th>Day</th><th>Location</th><th>Problem</th>"
                "<th>File</th><th>Detail then</th></tr>\n";
        for (std::size_t i = 0; i < comparison.fixed.size() && i < kRowsPerKind; ++i) {
            const FixedProblem& problem = comparison.fixed[i];
            page << "<tr><td>" << Escape(problem.day) << "</td><td>" << Escape(problem.location) << "</td><td>"
                 << Escape(problem.kind) << "</td><td>" << Escape(problem.name) << "</td><td>" << Escape(problem.detail)
                 << "</td></tr>\n";
        }
        if (comparison.fixed.size() > kRowsPerKind) {
            page << "<tr><td colspan=\"5\">and " << comparison.fixed.size() - kRowsPerKind
                 << " more in the JSON</td></tr>\n";
        }
        page << "</table>\n";
    }
    page << "</section>\n";
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.4em}table{border-collapse:collapse;margin:.4em 0 1em}"
    "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left;font-size:.9em}"
    "th{background:#f0f0f0}.meta{color:#555}.warn{color:#b00;font-weight:bold}"
    "details{border:1px solid #ddd;border-radius:4px;margin:.5em 0;padding:.3em .6em}"
    "details.problems>summary{color:#b00}summary{cursor:pointer;font-weight:bold}"
    "svg.timeline{width:100%;max-width:1200px;display:block;margin:.5em 0}"
    ".bar{fill:#2f9e44}.gap{fill:#fff3bf;stroke:#e8b500;stroke-dasharray:2 2}.norow{fill:#e03131}"
    ".gap.quiet{fill:#f8f9fa;stroke:#dee2e6}.outage{fill:#c92a2a;opacity:.35}.new{color:#b00;font-weight:bold}"
    ".hour{stroke:#ddd;stroke-width:1}.axis,.label{font-size:11px;fill:#555;font-family:sans-serif}"
    ".legend svg{vertical-align:middle}";

void Legend(std::ostringstream& page) {
    page << "<p class=\"legend\">"
         << "<svg width=\"24\" height=\"12\"><rect class=\"bar\" width=\"24\" height=\"12\"/></svg> interval "
         << "<svg width=\"24\" height=\"12\"><rect class=\"gap\" width=\"24\" height=\"12\"/></svg> gap "
         << "<svg width=\"24\" height=\"12\"><rect class=\"norow\" x=\"10\" width=\"4\" height=\"12\"/></svg> "
            "recording without a row "
         << "<svg width=\"24\" height=\"12\"><rect width=\"24\" height=\"12\" fill=\"#fde0c5\" stroke=\"#d9480f\" "
            "stroke-dasharray=\"3 2\"/></svg> coverage lost against the backup"
         << " &mdash; hover a mark for its files, times and reason.</p>\n";
}

}  // namespace

std::string HtmlReport(const Report& report) {
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<title>Storage audit: " << Escape(report.storage) << "</title>\n<style>" << kStyle
         << "</style>\n</head>\n<body>\n"
         << "<h1>Storage audit: " << Escape(report.storage)
         << "</h1>\n<p class=\"meta\">Layout: " << LayoutId(report.layout) << ". Audited at "
         << Escape(Clock(0, 0).Text(static_cast<std::uint32_t>(report.auditedAt))) << " UTC"
         << (report.verified ? ", every recording read again (--verify)" : "") << ". Times are the recorder's clock.";
    page << "</p>\n";
    if (report.comparison) ComparisonSection(page, report);

    unsigned recordings = 0, rows = 0, intervals = 0, gaps = 0;
    for (const LocationDay& locationDay : report.locationDays) {
        recordings += locationDay.recordings;
        rows += locationDay.rows;
        intervals += static_cast<unsigned>(locationDay.intervals.size());
        gaps += static_cast<unsigned>(locationDay.gaps.size());
    }
    page << "<table class=\"totals\"><tr><th>Location-days</th><th>Recordings</th><th>Rows</th><th>Intervals</th>"
            "<th>Gaps</th><th>Problems</th>"
         << (report.baselineGiven ? "<th>Accepted</th>" : "") << "</tr>\n<tr><td>" << report.locationDays.size()
         << "</td><td>" << recordings << "</td><td>" << rows << "</td><td>" << intervals << "</td><td>" << gaps
         << "</td><td>" << report.OpenProblemCount() << "</td>"
         << (report.baselineGiven ? "<td>" + std::to_string(report.ProblemCount() - report.OpenProblemCount()) + "</td>"
                                  : std::string())
         << "</tr></table>\n";
    if (report.ProblemCount() != 0) {
        page << "<table class=\"kinds\"><tr><th>Problem</th><th>Count</th></tr>\n";
        for (const auto& [kind, count] : report.ProblemsByKind()) {
            page << "<tr><td>" << Escape(ProblemTitle(kind)) << "</td><td>" << count << "</td></tr>\n";
        }
        page << "</table>\n";
    }
    if (!report.storageProblems.empty()) {
        page << "<h3>In the storage folder</h3>\n<table class=\"problems\"><tr><th>Name</th><th>Problem</th>"
                "<th>Detail</th></tr>\n";
        for (const Problem& problem : report.storageProblems) {
            page << "<tr><td>" << Escape(problem.name) << "</td><td>" << Escape(ProblemTitle(problem.kind))
                 << "</td><td>" << Escape(problem.detail) << "</td></tr>\n";
        }
        page << "</table>\n";
    }
    Legend(page);

    std::map<std::string, std::vector<const LocationDay*>> days;
    for (const LocationDay& locationDay : report.locationDays) days[locationDay.day].push_back(&locationDay);
    std::size_t index = 0;
    for (const auto& [day, locations] : days) {
        std::size_t problems = 0, dayRecordings = 0;
        const LocationDay* longest = nullptr;
        for (const LocationDay* location : locations) {
            problems += location->OpenProblems();
            dayRecordings += location->recordings;
            const auto length = [](const LocationDay* of) { return of->longestGap->end - of->longestGap->start; };
            if (location->longestGap && (longest == nullptr || length(location) > length(longest))) longest = location;
        }
        const std::optional<std::int64_t> start = DayStart(day, report.biasMinutes);
        const Clock clock(report.biasMinutes, start.value_or(0));
        page << "<details class=\"day" << (problems != 0 ? " problems\" open" : "\"") << " data-day=\"" << Escape(day)
             << "\">\n<summary>" << Escape(day) << ": " << Plural(locations.size(), "location", "locations") << ", "
             << Plural(dayRecordings, "recording", "recordings") << ", "
             << (problems == 0 ? std::string("no problems") : Plural(problems, "problem", "problems"))
             << (longest == nullptr
                     ? std::string()
                     : ", longest gap " + DurationWords(longest->longestGap->end - longest->longestGap->start) +
                           " (location " + Escape(longest->location) + ")")
             << "</summary>\n";
        if (start) {
            Timeline(page, locations, clock, index++);
        } else {
            page << "<p>No timeline: the folder's name is no calendar date.</p>\n";
        }
        page << "<table class=\"locations\"><tr><th>Location</th><th>Recordings</th><th>Rows</th><th>Intervals</th>"
                "<th>Gaps</th><th>Recorded</th><th>Longest gap</th><th>Database</th></tr>\n";
        for (const LocationDay* location : locations) {
            page << "<tr><td>" << Escape(location->location) << (location->events ? " (events)" : "") << "</td><td>"
                 << location->recordings << "</td><td>" << location->rows << "</td><td>" << location->intervals.size()
                 << "</td><td>" << location->gaps.size() << EventHint(*location) << "</td><td>"
                 << DurationWords(location->recordedSeconds) << "</td><td>"
                 << (location->longestGap ? DurationWords(location->longestGap->end - location->longestGap->start)
                                          : std::string("none"))
                 << "</td><td>" << (location->folderMissing ? "no folder" : DatabaseStateId(location->database))
                 << (location->database == DatabaseState::Read
                         ? std::string(", ") +
                               (location->origin == DatabaseOrigin::Tool ? "placed by Tolvane2" : "the recorder's")
                         : std::string())
                 << (location->databaseDetail.empty() ? "" : ": " + Escape(location->databaseDetail))
                 << (location->growing.empty()
                         ? ""
                         : "; " + Plural(location->growing.size(), "recording", "recordings") + " growing")
                 << "</td></tr>\n";
        }
        page << "</table>\n";
        ProblemTables(page, locations, clock);
        page << "</details>\n";
    }
    page << "</body>\n</html>\n";
    return page.str();
}

}  // namespace audit
