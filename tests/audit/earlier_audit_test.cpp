// An audit against an earlier one and against the problems the operator
// accepted: what is known again, across a repair that renumbers intervals.

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "audit/earlier_audit.h"
#include "audit/json_report.h"
#include "repair/repair_test_support.h"
#include "tools/storage_generator/storage_generator.h"

namespace {

using audit::Change;
using audit::Problem;
using audit::ProblemKind;

audit::Report CurrentAudit() {
    audit::Report report;
    report.storage = "/s";
    report.storageCanonical = "/s";
    audit::LocationDay day;
    day.day = "2012-03-03";
    day.location = "1";
    report.storageProblems = {{ProblemKind::LinkPassedOver, "x", "a link"}};
    day.problems = {
        {ProblemKind::NoRow, "a.3gp", "readable", audit::TimeRange{1, 3}},  // the file grew
        {ProblemKind::Overlap, "intervals 1 and 2", "both cover", audit::TimeRange{100, 200}},
        {ProblemKind::Unreadable, "c.3gp", "bad format", audit::TimeRange{5, 6}},
        {ProblemKind::Overlap, "intervals 7 and 8", "both cover", audit::TimeRange{300, 400}},
    };
    report.locationDays.push_back(day);
    return report;
}

const char* const kEarlier = R"({"format": 2, "storage": "s", "storage_canonical": "/s", "audited_at": 7,
  "storage_problems": [{"kind": "link_passed_over", "name": "x", "detail": "a link"}],
  "accepted_problems": 5,
  "location_days": [
    {"day": "2012-03-03", "location": "1", "problems": [
      {"kind": "no_row", "name": "a.3gp", "detail": "readable", "range": [1, 2]},
      {"kind": "overlap", "name": "intervals 3 and 4", "detail": "both cover", "range": [100, 200]},
      {"kind": "missing_recording", "name": "b.3gp", "detail": "listed", "range": [3, 4]},
      {"kind": "overlap", "name": "intervals 5 and 6", "detail": "range not read", "range": ["a", 2]},
      {"kind": "overlap", "name": "intervals 5 and 6", "detail": "range not read", "range": [1, "b"]},
      {"kind": "overlap", "name": "intervals 5 and 6", "detail": "range not read", "range": [1]},
      {"kind": "overlap", "name": "intervals 5 and 6", "detail": "no range"},
      {"kind": "overlap", "name": "intervals 5 and 6", "detail": "range not read", "range": {"a": 1, "b": 2}},
      {"kind": "overlap", "name": "intervals 9 and 10", "detail": "three times", "range": [300, 400, 500]}]},
    {"day": "2012-03-04", "location": "1", "problems": [
      {"kind": "no_row", "name": "d.3gp", "detail": "readable"}]}]})";

TEST(EarlierAudit, ProblemsAreKnownAgainByFileOrByTimeRange) {
    repairtest::TempFolder temp("audit-earlier");
    const std::string file = (temp.Path() / "earlier.json").string();
    storagegen::WriteFile(file, kEarlier);
    audit::KnownProblems earlier;
    std::string error;
    ASSERT_TRUE(audit::ReadKnownProblems(file, "/elsewhere", "/s", earlier, error)) << error;
    audit::Report report = CurrentAudit();
    audit::CompareWithEarlier(report, earlier, file);
    const std::vector<Problem>& problems = report.locationDays[0].problems;
    EXPECT_EQ(problems[0].change, Change::Still);
    EXPECT_EQ(problems[1].change, Change::Still);  // its intervals renumbered by a repair
    EXPECT_EQ(problems[2].change, Change::New);
    EXPECT_EQ(problems[3].change, Change::New);  // no range of three times is its range
    EXPECT_EQ(report.storageProblems[0].change, Change::Still);
    // The day not audited this time is not called fixed; the overlaps whose
    // ranges cannot be read are known by none.
    ASSERT_EQ(report.comparison->fixed.size(), 2u);
    EXPECT_EQ(report.comparison->fixed[0].name, "b.3gp");
    EXPECT_EQ(report.comparison->fixed[1].name, "intervals 5 and 6");
    EXPECT_EQ(report.comparison->earlierAuditedAt, 7);
    const nlohmann::json json = nlohmann::json::parse(audit::JsonReport(report));
    EXPECT_EQ(json["comparison"]["fixed"], 2);
    EXPECT_EQ(json["comparison"]["still"], 3);
    EXPECT_EQ(json["comparison"]["new"], 2);
    EXPECT_EQ(json["location_days"][0]["problems"][2]["change"], "new");
}

