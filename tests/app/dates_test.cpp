#include <gtest/gtest.h>

#include "app/dates.h"

namespace {

TEST(MatchDateFormat, ChecksDigitClassesOfTheWholeText) {
    const struct {
        const char* text;
        bool matches;
    } cases[] = {
        {"2012-03-03", true},   {"1969-12-31", true},
        {"2012-19-39", true},   {"2012-00-00", true},
        {"1970-01-01", true},   {"0999-01-01", false},
        {"3012-01-01", false},  {"2012-3-3", false},
        {"2012/03/03", false},  {"2012-03-03x", false},
        {"x2012-03-03", false}, {"2012-23-03", false},
        {"2012-03-43", false},  {"", false},
        {"12-03-03", false},    {"2012-03-03\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchDateFormat(c.text), c.matches) << '"' << c.text << '"';
}

TEST(MatchDateFormat, NullIsReportedAndRejected) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(MatchDateFormat(nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "MatchDateFormat - input argument is null\n");
}

TEST(IsCalendarDate, OnlyDaysOfTheCalendarInTheDateFormat) {
    const struct {
        const char* text;
        bool day;
    } cases[] = {
        {"2024-02-29", true},  {"2023-02-29", false}, {"2012-12-31", true},  {"2012-13-01", false},
        {"2012-00-10", false}, {"2012-01-00", false}, {"2012-19-39", false}, {"2012-3-3", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsCalendarDate(c.text), c.day) << c.text;
}

TEST(DateRange, BoundsAreInclusiveAndMalformedOrUnsetBoundsAreOpen) {
    const struct {
        const char* begin;
        const char* end;
        const char* folder;
        bool inside;
    } cases[] = {
        {UnsetDate, UnsetDate, "1969-12-31", true},        {UnsetDate, UnsetDate, "2999-01-01", true},
        {"1970-01-01", UnsetDate, "1969-12-31", true},     {"2012-03-03", "2012-03-03", "2012-03-03", true},
        {"2012-03-03", "2012-03-03", "2012-03-02", false}, {"2012-03-03", "2012-03-03", "2012-03-04", false},
        {UnsetDate, "2012-03-07", "2012-03-07", true},     {UnsetDate, "2012-03-07", "2001-01-01", true},
        {UnsetDate, "2012-03-07", "2012-03-08", false},    {"2012-03-07", "2012-03-03", "2012-03-05", false},
        {"2012-03-07", "2012-03-03", "2012-03-07", false}, {"2012-3-3", UnsetDate, "2000-01-01", true},
        {"2012-03-04", "garbage", "2099-01-01", true},     {"2012-03-04", "garbage", "2012-03-03", false},
        {UnsetDate, UnsetDate, "2012-13-45", true},        {"2012-13-01", UnsetDate, "2012-13-45", true},
        {"2012-13-01", UnsetDate, "2012-12-31", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateRange(c.begin, c.end).Contains(c.folder), c.inside)
            << c.begin << " .. " << c.end << " : " << c.folder;
    }
}

}  // namespace
