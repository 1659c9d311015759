#include "audit/html_report.h"

#include <map>
#include <optional>
#include <sstream>

#include "app/next_steps.h"
#include "audit/page_clock.h"
#include "audit/page_timeline.h"
#include "platform/time_zone.h"

namespace audit {

namespace {

// Rows of a day's problems table per kind: enough to act on, few enough
// that a day of thousands stays light.
constexpr std::size_t kRowsPerKind = 100;
// A timeline at this many times the page's width, for a closer look.
constexpr int kZoom = 4;

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Anchors: a day, and a kind of problem within a day.
std::string DayAnchor(const std::string& day) { return "day-" + Escape(day); }
std::string KindAnchor(const std::string& day, ProblemKind kind) { return DayAnchor(day) + "-" + ProblemId(kind); }

// A hint only: many gaps may mean a camera that records on events, or one
// that keeps dropping out; only the operator can say which (--events).
constexpr std::size_t kGapsOfEventRecording = 12;

std::string EventHint(const LocationDay& location) {
    if (location.events || location.gaps.size() < kGapsOfEventRecording) return {};
    return " (looks like event recording: declare it with --events)";
}

void NextStep(std::ostringstream& page, const std::string& id, const std::string& before = "Next: ") {
    const std::string step = NextStepFor(id);
    if (!step.empty()) page << "<p class=\"next\">" << before << Escape(step) << "</p>\n";
}

// Tables wrap or scroll inside their own box, never the page.
void OpenTable(std::ostringstream& page, const std::string& attributes) {
    page << "<div class=\"scroll\"><table " << attributes << ">";
}
void CloseTable(std::ostringstream& page) { page << "</table></div>\n"; }

void ProblemTables(std::ostringstream& page, const std::string& day, const std::vector<const LocationDay*>& locations,
                   const DayClock& clock) {
    std::map<ProblemKind, std::vector<std::pair<const LocationDay*, const Problem*>>> byKind;
    std::vector<std::pair<const LocationDay*, const Problem*>> accepted;
    for (const LocationDay* location : locations) {
        for (const Problem& problem : location->problems) {
            (problem.accepted ? accepted : byKind[problem.kind]).emplace_back(location, &problem);
        }
    }
    for (const auto& [kind, problems] : byKind) {
        page << "<h4 id=\"" << KindAnchor(day, kind) << "\">" << Swatch(ProblemId(kind)) << " "
             << Escape(ProblemTitle(kind)) << " (" << problems.size() << ")</h4>\n";
        NextStep(page, ProblemId(kind));
        OpenTable(page, "class=\"problems\" data-kind=\"" + std::string(ProblemId(kind)) + "\"");
        page << "<tr><th>Location</th><th>File</th><th>Time</th><th>Detail</th></tr>\n";
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
            std::string time;
            if (kind == ProblemKind::Unreadable) {
                const std::string named = NamedTimeText(problem->name);
                time = named.empty() ? "none in its name" : named + " (in its name), unreadable";
            } else if (problem->range) {
                time = clock.Range(*problem->range);
            }
            page << "<tr" << (problem->change == Change::New ? " class=\"new\"" : "") << "><td>"
                 << Escape(location->location) << "</td><td>" << Escape(problem->name) << "</td><td>" << Escape(time)
                 << "</td><td>" << (problem->change == Change::New ? "new: " : "")
                 << Escape(ReadableDetail(problem->detail, clock)) << "</td></tr>\n";
        }
        CloseTable(page);
    }
    // Known and accepted by the operator (--baseline): apart, and no exit code 1.
    if (accepted.empty()) return;
    page << "<h4>Accepted (" << accepted.size() << ")</h4>\n";
    OpenTable(page, "class=\"problems\" data-kind=\"accepted\"");
    page << "<tr><th>Location</th><th>File</th><th>Problem</th><th>Detail</th></tr>\n";
    for (const auto& [location, problem] : accepted) {
        page << "<tr><td>" << Escape(location->location) << "</td><td>" << Escape(problem->name) << "</td><td>"
             << Escape(ProblemTitle(problem->kind)) << "</td><td>" << Escape(ReadableDetail(problem->detail, clock))
             << "</td></tr>\n";
    }
    CloseTable(page);
}

// Against the earlier audit (--compare): what is new and what was fixed, at the top.
void ComparisonSection(std::ostringstream& page, const Report& report, const DayClock& clock) {
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
    page << "<section class=\"comparison\"><h2>Since the audit of " << Escape(UtcText(comparison.earlierAuditedAt))
         << " UTC</h2>\n<p><b>" << comparison.fixed.size() << " fixed</b>, " << report.CountOf(Change::Still)
         << " still open, <span class=\"new\">" << fresh.size() << " new</span>.</p>\n";
    if (!fresh.empty()) {
        OpenTable(page, "class=\"problems\" data-change=\"new\"");
        page << "<tr><th>Day</th><th>Location</th><th>Problem</th><th>File</th><th>Detail</th></tr>\n";
        for (std::size_t i = 0; i < fresh.size() && i < kRowsPerKind; ++i) {
            const auto& [location, problem] = fresh[i];
            page << "<tr class=\"new\"><td>" << (location ? Escape(location->day) : "") << "</td><td>"
                 << (location ? Escape(location->location) : "") << "</td><td>" << Escape(ProblemTitle(problem->kind))
                 << "</td><td>" << Escape(problem->name) << "</td><td>"
                 << Escape(ReadableDetail(problem->detail, clock)) << "</td></tr>\n";
        }
        if (fresh.size() > kRowsPerKind) {
            page << "<tr><td colspan=\"5\">and " << fresh.size() - kRowsPerKind << " more in the JSON</td></tr>\n";
        }
        CloseTable(page);
    }
    if (!comparison.fixed.empty()) {
        OpenTable(page, "class=\"problems\" data-change=\"fixed\"");
        page << "<tr><th>Day</th><th>Location</th><th>Problem</th><th>File</th><th>Detail then</th></tr>\n";
        for (std::size_t i = 0; i < comparison.fixed.size() && i < kRowsPerKind; ++i) {
            const FixedProblem& problem = comparison.fixed[i];
            page << "<tr><td>" << Escape(problem.day) << "</td><td>" << Escape(problem.location) << "</td><td>"
                 << Escape(problem.kind) << "</td><td>" << Escape(problem.name) << "</td><td>"
                 << Escape(ReadableDetail(problem.detail, clock)) << "</td></tr>\n";
        }
        if (comparison.fixed.size() > kRowsPerKind) {
            page << "<tr><td colspan=\"5\">and " << comparison.fixed.size() - kRowsPerKind
                 << " more in the JSON</td></tr>\n";
        }
        CloseTable(page);
    }
    page << "</section>\n";
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:1em;color:#222;max-width:1500px}"
    "h1{font-size:1.4em;overflow-wrap:anywhere}table{border-collapse:collapse;margin:.4em 0 1em}"
    "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left;font-size:.9em;overflow-wrap:break-word}"
    "th{background:#f0f0f0}.meta{color:#555}.warn{color:#b00;font-weight:bold}.next{margin:.2em 0 .5em}"
    ".next::before{content:'\\2192  ';color:#1971c2}"
    ".scroll{max-width:100%;overflow-x:auto}"
    "details{border:1px solid #ddd;border-radius:4px;margin:.5em 0;padding:.3em .6em}"
    "details.problems>summary{color:#b00}summary{cursor:pointer;font-weight:bold}"
    "details details{border-color:#eee}"
    "svg.timeline{width:100%;min-width:900px;height:auto;display:block;margin:.5em 0}svg.swatch{vertical-align:middle}"
    "svg.timeline.zoom{min-width:0;max-width:none}"
    "nav a{margin-right:.6em;white-space:nowrap}p,li{overflow-wrap:anywhere}"
    ".bar{fill:#2f9e44}.gap{fill:#fff3bf;stroke:#e8b500;stroke-dasharray:2 2}"
    ".gap.quiet{fill:#f8f9fa;stroke:#dee2e6}.unread{fill:#adb5bd;opacity:.5}"
    ".outage{fill:#c92a2a;opacity:.35}.no_row{fill:#e03131}.unreadable{fill:#9c36b5}"
    ".missing_recording{fill:#212529}.listed_twice{fill:#1971c2}.overlap{fill:none;stroke:#f08c00;stroke-width:2}"
    ".name_time_mismatch{fill:#0c8599}.before_2000{fill:#5c940d}"
    ".lost_coverage{fill:#fde0c5;stroke:#d9480f;stroke-dasharray:3 2}.lost_recording{fill:#a0522d}"
    ".no_database{fill:#495057}.database_damaged{fill:#000}.needs_recovery{fill:#e64980}"
    ".not_writable{fill:#5f3dc4}.leftover{fill:#fab005}.link_passed_over{fill:#74c0fc}"
    ".not_a_recording{fill:#ff8787}.stale_row{fill:#f59f00}.mixed_zones{fill:#20c997}"
    ".new{color:#b00;font-weight:bold}"
    ".hour{stroke:#ddd;stroke-width:1}.half{stroke:#f1f3f5;stroke-width:1}"
    ".axis,.label{font-size:12px;fill:#555;font-family:sans-serif}"
    ".legend ul{list-style:none;padding:0;columns:2 18em}.legend svg{vertical-align:middle}";

std::string BackupWords(const char* name, const char* what, const std::optional<BackupDatabase>& backup) {
    if (!backup) return {};
    std::string words = std::string(name) + ": " + what + ", ";
    if (backup->rows) {
        words += Plural(*backup->rows, "row", "rows") + " in " + Plural(*backup->intervals, "interval", "intervals");
    } else {
        words += "not read (" + backup->detail + ")";
    }
    return words;
}

std::string DatabaseWords(const LocationDay& location) {
    std::string words = location.folderMissing ? "no folder" : DatabaseStateId(location.database);
    if (location.database == DatabaseState::Read) {
        words += location.origin == DatabaseOrigin::Tool ? ", placed by Tolvane2" : ", the recorder's";
    }
    if (!location.databaseDetail.empty()) words += ": " + location.databaseDetail;
    if (!location.growing.empty()) {
        words += "; " + std::to_string(location.growing.size()) +
                 (location.growing.size() == 1 ? " recording" : " recordings") + " being recorded";
    }
    return words;
}

void LocationsTable(std::ostringstream& page, const std::vector<const LocationDay*>& locations) {
    OpenTable(page, "class=\"locations\"");
    page << "<tr><th>Location</th><th>Problems</th><th>Recordings</th><th>Rows</th><th>Intervals</th><th>Gaps</th>"
            "<th>Recorded</th><th>Longest gap</th><th>Database</th><th>Set aside</th></tr>\n";
    bool growing = false;
    for (const LocationDay* location : locations) {
        growing = growing || !location->growing.empty();
        std::string setAside =
            BackupWords(".db.old", "the recorder's own, as the first repair found it", location->oldBackup);
        const std::string previous =
            BackupWords(".db.prev", "Tolvane2's copy of the run before the last", location->previousBackup);
        if (!previous.empty()) setAside += (setAside.empty() ? "" : "; ") + previous;
        page << "<tr><td>" << Escape(location->location) << (location->events ? " (events)" : "") << "</td><td>"
             << location->OpenProblems() << "</td><td>" << location->recordings << "</td><td>" << location->rows
             << "</td><td>" << location->intervals.size() << "</td><td>" << location->gaps.size()
             << EventHint(*location) << "</td><td>" << DurationWords(location->recordedSeconds) << "</td><td>"
             << (location->longestGap ? DurationWords(location->longestGap->Seconds()) : std::string("none"))
             << "</td><td>" << Escape(DatabaseWords(*location)) << "</td><td>"
             << (setAside.empty() ? "none" : Escape(setAside)) << "</td></tr>\n";
    }
    CloseTable(page);
    if (growing) NextStep(page, "being_recorded", "Being recorded: ");
}

void MarksInWords(std::ostringstream& page, const std::vector<MarkWords>& words) {
    page << "<details class=\"words\"><summary>The marks in words</summary>\n";
    for (const MarkWords& location : words) {
        page << "<p><b>Location " << Escape(location.location) << "</b></p><ul>\n";
        for (const std::string& title : location.titles) page << "<li>" << Escape(title) << "</li>\n";
        page << "</ul>\n";
    }
    page << "</details>\n";
}

void Day(std::ostringstream& page, const std::string& day, const std::vector<const LocationDay*>& locations,
         long machineOffset) {
    std::size_t problems = 0, dayRecordings = 0;
    const LocationDay* longest = nullptr;
    for (const LocationDay* location : locations) {
        problems += location->OpenProblems();
        dayRecordings += location->recordings;
        if (location->longestGap &&
            (longest == nullptr || location->longestGap->Seconds() > longest->longestGap->Seconds())) {
            longest = location;
        }
    }
    const DayClock clock(day, locations, machineOffset);
    page << "<details class=\"day" << (problems != 0 ? " problems\" open" : "\"") << " id=\"" << DayAnchor(day)
         << "\" data-day=\"" << Escape(day) << "\">\n<summary>" << Escape(day) << ": "
         << Plural(locations.size(), "location", "locations") << ", "
         << Plural(dayRecordings, "recording", "recordings") << ", "
         << (problems == 0 ? std::string("no problems") : Plural(problems, "problem", "problems"))
         << (longest == nullptr ? std::string()
                                : ", longest gap " + DurationWords(longest->longestGap->Seconds()) + " (location " +
                                      Escape(longest->location) + ")")
         << "</summary>\n";
    if (clock.HasDay()) {
        page << "<p class=\"zone\">" << Escape(clock.ZoneSentence()) << "</p>\n";
        page << "<div class=\"scroll\">\n";
        const std::vector<MarkWords> words = DrawTimeline(page, locations, clock, 1);
        page << "</div>\n";
        page << "<details class=\"zoom\"><summary>Four times wider</summary><div class=\"scroll\">\n";
        DrawTimeline(page, locations, clock, kZoom);
        page << "</div></details>\n";
        MarksInWords(page, words);
    } else {
        page << "<p>No timeline: the folder's name is no calendar date.</p>\n";
    }
    LocationsTable(page, locations);
    ProblemTables(page, day, locations, clock);
    page << "</details>\n";
}

void Totals(std::ostringstream& page, const Report& report) {
    unsigned recordings = 0, rows = 0, intervals = 0, gaps = 0;
    for (const LocationDay& locationDay : report.locationDays) {
        recordings += locationDay.recordings;
        rows += locationDay.rows;
        intervals += static_cast<unsigned>(locationDay.intervals.size());
        gaps += static_cast<unsigned>(locationDay.gaps.size());
    }
    // Problems first: on a narrow screen the column that matters stays in view.
    OpenTable(page, "class=\"totals\"");
    page << "<tr><th>Problems</th>" << (report.baselineGiven ? "<th>Accepted</th>" : "")
         << "<th>Location-days</th><th>Recordings</th><th>Rows</th><th>Intervals</th><th>Gaps</th></tr>\n<tr><td>"
         << (report.OpenProblemCount() != 0 ? "<a href=\"#kinds\">" + std::to_string(report.OpenProblemCount()) + "</a>"
                                            : std::string("0"))
         << "</td>"
         << (report.baselineGiven ? "<td>" + std::to_string(report.ProblemCount() - report.OpenProblemCount()) + "</td>"
                                  : std::string())
         << "<td>" << report.locationDays.size() << "</td><td>" << recordings << "</td><td>" << rows << "</td><td>"
         << intervals << "</td><td>" << gaps << "</td></tr>";
    CloseTable(page);
}

// Every kind found, its count, what to do next, and the days it is on.
void Kinds(std::ostringstream& page, const Report& report) {
    if (report.ProblemCount() == 0) return;
    std::map<ProblemKind, std::map<std::string, unsigned>> days;
    for (const LocationDay& locationDay : report.locationDays) {
        for (const Problem& problem : locationDay.problems) {
            if (!problem.accepted) ++days[problem.kind][locationDay.day];
        }
    }
    OpenTable(page, "class=\"kinds\" id=\"kinds\"");
    page << "<tr><th>Problem</th><th>Count</th><th>Next step</th><th>Days</th></tr>\n";
    for (const auto& [kind, count] : report.ProblemsByKind()) {
        page << "<tr id=\"kind-" << ProblemId(kind) << "\"><td>" << Swatch(ProblemId(kind)) << " "
             << Escape(ProblemTitle(kind)) << "</td><td>" << count << "</td><td>"
             << Escape(NextStepFor(ProblemId(kind))) << "</td><td>";
        for (const auto& [day, times] : days[kind]) {
            page << "<a href=\"#" << KindAnchor(day, kind) << "\">" << Escape(day) << "</a> ";
        }
        page << "</td></tr>\n";
    }
    CloseTable(page);
}

}  // namespace

std::string HtmlReport(const Report& report) {
    std::ostringstream page;
    const long machineOffset = -report.biasMinutes;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>Storage audit: " << Escape(report.storage) << "</title>\n<style>" << kStyle
         << "</style>\n</head>\n<body>\n"
         << "<h1>Storage audit: " << Escape(report.storage)
         << "</h1>\n<p class=\"meta\">Layout: " << LayoutId(report.layout) << ". Audited at "
         << Escape(UtcText(report.auditedAt)) << " UTC"
         << (report.verified ? ", every recording read again (--verify)" : "")
         << ". Times are the recorder's clock; each day says its zone.</p>\n";
    if (report.layout == Layout::Old || report.layout == Layout::Mixed) {
        NextStep(page, "old_layout",
                 report.layout == Layout::Old ? "In the old layout: " : "Partly in the old layout: ");
    }
    if (report.repairRunning) NextStep(page, "repair_running", "A repair is running: ");
    if (report.comparison) ComparisonSection(page, report, DayClock(machineOffset));
    Totals(page, report);

    std::map<std::string, std::vector<const LocationDay*>> days;
    for (const LocationDay& locationDay : report.locationDays) days[locationDay.day].push_back(&locationDay);
    if (!days.empty()) {
        page << "<nav class=\"days\">Days: ";
        for (const auto& [day, locations] : days) {
            unsigned open = 0;
            for (const LocationDay* location : locations) open += location->OpenProblems();
            page << "<a href=\"#" << DayAnchor(day) << "\"" << (open != 0 ? " class=\"new\"" : "") << ">" << Escape(day)
                 << (open != 0 ? " (" + std::to_string(open) + ")" : std::string()) << "</a> ";
        }
        page << "</nav>\n";
    }
    Kinds(page, report);
    if (!report.storageProblems.empty()) {
        page << "<h3>In the storage folder</h3>\n";
        OpenTable(page, "class=\"problems\"");
        page << "<tr><th>Name</th><th>Problem</th><th>Detail</th><th>Next step</th></tr>\n";
        for (const Problem& problem : report.storageProblems) {
            page << "<tr><td>" << Escape(problem.name) << "</td><td>" << Escape(ProblemTitle(problem.kind))
                 << "</td><td>" << Escape(ReadableDetail(problem.detail, DayClock(machineOffset))) << "</td><td>"
                 << Escape(NextStepFor(ProblemId(problem.kind))) << "</td></tr>\n";
        }
        CloseTable(page);
    }
    TimelineLegend(page);
    for (const auto& [day, locations] : days) Day(page, day, locations, machineOffset);
    page << "</body>\n</html>\n";
    return page.str();
}

}  // namespace audit
