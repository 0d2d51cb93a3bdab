#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/ControlNames.h"
#include "app/Timer.h"
#include "app/UserInterface.h"
#include "update/DefinitionUpdater.h"

namespace nightjar::platform {
class FileLocks;
class FileSystem;
class Http;
class SignatureVerifier;
}  // namespace nightjar::platform
namespace nightjar::definitions {
class SignatureStore;
}
namespace nightjar::settings {
class SettingsStore;
}
namespace nightjar::localization {
class MessageCatalog;
}
namespace nightjar::update {
class ServerConfig;
}

namespace nightjar::app {

/// Live Update as the main window runs it: "Update Now" and its siblings (`RunUpdate`) and
/// the automatic update some minutes after start-up (`timUpdate`).
class UpdateController {
  public:
    /// Stops (false) or re-arms from the stored options (true) the background timers.
    using ApplyBackgroundTimers = std::function<void(bool)>;
    /// True when the program is idle (no scan, removal or alert).
    using IsScanIdle = std::function<bool()>;

    static constexpr int kAutoUpdateIdleTicks = 300;

    /// `verifier` checks the server's answers when a definition public key is configured
    /// (ServerConfig::definitionPublicKey).
    UpdateController(platform::FileSystem& fs, platform::Http& http,
                     const platform::SignatureVerifier& verifier, platform::FileLocks& locks,
                     definitions::SignatureStore& signatures, settings::SettingsStore& settings,
                     localization::MessageCatalog& catalog, UserInterface& ui,
                     const update::ServerConfig& servers,
                     ApplyBackgroundTimers applyBackgroundTimers, IsScanIdle isScanIdle);

    /// The handler of "Update Now", "Run Live Update Now", the File menu's "Run Live
    /// Update", the automatic update and the first-run prompt. A call while an update runs
    /// does nothing; while another program updates the same data folder, the outcome is
    /// Busy and no result window is shown.
    void RunUpdate();
    /// Result of the last RunUpdate (count, outcome, date).
    const update::UpdateResult& lastResult() const { return lastResult_; }
    bool updating() const { return running_; }
    /// Definition total after the last update that applied something (0 before).
    long signatureCount() const { return signatureCount_; }

    /// The automatic-update timer (1000 ms, disabled at load).
    Timer& timUpdate() { return timUpdate_; }
    /// Start-up: enables `timUpdate` when "chkAutomaticUpdate" reads as the number 1.
    void ArmAutomaticUpdate();
    /// One tick of `timUpdate`.
    void timUpdate_Timer();
    std::int32_t autoUpdateCounter() const { return autoUpdateCounter_; }

    /// Shift + mouse press on "Update Now": the OK box listing the server's file layout.
    void ShowServerLayoutListing();

  private:
    platform::FileSystem& fs_;
    platform::Http& http_;
    const platform::SignatureVerifier& verifier_;
    platform::FileLocks& locks_;
    definitions::SignatureStore& signatures_;
    settings::SettingsStore& settings_;
    localization::MessageCatalog& catalog_;
    UserInterface& ui_;
    const update::ServerConfig& servers_;
    ApplyBackgroundTimers applyBackgroundTimers_;
    IsScanIdle isScanIdle_;

    Timer timUpdate_{control::timUpdate, 1000};
    std::int32_t autoUpdateCounter_ = 0;
    bool running_ = false;
    long signatureCount_ = 0;
    update::UpdateResult lastResult_;
};

}  // namespace nightjar::app
