#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Where a progress line is shown: the console's status line in a run.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void Show(const std::string& text) = 0;
    virtual void Clear() = 0;
};

// The console's status line on standard error; it shows nothing unless
// standard error is a terminal.
StatusDisplay& ConsoleStatusDisplay();

// Progress of a walk over location-days, for any walk that reads recordings:
// "<day>, location <name>: <done>/<total> recordings, <rate>/s, <time> left
// for location"; the rate is over every recording the walk has read. A walk
// that announces its size with StorageStarted also gets "; location-day K of N,
// <time> left for the storage" at the end of the line, the part a narrow
// terminal cuts first. The line is redrawn at most ten times a second (the
// console erases it before every other line; it comes back at the next
// refresh) and erased by Finish or the destructor. Main thread only.
class WalkProgress {
public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<std::int64_t()>;

    // The console's status line and the run clock.
    WalkProgress();
    WalkProgress(StatusDisplay& display, Clock clock);
    ~WalkProgress();
    WalkProgress(const WalkProgress&) = delete;
    WalkProgress& operator=(const WalkProgress&) = delete;

    // The walk will visit this many location-days; from now on every
    // LocationStarted begins the next of them.
    void StorageStarted(std::uint64_t locationDays);
    // A location-day with this many recordings is read next.
    void LocationStarted(const std::string& day, const std::string& location, std::uint64_t recordings);
    // One recording of it has been read.
    void RecordingDone();
    // Erases the line; the walk is over.
    void Finish();

    static constexpr std::int64_t kRefreshMilliseconds = 100;

private:
    void Refresh();
    std::string Text(std::int64_t now) const;
    std::string StorageText(std::int64_t now, std::optional<double> perSecond) const;

    StatusDisplay& display_;
    Clock clock_;
    std::optional<std::int64_t> started_;
    std::optional<std::int64_t> lastShown_;
    std::string day_;
    std::string location_;
    std::uint64_t locationTotal_ = 0;
    std::uint64_t locationDone_ = 0;
    // Recordings read in the whole walk: the rate counts these.
    std::uint64_t read_ = 0;
    bool inLocation_ = false;
    // Set by StorageStarted: location-days the walk will visit, and when it
    // said so.
    std::optional<std::uint64_t> storageTotal_;
    std::int64_t storageStarted_ = 0;
    // Location-days begun since StorageStarted, and how many of them are over.
    std::uint64_t storageBegun_ = 0;
    std::uint64_t storageFinished_ = 0;
    bool finished_ = false;
};
