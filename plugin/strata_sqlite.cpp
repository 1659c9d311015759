// The database plug-in: the five table entries over SQLite 3.
//
// A connection writes its rows in short transactions with the lock left free
// between them (see batch_policy.h), so that the recorder, writing the same
// day database, never waits long for a statement. A location-day costs a few
// disk syncs rather than one per row, and a killed run keeps every batch
// committed before it.
// Failure codes are negative and carry SQLite's extended result code in their
// low 16 bits, so the hexadecimal code the tool prints says what went wrong
// (8000000e: the file could not be opened).

#include <sqlite3.h>

#include <cstdint>
#include <new>

#include "plugin/batch_policy.h"
#include "plugin/batched_connection.h"
#include "platform/sqlite_paths.h"
#include "repair/db_interface.h"

namespace {

using strata::FailureCode;

strata::SteadyBatchClock steadyClock;

strata::BatchedConnection* AsConnection(DbConnection handle) { return static_cast<strata::BatchedConnection*>(handle); }

std::int32_t InitConnection(std::int32_t, DbConnection* handle, std::int32_t) {
    if (handle == nullptr) return FailureCode(SQLITE_MISUSE);
    auto* connection = new (std::nothrow) strata::BatchedConnection(steadyClock, strata::BatchBounds{});
    if (connection == nullptr) return FailureCode(SQLITE_NOMEM);
    *handle = connection;
    return 0;
}

// Releasing a connection that is still connected abandons its open
// transaction: only Disconnect commits.
std::int32_t ReleaseConnection(DbConnection* handle) {
    if (handle == nullptr) return FailureCode(SQLITE_MISUSE);
    if (strata::BatchedConnection* connection = AsConnection(*handle)) {
        connection->Abandon();
        delete connection;
        *handle = nullptr;
    }
    return 0;
}

std::int32_t ConnectDB(DbConnection handle, const char* databasePath, std::int32_t mode, std::int32_t, std::int32_t) {
    strata::BatchedConnection* connection = AsConnection(handle);
    if (connection == nullptr || databasePath == nullptr) return FailureCode(SQLITE_MISUSE);
    return connection->Open(databasePath, mode == kConnectOnlyWriter);
}

std::int32_t Disconnect(DbConnection handle) {
    strata::BatchedConnection* connection = AsConnection(handle);
    if (connection == nullptr) return FailureCode(SQLITE_MISUSE);
    return connection->Disconnect();
}

std::int32_t ExecuteSQL(DbConnection handle, const char* statement, std::int32_t length) {
    strata::BatchedConnection* connection = AsConnection(handle);
    if (connection == nullptr || statement == nullptr || length < 0) return FailureCode(SQLITE_MISUSE);
    return connection->Execute(statement, length);
}

}  // namespace

#ifdef _WIN32
#define STRATA_EXPORT __declspec(dllexport)
#else
#define STRATA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" STRATA_EXPORT std::int32_t GetStrataInterface_SQLITE(DbInterfaceTable* table, std::int32_t, std::int32_t) {
    if (table == nullptr || table->size != kDbInterfaceTableSize) return FailureCode(SQLITE_MISUSE);
    platform::LetSqliteReachHeldFolders();
    table->InitConnection = InitConnection;
    table->ReleaseConnection = ReleaseConnection;
    table->ConnectDB = ConnectDB;
    table->Disconnect = Disconnect;
    table->ExecuteSQL = ExecuteSQL;
    return 0;
}