// What is accepted is written by this audit and read back as the operator left it.
TEST(EarlierAudit, AcceptedProblemsAreKeptApart) {
    repairtest::TempFolder temp("audit-accepted");
    const std::string file = (temp.Path() / "accepted.json").string();
    audit::Report all = CurrentAudit();
    all.locationDays[0].problems.erase(all.locationDays[0].problems.begin() + 2, all.locationDays[0].problems.end());
    storagegen::WriteFile(file, audit::AcceptedProblemsJson(all));
    audit::KnownProblems accepted;
    std::string error;
    ASSERT_TRUE(audit::ReadKnownProblems(file, "/s", "/s", accepted, error)) << error;
    audit::Report report = CurrentAudit();
    report.locationDays[0].problems.pop_back();  // the second overlap
    report.storageProblems.clear();
    audit::ApplyBaseline(report, accepted);
    EXPECT_EQ(report.ProblemCount(), 3u);
    EXPECT_EQ(report.OpenProblemCount(), 1u);
    EXPECT_EQ(nlohmann::json::parse(audit::JsonReport(report))["status"], "problems");
    EXPECT_STREQ(audit::LocationDayStatus(report.locationDays[0]), "problems");
    report.locationDays[0].problems.pop_back();
    EXPECT_STREQ(audit::LocationDayStatus(report.locationDays[0]), "accepted");
}

TEST(EarlierAudit, OnlyAnAuditOfThisStorageInAKnownFormatIsRead) {
    repairtest::TempFolder temp("audit-earlier-refused");
    const struct {
        const char* text;
        bool read;
        const char* error;
    } cases[] = {
        {R"({"format": 1, "storage": "s", "location_days": []})", true, ""},  // the path as given
        {R"({"format": 1, "storage": "/s"})", true, ""},                      // or as it resolves
        {R"({"format": 1, "storage": "/t"})", false, "of another storage (/t)"},
        {R"({"format": "2", "storage": "s"})", false, "format this audit does not know"},
        {R"({"format": 2, "storage": "s", "storage_canonical": "/t"})", false, "of another storage (/t)"},
        {R"({"format": 3, "storage": "s"})", false, "format this audit does not know"},
        {R"({"storage": "s"})", false, "format this audit does not know"},
        {R"({"format": 2, "storage": "s", "repair_running": true})", false, "judged nothing"},
        {"[1, 2", false, "is no audit's JSON"},
    };
    const std::string file = (temp.Path() / "earlier.json").string();
    for (const auto& c : cases) {
        storagegen::WriteFile(file, c.text);
        audit::KnownProblems known;
        std::string error;
        EXPECT_EQ(audit::ReadKnownProblems(file, "s", "/s", known, error), c.read) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
    }
    audit::KnownProblems known;
    std::string error;
    EXPECT_FALSE(audit::ReadKnownProblems((temp.Path() / "none.json").string(), "s", "/s", known, error));
    EXPECT_FALSE(audit::ReadKnownProblems(temp.Path().string(), "s", "/s", known, error));  // a folder
}

// What a script reads of each location-day.
TEST(EarlierAudit, EachLocationDaySaysWhereItStands) {
    audit::LocationDay day;
    EXPECT_STREQ(audit::LocationDayStatus(day), "ok");
    EXPECT_EQ(nlohmann::json::parse(audit::JsonReport(audit::Report()))["status"], "ok");
    day.growing = {"r.3gp"};
    EXPECT_STREQ(audit::LocationDayStatus(day), "growing");
    day.problems.emplace_back(ProblemKind::NoRow, "a.3gp", "readable");
    EXPECT_STREQ(audit::LocationDayStatus(day), "problems");
    day.problems.back().accepted = true;
    EXPECT_STREQ(audit::LocationDayStatus(day), "accepted");
    day.database = audit::DatabaseState::Busy;
    EXPECT_STREQ(audit::LocationDayStatus(day), "not_read");
    audit::Report report;
    report.storageProblems.emplace_back(ProblemKind::LinkPassedOver, "x", "a link");
    report.locationDays.push_back(day);
    EXPECT_EQ(report.OpenProblemCount(), 1u);
}

}  // namespace
