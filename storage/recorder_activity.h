#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/folder.h"

// Whether the recorder is writing a location-day now. The tool leaves such a
// location-day as it was: setting its database aside, taking its lock or
// moving its folder would make the recorder lose what it writes, and rows
// the tool wrote would list again what the recorder lists itself.
//
// A write counts as the recorder's when it is within the window of now,
// either side (clocks of a copy or a network drive may run a little ahead).
// A time further ahead is no sign of recording, but of a clock that is off.

constexpr std::int64_t kRecorderActiveSeconds = 120;

enum class WriteTime { Past, Recent, Future };
WriteTime ClassifyWriteTime(std::int64_t modified, std::int64_t now);

struct RecorderActivity {
    bool live = false;
    std::int64_t lastWrite = 0;  // the latest recent write, seconds since 1970
    bool clockSkewed = false;    // a write lies further ahead than the window

    // A day folder is live when any of its locations is: a camera that has
    // been idle a few minutes is still on the recorder's current day.
    void Add(const RecorderActivity& other);
};

// The recorder's writes into one location folder: its recordings, and its day
// database with the database's companions unless the tool placed that
// database (its mark): the tool's own writes never make a location-day live.
// The folder is listed by its path and every entry judged through the held
// folder, without following a link.
RecorderActivity ActivityOfLocation(const platform::Folder& location, const boost::filesystem::path& locationPath,
                                    const std::string& databaseName, std::int64_t now);

// The recorder's activity per day of a storage, over both layouts
// (<storage>/<day>/<location> and <storage>/<location>/<day>), judged once per
// day, at the time the day is first asked about. The one rule by which every
// road leaves what is being recorded alone.
class StorageActivity {
public:
    // Seconds since 1970; tests bring their own.
    using Clock = std::function<std::int64_t()>;
    static std::int64_t SystemNow();

    StorageActivity(const platform::Folder& storage, boost::filesystem::path storagePath, Clock clock = SystemNow);

    const RecorderActivity& OfDay(const std::string& dayName);
    std::int64_t Now() const { return clock_(); }

private:
    RecorderActivity Judge(const std::string& dayName);

    const platform::Folder& storage_;
    const boost::filesystem::path storagePath_;
    Clock clock_;
    std::map<std::string, RecorderActivity> days_;
    std::vector<std::string> topFolders_;
    bool listed_ = false;
};
