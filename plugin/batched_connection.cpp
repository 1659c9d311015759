#include "plugin/batched_connection.h"

#include <sqlite3.h>

#include <cctype>

#include "platform/folder_sync.h"
#include "repair/db_interface.h"

namespace strata {

namespace {

std::int32_t LastFailureOf(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db);
    return FailureCode(code != SQLITE_OK ? code : SQLITE_ERROR);
}

bool IsBusy(int sqliteCode) { return (sqliteCode & 0xFF) == SQLITE_BUSY; }

// Only white space and statement separators may follow the one statement.
bool IsOnlySeparators(const char* begin, const char* end) {
    for (const char* p = begin; p < end; ++p) {
        if (*p != ';' && std::isspace(static_cast<unsigned char>(*p)) == 0) return false;
    }
    return true;
}

// Enough for the tool's two row statements and a few more; beyond it the
// compiled shapes start over, so memory stays bounded whatever arrives.
constexpr std::size_t kMostShapes = 8;

}  // namespace

std::int32_t FailureCode(int sqliteCode) {
    return static_cast<std::int32_t>(0x80000000u | (static_cast<std::uint32_t>(sqliteCode) & 0xFFFFu));
}

void BatchedConnection::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

void BatchedConnection::Finalizer::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }

BatchedConnection::BatchedConnection(BatchClock& clock, const BatchBounds& bounds) : policy_(clock, bounds) {}

BatchedConnection::~BatchedConnection() = default;

bool BatchedConnection::InTransaction() const { return sqlite3_get_autocommit(db_.get()) == 0; }

int BatchedConnection::Exec(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr); }

std::int32_t BatchedConnection::LastFailure() const { return LastFailureOf(db_.get()); }

int BatchedConnection::OnBusy(void* self, int attempt) {
    return static_cast<BatchedConnection*>(self)->policy_.RetryBusy(attempt) ? 1 : 0;
}

std::int32_t BatchedConnection::Open(const char* path, bool onlyWriter) {
    if (IsOpen()) return FailureCode(SQLITE_MISUSE);
    sqlite3* opened = nullptr;
    // A day database that is a link may point outside the storage.
    int rc = sqlite3_open_v2(path, &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    std::unique_ptr<sqlite3, Closer> db(opened);
    if (!db) return FailureCode(rc != SQLITE_OK ? rc : SQLITE_NOMEM);
    sqlite3_extended_result_codes(opened, 1);
    if (rc == SQLITE_OK && sqlite3_db_readonly(opened, "main") == 1) rc = SQLITE_READONLY;
    if (rc == SQLITE_OK) {
        sqlite3_busy_handler(opened, OnBusy, this);
        // Reading the schema now checks the file's header, so a file that is
        // not a database fails here and not at the first row.
        rc = sqlite3_exec(opened, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) return LastFailureOf(opened);
    db_ = std::move(db);
    path_ = path;
    onlyWriter_ = onlyWriter;
    if (onlyWriter_) {
        sqlite3_stmt* listing = nullptr;
        if (sqlite3_prepare_v2(opened,
                               "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                               "ESCAPE '\\' ORDER BY name",
                               -1, &listing, nullptr) == SQLITE_OK) {
            while (sqlite3_step(listing) == SQLITE_ROW) {
                tables_.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(listing, 0)));
            }
        }
        sqlite3_finalize(listing);
        committedRows_.assign(tables_.size(), 0);
        openedVersion_ = DataVersion();
    }
    return 0;
}

bool BatchedConnection::ReadRowCounts(std::vector<std::int64_t>& counts) {
    counts.clear();
    for (const std::string& table : tables_) {
        std::string sql = "SELECT count(*) FROM \"";
        for (const char c : table) sql += c == '"' ? std::string("\"\"") : std::string(1, c);
        sql += '"';
        sqlite3_stmt* counting = nullptr;
        const bool read = sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &counting, nullptr) == SQLITE_OK &&
                          sqlite3_step(counting) == SQLITE_ROW;
        if (read) counts.push_back(sqlite3_column_int64(counting, 0));
        sqlite3_finalize(counting);
        if (!read) return false;
    }
    return true;
}

