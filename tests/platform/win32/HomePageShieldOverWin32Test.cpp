#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Win32Registry.h"
#include "protection/HomePageShield.h"
#include "scan/RegistryAccess.h"
#include "settings/SettingsStore.h"

namespace nightjar::platform::win32 {
namespace {

using protection::HomePageCheck;
using protection::HomePageShield;

/// The home-page shield over the real registry; the start page is changed the way another
/// program would change it, with the Win32 API. The start page found at the start is put
/// back at the end, and the settings of the test's own program name are removed.
class HomePageShieldOverWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        original = raw();
        appName = "NightjarShieldTest" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override {
        HKEY k = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kMainKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &k, nullptr) == ERROR_SUCCESS) {
            if (original) {
                RegSetValueExA(k, "Start Page", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(original->c_str()),
                               static_cast<DWORD>(original->size() + 1));
            } else {
                RegDeleteValueA(k, "Start Page");
            }
            RegCloseKey(k);
        }
        reg.deleteTree(Hive::CurrentUser,
                       std::string(settings::SettingsStore::kRoot) + "\\" + appName);
    }

    /// Sets (or, with nullopt, deletes) the start page with the Win32 API.
    void change(const std::optional<std::string>& page) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kMainKey.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        if (page) {
            RegSetValueExA(k, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(page->c_str()),
                           static_cast<DWORD>(page->size() + 1));
        } else {
            RegDeleteValueA(k, "Start Page");
        }
        RegCloseKey(k);
    }
    /// The start page as the Win32 API reads it; nullopt when missing or not a string.
    std::optional<std::string> raw() {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        char buf[1024];
        DWORD size = sizeof buf;
        DWORD type = 0;
        const LONG rc =
            RegQueryValueExA(k, "Start Page", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(k);
        if (rc != ERROR_SUCCESS || type != REG_SZ || size == 0) {
            return std::nullopt;
        }
        return std::string(buf, size - 1);
    }

    const std::string kMainKey{HomePageShield::kMainKey};
    Win32Registry reg;
    scan::RegistryAccess access{reg};
    std::string appName;
    std::optional<std::string> original;
};

TEST_F(HomePageShieldOverWin32Test, RemembersRestoresAndAdoptsOnTheRealRegistry) {
    settings::SettingsStore settings(reg, appName);
    HomePageShield shield(access, settings, "Nightjar");
    std::vector<std::string> asked;
    const auto answer = [&](bool yes) {
        return [&asked, yes](const std::string& info) {
            asked.push_back(info);
            return yes;
        };
    };

    change("http://home.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Remembered);
    EXPECT_EQ(settings.Read("OptionAndSettings", "Homepage", ""), "http://home.example/");

    // Letter case alone is a change; silently restored as a string value.
    settings.Write("OptionAndSettings", "optAlwaysnotifybeforerestoring", "False");
    settings.Write("OptionAndSettings", "optRestoredefaultwithoutnotification", "True");
    change("HTTP://HOME.EXAMPLE/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Restored);
    EXPECT_EQ(raw(), "http://home.example/");
    EXPECT_TRUE(asked.empty());

    // Asked: "No" adopts the new page.
    settings.Write("OptionAndSettings", "optAlwaysnotifybeforerestoring", "True");
    change("http://new.example/");
    EXPECT_EQ(shield.Check(answer(false)), HomePageCheck::Accepted);
    EXPECT_EQ(raw(), "http://new.example/");
    EXPECT_EQ(shield.Check(answer(false)), HomePageCheck::Unchanged);

    // A missing value reads as "about:blank"; "Yes" writes the remembered page back.
    change(std::nullopt);
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Restored);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_NE(asked[1].find("homepage to:\r\nabout:blank"), std::string::npos);
    EXPECT_EQ(raw(), "http://new.example/");
}

}  // namespace
}  // namespace nightjar::platform::win32
