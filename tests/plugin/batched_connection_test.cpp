// The plug-in's connection on real databases with a clock the tests move:
// when batches commit, that the lock is free between them, and what a commit
// does while readers keep the database busy.

#include <gtest/gtest.h>

#include <vector>
#include <sqlite3.h>

#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "plugin/statement_shape.h"
#include "plugin/batched_connection.h"
#include "repair/db_interface.h"

namespace fs = boost::filesystem;
using namespace std::chrono_literals;
using strata::Clock;

namespace {

class FakeClock : public strata::BatchClock {
public:
    Clock::time_point Now() override { return now; }
    void Sleep(Clock::duration duration) override {
        now += duration;
        if (onSleep) onSleep();
    }
    Clock::time_point now{};
    std::function<void()> onSleep;
};

// Another connection, as the recorder or one of its readers holds it.
class Other {
public:
    explicit Other(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~Other() { sqlite3_close(db_); }
    Other(const Other&) = delete;
    Other& operator=(const Other&) = delete;
    int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    int Count() {
        sqlite3_stmt* statement = nullptr;
        int count = -1;
        if (sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM Rows", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            count = sqlite3_column_int(statement, 0);
        }
        sqlite3_finalize(statement);
        return count;
    }

private:
    sqlite3* db_ = nullptr;
};

// Holding the lock shuts the recorder out, so a busy wait then is short; one
// that only wants to take the lock may wait long.
TEST(BatchPolicyTest, BusyWaitIsShortOnlyWhileHoldingTheLock) {
    for (const bool holding : {false, true}) {
        FakeClock clock;
        strata::BatchPolicy policy(clock, strata::BatchBounds{});
        if (holding) policy.Began();
        const Clock::time_point start = clock.now;
        for (int attempt = 0; policy.RetryBusy(attempt); ++attempt) {
        }
        EXPECT_EQ(clock.now - start, holding ? Clock::duration(20ms) : Clock::duration(2s)) << holding;
    }
}

// An insert splits into the text with its literals as parameters and the
// literals' values; names with digits stay names, digits alone are numbers.
TEST(StatementShapeTest, LiteralsBecomeParametersNamesStay) {
    const std::string text = "INSERT INTO t1(a2, b_3) VALUES(12, 'it''s', 7)";
    const auto shape = strata::ShapeOfInsert(text.c_str(), text.size());
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->shape, "INSERT INTO t1(a2, b_3) VALUES(?, ?, ?)");
    ASSERT_EQ(shape->values.size(), 3u);
    EXPECT_EQ(shape->values[0].integer, 12);
    EXPECT_EQ(shape->values[1].text, "it's");
    EXPECT_EQ(shape->values[2].integer, 7);
    // Quoted names stay names, a doubled quote inside them included.
    const std::string quoted = "INSERT INTO \"t\"\"1\"([a b], `c`) VALUES(3)";
    const auto quotedShape = strata::ShapeOfInsert(quoted.c_str(), quoted.size());
    ASSERT_TRUE(quotedShape.has_value());
    EXPECT_EQ(quotedShape->shape, "INSERT INTO \"t\"\"1\"([a b], `c`) VALUES(?)");
    const std::string empty = "INSERT INTO \"\"(a) VALUES(3)";  // an empty quoted name is a name too
    const auto emptyShape = strata::ShapeOfInsert(empty.c_str(), empty.size());
    ASSERT_TRUE(emptyShape.has_value());
    EXPECT_EQ(emptyShape->shape, "INSERT INTO \"\"(a) VALUES(?)");
    for (const std::string other :
         {"SELECT 1", "INSERT INTO t VALUES(1.5)", "INSERT INTO t VALUES(12x)", "INSERT INTO t VALUES(-7)"})
        EXPECT_FALSE(strata::ShapeOfInsert(other.c_str(), other.size()).has_value()) << other;
    // Nothing past the statement's given length is read (the bytes after it
    // are not the statement's): a quote left open, a name or a literal at the
    // very end.
    const std::pair<std::string, bool> ends[] = {{"INSERT INTO \"t", false},
                                                 {"INSERT INTO \"t\"", false},
                                                 {"INSERT INTO t VALUES('a", false},
                                                 {"INSERT INTO t VALUES(1", true}};
    for (const auto& [text, shaped] : ends) {
        const std::vector<char> bytes(text.begin(), text.end());  // no terminating zero
        EXPECT_EQ(strata::ShapeOfInsert(bytes.data(), bytes.size()).has_value(), shaped) << text;
    }
}

class BatchedConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / fs::unique_path("tolvane2-batches-%%%%-%%%%");
        fs::create_directories(folder_);
        database_ = (folder_ / "2012-03-03.db").string();
        ASSERT_EQ(Other(database_).Exec("CREATE TABLE Rows(Id INTEGER UNIQUE)"), SQLITE_OK);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::int32_t Insert(strata::BatchedConnection& connection, int id) {
        const std::string sql = "INSERT INTO Rows(Id) VALUES(" + std::to_string(id) + ")";
        return connection.Execute(sql.c_str(), static_cast<std::int32_t>(sql.size()));
    }
    int Committed() { return Other(database_).Count(); }

