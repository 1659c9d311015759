#include "app/dates.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/regex.hpp>

#include "app/console.h"
#include "app/design_texts.h"

const char* const UnsetDate = "1970-01-01";

bool MatchDateFormat(const char* text) {
    if (text == nullptr) {
        console::WriteLine(design_texts::kNullDateArgument);
        return false;
    }
    static const boost::regex pattern("[1-2][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]");
    return boost::regex_match(text, pattern);
}

namespace {

bool IsActiveBound(const std::string& text) { return MatchDateFormat(text.c_str()) && text != UnsetDate; }

}  // namespace

bool IsCalendarDate(const std::string& text) {
    if (!MatchDateFormat(text.c_str())) return false;
    const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
              day = std::stoi(text.substr(8, 2));
    if (month < 1 || month > 12 || day < 1) return false;
    return day <= boost::gregorian::gregorian_calendar::end_of_month_day(static_cast<unsigned short>(year),
                                                                         static_cast<unsigned short>(month));
}

namespace {

// A given bound that the range reads otherwise than the operator meant.
std::string BoundNote(const char* which, const std::string& text, const char* side) {
    if (text == UnsetDate) return {};
    if (!MatchDateFormat(text.c_str())) {
        return std::string(which) + " " + text + " is not a YYYY-MM-DD date: no " + side + " bound";
    }
    if (!IsCalendarDate(text)) return std::string(which) + " " + text + " is no calendar date: compared as text";
    return {};
}

}  // namespace

std::string BoundsText(const std::string& beginDate, const std::string& endDate) {
    const bool begin = IsActiveBound(beginDate), end = IsActiveBound(endDate);
    if (begin && end) return "between " + beginDate + " and " + endDate;
    if (begin) return "from " + beginDate + " on";
    if (end) return "up to " + endDate;
    return {};
}

std::string BoundNotes(const std::string& beginDate, const std::string& endDate) {
    const std::string begin = BoundNote("begin", beginDate, "lower"), end = BoundNote("end", endDate, "upper");
    return begin.empty() || end.empty() ? begin + end : begin + "; " + end;
}

DateRange::DateRange(const std::string& beginDate, const std::string& endDate)
    : begin_(beginDate), end_(endDate), beginActive_(IsActiveBound(beginDate)), endActive_(IsActiveBound(endDate)) {}

bool DateRange::Contains(const std::string& dayFolderName) const {
    if (beginActive_ && dayFolderName < begin_) return false;
    if (endActive_ && end_ < dayFolderName) return false;
    return true;
}
