#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "settings/SettingsStore.h"

namespace nightjar::settings {

/// The machine-wide Run entry that starts the program at log-on: a value named after the
/// executable's base name under HKEY_LOCAL_MACHINE\SOFTWARE\...\Run, whose data is the
/// program folder + "\" + the base name (no extension).
class RunEntry {
  public:
    static constexpr std::string_view kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

    /// `executablePath` is the full Windows path of the running executable.
    RunEntry(platform::Registry& registry, SettingsStore& store, std::string executablePath);

    /// The "Run at Startup" handler: stores the check box value under "chkRunAtStartup",
    /// reads it back (default 1) and writes the Run value when it is 1, else deletes it.
    /// Registry failures are ignored.
    void Apply(int checkBoxValue);

    /// The Run value's name: the executable's base name without extension.
    std::string valueName() const;
    /// The Run value's data: program folder + "\" + base name without extension.
    std::string valueData() const;
    /// The data of the Run value when it is present.
    std::optional<std::string> current() const;

  private:
    platform::Registry& registry_;
    SettingsStore& store_;
    std::string executablePath_;
};

}  // namespace nightjar::settings
