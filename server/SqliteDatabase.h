#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "SqliteStatement.h"

struct sqlite3;

namespace nightjar::server {

/// An open SQLite database file in WAL mode with a busy time-out, so that the server and
/// the admin commands can use the same file at the same time.
class SqliteDatabase {
  public:
    /// Opens (creating) `path`; nullptr with a reason in `error` on failure.
    static std::unique_ptr<SqliteDatabase> open(const std::string& path, std::string& error);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    /// Runs one or more statements without results.
    bool exec(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(db_, sql); }
    /// A statement to keep and reuse; it must go before the database does.
    std::unique_ptr<SqliteStatement> prepareKept(std::string_view sql) {
        return std::make_unique<SqliteStatement>(db_, sql);
    }
    /// The last error message of the connection.
    std::string lastError() const;
    /// The row id of the last successful INSERT of this connection.
    std::int64_t lastInsertId() const;

    /// BEGIN IMMEDIATE: takes the write lock at once, so that what is read inside the
    /// transaction cannot change before it commits.
    bool beginWrite() { return exec("BEGIN IMMEDIATE"); }
    bool beginRead() { return exec("BEGIN"); }
    bool commit() { return exec("COMMIT"); }
    void rollback() { exec("ROLLBACK"); }

  private:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

}  // namespace nightjar::server
