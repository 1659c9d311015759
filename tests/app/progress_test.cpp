#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/console.h"
#include "app/progress.h"

namespace {

struct RecordedDisplay : StatusDisplay {
    void Show(const std::string& text) override { shown.push_back(text); }
    void Clear() override { shown.push_back("<clear>"); }
    std::vector<std::string> shown;
};

// Each step sets the clock, then reports; the line is drawn at the first
// report and then only once 100 ms have passed since it was last drawn.
TEST(WalkProgress, RedrawsAtMostTenTimesASecondOnTheInjectedClock) {
    RecordedDisplay display;
    std::int64_t now = 5000;
    {
        WalkProgress progress(display, [&] { return now; });
        const struct {
            std::int64_t at;
            bool startsLocation;
            bool drawn;
        } steps[] = {{5000, true, true},  {5000, false, false}, {5050, false, false}, {5099, false, false},
                     {5100, false, true}, {5150, true, false},  {5199, false, false}, {5200, false, true},
                     {9000, false, true}, {9001, false, false}};
        for (const auto& step : steps) {
            now = step.at;
            const std::size_t before = display.shown.size();
            if (step.startsLocation) {
                progress.LocationStarted("2012-03-03", "1", 450);
            } else {
                progress.RecordingDone();
            }
            EXPECT_EQ(display.shown.size() - before, step.drawn ? 1u : 0u) << "at " << step.at;
        }
    }
    EXPECT_EQ(display.shown.back(), "<clear>");
}

TEST(WalkProgress, SaysDoneOfTotalRateAndTimeLeft) {
    RecordedDisplay display;
    std::int64_t now = 0;
    WalkProgress progress(display, [&] { return now; });
    progress.LocationStarted("2012-03-03", "1", 450);
    EXPECT_EQ(display.shown.back(), "2012-03-03, location 1: 0/450 recordings");
    for (int i = 0; i < 169; ++i) progress.RecordingDone();
    now = 2000;
    progress.RecordingDone();
    // 85 a second; 280 left of the location-day.
    EXPECT_EQ(display.shown.back(), "2012-03-03, location 1: 170/450 recordings, 85.0/s, 0:00:03 left for location");

    // The rate runs on across locations; the time left is the new location's.
    now = 4000;
    progress.LocationStarted("2012-03-04", "2", 2000);
    now = 4100;
    progress.RecordingDone();
    EXPECT_EQ(display.shown.back(), "2012-03-04, location 2: 1/2000 recordings, 41.7/s, 0:00:48 left for location");
    progress.Finish();
    progress.LocationStarted("2012-03-05", "1", 3);
    EXPECT_EQ(display.shown.back(), "<clear>");
}

// Without StorageStarted the line has no storage part: see the test above.
TEST(WalkProgress, AddsLocationDayOfStorageAndTimeLeftForIt) {
    RecordedDisplay display;
    std::int64_t now = 1000;
    WalkProgress progress(display, [&] { return now; });
    progress.StorageStarted(3);
    progress.LocationStarted("2012-03-03", "1", 100);
    EXPECT_EQ(display.shown.back(), "2012-03-03, location 1: 0/100 recordings; location-day 1 of 3");
    for (int i = 0; i < 49; ++i) progress.RecordingDone();
    now = 2000;
    progress.RecordingDone();
    // None finished yet: 50 a second over this one's 50 left and two more
    // location-days of 100.
    EXPECT_EQ(display.shown.back(),
              "2012-03-03, location 1: 50/100 recordings, 50.0/s, 0:00:01 left for location; location-day 1 of 3, "
              "0:00:05 left for the storage");
    for (int i = 0; i < 50; ++i) progress.RecordingDone();

    // One location-day took 10 s; two are left.
    now = 11000;
    progress.LocationStarted("2012-03-04", "2", 10);
    EXPECT_EQ(display.shown.back(),
              "2012-03-04, location 2: 0/10 recordings, 10.0/s, 0:00:01 left for location; location-day 2 of 3, "
              "0:00:20 left for the storage");
}

// The edges: a rate just under 100 a second keeps its decimal; more
// recordings than announced leave nothing of the location-day; a location-day
// over within a millisecond is still measured.
TEST(WalkProgress, EdgesOfTheEstimates) {
    RecordedDisplay display;
    std::int64_t now = 0;
    WalkProgress progress(display, [&] { return now; });
    progress.StorageStarted(2);
    progress.LocationStarted("d", "1", 1);
    for (int i = 0; i < 198; ++i) progress.RecordingDone();
    now = 2000;
    progress.RecordingDone();
    EXPECT_EQ(display.shown.back(),
              "d, location 1: 199/1 recordings, 99.5/s, 0:00:00 left for location; location-day 1 of 2, 0:00:00 left "
              "for the storage");

    WalkProgress slow(display, [&] { return now; });
    now = 0;
    slow.StorageStarted(1);
    slow.LocationStarted("d", "1", 1);
    slow.RecordingDone();
    now = 2000;
    slow.RecordingDone();
    EXPECT_EQ(display.shown.back(),
              "d, location 1: 2/1 recordings, 1.0/s, 0:00:00 left for location; location-day 1 of 1, 0:00:00 left "
              "for the storage");

    WalkProgress quick(display, [&] { return now; });
    now = 100;
    quick.LocationStarted("d", "0", 0);
    now = 199;
    quick.StorageStarted(2);
    quick.LocationStarted("d", "1", 0);
    now = 200;
    quick.LocationStarted("d", "2", 0);
    EXPECT_EQ(display.shown.back(), "d, location 2: 0/0 recordings; location-day 2 of 2, 0:00:00 left for the storage");
}

// A status line that wrapped could no longer be erased in place.
TEST(WalkProgress, StatusLinesAreCutToTheTerminalWidth) {
    const struct {
        const char* text;
        int columns;
        const char* fitted;
    } cases[] = {{"abcdef", 80, "abcdef"},
                 {"abcdef", 4, "abc"},
                 {"abc", 4, "abc"},
                 {"abcd", 4, "abc"},
                 // Two-byte characters stay whole.
                 {"\xc3\xa9\xc3\xa9\xc3\xa9", 3, "\xc3\xa9\xc3\xa9"},
                 {"abc", 0, ""}};
    for (const auto& c : cases) EXPECT_EQ(console::FitStatus(c.text, c.columns), c.fitted) << c.text;
}

}  // namespace
