#include "audit/summary.h"

#include <map>
#include <optional>
#include <set>
#include <string>

#include "app/printable_text.h"
#include "platform/time_zone.h"

namespace audit {

namespace {

const char* LayoutWords(Layout layout) {
    switch (layout) {
        case Layout::New:
            return "new layout: <storage>/<day>/<location>";
        case Layout::Old:
            return "old layout: <storage>/<location>/<day>";
        case Layout::Mixed:
            return "mixed: both layouts";
        case Layout::Empty:
            break;
    }
    return "no day folders";
}

std::string DatabaseWords(const LocationDay& locationDay) {
    if (locationDay.folderMissing) return "no folder";
    switch (locationDay.database) {
        case DatabaseState::Missing:
            return "no database";
        case DatabaseState::Read:
            return locationDay.origin == DatabaseOrigin::Tool ? "database placed by Tolvane2"
                                                              : "the recorder's database";
        case DatabaseState::NeedsRecovery:
            return "database needs recovery";
        case DatabaseState::Busy:
            return "database busy, not read";
        case DatabaseState::NotRead:
            return "database not read";
        case DatabaseState::Damaged:
            return "database damaged";
    }
    return "";
}

std::string ProblemWords(const std::map<ProblemKind, unsigned>& counts) {
    if (counts.empty()) return "no problems";
    std::string text = "problems:";
    bool first = true;
    for (const auto& [kind, count] : counts) {
        text += first ? " " : ", ";
        text += std::string(ProblemTitle(kind)) + " " + std::to_string(count);
        first = false;
    }
    return text;
}

// The zones the rows were written in, when any is not this machine's: names
// are compared with rows in the rows' own zones.
void WriteZones(const Report& report, std::ostream& out) {
    std::set<long> zones;
    std::map<long, unsigned> named;
    unsigned read = 0;
    for (const LocationDay& locationDay : report.locationDays) {
        zones.insert(locationDay.rowZones.begin(), locationDay.rowZones.end());
        for (const auto& [offset, count] : locationDay.namedOffsets) {
            named[offset] += count;
            read += count;
        }
    }
    const long machine = -report.biasMinutes;
    // What the names of the recordings read show, when more than half agree.
    std::optional<long> names;
    for (const auto& [offset, count] : named) {
        if (2 * count > read) names = offset;
    }
    const bool rowsAgree = zones.empty() || (zones.size() == 1 && *zones.begin() == machine);
    if (rowsAgree && (!names || *names == machine)) return;
    out << "Zones: this machine is at " << platform::UtcOffsetText(machine);
    if (!zones.empty()) {
        out << "; rows written at ";
        bool first = true;
        for (const long zone : zones) {
            out << (first ? "" : ", ") << platform::UtcOffsetText(zone);
            first = false;
        }
        out << " (each compared with its recording's name in its own zone)";
    }
    if (names) {
        out << "; the names of " << named[*names] << " of " << read << " recordings read show "
            << platform::UtcOffsetText(*names) << " against their first packets";
    }
    out << "\n";
}

// Recordings nobody can read and rows whose recording is gone, named one a
// line after their location-day's line: the operator must act on each.
constexpr std::size_t kNamedPerLocationDay = 20;

void NameWhatMustBeActedOn(const LocationDay& locationDay, std::ostream& out) {
    std::size_t named = 0, more = 0;
    for (const Problem& problem : locationDay.problems) {
        if (problem.kind != ProblemKind::Unreadable && problem.kind != ProblemKind::MissingRecording) continue;
        if (named == kNamedPerLocationDay) {
            ++more;
            continue;
        }
        ++named;
        out << "  " << ProblemTitle(problem.kind) << ": " << console::PrintableText(problem.name) << ": "
            << console::PrintableText(problem.detail) << "\n";
    }
    if (more > 0) out << "  ... and " << more << " more (see the JSON or the page)\n";
}

// The problems not accepted by kind, then the accepted ones apart.
std::string ProblemsOf(const std::vector<Problem>& problems) {
    std::map<ProblemKind, unsigned> open, accepted;
    for (const Problem& problem : problems) ++(problem.accepted ? accepted : open)[problem.kind];
    std::string text = ProblemWords(open);
    if (!accepted.empty()) text += "; accepted" + ProblemWords(accepted).substr(std::string("problems").size());
    return text;
}

// How long the location-day recorded and its longest gap: holes at a glance.
std::string HoleWords(const LocationDay& locationDay) {
    std::string text =
        locationDay.longestGap ? " (longest " + DurationWords(locationDay.longestGap->Seconds()) + ")" : std::string();
    if (!locationDay.intervals.empty()) text += ", " + DurationWords(locationDay.recordedSeconds) + " recorded";
    if (locationDay.events) text += ", records on events";
    return text;
}

// Against the earlier audit: three counts, then what is new, twenty a location-day.
void WriteComparison(const Report& report, std::ostream& out) {
    if (!report.comparison) return;
    std::vector<std::string> lines;
    auto name = [&](const std::string& where, const std::vector<Problem>& problems) {
        std::size_t named = 0, more = 0;
        for (const Problem& problem : problems) {
            if (problem.change != Change::New) continue;
            if (named == kNamedPerLocationDay) {
                ++more;
                continue;
            }
            ++named;
            lines.push_back("  new: " + where + ProblemTitle(problem.kind) +
                            (problem.name.empty() ? "" : ": " + console::PrintableText(problem.name)) + ": " +
                            console::PrintableText(problem.detail));
        }
        if (more > 0) lines.push_back("  ... and " + std::to_string(more) + " more new (see the JSON or the page)");
    };
    name("", report.storageProblems);
    for (const LocationDay& locationDay : report.locationDays) {
        name(console::PrintableText(locationDay.day + " " + locationDay.location) + ": ", locationDay.problems);
    }
    out << "Since " << console::PrintableText(report.comparison->earlierFile) << ": " << report.comparison->fixed.size()
        << " fixed, " << report.CountOf(Change::Still) << " still open, " << report.CountOf(Change::New) << " new\n";
    for (const std::string& line : lines) out << line << "\n";
}

}  // namespace

void WriteSummary(const Report& report, std::ostream& out) {
    out << "Storage: " << console::PrintableText(report.storage) << " (" << LayoutWords(report.layout) << ")\n";
    if (!report.storageProblems.empty()) {
        std::map<ProblemKind, unsigned> counts;
        for (const Problem& problem : report.storageProblems) ++counts[problem.kind];
        out << "Storage folder: " << ProblemWords(counts) << "\n";
    }
    WriteZones(report, out);
    unsigned recordings = 0, rows = 0, intervals = 0, gaps = 0;
    for (const LocationDay& locationDay : report.locationDays) {
        out << console::PrintableText(locationDay.day) << " " << console::PrintableText(locationDay.location) << ": "
            << locationDay.recordings << " recordings, " << locationDay.rows << " rows, "
            << locationDay.intervals.size() << " intervals, " << locationDay.gaps.size() << " gaps"
            << HoleWords(locationDay);
        if (!locationDay.growing.empty()) out << ", " << locationDay.growing.size() << " growing";
        out << "; " << DatabaseWords(locationDay) << "; " << ProblemsOf(locationDay.problems) << "\n";
        NameWhatMustBeActedOn(locationDay, out);
        recordings += locationDay.recordings;
        rows += locationDay.rows;
        intervals += static_cast<unsigned>(locationDay.intervals.size());
        gaps += static_cast<unsigned>(locationDay.gaps.size());
    }
    std::vector<Problem> all = report.storageProblems;
    for (const LocationDay& locationDay : report.locationDays) {
        all.insert(all.end(), locationDay.problems.begin(), locationDay.problems.end());
    }
    const unsigned open = report.OpenProblemCount();
    out << "Total: " << report.locationDays.size() << " location-days, " << recordings << " recordings, " << rows
        << " rows, " << intervals << " intervals, " << gaps << " gaps; "
        << (open == 0 ? std::string() : std::to_string(open) + " ") << ProblemsOf(all) << "\n";
    WriteComparison(report, out);
}

}  // namespace audit