    fs::path folder_;
    std::string database_;
    FakeClock clock_;
};

// A killed run keeps every batch committed before it: a batch commits once it
// is 20 ms old or holds 4,000 statements.
TEST_F(BatchedConnectionTest, BatchCommitsAtItsAgeOrStatementBound) {
    const struct {
        const char* name;
        int statements;              // before the last one
        Clock::duration agedBefore;  // clock moved before the last one
        bool committed;
    } cases[] = {
        {"young and small", 3998, 19ms, false},
        {"4,000 statements", 3999, 0ms, true},
        {"20 ms old", 1, 20ms, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Other(database_).Exec("DELETE FROM Rows"), SQLITE_OK);
        strata::BatchedConnection connection(clock_, strata::BatchBounds{});
        ASSERT_EQ(connection.Open(database_.c_str()), 0);
        for (int id = 1; id <= c.statements; ++id) ASSERT_EQ(Insert(connection, id), 0);
        clock_.now += c.agedBefore;
        ASSERT_EQ(Insert(connection, 0), 0);
        EXPECT_EQ(Committed(), c.committed ? c.statements + 1 : 0);
        EXPECT_EQ(connection.Disconnect(), 0);
        EXPECT_EQ(Committed(), c.statements + 1);
    }
}

#ifndef _WIN32
// The connection refuses a link by itself, whatever the walk before it let through.
TEST_F(BatchedConnectionTest, ADatabaseThatIsALinkIsNeverOpened) {
    const std::string link = (folder_ / "linked.db").string();
    fs::create_symlink(database_, link);
    strata::BatchedConnection connection(clock_, strata::BatchBounds{});
    EXPECT_NE(connection.Open(link.c_str()), 0);
    EXPECT_EQ(connection.Open(database_.c_str()), 0);
}
#endif

// The recorder gets the lock in the pause after each batch.
TEST_F(BatchedConnectionTest, LockIsFreeInThePauseAfterEachBatch) {
    strata::BatchBounds bounds;
    bounds.mostStatements = 2;
    strata::BatchedConnection connection(clock_, bounds);
    ASSERT_EQ(connection.Open(database_.c_str()), 0);
    Other recorder(database_);
    int recorderRows = 0;
    clock_.onSleep = [&] {
        EXPECT_EQ(recorder.Exec("INSERT INTO Rows(Id) VALUES(" + std::to_string(100 + recorderRows++) + ")"),
                  SQLITE_OK);
    };
    for (int id = 1; id <= 5; ++id) ASSERT_EQ(Insert(connection, id), 0);
    EXPECT_EQ(recorderRows, 2) << "one pause after each of the two full batches";
    EXPECT_EQ(connection.Disconnect(), 0);
    EXPECT_EQ(Committed(), 5 + recorderRows);
}

