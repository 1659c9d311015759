#include "app/run_summary.h"

#include <algorithm>
#include <boost/system/error_code.hpp>
#include <cctype>

#include "platform/error_kind.h"

namespace {

// Beyond this many reasons the rest are folded into one, so that the line
// stays short enough to read at a glance.
constexpr std::size_t kReasonsShown = 4;

constexpr char kPrefix[] = "Summary: ";

std::string Plural(unsigned long count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string WithReasons(const std::string& text, const Reasons& reasons) { return text + " (" + reasons.Text() + ")"; }

std::string Joined(const std::vector<std::string>& parts) {
    std::string line = kPrefix;
    for (std::size_t i = 0; i < parts.size(); ++i) line += (i == 0 ? "" : "; ") + parts[i];
    return line;
}

void AddBoundNotes(std::vector<std::string>& parts, const RunSummary& summary) {
    if (!summary.boundNotes.empty()) parts.push_back(summary.boundNotes);
}

}  // namespace

void Reasons::Add(const std::string& reason, unsigned count) {
    if (count == 0) return;
    for (auto& [known, n] : counts_) {
        if (known == reason) {
            n += count;
            return;
        }
    }
    counts_.emplace_back(reason, count);
}

void Reasons::Add(const Reasons& other) {
    for (const auto& [reason, count] : other.counts_) Add(reason, count);
}

unsigned Reasons::Total() const {
    unsigned total = 0;
    for (const auto& entry : counts_) total += entry.second;
    return total;
}

std::string Reasons::Text() const {
    std::vector<std::pair<std::string, unsigned>> shown = counts_;
    // The most frequent first; ties by name, so that the line does not depend on listing order.
    std::sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::string text;
    unsigned folded = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i >= kReasonsShown) {
            folded += shown[i].second;
            continue;
        }
        text += (i == 0 ? "" : ", ") + shown[i].first + " " + std::to_string(shown[i].second);
    }
    if (folded > 0) text += ", other " + std::to_string(folded);
    return text;
}

std::string ReasonOfError(int error) {
    switch (platform::KindOfError(error)) {
        case platform::ErrorKind::InUse:
            return "in use";
        case platform::ErrorKind::Refused:
            return "not permitted";
        case platform::ErrorKind::ReadOnly:
            return "read-only";
        case platform::ErrorKind::Exists:
            return "destination exists";
        case platform::ErrorKind::Full:
            return "disk full";
        case platform::ErrorKind::Other:
            break;
    }
    std::string text = boost::system::error_code(error, boost::system::system_category()).message();
    while (!text.empty() && (text.back() == '.' || std::isspace(static_cast<unsigned char>(text.back())))) {
        text.pop_back();
    }
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text.empty() ? "error " + std::to_string(error) : text;
}

std::string RunSummary::ReasonLeft(const std::string& database) const {
    const auto found = leftReasons.find(database);
    return found != leftReasons.end() ? found->second : "not placed in this run";
}

bool RunSummary::RepairRoadMetAnything() const {
    return dayFoldersConverted > 0 || leftInOldLayout.Total() > 0 || leftAsTheyWere.Total() > 0 ||
           locationDaysRebuilt > 0 || incomplete.Total() > 0 || recordings > 0;
}

std::string RepairSummaryLine(const RunSummary& s) {
    std::vector<std::string> parts;
    if (!s.RepairRoadMetAnything()) {
        parts.push_back("nothing repaired: " + s.nothingDone);
        AddBoundNotes(parts, s);
        return Joined(parts);
    }
    if (s.converting) {
        std::string converted = Plural(s.dayFoldersConverted, "day folder converted", "day folders converted");
        if (s.leftInOldLayout.Total() > 0) {
            converted += ", " + WithReasons(std::to_string(s.leftInOldLayout.Total()) + " left in the old layout",
                                            s.leftInOldLayout);
        }
        parts.push_back(converted);
    }
    parts.push_back(Plural(s.locationDaysRebuilt, "location-day rebuilt", "location-days rebuilt") + ", " +
                    Plural(s.rows, "row", "rows") + " from " + Plural(s.recordings, "recording", "recordings"));
    if (s.withoutRow.Total() > 0) {
        parts.push_back(WithReasons(Plural(s.withoutRow.Total(), "recording without a row", "recordings without a row"),
                                    s.withoutRow));
    }
    if (s.incomplete.Total() > 0) {
        parts.push_back(WithReasons(
            Plural(s.incomplete.Total(), "location-day with rows missing", "location-days with rows missing"),
            s.incomplete));
    }
    if (s.leftAsTheyWere.Total() > 0) {
        parts.push_back(WithReasons(
            Plural(s.leftAsTheyWere.Total(), "location-day left as it was", "location-days left as they were"),
            s.leftAsTheyWere));
    }
    // Why the repair did not run at all, after a road that did something.
    if (!s.nothingDone.empty()) parts.push_back(s.nothingDone);
    AddBoundNotes(parts, s);
    return Joined(parts);
}

std::string RevertSummaryLine(const RunSummary& s) {
    std::vector<std::string> parts;
    if (s.foldersMovedBack == 0 && s.leftInNewLayout.Total() == 0 && s.databasesRemoved == 0) {
        parts.push_back("nothing moved back: " + s.nothingDone);
    } else {
        std::string moved = Plural(s.foldersMovedBack, "location folder moved back", "location folders moved back");
        if (s.leftInNewLayout.Total() > 0) {
            moved += ", " + WithReasons(std::to_string(s.leftInNewLayout.Total()) + " left", s.leftInNewLayout);
        }
        parts.push_back(moved);
        parts.push_back(Plural(s.databasesRemoved, "day database removed", "day databases removed"));
    }
    if (s.unmarkedLeft > 0) {
        parts.push_back(Plural(s.unmarkedLeft, "day database", "day databases") +
                        " in the old layout not placed by Tolvane2 left (" + s.firstUnmarkedLeft +
                        (s.unmarkedLeft > 1 ? ", ..." : "") + ")");
    }
    AddBoundNotes(parts, s);
    return Joined(parts);
}
