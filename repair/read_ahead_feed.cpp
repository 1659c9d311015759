#include "repair/read_ahead_feed.h"

#include <boost/filesystem/operations.hpp>
#include <memory>
#include <string>

#include "repair/recording_name.h"
#include "storage/layout.h"
#include "storage/walk.h"

namespace fs = boost::filesystem;

namespace {

std::vector<std::string> InSerialOrder(std::vector<std::string> files) {
    std::vector<std::string> sorted;
    sorted.reserve(files.size());
    for (const std::size_t at : SerialOrder(files)) sorted.push_back(std::move(files[at]));
    return sorted;
}

// Null when the recordings cannot be listed: the indexing then lists again
// and says why.
ReadAhead::Recordings RecordingsOrNull(const fs::path& location) {
    try {
        return ListRecordingsInReadingOrder(location);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

ReadAhead::Recordings ListRecordingsInReadingOrder(const fs::path& location) {
    if (!IsExistingDirectory(location)) return std::make_shared<const std::vector<std::string>>();
    return std::make_shared<const std::vector<std::string>>(InSerialOrder(walk::RecordingsOf(location)));
}

ReadAhead::Recordings ReadAheadFeed::Reached(std::size_t day, std::size_t location) {
    const Position reached{day, location};
    while (!(reached < next_) && Advance()) {
    }
    while ((!lastWithRecordings_ || !(reached < *lastWithRecordings_)) && Advance()) {
    }
    ReadAhead::Recordings recordings;
    const auto listed = listed_.find(reached);
    if (listed != listed_.end()) recordings = std::move(listed->second);
    // Lists of locations the walk has passed are let go.
    listed_.erase(listed_.begin(), listed_.upper_bound(reached));
    return recordings;
}

// Feeds the next location of the walk; false at its end. A day folder that
// cannot be listed feeds nothing here; the walk reports it when it gets there.
bool ReadAheadFeed::Advance() {
    while (next_.first < walk_.DayCount()) {
        const std::vector<fs::path>& locations = walk_.Ahead(next_.first);
        if (next_.second < locations.size()) {
            ReadAhead::Recordings files = RecordingsOrNull(locations[next_.second]);
            if (files && !files->empty()) {
                readAhead_.Append(files);
                lastWithRecordings_ = next_;
            }
            listed_[next_] = std::move(files);
            ++next_.second;
            return true;
        }
        next_ = {next_.first + 1, 0};
    }
    return false;
}
