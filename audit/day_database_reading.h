#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audit/audit_model.h"

// Reads a day database without ever writing to it or keeping a recorder
// waiting: opened read-only with a short busy timeout, its rows copied in one
// short transaction before anything else is looked at.
namespace audit {

struct FileRow {
    std::string pathName;
    std::uint32_t intervalSerial = 0;
    std::uint32_t recordStart = 0;
    std::uint32_t recordEnd = 0;
    std::uint32_t cameraStart = 0;
    std::uint32_t cameraEnd = 0;
};

struct IntervalRow {
    std::uint32_t serial = 0;
    std::uint32_t recordStart = 0;
    std::uint32_t recordEnd = 0;
    std::uint32_t recordDLSaving = 0;
    // 48 + minutes west of UTC / 15 as the rows were written, in 16 bits (so
    // zones east of UTC+12 wrap); above 0xFFFF when there is none.
    std::uint32_t recordTimeZone = 0xFFFFFFFF;
};

struct DayDatabaseContents {
    DatabaseState state = DatabaseState::Missing;
    std::string detail;  // why it was not read, or what quick_check said
    std::uint32_t applicationId = 0;
    std::vector<IntervalRow> intervals;
    std::vector<FileRow> files;
};

// How long a reader waits for a writer before it gives up on that database.
constexpr int kBusyTimeoutMilliseconds = 100;

// path: a regular file (the caller has checked that it is no link). A
// database with a hot journal is reported as needing recovery and not read;
// one in WAL mode is read only when its -wal and -shm exist already, as
// reading it would otherwise create them. quickCheck: also run SQLite's
// quick_check, after the rows are copied.
DayDatabaseContents ReadDayDatabase(const std::string& path, bool quickCheck);

}  // namespace audit
