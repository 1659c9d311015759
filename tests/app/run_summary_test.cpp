// The résumé's pieces: reasons counted and folded, a system error in a few
// words, and what the résumé says of the bounds.

#include "app/run_summary.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "app/dates.h"

namespace {

TEST(RunSummary, ReasonsMostFrequentFirstTiesByNameTheRestFolded) {
    Reasons reasons;
    for (const char* reason : {"e", "b", "a", "b", "c", "d", "f", "f", "b"}) reasons.Add(reason);
    EXPECT_EQ(reasons.Total(), 9u);
    EXPECT_EQ(reasons.Text(), "b 3, f 2, a 1, c 1, other 2");
    Reasons more;
    more.Add(reasons);
    more.Add("a", 4);
    EXPECT_EQ(more.Text(), "a 5, b 3, f 2, c 1, other 2");
}

#ifndef _WIN32
TEST(RunSummary, ASystemErrorInAFewWords) {
    const std::pair<int, const char*> cases[] = {
        {EBUSY, "in use"},           {EACCES, "not permitted"},      {EPERM, "not permitted"},
        {EROFS, "read-only"},        {EEXIST, "destination exists"}, {ENOSPC, "disk full"},
        {EIO, "input/output error"},
    };
    for (const auto& [error, reason] : cases) EXPECT_EQ(ReasonOfError(error), reason) << error;
}
#endif

TEST(RunSummary, BoundsInForceAndBoundsThatAreNoDates) {
    const struct {
        const char* begin;
        const char* end;
        const char* bounds;
        const char* notes;
    } cases[] = {
        {UnsetDate, UnsetDate, "", ""},
        {"2012-03-03", UnsetDate, "from 2012-03-03 on", ""},
        {UnsetDate, "2012-03-04", "up to 2012-03-04", ""},
        {"2012-03-03", "2012-03-04", "between 2012-03-03 and 2012-03-04", ""},
        {"2012-01-01", "2012-12-31", "between 2012-01-01 and 2012-12-31", ""},
        {"2012-00-10", "2012-03-00", "between 2012-00-10 and 2012-03-00",
         "begin 2012-00-10 is no calendar date: compared as text; end 2012-03-00 is no calendar date: compared as "
         "text"},
        {"2012-3-3", UnsetDate, "", "begin 2012-3-3 is not a YYYY-MM-DD date: no lower bound"},
        {"2012-02-30", "2012-13-01", "between 2012-02-30 and 2012-13-01",
         "begin 2012-02-30 is no calendar date: compared as text; end 2012-13-01 is no calendar date: compared as "
         "text"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoundsText(c.begin, c.end), c.bounds) << c.begin << " " << c.end;
        EXPECT_EQ(BoundNotes(c.begin, c.end), c.notes) << c.begin << " " << c.end;
    }
}

}  // namespace
