#pragma once

#include <string>

// Dates are handled as texts only: day-folder names and the --begin/--end
// options. Text order equals calendar order because the format is fixed-width.

// Stands for a date option that was not given.
extern const char* const UnsetDate;

// True when the whole text matches YYYY-MM-DD by digit classes
// ([1-2]ddd-[0-1]d-[0-3]d). A null text is reported and gives false.
bool MatchDateFormat(const char* text);

// True when a YYYY-MM-DD text names a day of the calendar (2024-02-30 does not).
bool IsCalendarDate(const std::string& text);

// The bounds in force, as the résumé names them: "between B and E",
// "from B on", "up to E", or empty when there are none.
std::string BoundsText(const std::string& beginDate, const std::string& endDate);
// What the résumé says of bounds given that are no dates, or empty.
std::string BoundNotes(const std::string& beginDate, const std::string& endDate);

// The inclusive range of day-folder names that a road acts on.
class DateRange {
public:
    // A bound is active when its text is a well-formed date other than UnsetDate;
    // otherwise that side of the range is open.
    DateRange(const std::string& beginDate, const std::string& endDate);

    bool Contains(const std::string& dayFolderName) const;

private:
    std::string begin_;
    std::string end_;
    bool beginActive_;
    bool endActive_;
};
