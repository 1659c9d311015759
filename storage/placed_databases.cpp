#include "storage/placed_databases.h"

void PlacedDatabases::RememberPlaced(const platform::FileIdentity& database) { placed_.insert(database); }

bool PlacedDatabases::WasPlaced(const platform::FileIdentity& database) const { return placed_.count(database) != 0; }

void PlacedDatabases::RememberLeftWhileRecorded(const platform::FileIdentity& locationFolder) {
    leftWhileRecorded_.insert(locationFolder);
}

bool PlacedDatabases::WasLeftWhileRecorded(const platform::FileIdentity& locationFolder) const {
    return leftWhileRecorded_.count(locationFolder) != 0;
}
