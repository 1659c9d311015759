// The page's timeline: every mark where its time is on the hour axis, and
// titles that say what a mark stands for.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "audit/audit_model.h"
#include "app/next_steps.h"
#include "audit/html_report.h"
#include "audit/page_timeline.h"
#include "repair/repair_test_support.h"

namespace {

using audit::ProblemKind;

std::uint32_t At(const std::string& time) { return repairtest::UnixTime("2012-03-03 " + time); }

// The x of the first element that begins so.
std::string XOf(const std::string& page, const std::string& element) {
    const auto at = page.find(element);
    if (at == std::string::npos) return "(no " + element + ")";
    const std::string rest = page.substr(at);
    std::smatch match;
    if (!std::regex_search(rest, match, std::regex("x1?=\"([0-9.]+)\""))) return "(no x)";
    return match[1].str();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(HtmlReport, MarksSitOnTheHourAxisAndSayWhatTheyStandFor) {
    audit::Report report;
    report.storage = "S";
    audit::LocationDay day;
    day.day = "2012-03-03";
    day.location = "1";
    day.recordings = 3;
    day.intervals.push_back({{At("10:00:00"), At("12:00:00")}, "a.3gp", "b.3gp", 2});
    // An interval whose rows are a day late: its times are shown with their date.
    day.intervals.push_back({{At("10:00:00") + 86400, At("10:01:00") + 86400}, "c.3gp", "c.3gp", 1});
    day.problems.push_back(
        {ProblemKind::NoRow, "x.3gp", "bad format", audit::TimeRange{At("14:00:00"), At("14:01:00")}});
    day.problems.push_back(
        {ProblemKind::NoRow, "y.3gp", "bad format", audit::TimeRange{At("14:01:00"), At("14:02:00")}});
    day.problems.push_back({ProblemKind::NoRow, "z.3gp", "empty", audit::TimeRange{At("20:00:00"), At("20:01:00")}});
    day.problems.push_back(
        {ProblemKind::LostCoverage, "2012-03-03.db.old", "lost", audit::TimeRange{At("16:00:00"), At("17:00:00")}});
    report.locationDays.push_back(day);
    const std::string page = audit::HtmlReport(report);

    // 10:00 is where the 10 o'clock line is; the labels read 00:00 to 22:00.
    std::string hourLines = page.substr(page.find("<line class=\"hour\""));
    hourLines = hourLines.substr(0, hourLines.find("</svg>"));
    std::vector<std::string> hours;
    const std::regex hourLine("<line class=\"hour\" x1=\"([0-9.]+)\"");
    for (std::sregex_iterator it(hourLines.begin(), hourLines.end(), hourLine), end; it != end; ++it) {
        hours.push_back((*it)[1].str());
    }
    ASSERT_EQ(hours.size(), 25u);
    const std::string row = page.substr(page.find("<g class=\"location\""));
    EXPECT_EQ(XOf(row, "<rect class=\"bar\""), hours[10]);
    EXPECT_EQ(XOf(row, "<rect class=\"lost_coverage\""), hours[16]);
    EXPECT_NE(page.find(">10:00</text>"), std::string::npos);
    EXPECT_NE(page.find(">08:00</text>"), std::string::npos);
    EXPECT_EQ(page.find(">010:00</text>"), std::string::npos);
    EXPECT_NE(page.find(">24:00</text>"), std::string::npos);
    EXPECT_EQ(Count(row.substr(0, row.find("</svg>")), "<rect class=\"lost_coverage\""), 1u);

    // Two recordings a minute apart share a mark; one alone has its own, named.
    EXPECT_NE(page.find("data-count=\"2\"><title>2 × no row, 14:00:00 to 14:02:00"), std::string::npos) << page;
    EXPECT_NE(page.find("z.3gp: 20:00:00 to 20:01:00 (1 min 1 s), no row: empty"), std::string::npos) << page;
    EXPECT_NE(page.find("interval 2012-03-04 10:00:00 to 2012-03-04 10:01:00 (1 min 1 s), 1 recording: c.3gp"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("2 recordings: a.3gp to b.3gp"), std::string::npos) << page;
    // The day's heading counts in words that agree with the numbers.
    EXPECT_NE(page.find("2012-03-03: 1 location, 3 recordings, 4 problems"), std::string::npos) << page;
}

// A table of one kind stops after a hundred rows, except for what the
// operator must act on: every unreadable recording and every lost one.
TEST(HtmlReport, OnlyWhatMustBeActedOnIsListedInFull) {
    audit::Report report;
    audit::LocationDay day;
    day.day = "2012-03-03";
    day.location = "1";
    for (const ProblemKind kind : {ProblemKind::NoRow, ProblemKind::Unreadable, ProblemKind::MissingRecording}) {
        for (int i = 0; i < 101; ++i) day.problems.push_back({kind, "r" + std::to_string(i) + ".3gp", "x", {}});
    }
    report.locationDays.push_back(day);
    const std::string page = audit::HtmlReport(report);
    const auto rowsOf = [&](const ProblemKind kind) {
        const std::string table = page.substr(page.find(std::string("data-kind=\"") + audit::ProblemId(kind) + "\""));
        return Count(table.substr(0, table.find("</table>")), "<td>1</td>");
    };
    EXPECT_EQ(rowsOf(ProblemKind::NoRow), 100u);
    EXPECT_NE(page.find("and 1 more: every one is in the audit's JSON"), std::string::npos);
    EXPECT_EQ(rowsOf(ProblemKind::Unreadable), 101u);
    EXPECT_EQ(rowsOf(ProblemKind::MissingRecording), 101u);
}

// Night after night: what changed at the top, what was accepted apart, and
// gaps drawn as what the operator declared them to be.
TEST(HtmlReport, ChangesAcceptedProblemsAndGapsAsDeclared) {
    audit::Report report;
    report.baselineGiven = true;
    report.comparison = audit::Comparison{"earlier.json", 1331136000, {}};
    // A hundred fixed fit the table.
    for (int i = 0; i < 99; ++i) report.comparison->fixed.push_back({"2012-03-03", "1", "no_row", "f.3gp", "x", {}});
    report.comparison->fixed.push_back({"2012-03-03", "1", "no_row", "gone.3gp", "x", {}});
    report.storageProblems = {{ProblemKind::LinkPassedOver, "new-link", "a link"},
                              {ProblemKind::LinkPassedOver, "old-link", "a link"}};
    report.storageProblems[0].change = audit::Change::New;
    report.storageProblems[1].change = audit::Change::Still;
    audit::LocationDay events;
    events.day = "2012-03-03";
    events.location = "1";
    events.events = true;
    events.gaps.push_back({At("11:00:00"), At("12:00:00")});
    events.problems.emplace_back(ProblemKind::NoRow, "new.3gp", "readable");
    events.problems.back().change = audit::Change::New;
    events.problems.emplace_back(ProblemKind::Unreadable, "known.3gp", "bad format");
    events.problems.back().accepted = true;
    audit::LocationDay fewGaps = events;
    fewGaps.location = "3";
    fewGaps.events = false;
    fewGaps.problems.clear();
    audit::LocationDay continuous = events;
    continuous.location = "2";
    continuous.events = false;
    continuous.problems = {
        {ProblemKind::Outage, "", "no recording for 1 h 00 min", audit::TimeRange{At("11:00:00"), At("12:00:00")}}};
    for (int hour = 0; hour < 12; ++hour)
        continuous.gaps.push_back({At("13:00:00") + 600u * hour, At("13:05:00") + 600u * hour});
    continuous.longestGap = continuous.gaps.front();
    report.locationDays = {events, continuous, fewGaps};
    const std::string page = audit::HtmlReport(report);

    EXPECT_LT(page.find("<section class=\"comparison\">"), page.find("<table class=\"totals\">"));
    EXPECT_NE(page.find("<h2>Since the audit of 2012-03-07 16:00:00 UTC</h2>"), std::string::npos) << page;
    EXPECT_NE(page.find("<b>100 fixed</b>, 1 still open, <span class=\"new\">2 new</span>"), std::string::npos) << page;
    EXPECT_NE(page.find("<td>gone.3gp</td>"), std::string::npos);
    EXPECT_EQ(page.find("more in the JSON"), std::string::npos);
    const std::string fresh = page.substr(page.find("data-change=\"new\""));
    EXPECT_NE(fresh.substr(0, fresh.find("</table>")).find("new-link"), std::string::npos);
    EXPECT_EQ(Count(page, "new: readable"), 1u);
    EXPECT_EQ(Count(page, "new: "), 1u);
    // Four open problems and one accepted, in a table of its own.
    EXPECT_NE(page.find("<tr><th>Problems</th><th>Accepted</th><th>Location-days</th>"), std::string::npos) << page;
    EXPECT_NE(page.find("<tr><td><a href=\"#kinds\">4</a></td><td>1</td><td>3</td>"), std::string::npos) << page;
    const std::string accepted = page.substr(page.find("data-kind=\"accepted\""));
    EXPECT_NE(accepted.find("known.3gp"), std::string::npos);
    EXPECT_EQ(page.find("data-kind=\"unreadable\""), std::string::npos);
    std::string first = page.substr(page.find("data-location=\"1\""));
    first = first.substr(0, first.find("</g>"));
    EXPECT_EQ(first.find("<rect class=\"gap quiet\""), first.find("<rect class=\"gap"));
    std::string second = page.substr(page.find("data-location=\"2\""));
    second = second.substr(0, second.find("</g>"));
    EXPECT_EQ(second.find("<rect class=\"gap quiet\""), std::string::npos);
    EXPECT_NE(second.find("<rect class=\"outage\""), std::string::npos);
    EXPECT_NE(page.find("13 (looks like event recording: declare it with --events)"), std::string::npos);
    EXPECT_EQ(Count(page, "looks like event recording"), 1u);
    EXPECT_NE(second.find("height=\"20.0\" data-count=\"1\"><title>outage"), std::string::npos)
        << second;  // the row's height
    EXPECT_NE(page.find(", longest gap 1 h 00 min (location 2)</summary>"), std::string::npos) << page;
}

}  // namespace

namespace {

// Every kind of problem has its mark on its location's row (at its time, or
// at the row's end where it has none), a legend entry and a next step.
TEST(HtmlReport, EveryKindIsDrawnExplainedAndGivenANextStep) {
    for (int i = 0; i < audit::kProblemKinds; ++i) {
        const auto kind = static_cast<ProblemKind>(i);
        const std::string id = audit::ProblemId(kind);
        for (const bool timed : {true, false}) {
            audit::Report report;
            audit::LocationDay day;
            day.day = "2012-03-03";
            day.location = "1";
            day.database = audit::DatabaseState::Read;
            std::optional<audit::TimeRange> range;
            if (timed) range = audit::TimeRange{At("10:00:00"), At("10:00:29")};
            day.problems.emplace_back(kind, "r.3gp", "why", range);
            report.locationDays.push_back(day);
            const std::string page = audit::HtmlReport(report);
            std::string row = page.substr(page.find("data-location=\"1\""));
            row = row.substr(0, row.find("</g>"));
            EXPECT_EQ(Count(row, "<rect class=\"" + id + "\""), 1u) << id;
            EXPECT_NE(row.find("<rect class=\"" + id + "\""), std::string::npos) << id;
            EXPECT_EQ(row.find("class=\"unread\""), std::string::npos) << id;
            EXPECT_NE(page.find("<rect class=\"" + id + "\" x=\"1\""), std::string::npos) << id << ": no legend entry";
            EXPECT_FALSE(NextStepFor(id).empty()) << id;
            EXPECT_NE(page.find(audit::Escape(NextStepFor(id))), std::string::npos) << id;
        }
    }
    for (const char* state : {"old_layout", "being_recorded", "repair_running"}) {
        EXPECT_FALSE(NextStepFor(state).empty()) << state;
    }
}

// Times as the recorder's clock showed them: the zone from the rows, the
// hour daylight saving time began, no count of seconds since 1970, gaps
// and durations with both ends counted, and a recording that cannot be read
// at the time in its name.
TEST(HtmlReport, TimesAreTheRecordersClock) {
    audit::Report report;
    report.biasMinutes = 0;
    audit::LocationDay day;
    day.day = "2012-03-03";
    day.location = "1";
    day.database = audit::DatabaseState::Read;
    // The rows say UTC+01:00; from 02:00 UTC on daylight saving time.
    audit::Interval winter{{At("00:00:00") - 3600, At("00:59:59") - 3600}, "a.3gp", "a.3gp", 1, 60, false};
    audit::Interval summer{{At("02:00:00") - 3600, At("02:59:59") - 3600}, "b.3gp", "b.3gp", 1, 60, true};
    day.intervals = {winter, summer};
    day.gaps.push_back({At("00:00:00"), At("00:59:59")});
    day.problems.emplace_back(ProblemKind::Overlap, "intervals 1 and 2",
                              "both cover " + std::to_string(At("12:00:00")) + " to " + std::to_string(At("12:04:59")),
                              audit::TimeRange{At("12:00:00"), At("12:04:59")});
    day.problems.emplace_back(ProblemKind::Unreadable, "00000003_2012-03-03_140000.3gp", "bad format",
                              audit::TimeRange{At("13:00:00"), At("13:00:00")});
    day.oldBackup = audit::BackupDatabase{12u, 3u, ""};
    day.previousBackup = audit::BackupDatabase{std::nullopt, std::nullopt, "damaged: not an SQLite database"};
    report.locationDays.push_back(day);
    const std::string page = audit::HtmlReport(report);

    EXPECT_NE(page.find("Times are the recorder&#39;s clock at UTC+01:00, as its rows say; from 03:00:00 UTC+02:00 "
                        "(daylight saving time). The axis keeps UTC+01:00."),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("interval 03:00:00 to 03:59:59 (1 h 00 min), 1 recording: b.3gp; drawn 1 h 00 min before its "
                        "names&#39; time"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("gap 01:00:00 to 01:59:59 (1 h 00 min): nothing recorded"), std::string::npos) << page;
    EXPECT_NE(page.find("both cover 14:00:00 to 14:04:59"), std::string::npos) << page;
    EXPECT_NE(page.find("14:00:00 (the time in its name), unreadable: bad format"), std::string::npos) << page;
    EXPECT_EQ(page.find("(0 s)"), std::string::npos);
    EXPECT_EQ(page.find(std::to_string(At("12:00:00"))), std::string::npos);
    EXPECT_NE(page.find(".db.old: the recorder&#39;s own, as the first repair found it, 12 rows in 3 intervals; "
                        ".db.prev: Tolvane2&#39;s copy of the run before the last, not read (damaged"),
              std::string::npos)
        << page;
    // A closer look at four times the width, its axis to 24:00 too.
    const std::string zoom = page.substr(page.find("data-zoom=\"4\""));
    EXPECT_NE(zoom.find("style=\"width:4720.0px\""), std::string::npos) << zoom.substr(0, 300);
    EXPECT_NE(zoom.substr(0, zoom.find("</svg>")).find(">24:00</text>"), std::string::npos);
}

}  // namespace

namespace {

std::string ReadDocument(const std::string& path) {
    std::ifstream file(std::string(TOLVANE2_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The README and the man page list the same next steps as the code's table.
TEST(HtmlReport, TheDocumentsListEveryNextStep) {
    std::string man = ReadDocument("doc/man/Tolvane2Audit.1");
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
    const std::string readme = ReadDocument("README.md");
    for (const NextStep& row : NextSteps()) {
        EXPECT_NE(readme.find("- `" + std::string(row.id) + "`: " + row.step + "\n"), std::string::npos) << row.id;
        EXPECT_NE(man.find(std::string(".B ") + row.id + "\n" + row.step + "\n"), std::string::npos) << row.id;
    }
}

}  // namespace

namespace {

// The page's frame: every table in its own scrolling box, the day with
// problems open and the one without folded, links from the top to each day
// and each kind, the next steps where they apply, the words beside the marks.
TEST(HtmlReport, ThePageLeadsFromTheTopToEachProblem) {
    audit::Report report;
    report.layout = audit::Layout::Old;
    report.comparison = audit::Comparison{"earlier.json", 1331136000, {}};
    report.comparison->fixed.push_back({"2012-03-02", "1", "no_row", "f.3gp", "readable", {}});
    report.storageProblems = {{ProblemKind::LinkPassedOver, "link", "a link"}};
    report.storageProblems[0].change = audit::Change::New;
    audit::LocationDay troubled;
    troubled.day = "2012-03-03";
    troubled.location = "1";
    troubled.database = audit::DatabaseState::Damaged;
    troubled.databaseDetail = "not an SQLite database";
    troubled.growing = {"00000009_2012-03-03_230000.3gp"};
    troubled.problems.emplace_back(ProblemKind::Unreadable, "00000003_2012-03-03_140000.3gp", "bad format",
                                   audit::TimeRange{At("14:00:00"), At("14:00:00")});
    troubled.problems.emplace_back(ProblemKind::NoRow, "00000004_2012-03-03_150000.3gp", "readable");
    troubled.problems.back().accepted = true;
    audit::LocationDay clean;
    clean.day = "2012-03-04";
    clean.location = "1";
    clean.database = audit::DatabaseState::Read;
    report.locationDays = {troubled, clean};
    const std::string page = audit::HtmlReport(report);

    EXPECT_EQ(Count(page, "<table"), Count(page, "</table>"));
    EXPECT_EQ(Count(page, "<table"), Count(page, "<div class=\"scroll\"><table"));
    EXPECT_EQ(Count(page, "<div"), Count(page, "</div>"));
    EXPECT_NE(page.find("<details class=\"day problems\" open id=\"day-2012-03-03\""), std::string::npos);
    EXPECT_NE(page.find("<details class=\"day\" id=\"day-2012-03-04\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#day-2012-03-03\" class=\"new\">2012-03-03 (1)</a>"), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"#day-2012-03-04\">2012-03-04</a>"), std::string::npos) << page;
    // Only the open problem leads to its day.
    EXPECT_NE(page.find("<tr id=\"kind-unreadable\">"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#day-2012-03-03-unreadable\">"), std::string::npos);
    EXPECT_EQ(page.find("<a href=\"#day-2012-03-03-no_row\">"), std::string::npos);
    EXPECT_NE(page.find("<h4 id=\"day-2012-03-03-unreadable\">"), std::string::npos);
    EXPECT_NE(page.find("In the old layout: " + audit::Escape(NextStepFor("old_layout"))), std::string::npos);
    EXPECT_NE(page.find("Being recorded: " + audit::Escape(NextStepFor("being_recorded"))), std::string::npos);
    EXPECT_NE(page.find("damaged: not an SQLite database; 1 recording being recorded"), std::string::npos) << page;
    EXPECT_NE(page.find("<td>14:00:00 (in its name), unreadable</td>"), std::string::npos) << page;
    // The day at the page's width, its marks also in words.
    EXPECT_NE(page.find("<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1360.0 "),
              std::string::npos);
    EXPECT_NE(page.find("<details class=\"words\"><summary>The marks in words</summary>\n<p><b>Location 1</b></p><ul>\n"
                        "<li>the day database was not read"),
              std::string::npos)
        << page;
}

}  // namespace
