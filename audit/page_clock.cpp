#include "audit/page_clock.h"

#include <algorithm>
#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <cctype>

#include "platform/time_zone.h"

namespace audit {

namespace {

// A day with rows in many zones is a problem of its own (mixed_zones); its
// sentence names the first changes only.
constexpr std::size_t kChangesNamed = 4;
// Seconds since 1970 written in a detail have nine or ten digits (1973 to 2106).
constexpr std::size_t kShortestTimeDigits = 9;

std::string DateAndTime(std::int64_t localSeconds) {
    const boost::posix_time::ptime time =
        boost::posix_time::ptime(boost::gregorian::date(1970, 1, 1)) + boost::posix_time::seconds(localSeconds);
    std::string text = boost::posix_time::to_iso_extended_string(time);
    std::replace(text.begin(), text.end(), 'T', ' ');
    return text;
}

std::optional<std::int64_t> MidnightUtc(const std::string& day) {
    try {
        const boost::gregorian::date date = boost::gregorian::from_simple_string(day);
        return (date - boost::gregorian::date(1970, 1, 1)).days() * kDaySeconds;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<long> RecorderOffset(const Interval& interval) {
    if (!interval.zoneMinutesEast) return std::nullopt;
    return *interval.zoneMinutesEast + (interval.daylightSaving ? 60 : 0);
}

DayClock::DayClock(const std::string& day, const std::vector<const LocationDay*>& locations, long machineOffset)
    : axisOffset_(machineOffset) {
    std::vector<const Interval*> intervals;
    for (const LocationDay* location : locations) {
        for (const Interval& interval : location->intervals) {
            if (interval.zoneMinutesEast) intervals.push_back(&interval);
        }
    }
    std::stable_sort(intervals.begin(), intervals.end(),
                     [](const Interval* a, const Interval* b) { return a->range.start < b->range.start; });
    for (const Interval* interval : intervals) {
        const long offset = *RecorderOffset(*interval);
        if (!fromRows_) {
            fromRows_ = true;
            axisOffset_ = offset;
            axisDaylightSaving_ = interval->daylightSaving;
        } else if (offset != (changes_.empty() ? axisOffset_ : changes_.back().offset)) {
            changes_.push_back({interval->range.start, offset, interval->daylightSaving});
        }
    }
    if (const auto midnight = MidnightUtc(day)) dayStart_ = *midnight - axisOffset_ * 60;
}

DayClock::DayClock(long offset) : axisOffset_(offset) {}

long DayClock::OffsetAt(std::uint32_t seconds) const {
    long offset = axisOffset_;
    for (const Change& change : changes_) {
        if (change.at > seconds) break;
        offset = change.offset;
    }
    return offset;
}

std::string DayClock::Text(std::uint32_t seconds) const { return Text(seconds, OffsetAt(seconds)); }

std::string DayClock::Text(std::uint32_t seconds, long offset) const {
    const std::string text = DateAndTime(static_cast<std::int64_t>(seconds) + offset * 60);
    if (!dayStart_) return text;
    const std::int64_t since = static_cast<std::int64_t>(seconds) - *dayStart_;
    return since >= 0 && since < kDaySeconds ? text.substr(11) : text;
}

std::string DayClock::Range(const TimeRange& range) const {
    if (range.end <= range.start) return Text(range.start);
    return Text(range.start) + " to " + Text(range.end) + " (" + DurationWords(range.Seconds()) + ")";
}

bool DayClock::Touches(const TimeRange& range) const {
    if (!dayStart_) return false;
    return static_cast<std::int64_t>(range.end) >= *dayStart_ &&
           static_cast<std::int64_t>(range.start) < *dayStart_ + kDaySeconds;
}

double DayClock::Fraction(std::int64_t seconds) const {
    const std::int64_t since = std::clamp<std::int64_t>(seconds - dayStart_.value_or(0), 0, kDaySeconds);
    return static_cast<double>(since) / kDaySeconds;
}

std::string DayClock::ZoneSentence() const {
    std::string sentence = fromRows_ ? "Times are the recorder's clock at " + platform::UtcOffsetText(axisOffset_) +
                                           (axisDaylightSaving_ ? " (daylight saving time)" : "") + ", as its rows say"
                                     : "Times are this machine's clock at " + platform::UtcOffsetText(axisOffset_) +
                                           ": no row of this day says the recorder's zone";
    for (std::size_t i = 0; i < changes_.size() && i < kChangesNamed; ++i) {
        const Change& change = changes_[i];
        sentence += "; from " + Text(change.at, change.offset) + " " + platform::UtcOffsetText(change.offset) +
                    (change.daylightSaving ? " (daylight saving time)" : "");
    }
    if (changes_.size() > kChangesNamed)
        sentence += "; and " + std::to_string(changes_.size() - kChangesNamed) + " more changes";
    if (!changes_.empty()) sentence += ". The axis keeps " + platform::UtcOffsetText(axisOffset_);
    return sentence + ".";
}

std::string UtcText(std::int64_t seconds) { return DateAndTime(seconds); }

std::string ReadableDetail(const std::string& detail, const DayClock& clock) {
    std::string out;
    const auto isWordByte = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '-' || c == ':';
    };
    for (std::size_t i = 0; i < detail.size();) {
        if (std::isdigit(static_cast<unsigned char>(detail[i])) == 0 || (i > 0 && isWordByte(detail[i - 1]))) {
            out += detail[i++];
            continue;
        }
        std::size_t end = i;
        while (end < detail.size() && std::isdigit(static_cast<unsigned char>(detail[end])) != 0) ++end;
        const std::string digits = detail.substr(i, end - i);
        const bool standsAlone = end == detail.size() || !isWordByte(detail[end]) ||
                                 (detail[end] == '.' && (end + 1 == detail.size() || detail[end + 1] == ' '));
        if (standsAlone && digits.size() >= kShortestTimeDigits && digits.size() <= 10 &&
            std::stoull(digits) <= 0xFFFFFFFFull) {
            out += clock.Text(static_cast<std::uint32_t>(std::stoull(digits)));
        } else {
            out += digits;
        }
        i = end;
    }
    return out;
}

std::string NamedTimeText(const std::string& recordingName) {
    // <serial>_<YYYY-MM-DD>_<HHMMSS>.3gp
    const std::size_t underscore = recordingName.rfind('_');
    if (underscore == std::string::npos || recordingName.size() < underscore + 7) return {};
    const std::string digits = recordingName.substr(underscore + 1, 6);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        return {};
    }
    return digits.substr(0, 2) + ":" + digits.substr(2, 2) + ":" + digits.substr(4, 2);
}

}  // namespace audit
