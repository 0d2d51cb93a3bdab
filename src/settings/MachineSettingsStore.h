#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "settings/SettingsStore.h"

namespace nightjar::settings {

/// Why a machine-wide read or write did not complete.
enum class MachineError {
    None,
    EmptyAppName,    ///< "AppName may not be empty"
    EmptySection,    ///< "Section may not be empty"
    EmptyKey,        ///< "Key may not be empty"
    CouldNotOpen,    ///< "Could not open registry section"
    NotAString,      ///< "Registry data not a string"
    WriteAbandoned,  ///< the write failed and was given up (Abort, Ignore, or no prompt)
};

/// The description of an error ("" for None).
std::string_view MachineErrorText(MachineError error);

/// Result of MachineRead: the value (the default when the key or value is missing) or an
/// error that ended the read (value then empty).
struct MachineReadResult {
    std::string value;
    MachineError error = MachineError::None;
    bool ok() const { return error == MachineError::None; }
};

/// The answer to the "Permission Denied" message.
enum class PermissionAnswer { Abort, Retry, Ignore };

/// Shows the "Permission Denied" message (Abort / Retry / Ignore) and returns the answer.
using PermissionPrompt =
    std::function<PermissionAnswer(std::string_view text, std::string_view title)>;

/// Machine-wide string settings under
/// HKEY_LOCAL_MACHINE\SOFTWARE\<company>\<application>\<section>, one REG_SZ value per key.
class MachineSettingsStore {
  public:
    static constexpr std::string_view kPermissionTitle = "Permission Denied";

    /// `userStore` holds "IgnorePermissionDeniedError"; company and application name come
    /// from the program's version information.
    MachineSettingsStore(platform::Registry& registry, SettingsStore& userStore,
                         std::string companyName, std::string appName);

    /// The value of `key`, `defaultValue` when the section or the value is missing.
    MachineReadResult MachineRead(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const;
    /// Creates the section when missing and sets the value. On failure the prompt is asked
    /// (unless the user chose Ignore before): Retry repeats the failed step, Abort gives
    /// up, Ignore gives up and silences the message from then on. Without a prompt a
    /// failure gives up at once.
    MachineError MachineWrite(std::string_view section, std::string_view key,
                              std::string_view value, const PermissionPrompt& prompt = {});

    /// "SOFTWARE\<company>\<application>\<section>", each part trimmed.
    std::string sectionPath(std::string_view section) const;
    /// The text of the "Permission Denied" message for `productName`.
    static std::string PermissionDeniedText(std::string_view productName);

  private:
    MachineError checkNames(std::string_view section, std::string_view key) const;
    /// Asks what to do after a failed step; true to retry.
    bool retryAfterFailure(const PermissionPrompt& prompt);

    platform::Registry& registry_;
    SettingsStore& userStore_;
    std::string companyName_;
    std::string appName_;
};

}  // namespace nightjar::settings
