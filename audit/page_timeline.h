#pragma once

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "audit/audit_model.h"
#include "audit/page_clock.h"

// A day's timeline on the audit's page: a row per location, its intervals
// as bars, its gaps, and every problem as a mark of its kind; problems with
// no time in the day are marked at the row's end.
namespace audit {

// What one mark says, for the list beside the timeline that a touch screen reaches.
struct MarkWords {
    std::string location;
    std::vector<std::string> titles;
};

// Draws the day's SVG at `scale` times the page's width (1, or 4 for the
// closer look), and returns the marks' titles per location.
std::vector<MarkWords> DrawTimeline(std::ostringstream& page, const std::vector<const LocationDay*>& locations,
                                    const DayClock& clock, int scale);

// A small picture of a kind of mark (its CSS class), to name it by.
std::string Swatch(const std::string& kind);

// The legend: a swatch and a line for every kind of mark.
void TimelineLegend(std::ostringstream& page);

// The text escaped for HTML.
std::string Escape(const std::string& text);

// A problem in words: "<file>: <kind>, <times>, <reason>", its times on the clock.
std::string ProblemWords(const Problem& problem, const DayClock& clock);

}  // namespace audit
