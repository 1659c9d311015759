#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <string>
#include <vector>

#include "repair/recording_name.h"
#include "repair/row_time.h"

namespace {

using boost::posix_time::ptime;
using boost::posix_time::time_from_string;

TEST(GetFileSerialTest, ReadsTheNumberInFrontOfTheFirstUnderscore) {
    const struct {
        const char* path;
        std::uint64_t serial;
    } cases[] = {
        {"/rec/2012-03-03/1/00000123_2012-03-03_101500.3gp", 123},
        {"abc.3gp", 0},
        {"77.3gp", 77},
        {"12a_2012-03-03_101500.3gp", 12},
        {"_2012-03-03_101500.3gp", 0},
        {" 42_x.3gp", 42},
        {"4294967295_x.3gp", 4294967295u},
        {"4294967296_x.3gp", 0},  // does not fit in 32 bits
        {"4294967297_x.3gp", 0},
        {"000000000123_x.3gp", 123},
        {"+7_x.3gp", 7},
        {"/rec/9_folder/15_x.3gp", 15},  // the folder's name never counts
        {"3_a_b.3gp", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(GetFileSerial(c.path), c.serial) << c.path;
}

TEST(RecordTimeFromFileNameTest, ReadsTheSeventeenCharactersBeforeTheExtension) {
    const struct {
        const char* name;
        const char* time;
    } cases[] = {
        {"00000123_2012-03-03_101500.3gp", "2012-03-03 10:15:00"},
        {"2012-03-03T235959.3gp", "2012-03-03 23:59:59"},  // exactly 21 characters, any separator
        {"7_2012-02-29_000000.3gp", "2012-02-29 00:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(RecordTimeFromFileName(c.name), time_from_string(c.time)) << c.name;
}

TEST(RecordTimeFromFileNameTest, RejectsShortNamesAndImpossibleDates) {
    const struct {
        const char* name;
        const char* text;  // part of the exception's text, "" for any
    } cases[] = {
        {"1_x.3gp", ""},
        {"012-03-03_101500.3gp", ""},  // 20 characters
        {"1_2012-13-03_101500.3gp", "Month number is out of range 1..12"},
        {"1_2012-02-30_101500.3gp", "Day of month is not valid for year"},
        {"1_2012-03-32_101500.3gp", "Day of month value is out of range 1..31"},
        {"1_2012-03-03_1x1500.3gp", ""},
        {"1_abcd-ef-gh_ijklmn.3gp", ""},
        {"1_2012x03x03_101500.3gp", ""},  // a date without its dashes
    };
    for (const auto& c : cases) {
        try {
            RecordTimeFromFileName(c.name);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << c.name << ": " << e.what();
        }
    }
}

TEST(RecordStartFromNameTest, ShiftsTheNameToUtcAndDaylightSavingAnHourBefore) {
    const struct {
        const char* name;
        long biasMinutes;
        bool daylightSaving;
        const char* start;
    } cases[] = {
        {"1_2012-03-03_101500.3gp", 0, false, "2012-03-03 10:15:00"},
        {"1_2012-03-03_101500.3gp", -480, false, "2012-03-03 02:15:00"},  // UTC+8
        {"1_2012-03-03_101500.3gp", 300, true, "2012-03-03 14:15:00"},    // UTC-5, summer
        {"1_2012-03-03_003000.3gp", 0, true, "2012-03-02 23:30:00"},      // the hour before is the day before
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordStartFromName(c.name, c.biasMinutes, c.daylightSaving), time_from_string(c.start)) << c.name;
    }
    EXPECT_THROW(RecordStartFromName("1_x.3gp", 0, true), std::exception);
}

TEST(SerialOrderTest, AscendingWithEqualSerialsInTheOrderGiven) {
    const struct {
        std::vector<std::string> paths;
        std::vector<std::size_t> order;
    } cases[] = {
        {{}, {}},
        {{"/d/3_a.3gp", "/d/1_b.3gp", "/d/2_c.3gp"}, {1, 2, 0}},
        {{"/d/b.3gp", "/d/7_x.3gp", "/d/a.3gp", "/d/0007_y.3gp"}, {0, 2, 1, 3}},  // equal serials: 0, 0 and 7, 7
    };
    for (const auto& c : cases) EXPECT_EQ(SerialOrder(c.paths), c.order);

    // More than a sort by insertion handles: partitioning must not reorder equal serials.
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back(std::to_string(i % 3) + "_" + std::to_string(i) + ".3gp");
    std::vector<std::size_t> expected;
    for (std::size_t serial = 0; serial < 3; ++serial) {
        for (std::size_t i = serial; i < paths.size(); i += 3) expected.push_back(i);
    }
    EXPECT_EQ(SerialOrder(paths), expected);
}

TEST(RowTimeTest, SecondsAreTruncatedTowardZeroAndWrapToThirtyTwoBits) {
    EXPECT_EQ(RowSeconds(time_from_string("1970-01-01 00:00:00")), 0u);
    EXPECT_EQ(RowSeconds(time_from_string("2012-03-03 02:00:00")), 1330740000u);
    EXPECT_EQ(RowSeconds(time_from_string("2012-03-03 02:00:00.999")), 1330740000u);
    EXPECT_EQ(RowSeconds(time_from_string("1969-12-31 23:59:59.500")), 0u);
    EXPECT_EQ(RowSeconds(time_from_string("1969-12-31 23:59:58.500")), 0xFFFFFFFFu);
    EXPECT_EQ(RowSeconds(ptime()), 0u);
    EXPECT_EQ(RowSeconds(PacketTime(1330740000u, 1999)), 1330740001u);
    EXPECT_EQ(RowSeconds(PacketTime(0xFFFFFFFFu, 0)), 0xFFFFFFFFu);
}

}  // namespace
