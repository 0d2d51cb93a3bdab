#pragma once
#include <string>
#include <string_view>

#include "localization/ProductIdentity.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "update/DateText.h"
#include "update/UpdateObserver.h"

namespace nightjar::update {

class ServerConfig;

/// How a check for new definitions ended.
enum class UpdateOutcome {
    Updated,  ///< something was applied (count > 0) and the new date stored
    Current,  ///< the server has nothing newer, or the update held nothing applicable
    Failed,   ///< a request failed or the update could not be written; nothing was stored
};

/// "updated", "current" or "failed".
std::string_view OutcomeName(UpdateOutcome outcome);

struct UpdateResult {
    long count = 0;
    UpdateOutcome outcome = UpdateOutcome::Current;
    /// The definitions date text after the check (the stored one, new or unchanged).
    std::string date;
};

/// The client side of the definition server conversation: asks for the server's date,
/// fetches and applies the incremental update when it is newer, stores the new date.
class DefinitionUpdater {
  public:
    static constexpr std::string_view kConnecting =
        "Connecting to the definition server, please wait.";

    DefinitionUpdater(platform::FileSystem& fs, platform::Http& http, std::string dataFolder,
                      localization::ProductIdentity identity, const ServerConfig& servers,
                      UpdateObserver& observer);

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
    platform::FileSystem& fs_;
    platform::Http& http_;
    std::string dataFolder_;
    localization::ProductIdentity identity_;
    const ServerConfig& servers_;
    UpdateObserver& observer_;
};

}  // namespace nightjar::update