// A reader holding the database open keeps the commit from finishing. The
// commit must not keep waiting with its PENDING lock, which shuts out every
// new reader: it gives the lock up and is replayed once the reader is done,
// or, when the reader never lets go, fails and says so at Disconnect.
TEST_F(BatchedConnectionTest, BusyCommitGivesUpItsLockAndIsReplayed) {
    const struct {
        const char* name;
        Clock::duration readerHolds;
        bool written;
    } cases[] = {
        {"reader done after 100 ms", 100ms, true},
        {"reader never done", 3600s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Other(database_).Exec("DELETE FROM Rows"), SQLITE_OK);
        strata::BatchBounds bounds;
        bounds.mostStatements = 2;
        strata::BatchedConnection connection(clock_, bounds);
        ASSERT_EQ(connection.Open(database_.c_str()), 0);
        Other reader(database_);
        ASSERT_EQ(reader.Exec("BEGIN"), SQLITE_OK);
        ASSERT_GE(reader.Count(), 0);
        const Clock::time_point readerDone = clock_.now + c.readerHolds;
        clock_.onSleep = [&] {
            if (clock_.now >= readerDone) reader.Exec("COMMIT");
        };
        ASSERT_EQ(Insert(connection, 1), 0);
        const std::int32_t code = Insert(connection, 2);
        clock_.onSleep = nullptr;

        Other newReader(database_);
        ASSERT_EQ(newReader.Exec("BEGIN"), SQLITE_OK);
        EXPECT_EQ(newReader.Count(), c.written ? 2 : 0) << "a new reader is not locked out";
        newReader.Exec("COMMIT");
        reader.Exec("COMMIT");
        EXPECT_EQ(code == 0, c.written) << std::hex << code;
        EXPECT_EQ(connection.Disconnect() == 0, c.written) << "lost rows are said at the end";
    }
}

// Row statements compile once per shape and run with their values bound: what
// is stored, and how a failing statement fails, must be what the statement's
// own text gives, whatever its literals hold.
TEST_F(BatchedConnectionTest, RowsAreStoredAsTheirOwnTextStoresThem) {
    const char* const table = "CREATE TABLE Mixed(i INTEGER, r REAL, t TEXT, b BLOB, u UNIQUE)";
    const std::string direct = (folder_ / "direct.db").string();
    ASSERT_EQ(Other(database_).Exec(table), SQLITE_OK);
    ASSERT_EQ(Other(direct).Exec(table), SQLITE_OK);
    const char* const statements[] = {
        "INSERT INTO Mixed(i, t) VALUES(12, 'it''s')",
        "INSERT INTO Mixed(i, t) VALUES(34, 'x')",
        "insert into Mixed (t, i) values ('56', '0078')",
        "INSERT INTO Mixed(i, r) VALUES(18446744073709551615, 123456789012345678)",
        "INSERT INTO Mixed(b, t) VALUES(x'00ff', 'a;b')",
        "INSERT INTO Mixed(r, i) VALUES(1.5, -3)",
        "INSERT INTO Mixed(i) VALUES(1),(2)",
        "INSERT INTO Mixed(i) VALUES(NULL)",
        "INSERT INTO Mixed(t) VALUES('\xe4\xb8\xad')",
        "INSERT INTO Mixed(i) VALUES(9) -- a comment",
        "INSERT INTO Mixed(u) VALUES(5)",
        "INSERT INTO Mixed(u) VALUES(5)",     // fails: unique
        "INSERT INTO Mixed(i) VALUES(1, 2)",  // fails: two values for one column
        "INSERT INTO Missing(i) VALUES(1)",   // fails: no such table
        "INSERT INTO Mixed(u, i) VALUES(6, 7)",
    };
    strata::BatchedConnection connection(clock_, strata::BatchBounds{});
    ASSERT_EQ(connection.Open(database_.c_str()), 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(direct.c_str(), &other), SQLITE_OK);
    sqlite3_extended_result_codes(other, 1);
    for (const std::string statement : statements) {
        const std::int32_t code = connection.Execute(statement.c_str(), static_cast<std::int32_t>(statement.size()));
        const int rc = sqlite3_exec(other, statement.c_str(), nullptr, nullptr, nullptr);
        EXPECT_EQ(code, rc == SQLITE_OK ? 0 : strata::FailureCode(sqlite3_extended_errcode(other))) << statement;
    }
    sqlite3_close(other);
    EXPECT_EQ(connection.Disconnect(), 0);
    auto rows = [](const std::string& path) {
        std::string dump;
        Other(path).Exec("SELECT 1");
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(
            db, "SELECT quote(i), typeof(i), quote(r), typeof(r), quote(t), typeof(t), quote(b), quote(u) FROM Mixed",
            [](void* out, int columns, char** values, char**) {
                for (int k = 0; k < columns; ++k) *static_cast<std::string*>(out) += std::string(values[k]) + " ";
                *static_cast<std::string*>(out) += "\n";
                return 0;
            },
            &dump, nullptr);
        sqlite3_close(db);
        return dump;
    };
    EXPECT_EQ(rows(database_), rows(direct));
    EXPECT_NE(rows(direct).find("'it''s'"), std::string::npos);
}

