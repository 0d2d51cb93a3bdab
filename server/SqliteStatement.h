#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace nightjar::server {

/// One prepared SQLite statement. Text values travel as blobs so that 8-bit bytes come back
/// exactly as stored. Never throws: failures show in the results and in `ok()`.
class SqliteStatement {
  public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    /// True when the statement compiled and no step has failed.
    bool ok() const { return stmt_ != nullptr && !failed_; }

    /// Parameters are numbered from 1.
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bindBlob(int index, std::string_view bytes);
    SqliteStatement& bindNull(int index);

    /// Advances to the next row; false at the end or on an error (see ok()).
    bool step();
    /// Runs a statement that returns no rows; true when it completed.
    bool run();
    void reset();

    std::int64_t columnInt(int column) const;
    std::string columnBlob(int column) const;
    bool columnIsNull(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

}  // namespace nightjar::server
