#include "SqliteStatement.h"

#include <sqlite3.h>

namespace nightjar::server {

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (db_ == nullptr || sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_,
                                             nullptr) != SQLITE_OK) {
        stmt_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
    }
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    if (stmt_ != nullptr && sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) {
        failed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes) {
    // An empty view may carry a null pointer, which SQLite would store as NULL.
    static const char kEmpty = 0;
    const char* data = bytes.empty() ? &kEmpty : bytes.data();
    if (stmt_ != nullptr &&
        sqlite3_bind_blob64(stmt_, index, data, bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK) {
        failed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    if (stmt_ != nullptr && sqlite3_bind_null(stmt_, index) != SQLITE_OK) {
        failed_ = true;
    }
    return *this;
}

bool SqliteStatement::step() {
    if (stmt_ == nullptr || failed_) {
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        failed_ = true;
    }
    return false;
}

bool SqliteStatement::run() {
    step();
    return ok();
}

void SqliteStatement::reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        failed_ = false;
    }
}

std::int64_t SqliteStatement::columnInt(int column) const {
    return stmt_ == nullptr ? 0 : sqlite3_column_int64(stmt_, column);
}

std::string SqliteStatement::columnBlob(int column) const {
    if (stmt_ == nullptr) {
        return {};
    }
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr || size <= 0) {
        return {};
    }
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

bool SqliteStatement::columnIsNull(int column) const {
    return stmt_ == nullptr || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace nightjar::server
