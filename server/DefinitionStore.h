#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DefinitionRow.h"
#include "SqliteDatabase.h"

namespace nightjar::server {

/// One stored submission, for the admin listing.
struct SubmissionRow {
    std::int64_t receivedAt = 0;
    std::string remote;
    std::string kind;    ///< "data" (getData.asp) or "fp" (submitFP.asp)
    std::string first;   ///< the decoded names, or the file list
    std::string second;  ///< empty, or the false-positive details
};

/// The server's state in one SQLite file: the definition entries with the times they were
/// added and withdrawn, the definitions date already handed out, the submissions and the
/// language files.
///
/// Every change is stamped later than any definitions date a client may already hold, so a
/// client never misses a change made in the same second as its last update.
class DefinitionStore {
  public:
    /// Opens `path`, creating the file and its tables when missing.
    static std::unique_ptr<DefinitionStore> open(const std::string& path, std::string& error);

    struct AddOutcome {
        bool ok = false;
        std::int64_t stamp = 0;            ///< the change time given to every new entry
        std::vector<std::int64_t> added;   ///< ids of the new entries
        std::vector<std::string> skipped;  ///< bodies already current with this kind
    };
    /// Adds entries of one kind in one transaction, all with one change time. `bodies` must
    /// be normalized and valid (DefinitionKind::validate).
    AddOutcome add(const std::string& kind, const std::vector<std::string>& bodies,
                   std::int64_t now);

    /// Withdraws the current entries of `kind` with exactly this body; the number withdrawn,
    /// or nullopt on a database error.
    std::optional<int> withdraw(const std::string& kind, const std::string& body, std::int64_t now);
    std::optional<int> withdrawById(std::int64_t id, std::int64_t now);

    /// Entries in the order they were added (current ones only unless `includeWithdrawn`);
    /// nullopt on a database error.
    std::optional<std::vector<DefinitionRow>> rows(bool includeWithdrawn);

    /// Counts every change of the definitions; a cached view is stale when it differs.
    std::optional<std::int64_t> generation();
    /// The latest definitions date handed to any client (0 when none yet).
    std::optional<std::int64_t> servedDate();
    /// Raises the handed-out date to `date` (never lowers it).
    bool markServed(std::int64_t date);
    /// Makes sure the handed-out date is at least `date`, but only while the definitions
    /// are still at `generation`: true when done (or already so), false when they changed
    /// meanwhile (the caller reloads), nullopt on a database error. A date handed out
    /// under this rule can never precede a change the client was not sent.
    std::optional<bool> markServedIfUnchanged(std::int64_t date, std::int64_t generation);

    /// Every entry, withdrawn ones included, with the generation they belong to, read in
    /// one transaction; false on a database error.
    bool loadAll(std::vector<DefinitionRow>& rows, std::int64_t& generation);

    /// Records one name from getData.asp; true when it had not been seen before
    /// (compared without regard to case), nullopt on a database error.
    std::optional<bool> recordName(const std::string& name, std::int64_t now);
    /// Stores one getData.asp request (the decoded names joined by "|").
    bool recordData(const std::string& names, const std::string& remote, std::int64_t now);
    bool recordFalsePositive(const std::string& files, const std::string& details,
                             const std::string& remote, std::int64_t now);
    /// Submissions, oldest first; nullopt on a database error.
    std::optional<std::vector<SubmissionRow>> submissions();
    /// Submissions of both kinds stored from `remote` at or after `since`; nullopt on a
    /// database error.
    std::optional<std::int64_t> submissionsFrom(const std::string& remote, std::int64_t since);
    /// Submissions of both kinds stored in all; nullopt on a database error.
    std::optional<std::int64_t> submissionCount();

    bool setLanguage(std::int64_t package, const std::string& bytes, std::int64_t now);
    /// The language file of `package`; an empty optional when there is none.
    std::optional<std::string> language(std::int64_t package);

    std::string lastError() const { return db_->lastError(); }

  private:
    explicit DefinitionStore(std::unique_ptr<SqliteDatabase> db) : db_(std::move(db)) {}
    bool createSchema();
    std::optional<std::int64_t> meta(const char* key);
    bool setMeta(const char* key, std::int64_t value);
    /// Inside a write transaction: a change time later than every handed-out date.
    std::optional<std::int64_t> changeStamp(std::int64_t now);
    bool bumpGeneration();
    /// Withdraws the current entries matching `condition`, whose parameters (from 2 on)
    /// `bindCondition` binds; the number withdrawn, or an empty optional on a failure.
    std::optional<int> withdrawWhere(std::int64_t now, std::string_view condition,
                                     const std::function<void(SqliteStatement&)>& bindCondition);

    std::unique_ptr<SqliteDatabase> db_;
    /// Asked on every request, so prepared once (declared after db_: finalized before it).
    std::unique_ptr<SqliteStatement> generationQuery_;
};

}  // namespace nightjar::server
