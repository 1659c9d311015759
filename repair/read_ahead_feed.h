#pragma once

#include <boost/filesystem/path.hpp>
#include <cstddef>
#include <exception>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "repair/read_ahead.h"

// The recordings of a location in the order the indexing reads them (by
// serial number); empty when the folder is no existing directory. Listing
// and status errors throw.
ReadAhead::Recordings ListRecordingsInReadingOrder(const boost::filesystem::path& location);

// Lists the walk's folders once, a little ahead of the indexing, and hands
// the read-ahead the recordings of the locations in walk order, so that it
// always holds those of the location being indexed and of the next one that
// has recordings, across day folders too. The walk takes its own listings
// from here, so no folder is listed twice.
class ReadAheadFeed {
public:
    ReadAheadFeed(ReadAhead& readAhead, const std::vector<boost::filesystem::path>& days)
        : readAhead_(readAhead), days_(days) {}

    // The location folders of day `day` that the walk enters, in listing
    // order; a linked location folder is not entered. Throws what listing
    // the day folder threw.
    const std::vector<boost::filesystem::path>& LocationsOf(std::size_t day);

    // The indexing reaches location `location` of day `day`: its recordings
    // as listed for the read-ahead (null when they could not be listed).
    ReadAhead::Recordings Reached(std::size_t day, std::size_t location);

private:
    using Position = std::pair<std::size_t, std::size_t>;
    struct DayListing {
        std::vector<boost::filesystem::path> locations;
        std::exception_ptr failure;
    };
    const DayListing& ListedDay(std::size_t day);
    bool Advance();

    ReadAhead& readAhead_;
    const std::vector<boost::filesystem::path>& days_;
    std::map<std::size_t, DayListing> listedDays_;
    Position next_{0, 0};
    std::optional<Position> lastWithRecordings_;
    std::map<Position, ReadAhead::Recordings> listed_;
};
