#include "DefinitionStore.h"

#include <algorithm>
#include <functional>

#include "util/Text.h"

namespace nightjar::server {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS definitions(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  kind BLOB NOT NULL,
  body BLOB NOT NULL,
  added_at INTEGER NOT NULL,
  withdrawn_at INTEGER);
CREATE INDEX IF NOT EXISTS definitions_current ON definitions(kind, body)
  WHERE withdrawn_at IS NULL;
CREATE TABLE IF NOT EXISTS meta(key BLOB PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS submitted_names(
  name_key BLOB PRIMARY KEY,
  name BLOB NOT NULL,
  first_seen INTEGER NOT NULL,
  last_seen INTEGER NOT NULL,
  times INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS data_submissions(
  id INTEGER PRIMARY KEY,
  received_at INTEGER NOT NULL,
  remote BLOB NOT NULL,
  names BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS fp_submissions(
  id INTEGER PRIMARY KEY,
  received_at INTEGER NOT NULL,
  remote BLOB NOT NULL,
  files BLOB NOT NULL,
  details BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS data_submissions_remote
  ON data_submissions(remote, received_at);
CREATE INDEX IF NOT EXISTS fp_submissions_remote ON fp_submissions(remote, received_at);
CREATE TABLE IF NOT EXISTS languages(
  package INTEGER PRIMARY KEY,
  body BLOB NOT NULL,
  updated_at INTEGER NOT NULL);
)sql";

constexpr const char* kGeneration = "generation";
constexpr const char* kServedDate = "served_date";

}  // namespace

std::unique_ptr<DefinitionStore> DefinitionStore::open(const std::string& path,
                                                       std::string& error) {
    std::unique_ptr<SqliteDatabase> db = SqliteDatabase::open(path, error);
    if (!db) {
        return nullptr;
    }
    std::unique_ptr<DefinitionStore> store(new DefinitionStore(std::move(db)));
    if (!store->createSchema()) {
        error = store->lastError();
        return nullptr;
    }
    return store;
}

bool DefinitionStore::createSchema() {
    return db_->exec(kSchema);
}

std::optional<std::int64_t> DefinitionStore::meta(const char* key) {
    SqliteStatement st = db_->prepare("SELECT value FROM meta WHERE key = ?");
    st.bindBlob(1, key);
    if (st.step()) {
        return st.columnInt(0);
    }
    if (!st.ok()) {
        return std::nullopt;
    }
    return 0;
}

bool DefinitionStore::setMeta(const char* key, std::int64_t value) {
    SqliteStatement st = db_->prepare(
        "INSERT INTO meta(key, value) VALUES(?, ?) "
        "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    st.bindBlob(1, key).bind(2, value);
    return st.run();
}

std::optional<std::int64_t> DefinitionStore::changeStamp(std::int64_t now) {
    std::optional<std::int64_t> served = meta(kServedDate);
    if (!served) {
        return std::nullopt;
    }
    // A client that was told "served" holds every change up to that second; a later change
    // must therefore be later than it, or that client would never ask for it.
    return std::max(now, *served + 1);
}

bool DefinitionStore::bumpGeneration() {
    std::optional<std::int64_t> g = meta(kGeneration);
    return g && setMeta(kGeneration, *g + 1);
}

DefinitionStore::AddOutcome DefinitionStore::add(const std::string& kind,
                                                 const std::vector<std::string>& bodies,
                                                 std::int64_t now) {
    AddOutcome out;
    if (!db_->beginWrite()) {
        return out;
    }
    std::optional<std::int64_t> stamp = changeStamp(now);
    if (!stamp) {
        db_->rollback();
        return out;
    }
    out.stamp = *stamp;
    SqliteStatement exists = db_->prepare(
        "SELECT 1 FROM definitions WHERE kind = ? AND body = ? AND withdrawn_at IS NULL");
    SqliteStatement insert =
        db_->prepare("INSERT INTO definitions(kind, body, added_at) VALUES(?, ?, ?)");
    for (const std::string& body : bodies) {
        exists.reset();
        exists.bindBlob(1, kind).bindBlob(2, body);
        if (exists.step()) {
            out.skipped.push_back(body);
            continue;
        }
        if (!exists.ok()) {
            db_->rollback();
            return AddOutcome{};
        }
        insert.reset();
        insert.bindBlob(1, kind).bindBlob(2, body).bind(3, *stamp);
        if (!insert.run()) {
            db_->rollback();
            return AddOutcome{};
        }
        out.added.push_back(db_->lastInsertId());
    }
    if ((!out.added.empty() && !bumpGeneration()) || !db_->commit()) {
        db_->rollback();
        return AddOutcome{};
    }
    out.ok = true;
    return out;
}

std::optional<int> DefinitionStore::withdrawWhere(
    std::int64_t now, std::string_view condition,
    const std::function<void(SqliteStatement&)>& bindCondition) {
    if (!db_->beginWrite()) {
        return std::nullopt;
    }
    std::optional<std::int64_t> stamp = changeStamp(now);
    SqliteStatement st = db_->prepare("UPDATE definitions SET withdrawn_at = ? WHERE " +
                                      std::string(condition) + " AND withdrawn_at IS NULL");
    SqliteStatement changes = db_->prepare("SELECT changes()");
    bool ran = false;
    if (stamp) {
        st.bind(1, *stamp);
        bindCondition(st);
        ran = st.run();
    }
    if (!ran || !changes.step()) {
        db_->rollback();
        return std::nullopt;
    }
    const int n = static_cast<int>(changes.columnInt(0));
    if ((n > 0 && !bumpGeneration()) || !db_->commit()) {
        db_->rollback();
        return std::nullopt;
    }
    return n;
}

std::optional<int> DefinitionStore::withdraw(const std::string& kind, const std::string& body,
                                             std::int64_t now) {
    return withdrawWhere(now, "kind = ? AND body = ?",
                         [&](SqliteStatement& st) { st.bindBlob(2, kind).bindBlob(3, body); });
}

std::optional<int> DefinitionStore::withdrawById(std::int64_t id, std::int64_t now) {
    return withdrawWhere(now, "id = ?", [&](SqliteStatement& st) { st.bind(2, id); });
}

std::optional<std::vector<DefinitionRow>> DefinitionStore::rows(bool includeWithdrawn) {
    SqliteStatement st = db_->prepare(
        includeWithdrawn
            ? "SELECT id, kind, body, added_at, withdrawn_at FROM definitions ORDER BY id"
            : "SELECT id, kind, body, added_at, withdrawn_at FROM definitions "
              "WHERE withdrawn_at IS NULL ORDER BY id");
    std::vector<DefinitionRow> out;
    while (st.step()) {
        DefinitionRow r;
        r.id = st.columnInt(0);
        r.kind = st.columnBlob(1);
        r.body = st.columnBlob(2);
        r.addedAt = st.columnInt(3);
        if (!st.columnIsNull(4)) {
            r.withdrawnAt = st.columnInt(4);
        }
        out.push_back(std::move(r));
    }
    if (!st.ok()) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::int64_t> DefinitionStore::generation() {
    if (!generationQuery_) {
        generationQuery_ = db_->prepareKept("SELECT value FROM meta WHERE key = ?");
    }
    SqliteStatement& st = *generationQuery_;
    st.reset();
    st.bindBlob(1, kGeneration);
    std::optional<std::int64_t> out;
    if (st.step()) {
        out = st.columnInt(0);
    } else if (st.ok()) {
        out = 0;
    }
    // Reset at once: a statement left on its row would hold the connection's read snapshot.
    st.reset();
    return out;
}

std::optional<std::int64_t> DefinitionStore::servedDate() {
    return meta(kServedDate);
}

bool DefinitionStore::markServed(std::int64_t date) {
    SqliteStatement st = db_->prepare(
        "INSERT INTO meta(key, value) VALUES(?, ?) "
        "ON CONFLICT(key) DO UPDATE SET value = max(value, excluded.value)");
    st.bindBlob(1, kServedDate).bind(2, date);
    return st.run();
}

std::optional<bool> DefinitionStore::markServedIfUnchanged(std::int64_t date,
                                                           std::int64_t generation) {
    std::optional<std::int64_t> served = meta(kServedDate);
    if (!served) {
        return std::nullopt;
    }
    if (*served >= date) {
        // Every change from here on is stamped later than `served`, so later than `date`.
        return true;
    }
    if (!db_->beginWrite()) {
        return std::nullopt;
    }
    std::optional<std::int64_t> g = meta(kGeneration);
    if (!g) {
        db_->rollback();
        return std::nullopt;
    }
    if (*g != generation) {
        db_->rollback();
        return false;
    }
    if (!markServed(date) || !db_->commit()) {
        db_->rollback();
        return std::nullopt;
    }
    return true;
}

bool DefinitionStore::loadAll(std::vector<DefinitionRow>& out, std::int64_t& generation) {
    if (!db_->beginRead()) {
        return false;
    }
    std::optional<std::int64_t> g = meta(kGeneration);
    std::optional<std::vector<DefinitionRow>> r = rows(true);
    db_->commit();
    if (!g || !r) {
        return false;
    }
    generation = *g;
    out = std::move(*r);
    return true;
}

std::optional<bool> DefinitionStore::recordName(const std::string& name, std::int64_t now) {
    const std::string key = text::toLower(name);
    if (!db_->beginWrite()) {
        return std::nullopt;
    }
    SqliteStatement find = db_->prepare("SELECT 1 FROM submitted_names WHERE name_key = ?");
    find.bindBlob(1, key);
    const bool known = find.step();
    if (!find.ok()) {
        db_->rollback();
        return std::nullopt;
    }
    SqliteStatement st = db_->prepare(
        known ? "UPDATE submitted_names SET last_seen = ?3, times = times + 1 WHERE name_key = ?1"
              : "INSERT INTO submitted_names(name_key, name, first_seen, last_seen, times) "
                "VALUES(?1, ?2, ?3, ?3, 1)");
    st.bindBlob(1, key);
    if (!known) {
        st.bindBlob(2, name);
    }
    st.bind(3, now);
    if (!st.run() || !db_->commit()) {
        db_->rollback();
        return std::nullopt;
    }
    return !known;
}

bool DefinitionStore::recordData(const std::string& names, const std::string& remote,
                                 std::int64_t now) {
    SqliteStatement st =
        db_->prepare("INSERT INTO data_submissions(received_at, remote, names) VALUES(?, ?, ?)");
    st.bind(1, now).bindBlob(2, remote).bindBlob(3, names);
    return st.run();
}

bool DefinitionStore::recordFalsePositive(const std::string& files, const std::string& details,
                                          const std::string& remote, std::int64_t now) {
    SqliteStatement st = db_->prepare(
        "INSERT INTO fp_submissions(received_at, remote, files, details) VALUES(?, ?, ?, ?)");
    st.bind(1, now).bindBlob(2, remote).bindBlob(3, files).bindBlob(4, details);
    return st.run();
}

std::optional<std::vector<SubmissionRow>> DefinitionStore::submissions() {
    SqliteStatement st = db_->prepare(
        "SELECT received_at, remote, 'data', names, x'' FROM data_submissions "
        "UNION ALL SELECT received_at, remote, 'fp', files, details FROM fp_submissions "
        "ORDER BY 1");
    std::vector<SubmissionRow> out;
    while (st.step()) {
        SubmissionRow r;
        r.receivedAt = st.columnInt(0);
        r.remote = st.columnBlob(1);
        r.kind = st.columnBlob(2);
        r.first = st.columnBlob(3);
        r.second = st.columnBlob(4);
        out.push_back(std::move(r));
    }
    if (!st.ok()) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::int64_t> DefinitionStore::submissionsFrom(const std::string& remote,
                                                             std::int64_t since) {
    SqliteStatement st = db_->prepare(
        "SELECT (SELECT COUNT(*) FROM data_submissions WHERE remote = ?1 AND received_at >= ?2)"
        " + (SELECT COUNT(*) FROM fp_submissions WHERE remote = ?1 AND received_at >= ?2)");
    st.bindBlob(1, remote).bind(2, since);
    if (!st.step()) {
        return std::nullopt;
    }
    return st.columnInt(0);
}

std::optional<std::int64_t> DefinitionStore::submissionCount() {
    SqliteStatement st = db_->prepare(
        "SELECT (SELECT COUNT(*) FROM data_submissions) + (SELECT COUNT(*) FROM fp_submissions)");
    if (!st.step()) {
        return std::nullopt;
    }
    return st.columnInt(0);
}

bool DefinitionStore::setLanguage(std::int64_t package, const std::string& bytes,
                                  std::int64_t now) {
    SqliteStatement st = db_->prepare(
        "INSERT INTO languages(package, body, updated_at) VALUES(?, ?, ?) "
        "ON CONFLICT(package) DO UPDATE SET body = excluded.body, "
        "updated_at = excluded.updated_at");
    st.bind(1, package).bindBlob(2, bytes).bind(3, now);
    return st.run();
}

std::optional<std::string> DefinitionStore::language(std::int64_t package) {
    SqliteStatement st = db_->prepare("SELECT body FROM languages WHERE package = ?");
    st.bind(1, package);
    if (st.step()) {
        return st.columnBlob(0);
    }
    return std::nullopt;
}

}  // namespace nightjar::server
