#include "app/progress.h"

#include <cstdio>
#include <utility>

#include "app/console.h"
#include "platform/run_clock.h"

namespace {

class ConsoleStatus : public StatusDisplay {
public:
    void Show(const std::string& text) override { console::ShowStatus(text); }
    void Clear() override { console::ClearStatus(); }
};

// Seconds as h:mm:ss.
std::string FormatDuration(std::uint64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

}  // namespace

StatusDisplay& ConsoleStatusDisplay() {
    static ConsoleStatus display;
    return display;
}

WalkProgress::WalkProgress() : WalkProgress(ConsoleStatusDisplay(), platform::RunClockMilliseconds) {}

WalkProgress::WalkProgress(StatusDisplay& display, Clock clock) : display_(display), clock_(std::move(clock)) {}

WalkProgress::~WalkProgress() { Finish(); }

void WalkProgress::StorageStarted(std::uint64_t locationDays) {
    storageTotal_ = locationDays;
    storageStarted_ = clock_();
    storageBegun_ = 0;
    storageFinished_ = 0;
}

void WalkProgress::LocationStarted(const std::string& day, const std::string& location, std::uint64_t recordings) {
    if (storageTotal_) {
        // Starting a location-day ends the one before it.
        if (storageBegun_ > storageFinished_) ++storageFinished_;
        ++storageBegun_;
    }
    day_ = day;
    location_ = location;
    locationTotal_ = recordings;
    locationDone_ = 0;
    inLocation_ = true;
    Refresh();
}

void WalkProgress::RecordingDone() {
    ++locationDone_;
    ++read_;
    Refresh();
}

void WalkProgress::Finish() {
    if (finished_) return;
    finished_ = true;
    if (storageBegun_ > storageFinished_) ++storageFinished_;
    display_.Clear();
}

void WalkProgress::Refresh() {
    if (finished_ || !inLocation_) return;
    const std::int64_t now = clock_();
    if (!started_) started_ = now;
    if (lastShown_ && now - *lastShown_ < kRefreshMilliseconds) return;
    lastShown_ = now;
    display_.Show(Text(now));
}

std::string WalkProgress::Text(std::int64_t now) const {
    std::string text = day_ + ", location " + location_ + ": " + std::to_string(locationDone_) + "/" +
                       std::to_string(locationTotal_) + " recordings";
    const std::int64_t elapsed = now - *started_;
    // No rate, and so no time left, until there is something to measure.
    std::optional<double> perSecond;
    if (elapsed > 0 && read_ > 0) {
        perSecond = static_cast<double>(read_) * 1000.0 / static_cast<double>(elapsed);
        char rate[32];
        std::snprintf(rate, sizeof rate, *perSecond < 100 ? ", %.1f/s" : ", %.0f/s", *perSecond);
        text += rate;

        const std::uint64_t left = locationTotal_ > locationDone_ ? locationTotal_ - locationDone_ : 0;
        text += ", " + FormatDuration(static_cast<std::uint64_t>(static_cast<double>(left) / *perSecond + 0.5)) +
                " left for location";
    }
    return text + StorageText(now, perSecond);
}

std::string WalkProgress::StorageText(std::int64_t now, std::optional<double> perSecond) const {
    if (!storageTotal_ || storageBegun_ == 0) return "";
    const std::uint64_t total = *storageTotal_;
    std::string text = "; location-day " + std::to_string(storageBegun_) + " of " + std::to_string(total);

    std::optional<double> secondsLeft;
    const std::int64_t elapsed = now - storageStarted_;
    if (storageFinished_ > 0 && elapsed > 0) {
        const std::uint64_t left = total > storageFinished_ ? total - storageFinished_ : 0;
        secondsLeft =
            static_cast<double>(elapsed) / 1000.0 * static_cast<double>(left) / static_cast<double>(storageFinished_);
    } else if (perSecond) {
        // Nothing finished to go by yet: the rest of this location-day, and
        // every location-day after it taken to be as large as this one.
        const std::uint64_t locationLeft = locationTotal_ > locationDone_ ? locationTotal_ - locationDone_ : 0;
        const std::uint64_t daysAfter = total > storageBegun_ ? total - storageBegun_ : 0;
        secondsLeft =
            (static_cast<double>(locationLeft) + static_cast<double>(daysAfter) * static_cast<double>(locationTotal_)) /
            *perSecond;
    }
    if (secondsLeft)
        text += ", " + FormatDuration(static_cast<std::uint64_t>(*secondsLeft + 0.5)) + " left for the storage";
    return text;
}
