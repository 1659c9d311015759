#pragma once

#include <boost/filesystem.hpp>
#include <cstddef>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "app/dates.h"

// The one walk over a storage: its day folders, the entries of a folder and
// the recordings of a location folder. Every road lists through it, so that
// which entries a road takes and what it does when a listing fails are named
// here, one rule of the design each.
//
// Nothing inside the storage is followed: a link is never among the entries a
// road takes, whatever rule it asks for (what it points to may lie outside).
namespace walk {

// Which entries of a folder a road takes; links never.
enum class Entries {
    // The placement and the reversion: the design takes every entry of a day
    // folder whatever its kind, so a file there fails like a location and says
    // so. The audit of a location folder too: it names what else lies there.
    // The live rule and the advice when nothing was done: they look at files
    // as well as folders.
    AnyKindButLinks,
    // The repair, the conversion and the audit: only a folder holds recordings
    // or day folders.
    FoldersButLinks,
};

// What a road does when a folder cannot be listed, or its listing breaks off.
enum class OnListingFailure {
    // The repair: the design reports the failure as its exception, which ends
    // the walk there.
    Throw,
    // The placement, the conversion, the reversion, the audit, the live rule
    // and the advice: what was listed is acted on, and a folder that cannot
    // be opened lists nothing.
    CarryOn,
};

// How many entries of a folder are read: every one, for the roads; a first
// few, where enough of a folder tells its kind.
constexpr std::size_t kWholeFolder = static_cast<std::size_t>(-1);

// The entries of a folder in listing order, read before the caller acts on
// them (folders it creates never show up).
struct Listing {
    std::vector<boost::filesystem::directory_entry> taken;  // by the road's rule
    std::vector<boost::filesystem::directory_entry> links;  // passed over, for a road that reports them
};
Listing List(const boost::filesystem::path& folder, Entries entries, OnListingFailure onFailure,
             std::size_t atMost = kWholeFolder);

// The day folders in range (not links) of a folder: the storage in the new
// layout, a location folder in the old.
std::vector<boost::filesystem::directory_entry> DayFoldersInRange(const boost::filesystem::path& folder,
                                                                  const DateRange& range, OnListingFailure onFailure);

// The full paths of the recording files of one location folder, in listing
// order. A folder that is not an existing directory yields nothing; listing and
// status errors throw file-system errors (the repair's routine reports them).
std::vector<std::string> RecordingsOf(const boost::filesystem::path& locationFolder);

// The location folders of the days a road walks, each day listed once, when
// first asked (by the walk, or by whatever reads ahead of it), and let go
// once the walk has passed it.
class DayLocations {
public:
    DayLocations(std::vector<boost::filesystem::path> days, Entries entries, OnListingFailure onFailure)
        : days_(std::move(days)), entries_(entries), onFailure_(onFailure) {}

    std::size_t DayCount() const { return days_.size(); }
    const boost::filesystem::path& Day(std::size_t day) const { return days_[day]; }

    // The walk reaches day `day`: its locations; a listing failure is thrown
    // here under OnListingFailure::Throw. Days before it are let go.
    const std::vector<boost::filesystem::path>& Reach(std::size_t day);

    // The same for reading ahead: a day that cannot be listed holds none here,
    // and the walk reports it when it gets there.
    const std::vector<boost::filesystem::path>& Ahead(std::size_t day);

private:
    struct Listed {
        std::vector<boost::filesystem::path> locations;
        std::exception_ptr failure;
    };
    const Listed& ListDay(std::size_t day);

    const std::vector<boost::filesystem::path> days_;
    const Entries entries_;
    const OnListingFailure onFailure_;
    std::map<std::size_t, Listed> listed_;
};

}  // namespace walk
