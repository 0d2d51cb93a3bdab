#include "SqliteDatabase.h"

#include <sqlite3.h>

namespace nightjar::server {

std::unique_ptr<SqliteDatabase> SqliteDatabase::open(const std::string& path, std::string& error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    if (rc != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : "cannot open the database";
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<SqliteDatabase> out(new SqliteDatabase(db));
    sqlite3_busy_timeout(db, 10000);
    if (!out->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                   "PRAGMA foreign_keys=ON")) {
        error = out->lastError();
        return nullptr;
    }
    return out;
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close(db_);
}

bool SqliteDatabase::exec(std::string_view sql) {
    const std::string text(sql);
    return sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t SqliteDatabase::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

std::string SqliteDatabase::lastError() const {
    return sqlite3_errmsg(db_);
}

}  // namespace nightjar::server
