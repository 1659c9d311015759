// Drives the real plug-in through its function table, the way the tool does,
// and checks the database files with SQLite directly.

#include <gtest/gtest.h>

#include <optional>
#include <sqlite3.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/folder.h"
#include "platform/sqlite_paths.h"
#include "repair/plugin_loader.h"
#include "support/process.h"

namespace fs = boost::filesystem;

namespace {

// Primary and extended SQLite result codes live in the low 16 bits.
int SqliteCodeOf(std::int32_t code) { return static_cast<int>(static_cast<std::uint32_t>(code) & 0xFFFFu); }

void ExecDirect(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string text = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

int CountRows(const std::string& path, const std::string& table) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    sqlite3_stmt* stmt = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, ("SELECT COUNT(*) FROM " + table).c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        count = sqlite3_column_int(stmt, 0);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / fs::unique_path("tolvane2-plugin-%%%%-%%%%");
        fs::create_directories(folder_);
        database_ = (folder_ / "2012-03-03.db").string();
        ExecDirect(database_, "CREATE TABLE Rows(Id INTEGER UNIQUE, Name TEXT);");
        std::memset(&table_, 0, sizeof table_);
        table_.size = kDbInterfaceTableSize;
        ASSERT_EQ(LoadDbInterface(table_, module_, {PluginPath()}), 0) << platform::DynamicLibrary::LastError();
    }
    void TearDown() override {
        if (connection_ != nullptr) table_.ReleaseConnection(&connection_);
        fs::remove_all(folder_);
    }

    static std::string PluginPath() { return testsupport::BuildDirectory() + "/" + DbInterfaceLibraryName(); }

    void Connect(const std::string& path, std::int32_t mode = 0) {
        ASSERT_EQ(table_.InitConnection(0, &connection_, 1), 0);
        ASSERT_NE(connection_, nullptr);
        ASSERT_EQ(table_.ConnectDB(connection_, path.c_str(), mode, 0, 0), 0);
    }
    std::int32_t Execute(const std::string& sql) {
        return table_.ExecuteSQL(connection_, sql.c_str(), static_cast<std::int32_t>(sql.size()));
    }
    std::int32_t DisconnectAndRelease() {
        const std::int32_t code = table_.Disconnect(connection_);
        EXPECT_EQ(table_.ReleaseConnection(&connection_), 0);
        EXPECT_EQ(connection_, nullptr);
        return code;
    }

    fs::path folder_;
    std::string database_;
    DbInterfaceTable table_;
    platform::DynamicLibrary module_;
    DbConnection connection_ = nullptr;
};

TEST(PluginLoadTest, RefusesWrongTableSizeLoadedModuleAndMissingLibrary) {
    const std::string path = testsupport::BuildDirectory() + "/" + DbInterfaceLibraryName();
    DbInterfaceTable table;
    std::memset(&table, 0, sizeof table);
    platform::DynamicLibrary module;

    table.size = 64;
    EXPECT_EQ(LoadDbInterface(table, module, {path}), -1);
    EXPECT_FALSE(module.IsLoaded());

    table.size = kDbInterfaceTableSize;
    const std::string missing = "/nonexistent/" + DbInterfaceLibraryName();
    EXPECT_EQ(LoadDbInterface(table, module, {missing}), -1);
    EXPECT_FALSE(module.IsLoaded());

    // A place without the plug-in passes the search on to the next one.
    ASSERT_EQ(LoadDbInterface(table, module, {missing, path}), 0);
    EXPECT_TRUE(module.IsLoaded());
    EXPECT_NE(table.InitConnection, nullptr);
    EXPECT_NE(table.ReleaseConnection, nullptr);
    EXPECT_NE(table.ConnectDB, nullptr);
    EXPECT_NE(table.Disconnect, nullptr);
    EXPECT_NE(table.ExecuteSQL, nullptr);
    // A second load into a module that already holds the library is refused.
    EXPECT_EQ(LoadDbInterface(table, module, {path}), -1);
    EXPECT_TRUE(module.IsLoaded());
}

