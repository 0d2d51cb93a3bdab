#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "settings/SettingsStore.h"

namespace nightjar::scan {

/// One row of the drive list (`lvwHardDrives`): the drive letter and its check box.
struct DriveRow {
    char letter = 'C';
    bool checked = true;
    /// The state before the user stores one: off for the host's own file system.
    bool checkedByDefault = true;
};

/// The drive list of the options page, with the check marks stored per drive letter in
/// the settings section "Drives" ("True"/"False"; missing reads as "True", except for a drive
/// that is the host's own file system).
class DriveList {
  public:
    static constexpr std::string_view kSection = "Drives";

    DriveList(platform::FileSystem& fs, settings::SettingsStore& settings);

    /// Lists removable, network and CD-ROM drives and the fixed drives that are ready, in
    /// the system's order, each checked as its stored setting says. `pump` is called after
    /// each drive.
    void FillDriveList(const std::function<void()>& pump = {});
    /// Sets every row's check box from its stored setting.
    void ApplyStoredChecks();
    /// The check box of one row changed: stores the state of every row.
    void lvwHardDrives_ItemCheck(std::size_t index, bool checked);
    /// Stores "True"/"False" for every row under its drive letter.
    void StoreDriveChecks();

    /// True when the volume information of the root ("C:\") can be read.
    bool ReadVolumeInfo(std::string_view root);

    const std::vector<DriveRow>& rows() const { return rows_; }
    /// Roots ("C:\") of the checked rows in list order: the drives a Full System Scan walks.
    std::vector<std::string> checkedDrives() const;
    /// Roots of every row in list order.
    std::vector<std::string> allDrives() const;

  private:
    platform::FileSystem& fs_;
    settings::SettingsStore& settings_;
    std::vector<DriveRow> rows_;
};

}  // namespace nightjar::scan
