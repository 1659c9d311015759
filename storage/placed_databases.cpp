#include "storage/placed_databases.h"

#include <mutex>
#include <set>

namespace {

std::mutex guard;
std::set<platform::FileIdentity>& Placed() {
    static std::set<platform::FileIdentity> placed;
    return placed;
}

std::set<platform::FileIdentity>& LeftWhileRecorded() {
    static std::set<platform::FileIdentity> left;
    return left;
}

}  // namespace

void RememberPlacedDatabase(const platform::FileIdentity& identity) {
    const std::lock_guard<std::mutex> lock(guard);
    Placed().insert(identity);
}

bool WasPlacedInThisRun(const platform::FileIdentity& identity) {
    const std::lock_guard<std::mutex> lock(guard);
    return Placed().count(identity) != 0;
}

void ForgetPlacedDatabases() {
    const std::lock_guard<std::mutex> lock(guard);
    Placed().clear();
    LeftWhileRecorded().clear();
}

void RememberLeftWhileRecorded(const platform::FileIdentity& locationFolder) {
    const std::lock_guard<std::mutex> lock(guard);
    LeftWhileRecorded().insert(locationFolder);
}

bool WasLeftWhileRecorded(const platform::FileIdentity& locationFolder) {
    const std::lock_guard<std::mutex> lock(guard);
    return LeftWhileRecorded().count(locationFolder) != 0;
}
