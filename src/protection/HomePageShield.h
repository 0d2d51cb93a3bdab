#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace nightjar::scan {
class RegistryAccess;
}
namespace nightjar::settings {
class SettingsStore;
}

namespace nightjar::protection {

/// What one home-page check did.
enum class HomePageCheck {
    /// The shield is switched off: nothing was read.
    Off,
    /// Nothing was remembered yet: the current start page is remembered now.
    Remembered,
    /// The start page is the remembered one.
    Unchanged,
    /// The remembered start page was written back (asked "Yes", or silently).
    Restored,
    /// The new start page became the remembered one (asked "No").
    Accepted,
    /// Changed, but neither notify option is selected: nothing is done.
    LeftChanged,
};

/// The home-page shield: watches the current user's start page and puts the remembered one
/// back, asking first or silently as the options say.
class HomePageShield {
  public:
    static constexpr std::string_view kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
    static constexpr std::string_view kStartPageValue = "Start Page";
    /// The start page taken when the value cannot be read.
    static constexpr std::string_view kBlankPage = "about:blank";
    /// Work is done on every third timer tick.
    static constexpr int kTicksPerCheck = 3;

    /// Shows the alert with its information text and waits until it closes; true for
    /// "Yes" (keep the remembered page), false for "No" (adopt the new one).
    using Ask = std::function<bool(const std::string& info)>;

    HomePageShield(scan::RegistryAccess& registry, settings::SettingsStore& settings,
                   std::string productName);

    /// Counts one timer tick; true on every third, when the counter starts again at 0.
    bool CountTick();
    int tickCounter() const { return ticks_; }

    /// "optIEHomePageSheildOn" (default on).
    bool ShieldOn() const;
    /// Compares the current start page with the remembered one (exact text) and acts on a
    /// difference as the notify options say. Nothing is read while the shield is off.
    HomePageCheck Check(const Ask& ask);

    /// The current user's start page; "about:blank" when it cannot be read.
    std::string CurrentStartPage();
    /// The remembered start page ("" when none).
    std::string RememberedStartPage() const;
    /// "Yes": stores the remembered start page again and writes it into the registry value
    /// (a failed write is found again by the next check).
    void Restore();
    /// "No": the current start page becomes the remembered one.
    void Accept();
    /// `lblHomePageInfo` of the alert.
    std::string AlertText(std::string_view remembered, std::string_view current) const;

  private:
    scan::RegistryAccess& registry_;
    settings::SettingsStore& settings_;
    std::string productName_;
    int ticks_ = 0;
};

}  // namespace nightjar::protection
