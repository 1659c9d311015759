// Which writes make a location-day the recorder's now, judged against a
// clock of the test's own: nothing here waits for time to pass.

#include "storage/recorder_activity.h"

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "storage/storage_folders.h"
#include "storage/template_source.h"
#include "storage_test_support.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

namespace {

constexpr std::int64_t kNow = 1900000000;

TEST(RecorderActivity, AWriteIsTheRecordersWithinTwoMinutesEitherSide) {
    const struct {
        std::int64_t modified;
        WriteTime time;
    } cases[] = {
        {kNow, WriteTime::Recent},       {kNow - 120, WriteTime::Recent}, {kNow - 121, WriteTime::Past},
        {kNow + 120, WriteTime::Recent}, {kNow + 121, WriteTime::Future},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyWriteTime(c.modified, kNow), c.time) << c.modified - kNow;
}

// A day database with the tool's mark, as the placement leaves it.
std::string MarkedDatabase() {
    std::string bytes(100, '\0');
    bytes.replace(0, 16, std::string("SQLite format 3\0", 16));
    for (int i = 0; i < 4; ++i) bytes[kApplicationIdOffset + i] = static_cast<char>(kToolMark >> (24 - 8 * i));
    return bytes;
}

TEST(RecorderActivity, TheRecordersFilesCountTheToolsOwnDatabaseDoesNot) {
    const std::string day = "2012-03-03", database = day + ".db";
    const struct {
        const char* name;
        const char* file;
        bool marked;  // the day database carries the tool's mark
        std::int64_t age;
        bool live;
        bool skewed;
    } cases[] = {
        {"a recording written now", "00000001_2012-03-03_100000.3gp", false, 0, true, false},
        {"a recording written long ago", "00000001_2012-03-03_100000.3gp", false, 3600, false, false},
        {"a recording dated ahead", "00000001_2012-03-03_100000.3gp", false, -3600, false, true},
        {"the recorder's database", "2012-03-03.db", false, 5, true, false},
        {"its journal", "2012-03-03.db-journal", false, 5, true, false},
        {"the tool's own database", "2012-03-03.db", true, 5, false, false},
        {"the journal of the tool's own", "2012-03-03.db-journal", true, 5, false, false},
        {"a file that is no recording", "notes.txt", false, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storagetest::TempFolder storage;
        const fs::path location = storage.path() / day / "1";
        storagegen::WriteFile(location / database, c.marked ? MarkedDatabase() : std::string("recorder's"));
        fs::last_write_time(location / database, kNow - 3600);
        if (c.file != database) storagegen::WriteFile(location / c.file, "bytes");
        fs::last_write_time(location / c.file, kNow - c.age);
        int error = 0;
        const platform::Folder folder = platform::Folder::OpenPath(location.string(), error);
        ASSERT_EQ(error, 0);
        const RecorderActivity activity = ActivityOfLocation(folder, location, database, kNow);
        EXPECT_EQ(activity.live, c.live);
        EXPECT_EQ(activity.clockSkewed, c.skewed);
        if (c.live) {
            EXPECT_EQ(activity.lastWrite, kNow - c.age);
        }
    }
}

// One location written now makes its whole day the recorder's, in either
// layout and whichever location the walk meets first; other days stay free.
TEST(RecorderActivity, ALiveLocationMakesItsWholeDayLive) {
    const struct {
        std::int64_t firstAge, secondAge;  // of the recordings of locations 1 and 2 on the second day
    } cases[] = {{4, 3600}, {3600, 4}, {60, 4}, {4, 60}};
    for (const bool oldLayout : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(oldLayout ? "old layout " : "new layout ") + std::to_string(c.firstAge) + " " +
                         std::to_string(c.secondAge));
            storagetest::TempFolder storage;
            const auto recordingOf = [&](const std::string& day, const std::string& location) {
                return (oldLayout ? storage.path() / location / day : storage.path() / day / location) /
                       "00000001_x_100000.3gp";
            };
            for (const char* day : {"2012-03-03", "2012-03-04"}) {
                for (const char* location : {"1", "2"}) {
                    storagegen::WriteFile(recordingOf(day, location), "bytes");
                    fs::last_write_time(recordingOf(day, location), kNow - 3600);
                }
            }
            fs::last_write_time(recordingOf("2012-03-04", "1"), kNow - c.firstAge);
            fs::last_write_time(recordingOf("2012-03-04", "2"), kNow - c.secondAge);
            int error = 0;
            const platform::Folder held = OpenStorageFolder(storage.path(), error);
            ASSERT_EQ(error, 0);
            StorageActivity activity(held, storage.path(), [] { return kNow; });
            EXPECT_FALSE(activity.OfDay("2012-03-03").live);
            EXPECT_TRUE(activity.OfDay("2012-03-04").live);
            EXPECT_EQ(activity.OfDay("2012-03-04").lastWrite, kNow - 4);
        }
    }
}

}  // namespace
