#include "app/dates.h"

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

DateRange::DateRange(const std::string& beginDate, const std::string& endDate)
    : begin_(beginDate), end_(endDate), beginActive_(IsActiveBound(beginDate)), endActive_(IsActiveBound(endDate)) {}

bool DateRange::Contains(const std::string& dayFolderName) const {
    if (beginActive_ && dayFolderName < begin_) return false;
    if (endActive_ && end_ < dayFolderName) return false;
    return true;
}