TEST(PluginLoadTest, EntryRejectsTableOfOtherSizeWithNegativeCode) {
    platform::DynamicLibrary module;
    ASSERT_TRUE(module.Load(testsupport::BuildDirectory() + "/" + DbInterfaceLibraryName()));
    const auto entry = reinterpret_cast<GetStrataInterfaceFn>(module.Symbol(kDbInterfaceEntryName));
    ASSERT_NE(entry, nullptr);
    DbInterfaceTable table;
    std::memset(&table, 0, sizeof table);
    table.size = 127;
    EXPECT_LT(entry(&table, 1, 0), 0);
    EXPECT_EQ(table.InitConnection, nullptr);
    EXPECT_LT(entry(nullptr, 1, 0), 0);
    // Only the entry point is exported.
    for (const char* name : {"InitConnection", "ReleaseConnection", "ConnectDB", "Disconnect", "ExecuteSQL"}) {
        EXPECT_EQ(module.Symbol(name), nullptr) << name;
    }
}

TEST_F(PluginTest, MissingDatabaseIsAFailureAndIsNotCreated) {
    const std::string missing = (folder_ / "missing.db").string();
    ASSERT_EQ(table_.InitConnection(0, &connection_, 1), 0);
    const std::int32_t code = table_.ConnectDB(connection_, missing.c_str(), 0, 0, 0);
    EXPECT_LT(code, 0);
    EXPECT_EQ(SqliteCodeOf(code) & 0xFF, SQLITE_CANTOPEN);
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(PluginTest, FileThatIsNotADatabaseIsRefusedAndLeftUnchanged) {
    const std::string path = (folder_ / "junk.db").string();
    const std::string junk(4096, 'x');
    std::ofstream(path, std::ios::binary) << junk;
    ASSERT_EQ(table_.InitConnection(0, &connection_, 1), 0);
    const std::int32_t code = table_.ConnectDB(connection_, path.c_str(), 0, 0, 0);
    EXPECT_LT(code, 0);
    EXPECT_EQ(SqliteCodeOf(code), SQLITE_NOTADB);
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, junk);
}

#ifndef _WIN32
// Asked not to follow links, SQLite still reaches a database beneath a held
// folder and beneath an operator's link to its folder, and refuses a
// database that is itself a link either way.
TEST_F(PluginTest, SqliteReachesDatabasesBeneathHeldAndLinkedFoldersOnly) {
    platform::LetSqliteReachHeldFolders();
    const fs::path linked = folder_ / "linked";
    fs::create_directory_symlink(folder_, linked);
    fs::create_symlink(database_, folder_ / "link.db");
    int error = 0;
    const platform::Folder held = platform::Folder::OpenPath(linked.string(), error);
    ASSERT_EQ(error, 0);
    const struct {
        std::string held, name;
        bool opens;
    } cases[] = {{held.PathForLibraries(), "2012-03-03.db", true},
                 {"", "2012-03-03.db", true},
                 {held.PathForLibraries(), "link.db", false},
                 {"", "link.db", false}};
    for (const auto& c : cases) {
        const std::string path = platform::SqlitePathBeneath(c.held, linked.string(), c.name);
        sqlite3* db = nullptr;
        const int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
        sqlite3_close(db);
        EXPECT_EQ(code == SQLITE_OK, c.opens) << path;
    }
}

// The database's folder is flushed when the connection ends: one that cannot
// be flushed fails the disconnect, however well the rest went.
TEST_F(PluginTest, AFolderThatCannotBeFlushedFailsTheDisconnect) {
    platform::LetSqliteReachHeldFolders();
    int error = 0;
    std::optional<platform::Folder> held(platform::Folder::OpenPath(folder_.string(), error));
    ASSERT_EQ(error, 0);
    if (held->PathForLibraries().empty()) GTEST_SKIP() << "no name for a held folder here";
    Connect(platform::SqlitePathBeneath(held->PathForLibraries(), folder_.string(), "2012-03-03.db"));
    held.reset();  // the name SQLite was given for the folder goes with it
    EXPECT_EQ(SqliteCodeOf(DisconnectAndRelease()), SQLITE_IOERR_DIR_FSYNC);
}
#endif

