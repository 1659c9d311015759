#pragma once

#include <set>

#include "platform/folder.h"

// What the placement of one run tells that run's indexing: main owns one for
// the run and lends it to both. Only a database placed in this run is
// written: one found in place (the recorder's, or one an earlier run placed)
// is left as it was. Every road runs on the main thread, so nothing guards it.
class PlacedDatabases {
public:
    // The day databases this run installed, by file identity.
    void RememberPlaced(const platform::FileIdentity& database);
    bool WasPlaced(const platform::FileIdentity& database) const;

    // The location folders, by identity, that this run left as they were
    // because the recorder is recording there; the placement has said so
    // already, so the indexing passes them over in silence.
    void RememberLeftWhileRecorded(const platform::FileIdentity& locationFolder);
    bool WasLeftWhileRecorded(const platform::FileIdentity& locationFolder) const;

private:
    std::set<platform::FileIdentity> placed_;
    std::set<platform::FileIdentity> leftWhileRecorded_;
};
