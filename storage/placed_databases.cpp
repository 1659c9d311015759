#include "storage/placed_databases.h"

#include <mutex>
#include <set>

namespace {

std::mutex guard;
std::set<platform::FileIdentity>& Placed() {
    static std::set<platform::FileIdentity> placed;
    return placed;
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
}
