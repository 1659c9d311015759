#pragma once

#include <boost/filesystem/path.hpp>
#include <cstddef>
#include <map>
#include <optional>
#include <utility>

#include "repair/read_ahead.h"
#include "storage/walk.h"

// The recordings of a location in the order the indexing reads them (by
// serial number); empty when the folder is no existing directory. Listing
// and status errors throw.
ReadAhead::Recordings ListRecordingsInReadingOrder(const boost::filesystem::path& location);

// Hands the read-ahead the recordings of the walk's locations in walk order,
// a little ahead of the indexing, so that it always holds those of the
// location being indexed and of the next one that has recordings, across day
// folders too. It only schedules reads: which locations are walked is the
// walk's (`walk::DayLocations`), whose listings it reads ahead of the driver.
class ReadAheadFeed {
public:
    ReadAheadFeed(ReadAhead& readAhead, walk::DayLocations& walk) : readAhead_(readAhead), walk_(walk) {}

    // The indexing reaches location `location` of day `day`: its recordings
    // as listed for the read-ahead (null when they could not be listed).
    ReadAhead::Recordings Reached(std::size_t day, std::size_t location);

private:
    using Position = std::pair<std::size_t, std::size_t>;
    bool Advance();

    ReadAhead& readAhead_;
    walk::DayLocations& walk_;
    Position next_{0, 0};
    std::optional<Position> lastWithRecordings_;
    std::map<Position, ReadAhead::Recordings> listed_;
};
