// The audit's console account: when it speaks of zones, and how many names
// of what must be acted on it prints.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "audit/summary.h"

namespace {

std::string SummaryOf(const audit::Report& report) {
    std::ostringstream out;
    audit::WriteSummary(report, out);
    return out.str();
}

// A zone line only where something is not this machine's zone (UTC here).
TEST(AuditSummary, ZonesAreSpokenOfOnlyWhereTheyDiffer) {
    const struct {
        const char* name;
        std::vector<long> rowZones;
        std::map<long, unsigned> namedOffsets;  // minutes east, against first packets
        const char* zones;                      // the line, or "" for none
    } cases[] = {
        {"rows in this machine's zone", {0}, {}, ""},
        {"names in this machine's zone", {}, {{0, 3}}, ""},
        {"most names in this machine's zone", {}, {{0, 3}, {60, 2}}, ""},
        {"rows elsewhere", {60}, {}, "Zones: this machine is at UTC+00:00; rows written at UTC+01:00"},
        {"most names elsewhere",
         {},
         {{0, 2}, {60, 3}},
         "Zones: this machine is at UTC+00:00; the names of 3 of 5 recordings read show UTC+01:00"},
    };
    for (const auto& c : cases) {
        audit::Report report;
        audit::LocationDay day;
        day.rowZones = c.rowZones;
        day.namedOffsets = c.namedOffsets;
        report.locationDays.push_back(day);
        const std::string out = SummaryOf(report);
        if (*c.zones == '\0') {
            EXPECT_EQ(out.find("Zones:"), std::string::npos) << c.name << "\n" << out;
        } else {
            EXPECT_NE(out.find(c.zones), std::string::npos) << c.name << "\n" << out;
        }
    }
}

// Twenty names a location-day, then how many more.
TEST(AuditSummary, WhatMustBeActedOnIsNamedTwentyALocationDay) {
    for (const unsigned count : {20u, 21u}) {
        audit::Report report;
        audit::LocationDay day;
        for (unsigned i = 0; i < count; ++i)
            day.problems.push_back({audit::ProblemKind::Unreadable, "r.3gp", "empty", {}});
        report.locationDays.push_back(day);
        const std::string out = SummaryOf(report);
        EXPECT_EQ(out.find("  ... and 1 more (see the JSON or the page)\n") != std::string::npos, count == 21) << out;
    }
}

// Against an earlier audit: three counts, then the new problems, twenty a location-day.
TEST(AuditSummary, WhatIsNewIsNamedTwentyALocationDay) {
    audit::Report report;
    report.comparison = audit::Comparison{"last.json", 0, {}};
    audit::LocationDay day;
    day.day = "2012-03-03";
    day.location = "1";
    for (unsigned i = 0; i < 22; ++i) {
        day.problems.emplace_back(audit::ProblemKind::NoRow, "r" + std::to_string(i) + ".3gp", "readable");
        day.problems.back().change = i == 0 ? audit::Change::Still : audit::Change::New;
    }
    report.locationDays.push_back(day);
    const std::string out = SummaryOf(report);
    EXPECT_NE(
        out.find("Since last.json: 0 fixed, 1 still open, 21 new\n  new: 2012-03-03 1: no row: r1.3gp: readable\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("  new: 2012-03-03 1: no row: r20.3gp: readable\n  ... and 1 more new"), std::string::npos)
        << out;
}

TEST(AuditSummary, DurationsReadAsPeopleSayThem) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0 s"},           {59, "59 s"},         {60, "1 min"},          {200, "3 min 20 s"}, {3599, "59 min 59 s"},
        {3600, "1 h 00 min"}, {7559, "2 h 05 min"}, {90000, "25 h 00 min"},
    };
    for (const auto& [seconds, words] : cases) EXPECT_EQ(audit::DurationWords(seconds), words) << seconds;
}

}  // namespace
