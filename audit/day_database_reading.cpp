#include "audit/day_database_reading.h"

#include <sqlite3.h>

#include <boost/filesystem/operations.hpp>
#include <cstring>
#include <memory>

#include "platform/file_handle.h"
#include "platform/folder.h"
#include "platform/sqlite_paths.h"
#include "storage/template_source.h"

namespace fs = boost::filesystem;

namespace audit {

namespace {

constexpr std::size_t kHeaderSize = 100;

struct CloseDatabase {
    void operator()(sqlite3* database) const { sqlite3_close_v2(database); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// The first bytes, fewer when the file is shorter.
std::string HeadOf(platform::FileHandle file, std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t have = 0;
    while (have < count) {
        const std::int64_t got =
            platform::ReadFileAt(file, &bytes[have], count - have, static_cast<std::int64_t>(have));
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
    return bytes;
}

bool Exists(const std::string& path) {
    boost::system::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_not_found && !error;
}

// The header's read and write versions: 2 in WAL mode.
bool IsWalDatabase(const std::string& header) { return header.size() >= 20 && (header[18] == 2 || header[19] == 2); }

DayDatabaseContents Outcome(DatabaseState state, std::string detail) {
    DayDatabaseContents contents;
    contents.state = state;
    contents.detail = std::move(detail);
    return contents;
}

// Maps a failed step to what it says about the database.
DayDatabaseContents Failure(sqlite3* database, int code) {
    const std::string message = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(code);
    if (code == SQLITE_READONLY_ROLLBACK) return Outcome(DatabaseState::NeedsRecovery, "hot journal: " + message);
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        return Outcome(DatabaseState::Busy, "held by a writer: " + message);
    }
    return Outcome(DatabaseState::Damaged, message);
}

std::uint32_t Column(sqlite3_stmt* statement, int column) {
    return static_cast<std::uint32_t>(sqlite3_column_int64(statement, column));
}

std::string TextColumn(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

// Runs one query, handing every row to take; the SQLite code of the end.
template <typename Take>
int EachRow(sqlite3* database, const char* sql, Take take) {
    sqlite3_stmt* raw = nullptr;
    int code = sqlite3_prepare_v2(database, sql, -1, &raw, nullptr);
    const Statement statement(raw);
    if (code != SQLITE_OK) return code;
    while ((code = sqlite3_step(raw)) == SQLITE_ROW) take(raw);
    return code == SQLITE_DONE ? SQLITE_OK : code;
}

int CopyRows(sqlite3* database, DayDatabaseContents& contents) {
    int code =
        EachRow(database,
                "SELECT IntervalSerial, StartRecordTime, EndRecordTime, RecordDLSaving, IFNULL(RecordTimeZone, -1) "
                "FROM TimeInterval ORDER BY rowid",
                [&](sqlite3_stmt* row) {
                    contents.intervals.push_back(
                        {Column(row, 0), Column(row, 1), Column(row, 2), Column(row, 3), Column(row, 4)});
                });
    if (code != SQLITE_OK) return code;
    return EachRow(database,
                   "SELECT PathName, IntervalSerial, StartRecordTime, EndRecordTime, StartCameraTime, "
                   "EndCameraTime FROM MediaFileDiskMap ORDER BY rowid",
                   [&](sqlite3_stmt* row) {
                       contents.files.push_back({TextColumn(row, 0), Column(row, 1), Column(row, 2), Column(row, 3),
                                                 Column(row, 4), Column(row, 5)});
                   });
}

// A busy database is left as read: its rows were copied all the same.
void JudgeByQuickCheck(sqlite3* database, DayDatabaseContents& contents) {
    std::string verdict;
    const int code = EachRow(database, "PRAGMA quick_check", [&](sqlite3_stmt* row) {
        if (verdict.empty()) verdict = TextColumn(row, 0);
    });
    if (code == SQLITE_OK && verdict != "ok") {
        contents.state = DatabaseState::Damaged;
        contents.detail = "quick_check: " + verdict;
    } else if (code != SQLITE_OK && (code & 0xff) != SQLITE_BUSY) {
        contents.state = DatabaseState::Damaged;
        contents.detail = std::string("quick_check: ") + sqlite3_errmsg(database);
    }
}

}  // namespace

DayDatabaseContents ReadDayDatabase(const std::string& path, bool quickCheck) {
    std::string header;
    {
        const platform::OwnedHandle file = platform::OwnFileHandle(platform::OpenFileForReading(path));
        if (!file.IsOpen()) return Outcome(DatabaseState::Damaged, "cannot be opened for reading");
        header = HeadOf(platform::FileHandleOf(file), kHeaderSize);
    }
    // SQLite takes an empty file for an empty database, and would delete a
    // journal found beside one: neither may happen to the recorder's files.
    if (header.empty()) return Outcome(DatabaseState::Damaged, "empty file");
    if (header.size() < kHeaderSize || std::memcmp(header.data(), "SQLite format 3", 16) != 0) {
        return Outcome(DatabaseState::Damaged, "not an SQLite database");
    }
    if (IsWalDatabase(header) && (!Exists(path + "-wal") || !Exists(path + "-shm"))) {
        return Outcome(DatabaseState::NotRead, "WAL database without its -wal and -shm; reading would create them");
    }

    // The links on the operator's way to the storage are followed, once, by
    // holding the folder; the walk has passed over the links inside it, and
    // SQLite still refuses a database that is itself a link. Held until the
    // database is closed.
    const fs::path file(path);
    int error = 0;
    const platform::Folder folder = platform::Folder::OpenPath(file.parent_path().string(), error);
    platform::LetSqliteReachHeldFolders();
    const std::string sqlitePath = platform::SqlitePathBeneath(folder.IsOpen() ? folder.PathForLibraries() : "",
                                                               file.parent_path().string(), file.filename().string());
    // Read-only, which also keeps SQLite from checkpointing a log into the
    // database when this is the last connection to close it.
    sqlite3* raw = nullptr;
    int code = sqlite3_open_v2(sqlitePath.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
    const Database database(raw);
    if (code != SQLITE_OK) return Failure(raw, code);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMilliseconds);

    DayDatabaseContents contents;
    contents.applicationId = ApplicationIdIn(header);
    code = sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) code = CopyRows(raw, contents);
    if (code != SQLITE_OK) {
        // Judged before the rollback, whose own outcome would replace the message.
        DayDatabaseContents failed = Failure(raw, code);
        sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
        failed.applicationId = contents.applicationId;
        return failed;
    }
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    contents.state = DatabaseState::Read;

    if (quickCheck) JudgeByQuickCheck(raw, contents);
    return contents;
}

}  // namespace audit
