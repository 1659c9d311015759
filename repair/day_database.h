#pragma once

#include <cstdint>
#include <string>

#include "repair/db_interface.h"

// One plug-in connection, released on every path. The caller decides what to
// report; every operation hands back the plug-in's code.
class DayDatabase {
public:
    explicit DayDatabase(const DbInterfaceTable& table) : table_(table) {}
    ~DayDatabase() { Release(); }
    DayDatabase(const DayDatabase&) = delete;
    DayDatabase& operator=(const DayDatabase&) = delete;

    std::int32_t Init();
    std::int32_t Connect(const std::string& databasePath);
    // Executes one statement, measured up to its terminating zero.
    std::int32_t Execute(const std::string& statement);
    std::int32_t Disconnect();
    // Destroys the connection that Init made; does nothing after a failed Init.
    // A connection still connected (an exception left the caller) is
    // disconnected first, so the rows written so far are kept.
    void Release();

private:
    const DbInterfaceTable& table_;
    DbConnection connection_ = nullptr;
    bool initialised_ = false;
    bool connected_ = false;
};