TEST_F(PluginTest, FailingStatementKeepsEarlierAndLaterRows) {
    Connect(database_);
    EXPECT_EQ(Execute("INSERT INTO Rows(Id) VALUES(1)"), 0);
    const std::int32_t duplicate = Execute("INSERT INTO Rows(Id) VALUES(1)");
    EXPECT_LT(duplicate, 0);
    EXPECT_EQ(SqliteCodeOf(duplicate), SQLITE_CONSTRAINT_UNIQUE);
    const std::int32_t syntax = Execute("INSERT INTO Nowhere(Id) VALUES(2)");
    EXPECT_LT(syntax, 0);
    EXPECT_EQ(SqliteCodeOf(syntax), SQLITE_ERROR);
    // A full disk makes SQLite give up the whole transaction, earlier rows too.
    EXPECT_EQ(Execute("PRAGMA max_page_count = 1"), 0);
    const std::int32_t full = Execute("INSERT INTO Rows(Id, Name) VALUES(2, zeroblob(100000))");
    EXPECT_EQ(SqliteCodeOf(full), SQLITE_FULL);
    EXPECT_EQ(Execute("INSERT INTO Rows(Id) VALUES(3)"), 0);
    EXPECT_EQ(DisconnectAndRelease(), 0);
    EXPECT_EQ(CountRows(database_, "Rows"), 2);
}

TEST_F(PluginTest, ExecutesExactlyOneStatementOfTheGivenLength) {
    Connect(database_);
    // Bytes past the length are not part of the statement.
    const std::string padded = "INSERT INTO Rows(Id) VALUES(7)garbage";
    EXPECT_EQ(table_.ExecuteSQL(connection_, padded.c_str(), 30), 0);
    EXPECT_EQ(Execute("INSERT INTO Rows(Id) VALUES(8);  \n"), 0);
    // A second statement is refused as a whole, so nothing of it runs.
    const std::int32_t two = Execute("INSERT INTO Rows(Id) VALUES(9); DELETE FROM Rows");
    EXPECT_LT(two, 0);
    EXPECT_EQ(SqliteCodeOf(two), SQLITE_MISUSE);
    EXPECT_LT(Execute("   "), 0);
    EXPECT_LT(table_.ExecuteSQL(connection_, nullptr, 0), 0);
    EXPECT_EQ(DisconnectAndRelease(), 0);
    EXPECT_EQ(CountRows(database_, "Rows"), 2);
}

// The tool asks to be the only writer through the first reserved argument;
// without it, rows go in beside anyone else's, as every plug-in writes them.
TEST_F(PluginTest, OnlyTheToolsOwnRequestStopsAtAnotherWritersRows) {
    for (const std::int32_t mode : {0, kConnectOnlyWriter}) {
        SCOPED_TRACE(mode);
        ExecDirect(database_, "DELETE FROM Rows");
        ExecDirect(database_, "INSERT INTO Rows(Id) VALUES(100)");  // the recorder, between placement and rows
        Connect(database_, mode);
        const std::int32_t expected = mode == 0 ? 0 : kOtherWriterCode;
        EXPECT_EQ(Execute("INSERT INTO Rows(Id) VALUES(1)"), expected);
        EXPECT_EQ(DisconnectAndRelease(), expected);
        EXPECT_EQ(CountRows(database_, "Rows"), mode == 0 ? 2 : 1);
    }
}

TEST_F(PluginTest, ReleasingWithoutDisconnectAbandonsTheRows) {
    Connect(database_);
    EXPECT_EQ(Execute("INSERT INTO Rows(Id) VALUES(1)"), 0);
    EXPECT_EQ(table_.ReleaseConnection(&connection_), 0);
    EXPECT_EQ(connection_, nullptr);
    EXPECT_EQ(CountRows(database_, "Rows"), 0);
}

// However slow the machine, and so wherever the batch's bound falls: a
// reader in the middle of a transaction from before the first row keeps the
// writer from committing, the failure is reported, and no row is written.
TEST_F(PluginTest, CommitThatCannotTakeTheLockIsReported) {
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(database_.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT COUNT(*) FROM Rows;", nullptr, nullptr, nullptr), SQLITE_OK);
    Connect(database_);
    const std::int32_t executed = Execute("INSERT INTO Rows(Id) VALUES(1)");
    const std::int32_t disconnected = DisconnectAndRelease();
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    const std::int32_t failure = disconnected != 0 ? disconnected : executed;
    EXPECT_LT(failure, 0);
    EXPECT_EQ(SqliteCodeOf(failure) & 0xFF, SQLITE_BUSY);
    EXPECT_EQ(CountRows(database_, "Rows"), 0);
}

}  // namespace
