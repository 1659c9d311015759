#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audit/audit_model.h"

// Times on the audit's page as people read them: the recorder's clock of one
// day, taken from the zones and daylight saving flags its rows were written
// with, and never a count of seconds since 1970.
namespace audit {

constexpr std::int64_t kDaySeconds = 86400;

// The offset (minutes east of UTC) an interval's rows say the recorder's
// clock showed: its zone, an hour more on daylight saving time.
std::optional<long> RecorderOffset(const Interval& interval);

class DayClock {
public:
    // day: the day folder's name; none when it is no calendar date (its
    // times are then shown with their dates). machineOffset: this machine's
    // standard offset, for a day whose rows name no zone.
    DayClock(const std::string& day, const std::vector<const LocationDay*>& locations, long machineOffset);
    // A clock of no particular day, at one offset: every time with its date.
    explicit DayClock(long offset);

    bool HasDay() const { return dayStart_.has_value(); }
    // "HH:MM:SS" on the clock in force then; with its date where it is not this day's.
    std::string Text(std::uint32_t seconds) const;
    std::string Text(std::uint32_t seconds, long offset) const;
    // "HH:MM:SS to HH:MM:SS (3 min 20 s)", both ends counted; one time alone for one second.
    std::string Range(const TimeRange& range) const;
    // Whether any of the range lies in this day.
    bool Touches(const TimeRange& range) const;
    // The distance from the day's midnight on the axis, held inside the day.
    double Fraction(std::int64_t seconds) const;

    long AxisOffset() const { return axisOffset_; }
    long OffsetAt(std::uint32_t seconds) const;
    // "Times are the recorder's clock at UTC+01:00, as its rows say; from
    // 03:00:00 UTC+02:00 (daylight saving time)."
    std::string ZoneSentence() const;

private:
    struct Change {
        std::uint32_t at;
        long offset;
        bool daylightSaving;
    };
    std::optional<std::int64_t> dayStart_;
    long axisOffset_ = 0;
    bool fromRows_ = false;
    bool axisDaylightSaving_ = false;
    std::vector<Change> changes_;
};

// "2026-12-08 07:56:41": UTC seconds as a UTC date and time.
std::string UtcText(std::int64_t seconds);

// A problem's detail with every count of seconds since 1970 in it shown as
// a time on the clock: details written for programs may hold them, and
// earlier audits' details do.
std::string ReadableDetail(const std::string& detail, const DayClock& clock);

// "12:00:00": the time a recording's name holds; empty where it holds none.
std::string NamedTimeText(const std::string& recordingName);

}  // namespace audit
