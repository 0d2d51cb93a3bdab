#include "platform/posix/SqliteRegistry.h"

#include <sqlite3.h>

#include <functional>

#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

// Several CLI invocations may share the file; a writer waits this long for another.
constexpr int kBusyTimeoutMs = 10000;

// The predefined root keys are rows with fixed ids and no parent (parent 0).
struct RootRow {
    Hive hive;
    std::int64_t id;
};
constexpr RootRow kRoots[] = {
    {Hive::ClassesRoot, 1}, {Hive::CurrentUser, 2},   {Hive::LocalMachine, 3},
    {Hive::Users, 4},       {Hive::CurrentConfig, 5}, {Hive::DynData, 6},
};

std::int64_t rootId(Hive hive) {
    for (const auto& r : kRoots) {
        if (r.hive == hive) {
            return r.id;
        }
    }
    return 0;
}

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    readonly INTEGER NOT NULL DEFAULT 0,
    UNIQUE(parent, folded));
CREATE TABLE IF NOT EXISTS vals(
    key INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
)sql";

constexpr const char* kStatements[] = {
    // kSelectChild
    "SELECT id, readonly FROM keys WHERE parent = ?1 AND folded = ?2",
    // kSelectKey
    "SELECT readonly FROM keys WHERE id = ?1",
    // kInsertKey
    "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)",
    // kSelectValue
    "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2",
    // kUpsertValue: an existing value keeps the spelling of its name.
    "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data",
    // kDeleteValue
    "DELETE FROM vals WHERE key = ?1 AND folded = ?2",
    // kDeleteTreeValues
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
    "SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
    "DELETE FROM vals WHERE key IN sub",
    // kDeleteTreeKeys
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
    "SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
    "DELETE FROM keys WHERE id IN sub",
    // kListSubkeys: in name order, as the registry enumerates them.
    "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded",
    // kListValues: in the order they were first set.
    "SELECT name FROM vals WHERE key = ?1 ORDER BY rowid",
    // kSetReadOnly
    "UPDATE keys SET readonly = ?2 WHERE id = ?1",
};