// A recorder that writes the database after the tool placed it must never
// find its recordings listed twice: the connection that is to be the only
// writer stops at the first transaction that finds another writer's commit,
// wherever it slips in, and keeps what that writer wrote. The writer gets in
// at the first moment the connection leaves the lock free.
TEST_F(BatchedConnectionTest, OnlyWriterStopsWhereAnotherWriterSlippedIn) {
    const struct {
        const char* name;
        const char* write;  // the other writer's statement
        bool beforeFirstRow;
        bool readerHoldsFirstCommit;  // the first commit gives up and is replayed
        int rowsKept;                 // of the connection's 5
    } cases[] = {
        {"before the first row", "INSERT INTO Rows(Id) VALUES(100)", true, false, 0},
        {"between two batches", "INSERT INTO Rows(Id) VALUES(100)", false, false, 2},
        {"an update between two batches", "UPDATE Rows SET Id = 10 WHERE Id = 1", false, false, 2},
        {"before a busy commit's replay", "INSERT INTO Rows(Id) VALUES(100)", false, true, 0},
        {"nobody", nullptr, false, true, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Other(database_).Exec("DELETE FROM Rows"), SQLITE_OK);
        strata::BatchBounds bounds;
        bounds.mostStatements = 2;
        strata::BatchedConnection connection(clock_, bounds);
        ASSERT_EQ(connection.Open(database_.c_str(), true), 0);
        Other recorder(database_), reader(database_);
        if (c.readerHoldsFirstCommit) {
            ASSERT_EQ(reader.Exec("BEGIN"), SQLITE_OK);
            ASSERT_GE(reader.Count(), 0);
        }
        bool wrote = false;
        const auto write = [&] {
            EXPECT_EQ(recorder.Exec(c.write), SQLITE_OK);
            wrote = true;
        };
        if (c.write != nullptr && c.beforeFirstRow) write();
        clock_.onSleep = [&] {
            if (wrote || recorder.Exec("BEGIN IMMEDIATE") != SQLITE_OK) return;  // the connection holds the lock
            reader.Exec("COMMIT");
            if (c.write != nullptr) write();
            EXPECT_EQ(recorder.Exec("COMMIT"), SQLITE_OK);
            wrote = true;
        };
        std::int32_t last = 0;
        for (int id = 1; id <= 5; ++id) last = Insert(connection, id);
        const std::int32_t expected = c.write != nullptr ? kOtherWriterCode : 0;
        EXPECT_EQ(last, expected) << std::hex << last;
        // Once stopped, it neither pauses nor tries the lock again: nothing a recorder could meet.
        clock_.onSleep = [] { ADD_FAILURE() << "the stopped connection waited"; };
        if (c.write != nullptr) {
            EXPECT_EQ(Insert(connection, 6), kOtherWriterCode);
        }
        clock_.onSleep = nullptr;
        EXPECT_EQ(connection.Disconnect(), expected);
        EXPECT_EQ(Committed(), c.rowsKept + (c.write != nullptr && c.write[0] == 'I' ? 1 : 0));
    }
}

}  // namespace
