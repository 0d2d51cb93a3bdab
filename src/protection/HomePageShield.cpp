#include "protection/HomePageShield.h"

#include "platform/Registry.h"
#include "scan/RegistryAccess.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace nightjar::protection {

namespace keys = settings::keys;

HomePageShield::HomePageShield(scan::RegistryAccess& registry, settings::SettingsStore& settings,
                               std::string productName)
    : registry_(registry), settings_(settings), productName_(std::move(productName)) {}

bool HomePageShield::CountTick() {
    ++ticks_;
    if (ticks_ < kTicksPerCheck) {
        return false;
    }
    ticks_ = 0;
    return true;
}

bool HomePageShield::ShieldOn() const {
    return settings_.ReadBool(keys::kOptionAndSettings, keys::kHomePageShieldOn, true);
}

std::string HomePageShield::CurrentStartPage() {
    std::string page;
    if (!registry_.ReadUserKeyValue(kMainKey, kStartPageValue, page)) {
        return std::string(kBlankPage);
    }
    return page;
}

std::string HomePageShield::RememberedStartPage() const {
    return settings_.Read(keys::kOptionAndSettings, keys::kHomepage, "");
}

void HomePageShield::Restore() {
    const std::string remembered = RememberedStartPage();
    settings_.Write(keys::kOptionAndSettings, keys::kHomepage, remembered);
    // Always a string value, whatever the address looks like.
    registry_.registry().setValue(platform::Hive::CurrentUser, kMainKey, kStartPageValue,
                                  platform::RegValue::string(remembered));
}

void HomePageShield::Accept() {
    settings_.Write(keys::kOptionAndSettings, keys::kHomepage, CurrentStartPage());
}

std::string HomePageShield::AlertText(std::string_view remembered, std::string_view current) const {
    std::string text = productName_;
    text += " has detected that your Homepage has been changed.\r\n\r\n";
    text += "Click YES to keep your homepage as:\r\n";
    text += remembered;
    text += "\r\n\r\nClick No to change your homepage to:\r\n";
    text += current;
    return text;
}

HomePageCheck HomePageShield::Check(const Ask& ask) {
    if (!ShieldOn()) {
        return HomePageCheck::Off;
    }
    const std::string current = CurrentStartPage();
    std::string remembered = RememberedStartPage();
    if (remembered.empty()) {
        settings_.Write(keys::kOptionAndSettings, keys::kHomepage, current);
        return HomePageCheck::Remembered;
    }
    if (remembered == current) {
        return HomePageCheck::Unchanged;
    }
    if (settings_.ReadBool(keys::kOptionAndSettings, keys::kAlwaysNotifyBeforeRestoring, true)) {
        if (ask && ask(AlertText(remembered, current))) {
            Restore();
            return HomePageCheck::Restored;
        }
        Accept();
        return HomePageCheck::Accepted;
    }
    if (settings_.ReadBool(keys::kOptionAndSettings, keys::kRestoreDefaultWithoutNotification,
                           false)) {
        Restore();
        return HomePageCheck::Restored;
    }
    return HomePageCheck::LeftChanged;
}

}  // namespace nightjar::protection
