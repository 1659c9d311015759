#pragma once

// One day database opened by the plug-in, written in short transactions that
// the batch policy bounds. Each transaction keeps the statements it executed,
// so that a commit which other connections keep busy can give up its locks
// and be replayed, instead of waiting with a lock that shuts out the
// recorder's readers.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plugin/batch_policy.h"
#include "plugin/statement_shape.h"

struct sqlite3;
struct sqlite3_stmt;

namespace strata {

// A negative code carrying SQLite's extended result code in its low 16 bits,
// so that the hexadecimal code the tool prints says what went wrong.
std::int32_t FailureCode(int sqliteCode);

class BatchedConnection {
public:
    BatchedConnection(BatchClock& clock, const BatchBounds& bounds);
    ~BatchedConnection();
    BatchedConnection(const BatchedConnection&) = delete;
    BatchedConnection& operator=(const BatchedConnection&) = delete;

    // Opens an existing database read-write; never creates one, so a missing
    // day database is a failure rather than a new empty file. 0 or a failure code.
    // `onlyWriter`: every transaction first checks that no other writer has
    // touched the tables since this connection opened them; once one has,
    // the transaction rolls back and every call answers kOtherWriterCode.
    std::int32_t Open(const char* path, bool onlyWriter = false);
    bool IsOpen() const { return db_ != nullptr; }
    // Executes exactly one statement of the given length: 0, the statement's
    // failure, or that of the commit it completed. A failing statement
    // leaves the others in place.
    std::int32_t Execute(const char* statement, std::int32_t length);
    // Commits what is left, closes the database and flushes its folder, so
    // that the journal's deletion (SQLite's commit point) is on the disk.
    std::int32_t Disconnect();
    // Closes without committing: the open transaction's rows are abandoned.
    void Abandon();

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Compiled = std::unique_ptr<sqlite3_stmt, Finalizer>;

    bool InTransaction() const;
    int Exec(const char* sql);
    std::int32_t LastFailure() const;
    std::int32_t RunStatement(const char* statement, std::int32_t length);
    sqlite3_stmt* CompiledShape(const StatementShape& shaped);
    std::int32_t RunShaped(sqlite3_stmt* compiled, const std::vector<StatementValue>& values);
    int BeginBatch();
    std::int32_t BeginFailure() const;
    bool ReadRowCounts(std::vector<std::int64_t>& counts);
    std::int64_t DataVersion();
    bool OnlyOurRows();
    void NoteLoss(std::int32_t code);
    std::int32_t LoseBatch(std::int32_t code);
    std::int32_t ReplayBatch();
    std::int32_t CommitBatch();
    std::int32_t RestoreAbandonedBatch();
    static int OnBusy(void* self, int attempt);

    std::unique_ptr<sqlite3, Closer> db_;
    // Shapes of INSERT statements compiled once (a few: the tool writes two),
    // finalized before the database closes.
    std::vector<std::pair<std::string, Compiled>> shapes_;
    std::string path_;
    BatchPolicy policy_;
    // The statements of the open transaction that succeeded.
    std::vector<std::string> batch_;
    // The first failure that lost rows already reported as written.
    std::int32_t lostRows_ = 0;
    // Only-writer mode: the tables' row counts as this connection last
    // committed them (all 0 before its first commit) and SQLite's data
    // version when it opened, which only another connection's commit changes.
    bool onlyWriter_ = false;
    bool otherWriterSeen_ = false;
    std::vector<std::string> tables_;
    std::vector<std::int64_t> committedRows_;
    std::int64_t openedVersion_ = 0;
};

}  // namespace strata
