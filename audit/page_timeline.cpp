#include "audit/page_timeline.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "platform/time_zone.h"

namespace audit {

namespace {

// The drawing units: a label column, the day, then a column of marks for
// problems that have no time in the day (a leftover, a damaged database).
constexpr double kLabelWidth = 70;
constexpr double kDayWidth = 1120;
constexpr double kFlagsWidth = 170;
constexpr double kFlagSize = 12;
constexpr double kRowHeight = 22;
constexpr double kAxisHeight = 18;
// Marks closer than this on the screen are one mark, which says how many it
// stands for: a day of minute-long recordings without rows is one mark, not 1,440.
constexpr double kMergeDistance = 3;
// The words beside a timeline: enough to act on, few enough to stay light.
constexpr std::size_t kWordsPerLocation = 200;
constexpr std::size_t kFilesPerFlag = 10;

// Where a kind of problem is drawn within its row, and how thin it may get.
enum class Place { Full, OverBar, Top, Bottom, Outline, Flag };
struct KindLook {
    Place place;
    double minimumWidth;
    const char* drawnAs;  // for the legend
};

KindLook LookOf(ProblemKind kind) {
    switch (kind) {
        case ProblemKind::NoRow:
            return {Place::Full, 3, "a red line at its time"};
        case ProblemKind::Unreadable:
            return {Place::Full, 3, "a purple line at the time in its name"};
        case ProblemKind::MissingRecording:
            return {Place::OverBar, 3, "black over the bar: footage the rows promise is gone"};
        case ProblemKind::ListedTwice:
            return {Place::Top, 3, "a blue tick above the bar"};
        case ProblemKind::Overlap:
            return {Place::Outline, 3, "an orange frame around the time two intervals share"};
        case ProblemKind::NameTimeMismatch:
            return {Place::Top, 3, "a teal tick above the bar"};
        case ProblemKind::Before2000:
            return {Place::Flag, 0, "a square at the row's end"};
        case ProblemKind::LostCoverage:
            return {Place::OverBar, 2, "orange, dashed, over the time the backup covered"};
        case ProblemKind::LostRecording:
            return {Place::Bottom, 3, "a brown tick below the bar"};
        case ProblemKind::StaleRow:
            return {Place::Top, 3, "an amber tick above the bar"};
        case ProblemKind::Outage:
            return {Place::Full, 2, "dark red behind the row"};
        default:
            return {Place::Flag, 0, "a square at the row's end"};
    }
}

// The kinds drawn at their time, in the order they are drawn (later ones on top).
constexpr ProblemKind kTimedKinds[] = {
    ProblemKind::MissingRecording, ProblemKind::LostCoverage, ProblemKind::Overlap,       ProblemKind::ListedTwice,
    ProblemKind::NameTimeMismatch, ProblemKind::StaleRow,     ProblemKind::LostRecording, ProblemKind::NoRow,
    ProblemKind::Unreadable,
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Plural(std::size_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

struct Geometry {
    double dayWidth;
    double X(const DayClock& clock, std::int64_t seconds) const {
        return kLabelWidth + clock.Fraction(seconds) * dayWidth;
    }
    double Width() const { return kLabelWidth + dayWidth + kFlagsWidth; }
    double FlagsLeft() const { return kLabelWidth + dayWidth + 8; }
};

void Rect(std::ostringstream& svg, const std::string& kind, double x, double y, double width, double height,
          const std::string& title, unsigned count = 0) {
    svg << "<rect class=\"" << kind << "\" x=\"" << Number(x) << "\" y=\"" << Number(y) << "\" width=\""
        << Number(width) << "\" height=\"" << Number(height) << "\"";
    if (count != 0) svg << " data-count=\"" << count << "\"";
    svg << "><title>" << Escape(title) << "</title></rect>\n";
}

// A time range as a mark: from the start of its first second to the end of its last.
void RangeRect(std::ostringstream& svg, const std::string& kind, const Geometry& at, const DayClock& clock,
               const TimeRange& range, double y, double height, double minimumWidth, const std::string& title,
               unsigned count = 0) {
    double x = at.X(clock, range.start);
    double width = at.X(clock, static_cast<std::int64_t>(range.end) + 1) - x;
    if (width < minimumWidth) {
        x -= (minimumWidth - width) / 2;
        width = minimumWidth;
    }
    Rect(svg, kind, x, y, width, height, title, count);
}

std::string IntervalTitle(const Interval& interval, const DayClock& clock) {
    const std::optional<long> offset = RecorderOffset(interval);
    const long shown = offset.value_or(clock.OffsetAt(interval.range.start));
    std::string title = "interval " + clock.Text(interval.range.start, shown) + " to " +
                        clock.Text(interval.range.end, shown) + " (" + DurationWords(interval.range.Seconds()) + "), " +
                        Plural(interval.files, "recording", "recordings");
    if (interval.files == 1) title += ": " + interval.firstFile;
    if (interval.files > 1) title += ": " + interval.firstFile + " to " + interval.lastFile;
    if (offset && *offset != clock.AxisOffset()) {
        const long minutes = *offset - clock.AxisOffset();
        title += "; drawn " + DurationWords(static_cast<std::uint32_t>(std::labs(minutes) * 60)) +
                 (minutes > 0 ? " before" : " after") + " its names' time: recorded at " +
                 platform::UtcOffsetText(*offset) + (interval.daylightSaving ? " (daylight saving time)" : "") +
                 ", and the axis keeps the day's " + platform::UtcOffsetText(clock.AxisOffset());
    }
    return title;
}

// Where a problem is drawn on a day's row: at its time, or at the row's end
// when it has none there.
bool DrawnAtItsTime(const Problem& problem, const DayClock& clock) {
    return LookOf(problem.kind).place != Place::Flag && problem.range && clock.Touches(*problem.range);
}

std::pair<double, double> Band(Place place) {
    switch (place) {
        case Place::Full:
            return {1, kRowHeight - 2};
        case Place::OverBar:
            return {5, kRowHeight - 10};
        case Place::Top:
            return {0, 4};
        case Place::Bottom:
            return {kRowHeight - 4, 4};
        case Place::Outline:
            return {2, kRowHeight - 4};
        case Place::Flag:
            break;
    }
    return {0, kFlagSize};
}

// Problems of one kind at their times, those that would touch on the screen as one mark.
void TimedMarks(std::ostringstream& svg, std::vector<std::string>& words, ProblemKind kind,
                const std::vector<const Problem*>& problems, const Geometry& at, const DayClock& clock, double top) {
    const KindLook look = LookOf(kind);
    const auto [offset, height] = Band(look.place);
    for (std::size_t first = 0; first < problems.size();) {
        std::size_t last = first;
        TimeRange span = *problems[first]->range;
        std::map<std::string, unsigned> reasons{{problems[first]->detail, 1}};
        while (last + 1 < problems.size() &&
               at.X(clock, problems[last + 1]->range->start) <=
                   at.X(clock, static_cast<std::int64_t>(span.end) + 1) + kMergeDistance) {
            ++last;
            span.end = std::max(span.end, problems[last]->range->end);
            ++reasons[problems[last]->detail];
        }
        const std::size_t count = last - first + 1;
        std::string title;
        if (count == 1) {
            title = ProblemWords(*problems[first], clock);
        } else {
            title = std::to_string(count) + " × " + ProblemTitle(kind) + ", " + clock.Range(span) + ": " +
                    problems[first]->name + " to " + problems[last]->name + "; why:";
            for (const auto& [reason, times] : reasons) {
                title += " " + ReadableDetail(reason, clock) + " (" + std::to_string(times) + ")";
            }
        }
        RangeRect(svg, ProblemId(kind), at, clock, span, top + offset, height, look.minimumWidth, title,
                  static_cast<unsigned>(count));
        words.push_back(title);
        first = last + 1;
    }
}

// Problems with no time in the day: a square per kind at the row's end.
void FlagMarks(std::ostringstream& svg, std::vector<std::string>& words,
               const std::map<ProblemKind, std::vector<const Problem*>>& flagged, const Geometry& at,
               const DayClock& clock, double top) {
    double x = at.FlagsLeft();
    for (const auto& [kind, problems] : flagged) {
        std::string title = std::string(ProblemTitle(kind)) + " (" + std::to_string(problems.size()) + "):";
        for (std::size_t i = 0; i < problems.size() && i < kFilesPerFlag; ++i) {
            title += (i == 0 ? " " : "; ") + ProblemWords(*problems[i], clock);
        }
        if (problems.size() > kFilesPerFlag)
            title += "; and " + std::to_string(problems.size() - kFilesPerFlag) + " more";
        Rect(svg, ProblemId(kind), x, top + (kRowHeight - kFlagSize) / 2, kFlagSize, kFlagSize, title,
             static_cast<unsigned>(problems.size()));
        words.push_back(title);
        x += kFlagSize + 4;
    }
}

std::string UnreadTitle(const LocationDay& location) {
    if (location.folderMissing) return "no folder this day";
    if (location.database == DatabaseState::Missing) return "no day database: the rows are unknown";
    return std::string("the day database was not read (") + DatabaseStateId(location.database) +
           (location.databaseDetail.empty() ? "" : ": " + location.databaseDetail) + "): the rows are unknown";
}

void Axis(std::ostringstream& svg, const Geometry& at, double height, int scale) {
    const int step = scale > 1 ? 1 : 2;
    for (int hour = 0; hour <= 24; ++hour) {
        const double x = kLabelWidth + hour * at.dayWidth / 24;
        svg << "<line class=\"hour\" x1=\"" << Number(x) << "\" y1=\"" << Number(kAxisHeight - 4) << "\" x2=\""
            << Number(x) << "\" y2=\"" << Number(height) << "\"/>";
        if (scale > 1 && hour < 24) {
            const double half = x + at.dayWidth / 48;
            svg << "<line class=\"half\" x1=\"" << Number(half) << "\" y1=\"" << Number(kAxisHeight - 2) << "\" x2=\""
                << Number(half) << "\" y2=\"" << Number(height) << "\"/>";
        }
        if (hour % step == 0) {
            svg << "<text class=\"axis\" x=\"" << Number(hour == 24 ? x - 2 : x + 2) << "\" y=\"12\""
                << (hour == 24 ? " text-anchor=\"end\"" : "") << ">" << (hour < 10 ? "0" : "") << hour << ":00</text>";
        }
        svg << "\n";
    }
}

}  // namespace

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

std::string ProblemWords(const Problem& problem, const DayClock& clock) {
    const std::string who = problem.name.empty() ? std::string(ProblemTitle(problem.kind)) : problem.name;
    if (problem.kind == ProblemKind::Unreadable) {
        const std::string named = NamedTimeText(problem.name);
        return who + ": " + (named.empty() ? std::string("no time in its name") : named + " (the time in its name)") +
               ", unreadable: " + ReadableDetail(problem.detail, clock);
    }
    if (problem.kind == ProblemKind::NoRow) {
        return who + ": " + (problem.range ? clock.Range(*problem.range) + ", " : "") +
               "no row: " + ReadableDetail(problem.detail, clock);
    }
    return who + ": " + (problem.name.empty() ? "" : std::string(ProblemTitle(problem.kind)) + ", ") +
           (problem.range ? clock.Range(*problem.range) + ", " : "") + ReadableDetail(problem.detail, clock);
}

std::vector<MarkWords> DrawTimeline(std::ostringstream& page, const std::vector<const LocationDay*>& locations,
                                    const DayClock& clock, int scale) {
    const Geometry at{kDayWidth * scale};
    const double height = kAxisHeight + kRowHeight * static_cast<double>(locations.size()) + 4;
    std::ostringstream svg;
    svg << "<svg class=\"timeline" << (scale > 1 ? " zoom\" data-zoom=\"" + std::to_string(scale) : std::string())
        << "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << Number(at.Width()) << " " << Number(height)
        << "\"" << (scale > 1 ? " style=\"width:" + Number(at.Width()) + "px\"" : std::string()) << " role=\"img\">\n";
    Axis(svg, at, height, scale);
    std::vector<MarkWords> words;
    for (std::size_t row = 0; row < locations.size(); ++row) {
        const LocationDay& location = *locations[row];
        const double top = kAxisHeight + kRowHeight * static_cast<double>(row);
        MarkWords said{location.location, {}};
        svg << "<g class=\"location\" data-location=\"" << Escape(location.location) << "\">\n"
            << "<text class=\"label\" x=\"4\" y=\"" << Number(top + 15) << "\">" << Escape(location.location)
            << "</text>\n";
        if (location.database != DatabaseState::Read) {
            const std::string title = UnreadTitle(location);
            Rect(svg, "unread", kLabelWidth, top + 1, at.dayWidth, kRowHeight - 2, title);
            said.titles.push_back(title);
        }
        // A location that records on events is expected to have gaps: drawn quietly.
        for (const TimeRange& gap : location.gaps) {
            const std::string title =
                "gap " + clock.Range(gap) + ": nothing recorded" + (location.events ? " (records on events)" : "");
            RangeRect(svg, location.events ? "gap quiet" : "gap", at, clock, gap, top + 2, kRowHeight - 4, 1, title);
            said.titles.push_back(title);
        }
        std::map<ProblemKind, std::vector<const Problem*>> timed, flagged;
        for (const Problem& problem : location.problems) {
            (DrawnAtItsTime(problem, clock) ? timed : flagged)[problem.kind].push_back(&problem);
        }
        for (auto& [kind, problems] : timed) {
            std::stable_sort(problems.begin(), problems.end(),
                             [](const Problem* a, const Problem* b) { return a->range->start < b->range->start; });
        }
        if (timed.count(ProblemKind::Outage) != 0) {
            TimedMarks(svg, said.titles, ProblemKind::Outage, timed[ProblemKind::Outage], at, clock, top);
        }
        for (const Interval& interval : location.intervals) {
            const std::string title = IntervalTitle(interval, clock);
            RangeRect(svg, "bar", at, clock, interval.range, top + 4, kRowHeight - 8, 1, title);
            said.titles.push_back(title);
        }
        for (const ProblemKind kind : kTimedKinds) {
            if (timed.count(kind) != 0) TimedMarks(svg, said.titles, kind, timed[kind], at, clock, top);
        }
        FlagMarks(svg, said.titles, flagged, at, clock, top);
        svg << "</g>\n";
        if (said.titles.size() > kWordsPerLocation) {
            const std::size_t more = said.titles.size() - kWordsPerLocation;
            said.titles.resize(kWordsPerLocation);
            said.titles.push_back("and " + std::to_string(more) + " more: every one is in the audit's JSON (--json)");
        }
        words.push_back(std::move(said));
    }
    svg << "</svg>\n";
    page << svg.str();
    return words;
}

std::string Swatch(const std::string& kind) {
    return "<svg class=\"swatch\" width=\"24\" height=\"12\" aria-hidden=\"true\"><rect class=\"" + kind +
           "\" x=\"1\" y=\"1\" width=\"22\" height=\"10\"/></svg>";
}

void TimelineLegend(std::ostringstream& page) {
    const auto swatch = [&page](const std::string& kind, const std::string& words) {
        page << "<li>" << Swatch(kind) << " " << words << "</li>\n";
    };
    page << "<details class=\"legend\" open><summary>What the marks mean</summary><ul>\n";
    swatch("bar", "interval: recordings that follow one another");
    swatch("gap", "gap: nothing recorded for longer than the gap option");
    swatch("gap quiet", "gap of a location that records on events (--events)");
    swatch("unread", "a row whose day database was not read: its rows are unknown");
    for (int i = 0; i < kProblemKinds; ++i) {
        const auto kind = static_cast<ProblemKind>(i);
        swatch(ProblemId(kind), std::string(ProblemTitle(kind)) + ": " + LookOf(kind).drawnAs);
    }
    page << "</ul><p>Tap or hover a mark for its files, times and reason; the same words are listed under each "
            "timeline.</p></details>\n";
}

}  // namespace audit
