#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "AnswerSigner.h"
#include "DateHandoff.h"
#include "DefinitionSnapshot.h"
#include "DefinitionStore.h"

namespace nightjar::server {

/// An answer to one request.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    /// Shared cached text, used instead of `body` when set.
    std::shared_ptr<const std::string> shared;
    /// The value of the signature header; empty for an answer sent without one.
    std::string signature;

    std::size_t size() const { return shared ? shared->size() : body.size(); }
    const std::string& content() const { return shared ? *shared : body; }
};

/// Bounds of what clients may store through the submissions: no request can grow the store
/// past them.
struct SubmissionLimits {
    /// The decoded query values of one submission, in bytes.
    std::size_t maxBytes = 16 * 1024;
    /// Submissions stored from one address within `window`.
    std::int64_t perAddress = 60;
    std::chrono::seconds window{3600};
    /// Submissions stored in all; beyond it every submission is refused until an
    /// administrator makes room.
    std::int64_t maxStored = 100'000;
};

/// Answers the requests of the client and of the server-layout listing, independent of
/// the HTTP library. Safe to call from many threads at once.
///
/// Paths are matched without regard to case. Dates are answered in the form
/// "M/D/YYYY h:mm:ss AM" (UTC, no zone word).
///
/// With a signer, every answer the program takes in (the dates, the update text, the
/// language and definition files, refusals of those requests included) is signed over its
/// request target and body; the submission answers, unknown paths and other methods are not.
///
/// A submission beyond its `SubmissionLimits` is refused (413, 429 or 503) and stores
/// nothing; refusal bodies never hold the words a client takes as acceptance.
class RequestHandler {
  public:
    explicit RequestHandler(DefinitionStore& store,
                            std::chrono::seconds handoffWindow = std::chrono::seconds(600),
                            const AnswerSigner* signer = nullptr, SubmissionLimits limits = {});

    /// `target` is the raw request target (path and query); `remote` the client address.
    Reply handle(std::string_view method, std::string_view target, const std::string& remote);

    /// The definitions as they are in the database now (reloaded when they changed).
    std::shared_ptr<const DefinitionSnapshot> snapshot();

  private:
    /// The answer, and in `signable` whether it is one the program relies on.
    Reply answer(std::string_view method, std::string_view target, const std::string& remote,
                 bool& signable);
    Reply currentDate();
    Reply updateText(std::string_view target, const std::string& remote);
    Reply confirmedDate(const std::string& remote);
    Reply getData(std::string_view target, const std::string& remote);
    Reply submitFalsePositive(std::string_view target, const std::string& remote);
    Reply language(std::string_view path);
    Reply layoutFile(std::string_view path);

    /// Inside the store lock: nullopt when `remote` may store one more submission now, else
    /// the refusal.
    std::optional<Reply> refuseSubmission(const std::string& remote, std::int64_t now);

    /// A snapshot whose current date is recorded as handed out; null on a database error.
    std::shared_ptr<const DefinitionSnapshot> servedSnapshot();
    static Reply serverError();

    DefinitionStore& store_;
    const AnswerSigner* signer_;
    SubmissionLimits limits_;
    std::mutex storeMutex_;  // one connection, used by one thread at a time
    std::mutex snapshotMutex_;
    std::shared_ptr<const DefinitionSnapshot> snapshot_;
    DateHandoff handoff_;
    /// A date the store is known to have recorded as handed out.
    std::atomic<std::int64_t> knownServed_{std::numeric_limits<std::int64_t>::min()};
};

}  // namespace nightjar::server
