// The database plug-in: the five table entries over SQLite 3.
//
// A connection writes its rows in bounded transactions: one is committed once
// it is 100 ms old or holds 1,000 statements, and at Disconnect. A location-day
// costs a few disk syncs rather than one per row, a killed run keeps what was
// written more than about 100 ms earlier, and another writer (the recorder)
// is never locked out for longer than that.
// Failure codes are negative and carry SQLite's extended result code in their
// low 16 bits, so the hexadecimal code the tool prints says what went wrong
// (8000000e: the file could not be opened).

#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <new>

#include "plugin/held_folder_paths.h"
#include "repair/db_interface.h"

namespace {

constexpr int kBusyTimeoutMilliseconds = 2000;
constexpr auto kBatchAge = std::chrono::milliseconds(100);
constexpr int kBatchStatements = 1000;

struct Connection {
    sqlite3* db = nullptr;
    std::chrono::steady_clock::time_point batchStart;
    int batchStatements = 0;
};

std::int32_t FailureCode(int sqliteCode) {
    return static_cast<std::int32_t>(0x80000000u | (static_cast<std::uint32_t>(sqliteCode) & 0xFFFFu));
}

std::int32_t LastFailure(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db);
    return FailureCode(code != SQLITE_OK ? code : SQLITE_ERROR);
}

Connection* AsConnection(DbConnection handle) { return static_cast<Connection*>(handle); }

// Only white space and statement separators may follow the one statement.
bool IsOnlySeparators(const char* begin, const char* end) {
    for (const char* p = begin; p < end; ++p) {
        if (*p != ';' && std::isspace(static_cast<unsigned char>(*p)) == 0) return false;
    }
    return true;
}

bool InTransaction(sqlite3* db) { return sqlite3_get_autocommit(db) == 0; }

int BeginTransaction(sqlite3* db) { return sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); }

void CloseDatabase(Connection& connection) {
    if (connection.db == nullptr) return;
    if (InTransaction(connection.db)) sqlite3_exec(connection.db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(connection.db);
    connection.db = nullptr;
}

std::int32_t InitConnection(std::int32_t, DbConnection* handle, std::int32_t) {
    if (handle == nullptr) return FailureCode(SQLITE_MISUSE);
    Connection* connection = new (std::nothrow) Connection;
    if (connection == nullptr) return FailureCode(SQLITE_NOMEM);
    *handle = connection;
    return 0;
}

// Releasing a connection that is still connected abandons its rows: only
// Disconnect commits.
std::int32_t ReleaseConnection(DbConnection* handle) {
    if (handle == nullptr) return FailureCode(SQLITE_MISUSE);
    if (Connection* connection = AsConnection(*handle)) {
        CloseDatabase(*connection);
        delete connection;
        *handle = nullptr;
    }
    return 0;
}

// Opens an existing database read-write; never creates one, so a missing day
// database is a failure rather than a new empty file.
// Opens the next batch when none is open.
int EnsureTransaction(Connection& connection) {
    if (InTransaction(connection.db)) return SQLITE_OK;
    connection.batchStart = std::chrono::steady_clock::now();
    connection.batchStatements = 0;
    return BeginTransaction(connection.db);
}

bool BatchIsDue(const Connection& connection) {
    return connection.batchStatements >= kBatchStatements ||
           std::chrono::steady_clock::now() - connection.batchStart >= kBatchAge;
}

// 0, or the failure of the commit; a busy database keeps the batch open for
// the next attempt.
std::int32_t CommitBatch(Connection& connection) {
    if (!InTransaction(connection.db)) return 0;
    if (sqlite3_exec(connection.db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return 0;
    return LastFailure(connection.db);
}

std::int32_t ConnectDB(DbConnection handle, const char* databasePath, std::int32_t, std::int32_t, std::int32_t) {
    Connection* connection = AsConnection(handle);
    if (connection == nullptr || databasePath == nullptr || connection->db != nullptr) {
        return FailureCode(SQLITE_MISUSE);
    }
    sqlite3* db = nullptr;
    // A day database that is a link may point outside the storage.
    int rc = sqlite3_open_v2(databasePath, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (db == nullptr) return FailureCode(rc != SQLITE_OK ? rc : SQLITE_NOMEM);
    sqlite3_extended_result_codes(db, 1);
    if (rc == SQLITE_OK && sqlite3_db_readonly(db, "main") == 1) rc = SQLITE_READONLY;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
        // Reading the schema now checks the file's header, so a file that is
        // not a database fails here and not at the first row.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const std::int32_t code = LastFailure(db);
        sqlite3_close_v2(db);
        return code;
    }
    connection->db = db;
    return 0;
}

std::int32_t Disconnect(DbConnection handle) {
    Connection* connection = AsConnection(handle);
    if (connection == nullptr || connection->db == nullptr) return FailureCode(SQLITE_MISUSE);
    const std::int32_t code = CommitBatch(*connection);
    CloseDatabase(*connection);
    return code;
}

// Executes exactly one statement of the given length. A failing statement
// undoes only its own changes; should SQLite have abandoned the whole
// transaction, a new one is opened so that later rows are still written.
std::int32_t ExecuteSQL(DbConnection handle, const char* statement, std::int32_t length) {
    Connection* connection = AsConnection(handle);
    if (connection == nullptr || connection->db == nullptr || statement == nullptr || length < 0) {
        return FailureCode(SQLITE_MISUSE);
    }
    sqlite3* db = connection->db;
    if (EnsureTransaction(*connection) != SQLITE_OK) return LastFailure(db);
    sqlite3_stmt* prepared = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, statement, length, &prepared, &tail) != SQLITE_OK) return LastFailure(db);
    if (prepared == nullptr || !IsOnlySeparators(tail, statement + length)) {
        sqlite3_finalize(prepared);
        return FailureCode(SQLITE_MISUSE);
    }
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) rc = sqlite3_step(prepared);
    std::int32_t code = 0;
    if (rc != SQLITE_DONE) code = LastFailure(db);
    sqlite3_finalize(prepared);
    ++connection->batchStatements;
    if (InTransaction(db) && BatchIsDue(*connection)) {
        const std::int32_t committed = CommitBatch(*connection);
        if (code == 0) code = committed;
    }
    return code;
}

}  // namespace

#ifdef _WIN32
#define STRATA_EXPORT __declspec(dllexport)
#else
#define STRATA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" STRATA_EXPORT std::int32_t GetStrataInterface_SQLITE(DbInterfaceTable* table, std::int32_t, std::int32_t) {
    if (table == nullptr || table->size != kDbInterfaceTableSize) return FailureCode(SQLITE_MISUSE);
    LetSqliteReachHeldFolders();
    table->InitConnection = InitConnection;
    table->ReleaseConnection = ReleaseConnection;
    table->ConnectDB = ConnectDB;
    table->Disconnect = Disconnect;
    table->ExecuteSQL = ExecuteSQL;
    return 0;
}