std::int64_t BatchedConnection::DataVersion() {
    sqlite3_stmt* pragma = nullptr;
    std::int64_t version = -1;
    if (sqlite3_prepare_v2(db_.get(), "PRAGMA data_version", -1, &pragma, nullptr) == SQLITE_OK &&
        sqlite3_step(pragma) == SQLITE_ROW) {
        version = sqlite3_column_int64(pragma, 0);
    }
    sqlite3_finalize(pragma);
    return version;
}

// Inside a transaction that holds the write lock: nobody but this connection
// has committed since it last did, and the tables hold what it committed.
bool BatchedConnection::OnlyOurRows() {
    std::vector<std::int64_t> counts;
    return DataVersion() == openedVersion_ && ReadRowCounts(counts) && counts == committedRows_;
}

// The shape's compiled statement, or null when it does not compile as one
// statement taking exactly its values (the text then runs as it stands, and
// fails as it would have).
sqlite3_stmt* BatchedConnection::CompiledShape(const StatementShape& shaped) {
    for (const auto& known : shapes_) {
        if (known.first == shaped.shape) return known.second.get();
    }
    sqlite3_stmt* compiled = nullptr;
    const char* tail = nullptr;
    const char* text = shaped.shape.c_str();
    const int length = static_cast<int>(shaped.shape.size());
    const int prepared = sqlite3_prepare_v3(db_.get(), text, length, SQLITE_PREPARE_PERSISTENT, &compiled, &tail);
    Compiled owned(compiled);
    if (prepared != SQLITE_OK || !owned || !IsOnlySeparators(tail, text + length) ||
        sqlite3_bind_parameter_count(compiled) != static_cast<int>(shaped.values.size())) {
        return nullptr;
    }
    if (shapes_.size() >= kMostShapes) shapes_.clear();
    shapes_.emplace_back(shaped.shape, std::move(owned));
    return compiled;
}

std::int32_t BatchedConnection::RunShaped(sqlite3_stmt* compiled, const std::vector<StatementValue>& values) {
    int rc = SQLITE_OK;
    for (std::size_t i = 0; i < values.size() && rc == SQLITE_OK; ++i) {
        const int index = static_cast<int>(i + 1);
        const StatementValue& value = values[i];
        rc = value.isText ? sqlite3_bind_text(compiled, index, value.text.data(), static_cast<int>(value.text.size()),
                                              SQLITE_STATIC)
                          : sqlite3_bind_int64(compiled, index, value.integer);
    }
    if (rc == SQLITE_OK) rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) rc = sqlite3_step(compiled);
    const std::int32_t code = rc == SQLITE_DONE ? 0 : LastFailure();
    sqlite3_reset(compiled);
    sqlite3_clear_bindings(compiled);
    return code;
}

std::int32_t BatchedConnection::RunStatement(const char* statement, std::int32_t length) {
    if (const std::optional<StatementShape> shaped = ShapeOfInsert(statement, static_cast<std::size_t>(length))) {
        if (sqlite3_stmt* compiled = CompiledShape(*shaped)) return RunShaped(compiled, shaped->values);
    }
    sqlite3_stmt* compiled = nullptr;
    const char* tail = nullptr;
    const int prepared = sqlite3_prepare_v2(db_.get(), statement, length, &compiled, &tail);
    Compiled owned(compiled);
    if (prepared != SQLITE_OK) return LastFailure();
    if (!owned || !IsOnlySeparators(tail, statement + length)) return FailureCode(SQLITE_MISUSE);
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) rc = sqlite3_step(compiled);
    return rc == SQLITE_DONE ? 0 : LastFailure();
}

int BatchedConnection::BeginBatch() {
    if (otherWriterSeen_) return SQLITE_ABORT;
    policy_.WaitOutPause();
    const int rc = Exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return rc;
    policy_.Began();
    if (onlyWriter_ && !OnlyOurRows()) {
        Exec("ROLLBACK");
        policy_.Ended();
        otherWriterSeen_ = true;
        return SQLITE_ABORT;
    }
    return SQLITE_OK;
}

