#pragma once
#include <string>
#include <string_view>

#include "settings/SettingsStore.h"

namespace nightjar::settings {

/// Name and executable of a program as recorded in the companion record.
struct CompanionInfo {
    std::string name;
    std::string file;
};

/// The record this program and its companion anti-hijack program keep of each other, in
/// the per-user store under the company name as section: this program writes under
/// "DiDudaRodirur2" and looks for the companion under "ZeRidoRevira2".
class CompanionRecord {
  public:
    CompanionRecord(SettingsStore& store, std::string companyName);

    /// Records this program: "Name" = product name, "File" = full path of its executable.
    void WriteOwn(std::string_view productName, std::string_view executablePath);
    /// The companion's record; both texts empty when it never registered.
    CompanionInfo ReadCompanion() const;
    /// This program's own record as written by WriteOwn.
    CompanionInfo ReadOwn() const;

  private:
    SettingsStore& store_;
    std::string companyName_;
};

}  // namespace nightjar::settings
