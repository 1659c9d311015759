#pragma once

#include <cstddef>
#include <string>

// Where a long audit tells how far it is: the console's status line listens
// here. Both calls come from the walk's own thread.
namespace audit {

class AuditProgress {
public:
    virtual ~AuditProgress() = default;
    // The walk will audit this many location-days.
    virtual void StorageStarted(std::size_t locationDays) { (void)locationDays; }
    // A location-day begins; `recordings` of its recordings will be read.
    virtual void LocationStarted(const std::string& day, const std::string& location, std::size_t recordings) {
        (void)day;
        (void)location;
        (void)recordings;
    }
    virtual void RecordingDone() {}
};

}  // namespace audit
