#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "localization/ProductIdentity.h"
#include "platform/FileLocks.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/SignatureVerifier.h"
#include "update/DateText.h"
#include "update/SignedAnswerCheck.h"
#include "update/UpdateObserver.h"

namespace nightjar::update {

class ServerConfig;

/// How a check for new definitions ended.
enum class UpdateOutcome {
    Updated,  ///< something was applied (count > 0) and the new date stored
    Current,  ///< the server has nothing newer, or the update held nothing applicable
    Failed,   ///< a request failed or the update could not be stored; every file as it was
    Busy,     ///< another update of the same data folder runs; nothing was asked or written
};

/// "updated", "current", "failed" or "busy".
std::string_view OutcomeName(UpdateOutcome outcome);

struct UpdateResult {
    long count = 0;
    /// Malformed records left out of the applied update.
    long skipped = 0;
    UpdateOutcome outcome = UpdateOutcome::Current;
    /// The definitions date text after the check (the stored one, new or unchanged).
    std::string date;
    /// Failed because an answer of the server did not carry a valid signature.
    bool unverified = false;
};

/// The client side of the definition server conversation: asks for the server's date,
/// fetches and applies the incremental update when it is newer, stores the new date.
/// The definition files and the date change together or not at all, and only one update
/// of a data folder runs at a time (a lock file in it, held across processes).
class DefinitionUpdater {
  public:
    static constexpr std::string_view kConnecting =
        "Connecting to the definition server, please wait.";
    /// The lock file in the data folder.
    static constexpr std::string_view kLockFile = "update.lock";
    /// How long a second update waits for the first before it reports Busy.
    static constexpr std::chrono::milliseconds kLockWait{2000};
    /// The most a date answer may hold: a date is tens of bytes.
    static constexpr std::size_t kDateAnswerBytes = 4096;
    /// Status text, and the result text of an update that failed for that reason.
    static constexpr std::string_view kUnverifiedAnswer =
        "The definition server's answer could not be verified. The definitions were not "
        "changed.";

    DefinitionUpdater(platform::FileSystem& fs, platform::Http& http, platform::FileLocks& locks,
                      std::string dataFolder, localization::ProductIdentity identity,
                      const ServerConfig& servers, UpdateObserver& observer);

    /// From now on every answer the update relies on (the two dates and the update text)
    /// must be signed under `publicKeyBase64`; one that is not fails the whole check.
    void requireSignedAnswers(const platform::SignatureVerifier& verifier,
                              std::string_view publicKeyBase64);

    /// Runs one check. A failed request is never reported as Current: the outcome is
    /// Failed and nothing is written.
    UpdateResult CheckAndApplyUpdates();

    /// "/asp/currentDateNEW.asp?prog=P&comp=C".
    std::string ServerDateRequest() const;
    /// "/asp/getDefsNEW.asp?prog=P&comp=C&date=D" (blanks of D sent as "%20").
    std::string UpdateTextRequest(std::string_view localDateText) const;
    static constexpr std::string_view kConfirmedDateRequest = "/asp/date.asp";

    /// Every blank replaced by "%20", nothing else escaped.
    static std::string EscapeBlanks(std::string_view text);

  private:
    UpdateResult checkLocked();
    UpdateResult unverified(UpdateResult result);

    platform::FileSystem& fs_;
    platform::Http& http_;
    platform::FileLocks& locks_;
    std::string dataFolder_;
    localization::ProductIdentity identity_;
    const ServerConfig& servers_;
    UpdateObserver& observer_;
    std::optional<SignedAnswerCheck> signedAnswers_;
};

}  // namespace nightjar::update