std::int32_t BatchedConnection::BeginFailure() const { return otherWriterSeen_ ? kOtherWriterCode : LastFailure(); }

void BatchedConnection::NoteLoss(std::int32_t code) {
    if (lostRows_ == 0) lostRows_ = code;
}

std::int32_t BatchedConnection::LoseBatch(std::int32_t code) {
    batch_.clear();
    NoteLoss(code);
    return code;
}

// Executes the kept statements again in a new transaction. One that fails
// now was reported as written, so its loss is said at Disconnect.
std::int32_t BatchedConnection::ReplayBatch() {
    std::vector<std::string> statements;
    statements.swap(batch_);
    std::int32_t failure = 0;
    for (const std::string& statement : statements) {
        const std::int32_t code = RunStatement(statement.data(), static_cast<std::int32_t>(statement.size()));
        policy_.Executed();
        if (code == 0) {
            batch_.push_back(statement);
        } else if (failure == 0) {
            failure = code;
        }
        if (!InTransaction()) {
            policy_.Ended();
            return LoseBatch(failure);
        }
    }
    if (failure != 0) NoteLoss(failure);
    return failure;
}

// A commit that other connections keep busy gives its locks up rather than
// waiting with them (its PENDING lock would shut out every new reader), and
// is replayed after the pause until the lock wait is over.
std::int32_t BatchedConnection::CommitBatch() {
    const Clock::time_point giveUp = policy_.GiveUpTime();
    for (;;) {
        // Read while the write lock is held: what this commit will leave.
        // The data version needs no update: a connection's own commits never
        // change what it reads there.
        std::vector<std::int64_t> rows;
        const bool counted = !onlyWriter_ || ReadRowCounts(rows);
        const int rc = counted ? Exec("COMMIT") : SQLITE_ERROR;
        if (rc == SQLITE_OK) {
            batch_.clear();
            policy_.Ended();
            committedRows_ = std::move(rows);
            return 0;
        }
        const std::int32_t failure = LastFailure();
        if (InTransaction()) Exec("ROLLBACK");
        policy_.Ended();
        if (!IsBusy(rc) || policy_.IsPast(giveUp)) return LoseBatch(failure);
        if (BeginBatch() != SQLITE_OK) return LoseBatch(BeginFailure());
        ReplayBatch();
        if (!InTransaction()) return LoseBatch(failure);
    }
}

// SQLite gave the whole transaction up after a failing statement (a full
// disk, an I/O error): the rows before it are written again.
std::int32_t BatchedConnection::RestoreAbandonedBatch() {
    policy_.Ended();
    if (batch_.empty()) return 0;
    if (BeginBatch() != SQLITE_OK) return LoseBatch(BeginFailure());
    return ReplayBatch();
}

std::int32_t BatchedConnection::Execute(const char* statement, std::int32_t length) {
    if (!IsOpen()) return FailureCode(SQLITE_MISUSE);
    if (!InTransaction() && BeginBatch() != SQLITE_OK) return BeginFailure();
    std::int32_t code = RunStatement(statement, length);
    policy_.Executed();
    if (code == 0) {
        batch_.emplace_back(statement, static_cast<std::size_t>(length));
    } else if (!InTransaction()) {
        RestoreAbandonedBatch();
    }
    if (InTransaction() && policy_.CommitDue()) {
        const std::int32_t committed = CommitBatch();
        if (code == 0) code = committed;
    }
    return code;
}

std::int32_t BatchedConnection::Disconnect() {
    if (!IsOpen()) return FailureCode(SQLITE_MISUSE);
    std::int32_t code = InTransaction() ? CommitBatch() : 0;
    if (code == 0) code = lostRows_;
    if (code == 0 && otherWriterSeen_) code = kOtherWriterCode;
    shapes_.clear();
    db_.reset();
    if (platform::SyncFolderHolding(path_) != 0 && code == 0) code = FailureCode(SQLITE_IOERR_DIR_FSYNC);
    return code;
}

void BatchedConnection::Abandon() {
    shapes_.clear();
    db_.reset();
    batch_.clear();
}

}  // namespace strata