void bindText(sqlite3_stmt* s, int index, std::string_view text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* s, int column) {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s, column));
    int n = sqlite3_column_bytes(s, column);
    return p != nullptr ? std::string(p, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

std::unique_ptr<SqliteRegistry> SqliteRegistry::open(const std::string& file, std::string& error) {
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = "cannot open registry " + file + ": " +
                (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::unique_ptr<SqliteRegistry> reg(new SqliteRegistry(db));
    if (!reg->prepare(error)) {
        error = "cannot open registry " + file + ": " + error;
        return nullptr;
    }
    return reg;
}

SqliteRegistry::~SqliteRegistry() {
    for (sqlite3_stmt*& s : stmts_) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    sqlite3_close(db_);
}

bool SqliteRegistry::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteRegistry::prepare(std::string& error) {
    // The write-ahead log lets readers go on while another process writes; where the file
    // system cannot hold one, the ordinary journal serves.
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    if (!begin(true)) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    bool ok = exec(kSchema);
    for (const auto& r : kRoots) {
        std::string name(hiveName(r.hive));
        std::string sql = "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES(" +
                          std::to_string(r.id) + ", 0, '" + name + "', '" + text::toLower(name) +
                          "')";
        ok = ok && exec(sql.c_str());
    }
    if (!ok || !commit()) {
        error = sqlite3_errmsg(db_);
        rollback();
        return false;
    }
    for (int i = 0; i < kStmtCount; ++i) {
        if (sqlite3_prepare_v3(db_, kStatements[i], -1, SQLITE_PREPARE_PERSISTENT, &stmts_[i],
                               nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            return false;
        }
    }
    return true;
}

sqlite3_stmt* SqliteRegistry::stmt(Stmt which) {
    sqlite3_stmt* s = stmts_[which];
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return s;
}

void SqliteRegistry::resetAll() {
    for (sqlite3_stmt* s : stmts_) {
        if (s != nullptr) {
            sqlite3_reset(s);
        }
    }
}

bool SqliteRegistry::begin(bool write) {
    return exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
}

bool SqliteRegistry::commit() {
    resetAll();
    return exec("COMMIT");
}

void SqliteRegistry::rollback() {
    resetAll();
    if (sqlite3_get_autocommit(db_) == 0) {
        exec("ROLLBACK");
    }
}

std::optional<SqliteRegistry::KeyRef> SqliteRegistry::hiveKey(Hive hive) {
    KeyRef key;
    key.id = rootId(hive);
    if (key.id == 0) {
        return std::nullopt;
    }
    sqlite3_stmt* s = stmt(kSelectKey);
    sqlite3_bind_int64(s, 1, key.id);
    if (sqlite3_step(s) != SQLITE_ROW) {
        return std::nullopt;
    }
    key.readOnly = sqlite3_column_int(s, 0) != 0;
    return key;
}

std::optional<SqliteRegistry::KeyRef> SqliteRegistry::findKey(Hive hive, std::string_view path) {
    std::optional<KeyRef> found = hiveKey(hive);
    if (!found) {
        return std::nullopt;
    }
    KeyRef key = *found;
    for (std::string_view part : keyPathParts(path)) {
        sqlite3_stmt* s = stmt(kSelectChild);
        sqlite3_bind_int64(s, 1, key.id);
        bindText(s, 2, text::toLower(part));
        if (sqlite3_step(s) != SQLITE_ROW) {
            return std::nullopt;
        }
        key.id = sqlite3_column_int64(s, 0);
        key.readOnly = key.readOnly || sqlite3_column_int(s, 1) != 0;
    }
    return key;
}

std::optional<SqliteRegistry::KeyRef> SqliteRegistry::makeKey(Hive hive, std::string_view path,
                                                              bool ignoreReadOnly) {
    std::optional<KeyRef> found = hiveKey(hive);
    if (!found) {
        return std::nullopt;
    }
    KeyRef key = *found;
    for (std::string_view part : keyPathParts(path)) {
        if (key.readOnly && !ignoreReadOnly) {
            return std::nullopt;
        }
        const std::string folded = text::toLower(part);
        sqlite3_stmt* s = stmt(kSelectChild);
        sqlite3_bind_int64(s, 1, key.id);
        bindText(s, 2, folded);
        int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            key.id = sqlite3_column_int64(s, 0);
            key.readOnly = key.readOnly || sqlite3_column_int(s, 1) != 0;
            continue;
        }
        if (rc != SQLITE_DONE) {
            return std::nullopt;
        }
        s = stmt(kInsertKey);
        sqlite3_bind_int64(s, 1, key.id);
        bindText(s, 2, part);
        bindText(s, 3, folded);
        if (sqlite3_step(s) != SQLITE_DONE) {
            return std::nullopt;
        }
        key.id = sqlite3_last_insert_rowid(db_);
    }
    if (key.readOnly && !ignoreReadOnly) {
        return std::nullopt;
    }
    return key;
}

bool SqliteRegistry::keyExists(Hive hive, std::string_view path, KeyAccess access) {
    if (!begin(false)) {
        return false;
    }
    auto key = findKey(hive, path);
    rollback();
    return key && (access == KeyAccess::Read || !key->readOnly);
}

std::optional<RegValue> SqliteRegistry::queryValue(Hive hive, std::string_view path,
                                                   std::string_view name, KeyAccess access) {
    if (!begin(false)) {
        return std::nullopt;
    }
    std::optional<RegValue> result;
    auto key = findKey(hive, path);
    if (key && (access == KeyAccess::Read || !key->readOnly)) {
        sqlite3_stmt* s = stmt(kSelectValue);
        sqlite3_bind_int64(s, 1, key->id);
        bindText(s, 2, text::toLower(name));
        if (sqlite3_step(s) == SQLITE_ROW) {
            RegValue v;
            v.type = static_cast<RegType>(static_cast<std::uint32_t>(sqlite3_column_int64(s, 0)));
            v.data = columnText(s, 1);
            result = std::move(v);
        }
    }
    rollback();
    return result;
}

bool SqliteRegistry::write(const std::function<bool()>& change) {
    if (!begin(true)) {
        return false;
    }
    if (!change() || !commit()) {
        rollback();
        return false;
    }
    return true;
}

bool SqliteRegistry::createKey(Hive hive, std::string_view path) {
    return write([&] { return makeKey(hive, path, false).has_value(); });
}

bool SqliteRegistry::setValue(Hive hive, std::string_view path, std::string_view name,
                              const RegValue& value) {
    return write([&] {
        auto key = makeKey(hive, path, false);
        if (!key) {
            return false;
        }
        sqlite3_stmt* s = stmt(kUpsertValue);
        sqlite3_bind_int64(s, 1, key->id);
        bindText(s, 2, name);
        bindText(s, 3, text::toLower(name));
        sqlite3_bind_int64(s, 4, static_cast<std::int64_t>(value.type));
        sqlite3_bind_blob(s, 5, value.data.data(), static_cast<int>(value.data.size()),
                          SQLITE_TRANSIENT);
        return sqlite3_step(s) == SQLITE_DONE;
    });
}

bool SqliteRegistry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    return write([&] {
        auto key = findKey(hive, path);
        if (!key || key->readOnly) {
            return false;
        }
        sqlite3_stmt* s = stmt(kDeleteValue);
        sqlite3_bind_int64(s, 1, key->id);
        bindText(s, 2, text::toLower(name));
        return sqlite3_step(s) == SQLITE_DONE && sqlite3_changes(db_) > 0;
    });
}

bool SqliteRegistry::deleteTree(Hive hive, std::string_view path) {
    // A root key cannot be deleted.
    if (keyPathParts(path).empty()) {
        return false;
    }
    return write([&] {
        auto key = findKey(hive, path);
        if (!key || key->readOnly) {
            return false;
        }
        for (Stmt which : {kDeleteTreeValues, kDeleteTreeKeys}) {
            sqlite3_stmt* s = stmt(which);
            sqlite3_bind_int64(s, 1, key->id);
            if (sqlite3_step(s) != SQLITE_DONE) {
                return false;
            }
        }
        return true;
    });
}

std::optional<std::vector<std::string>> SqliteRegistry::listNames(Stmt which, Hive hive,
                                                                  std::string_view path) {
    if (!begin(false)) {
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> names;
    if (auto key = findKey(hive, path)) {
        names.emplace();
        sqlite3_stmt* s = stmt(which);
        sqlite3_bind_int64(s, 1, key->id);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            names->push_back(columnText(s, 0));
        }
        if (rc != SQLITE_DONE) {
            names.reset();
        }
    }
    rollback();
    return names;
}

std::optional<std::vector<std::string>> SqliteRegistry::subkeys(Hive hive, std::string_view path) {
    return listNames(kListSubkeys, hive, path);
}

std::optional<std::vector<std::string>> SqliteRegistry::valueNames(Hive hive,
                                                                   std::string_view path) {
    return listNames(kListValues, hive, path);
}

bool SqliteRegistry::setReadOnly(Hive hive, std::string_view path, bool readOnly) {
    return write([&] {
        auto key = makeKey(hive, path, true);
        if (!key) {
            return false;
        }
        sqlite3_stmt* s = stmt(kSetReadOnly);
        sqlite3_bind_int64(s, 1, key->id);
        sqlite3_bind_int(s, 2, readOnly ? 1 : 0);
        return sqlite3_step(s) == SQLITE_DONE;
    });
}

}  // namespace nightjar::platform::posix
