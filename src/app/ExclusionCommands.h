#pragma once

namespace nightjar::app {

class MainState;

/// The "Exclude" button of the results page and the quarantine menu ("View Quarantine",
/// "View Exclusions").
class ExclusionCommands {
  public:
    explicit ExclusionCommands(MainState& state);

    /// Excludes every checked result (its location and its text without "Cookie: ")
    /// after a Yes to the confirmation, then removes the checked rows from every list.
    void cmdExclude_Click();
    /// Menu item 0 opens the quarantine folder, item 1 the exclusion file.
    void mnuQuarItem_Click(int index);
    /// Opens the quarantine folder (created when missing) in the file browser.
    void ViewQuarantine();
    /// Opens the exclusion file in the text editor, or says that there is none yet.
    void ViewExclusions();

  private:
    MainState& state_;
};

}  // namespace nightjar::app
