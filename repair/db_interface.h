#pragma once

// The function table through which the tool writes its day databases. The
// table crosses a library boundary, so its layout is fixed: 128 bytes, the
// unsigned 16-bit size at offset 0, then pointer-sized slots of which slots
// 7 to 11 hold the five entries. Both the loader and the plug-in include this
// header, so they cannot disagree about it.

#include <cstddef>
#include <cstdint>

extern "C" {

// Opaque to the caller: the plug-in owns what it points to.
typedef void* DbConnection;

// Every entry returns 0 for success and a non-zero failure code otherwise.
typedef std::int32_t (*DbInitConnectionFn)(std::int32_t reserved, DbConnection* connection, std::int32_t count);
typedef std::int32_t (*DbReleaseConnectionFn)(DbConnection* connection);
typedef std::int32_t (*DbConnectDBFn)(DbConnection connection, const char* databasePath, std::int32_t reserved1,
                                      std::int32_t reserved2, std::int32_t reserved3);
typedef std::int32_t (*DbDisconnectFn)(DbConnection connection);
typedef std::int32_t (*DbExecuteSQLFn)(DbConnection connection, const char* statement, std::int32_t length);

struct DbInterfaceTable {
    std::uint16_t size;
    void* reservedLow[6];
    DbInitConnectionFn InitConnection;
    DbReleaseConnectionFn ReleaseConnection;
    DbConnectDBFn ConnectDB;
    DbDisconnectFn Disconnect;
    DbExecuteSQLFn ExecuteSQL;
    void* reservedHigh[128 / sizeof(void*) - 12];
};

// The plug-in's one export: fills the entries of a table whose size field
// says 128. Returns a negative value on failure.
typedef std::int32_t (*GetStrataInterfaceFn)(DbInterfaceTable* table, std::int32_t version, std::int32_t flags);

}  // extern "C"

constexpr std::uint16_t kDbInterfaceTableSize = 128;

// An extension of our own plug-in, asked for through ConnectDB's first
// reserved argument, which other plug-ins ignore. The recorder may write a
// day database the tool placed before the tool reaches it; the tool's rows
// would then list its recordings a second time. With this value the
// connection begins every transaction with BEGIN IMMEDIATE and first checks
// that its tables hold exactly the rows it has committed itself, with no
// other writer's commit since; where they do not, it rolls back and writes
// nothing more, every entry answering kOtherWriterCode.
constexpr std::int32_t kConnectOnlyWriter = 0x4F4E4C59;
constexpr std::int32_t kOtherWriterCode = static_cast<std::int32_t>(0x8000FF01u);
constexpr const char* kDbInterfaceEntryName = "GetStrataInterface_SQLITE";
// File name of the plug-in without the platform's library suffix.
constexpr const char* kDbInterfaceLibraryStem = "Strata_SQLite";

static_assert(sizeof(DbInterfaceTable) == kDbInterfaceTableSize, "the table is 128 bytes on every platform");
static_assert(offsetof(DbInterfaceTable, size) == 0, "size field first");
static_assert(offsetof(DbInterfaceTable, InitConnection) == 7 * sizeof(void*), "InitConnection in slot 7");
static_assert(offsetof(DbInterfaceTable, ReleaseConnection) == 8 * sizeof(void*), "ReleaseConnection in slot 8");
static_assert(offsetof(DbInterfaceTable, ConnectDB) == 9 * sizeof(void*), "ConnectDB in slot 9");
static_assert(offsetof(DbInterfaceTable, Disconnect) == 10 * sizeof(void*), "Disconnect in slot 10");
static_assert(offsetof(DbInterfaceTable, ExecuteSQL) == 11 * sizeof(void*), "ExecuteSQL in slot 11");
// The recorder's own 32-bit build: the entries at bytes 28, 32, 36, 40 and 44.
static_assert(sizeof(void*) != 4 ||
                  (offsetof(DbInterfaceTable, InitConnection) == 28 &&
                   offsetof(DbInterfaceTable, ReleaseConnection) == 32 && offsetof(DbInterfaceTable, ConnectDB) == 36 &&
                   offsetof(DbInterfaceTable, Disconnect) == 40 && offsetof(DbInterfaceTable, ExecuteSQL) == 44),
              "32-bit table layout");
