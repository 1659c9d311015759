#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <string>
#include <vector>

#include "repair/index_rows.h"
#include "repair/recorder_zone.h"

namespace {

using boost::posix_time::minutes;
using boost::posix_time::seconds;
using boost::posix_time::time_from_string;

struct Recordings {
    unsigned count;
    long recorderEast;  // the recorder's standard offset, minutes east of UTC
    int packetDelay;    // seconds from the name's time to the first packet
    bool daylight;
};

// The times ReadFileTimes gives a recording named in the recorder's local
// time, read on a machine whose standard bias is biasMinutes.
FileTimes RecordingTimes(long biasMinutes, const Recordings& r) {
    const auto utc = time_from_string("2012-03-03 09:00:00");
    const long saving = r.daylight ? 60 : 0;
    const auto nameTime = utc + minutes(r.recorderEast + saving);
    FileTimes times;
    times.recordStart = nameTime + minutes(biasMinutes - saving);
    times.cameraStart = utc + seconds(r.packetDelay);
    times.recordDLSaving = r.daylight ? 1 : 0;
    return times;
}

std::uint16_t Camera(long minutesEast) { return CameraZoneCode(static_cast<std::int32_t>(minutesEast * 60)); }

// The name against the first packet, to the nearest quarter hour (halves up).
TEST(RecorderZonesTest, SkewIsRoundedToTheNearestQuarterHour) {
    const std::pair<int, long long> cases[] = {{449, 0}, {450, 15}, {-450, 0}, {-451, -15}, {3602, 60}, {-3602, -60}};
    for (const auto& [skewSeconds, minutesOff] : cases) {
        FileTimes times;
        times.cameraStart = time_from_string("2012-03-03 09:00:00");
        times.recordStart = times.cameraStart + seconds(skewSeconds);
        EXPECT_EQ(SkewMinutes(times), minutesOff) << skewSeconds;
    }
}

TEST(RecorderZonesTest, AdvisesOnlyWhenMostRecordingsShowAnotherZone) {
    const struct {
        const char* what;
        long bias;
        std::vector<Recordings> recordings;
        std::vector<std::uint16_t> cameras;
        const char* says;  // empty: no line
        const char* tz;
    } cases[] = {
        {"matching zone", 0, {{10, 0, 2, false}}, {}, "", ""},
        {"+1 h recorder, UTC machine",
         0,
         {{10, 60, 2, false}},
         {},
         "at UTC+01:00 standard time (10 of 10 readable recordings agree), but this machine is at UTC+00:00",
         "TZ=Etc/GMT-1 "},
        {"+1 h recordings, -5 h machine",
         300,
         {{1416, 60, 3, false}, {24, -300, 3, false}},
         {Camera(60), Camera(60), Camera(0)},
         "at UTC+01:00 standard time (1416 of 1440 readable recordings agree; the cameras say UTC+01:00), but this "
         "machine is at UTC-05:00",
         "TZ=Etc/GMT-1 "},
        {"+05:30", 0, {{5, 330, 2, false}}, {}, "at UTC+05:30 standard time (5 of 5", "TZ='<+0530>-05:30' "},
        {"daylight saving agrees",
         0,
         {{6, 60, 2, true}, {4, 60, 2, false}},
         {},
         "at UTC+01:00 standard time (10 of 10",
         "TZ=Etc/GMT-1 "},
        {"half is not most", 0, {{5, -60, 2, false}, {5, 0, 2, false}}, {}, "", ""},
        {"most but no majority", 0, {{4, 60, 2, false}, {3, 0, 2, false}, {3, 120, 2, false}}, {}, "", ""},
        {"packets late", 0, {{10, 60, 440, false}}, {}, "at UTC+01:00 standard time (10 of 10", "TZ=Etc/GMT-1 "},
        {"west, packets late", 0, {{10, -300, 5, false}}, {}, "at UTC-05:00 standard time (10 of 10", "TZ=Etc/GMT+5 "},
        {"only the cameras differ", 0, {{10, 0, 2, false}}, {Camera(480), Camera(480)}, "", ""},
        {"clocks a quarter hour apart", 0, {{10, 0, -900, false}}, {}, "", ""},
        {"cameras disagree among themselves",
         0,
         {{10, 60, 2, false}},
         {Camera(60), Camera(480), Camera(540)},
         "(10 of 10 readable recordings agree), but",
         ""},
        {"the westmost zone", 0, {{10, -720, 2, false}}, {}, "at UTC-12:00 standard time", "TZ=Etc/GMT+12 "},
        {"the eastmost zone", 0, {{10, 840, 2, false}}, {}, "at UTC+14:00 standard time", "TZ=Etc/GMT-14 "},
        {"beyond the westmost zone", 0, {{10, -765, 2, false}}, {}, "", ""},
        {"east of +12",
         0,
         {{10, 780, 2, false}},
         {Camera(780)},
         "at UTC+13:00 standard time (10 of 10 readable recordings agree; the cameras say UTC+13:00)",
         "TZ=Etc/GMT-13 "},
    };
    for (const auto& c : cases) {
        RecorderZones zones;
        for (const Recordings& r : c.recordings) {
            for (unsigned i = 0; i < r.count; ++i) zones.AddRecording(RecordingTimes(c.bias, r));
        }
        for (const std::uint16_t code : c.cameras) zones.AddCameraZone(code);
        const std::string line = zones.AdviceLine(c.bias);
        if (*c.says == '\0') {
            EXPECT_EQ(line, "") << c.what;
            continue;
        }
        EXPECT_EQ(line.rfind("RepairStorage - ", 0), 0u) << c.what << ": " << line;
        EXPECT_NE(line.find(c.says), std::string::npos) << c.what << ": " << line;
#ifndef _WIN32
        EXPECT_NE(line.find(c.tz), std::string::npos) << c.what << ": " << line;
#endif
    }
}

#ifndef _WIN32
TEST(RecorderZonesTest, TheLineWhole) {
    RecorderZones zones;
    for (int i = 0; i < 3; ++i) zones.AddRecording(RecordingTimes(300, {1, 60, 2, false}));
    zones.AddCameraZone(Camera(60));
    EXPECT_EQ(zones.AdviceLine(300),
              "RepairStorage - the recorder may have run at UTC+01:00 standard time (3 of 3 readable recordings "
              "agree; the cameras say UTC+01:00), but this machine is at UTC-05:00 and the rows were written for it; "
              "to write them for the recorder's zone, run again with TZ=Etc/GMT-1 (or a named zone whose standard "
              "time is UTC+01:00)");
}
#endif

}  // namespace
