#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nightjar::platform::posix {

/// The registry emulated in one SQLite file. Keys form a tree below the predefined root keys
/// (which always exist); key and value names keep their letter case and match without
/// regard to it. Every change runs in one transaction, so nothing is half written, and
/// several processes may share the file (write-ahead log, busy time-out).
///
/// A key can be marked read-only (the state of a machine-wide key for a standard user):
/// it and everything below it still open with KeyAccess::Read, but not with Full, and
/// nothing in it can be created, set or deleted.
class SqliteRegistry : public Registry {
  public:
    /// Opens or creates the registry file; nullptr with a reason in `error` on failure.
    static std::unique_ptr<SqliteRegistry> open(const std::string& file, std::string& error);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    bool keyExists(Hive hive, std::string_view path, KeyAccess access) override;
    std::optional<RegValue> queryValue(Hive hive, std::string_view path, std::string_view name,
                                       KeyAccess access) override;
    bool createKey(Hive hive, std::string_view path) override;
    bool setValue(Hive hive, std::string_view path, std::string_view name,
                  const RegValue& value) override;
    bool deleteValue(Hive hive, std::string_view path, std::string_view name) override;
    bool deleteTree(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> valueNames(Hive hive, std::string_view path) override;

    /// Marks the key (created when missing) and everything below it read-only, or lifts the
    /// mark. An empty path marks the whole hive. False when the file cannot be written.
    bool setReadOnly(Hive hive, std::string_view path, bool readOnly);

  private:
    struct KeyRef {
        std::int64_t id = 0;
        bool readOnly = false;  ///< the key or a key above it is marked
    };
    enum Stmt {
        kSelectChild,
        kSelectKey,
        kInsertKey,
        kSelectValue,
        kUpsertValue,
        kDeleteValue,
        kDeleteTreeValues,
        kDeleteTreeKeys,
        kListSubkeys,
        kListValues,
        kSetReadOnly,
        kStmtCount
    };

    explicit SqliteRegistry(sqlite3* db) : db_(db) {}
    bool prepare(std::string& error);
    bool exec(const char* sql);
    sqlite3_stmt* stmt(Stmt which);
    /// Ends every statement, so that a transaction can end.
    void resetAll();

    bool begin(bool write);
    bool commit();
    void rollback();
    /// Runs `change` in a write transaction, committed when it returns true and rolled
    /// back otherwise; true when the change was committed.
    bool write(const std::function<bool()>& change);

    /// The hive's root key with its read-only mark; nullopt for an unknown hive.
    std::optional<KeyRef> hiveKey(Hive hive);
    std::optional<KeyRef> findKey(Hive hive, std::string_view path);
    /// Finds the key, creating what is missing; nullopt on failure or when a key on the way
    /// is read-only (unless `ignoreReadOnly`).
    std::optional<KeyRef> makeKey(Hive hive, std::string_view path, bool ignoreReadOnly);
    std::optional<std::vector<std::string>> listNames(Stmt which, Hive hive, std::string_view path);

    sqlite3* db_;
    sqlite3_stmt* stmts_[kStmtCount] = {};
};

}  // namespace nightjar::platform::posix
