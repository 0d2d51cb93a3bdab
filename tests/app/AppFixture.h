#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "app/MainState.h"
#include "app/ResultActions.h"
#include "app/ScanRun.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/SignatureStore.h"
#include "mock/FakePlatform.h"
#include "mock/ScriptedUserInterface.h"
#include "platform/Registry.h"
#include "removal/ExclusionList.h"
#include "settings/SettingsStore.h"

namespace nightjar::apptest {

inline constexpr std::string_view kDataFolder =
    "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA";
inline constexpr std::string_view kCookies =
    "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCookies";

/// A main window state over the in-memory fakes, with helpers to plant definitions and
/// threats.
class AppFixture : public ::testing::Test {
  protected:
    AppFixture() {
        using namespace std::chrono;
        fake.clock.set(sys_days{year{2026} / 12 / 8} + hours{14} + minutes{5} + seconds{7});
        state = std::make_unique<app::MainState>(fake.platform, ui, app::MainStateOptions{});
    }

    static std::string dataFile(std::string_view name) {
        return std::string(kDataFolder) + "\\" + std::string(name);
    }

    /// Writes a definition file: every line scrambled, CR LF after each.
    void writeDefinition(std::string_view name, std::initializer_list<std::string_view> lines) {
        std::string data;
        for (std::string_view line : lines) {
            data += definitions::ScrambleLine(line);
            data += "\r\n";
        }
        fake.fs.addFile(dataFile(name), data);
    }

    /// A complete definition set naming one threat of every kind, and the date file.
    void writeStandardDefinitions() {
        writeDefinition(definitions::kFileDefinition, {"evil.exe=EvilWare|[progfil]EvilCo|Adware",
                                                       "tmpbad.exe=TempBad|C:\\Temp|Trojan"});
        writeDefinition(definitions::kDirectoryDefinition,
                        {"evilkey=EvilDir|[progfil]EvilDir|Trojan"});
        writeDefinition(definitions::kRegistryDefinition,
                        {"1^Software\\EvilCo^=EvilReg|Spyware",
                         "2^Software\\Microsoft\\Windows\\CurrentVersion\\Run^EvilRun=EvilRunner|"
                         "Adware"});
        writeDefinition(definitions::kExeDefinition, {"bad.exe=Bad|[windir]"});
        writeDefinition(definitions::kBlockedCookies, {"adserver.example"});
        fake.fs.addFile(dataFile(definitions::kDateFile), "12/1/2026 12:00:00 AM\r\n");
    }

    /// Puts one threat of every kind on the machine.
    void plantThreats() {
        fake.fs.addFile("C:\\Program Files\\EvilCo\\evil.exe", "MZ");
        fake.fs.addFile("C:\\Temp\\tmpbad.exe", "MZ");
        fake.fs.addFolder("C:\\Program Files\\EvilDir");
        fake.fs.addFile(std::string(kCookies) + "\\tester@adserver[1].txt",
                        "uid\r\n123\r\nadserver.example/\r\n");
        fake.fs.addFile(std::string(kCookies) + "\\tester@harmless[1].txt",
                        "uid\r\n1\r\nharmless.example/\r\n");
        fake.registry.createKey(platform::Hive::CurrentUser, "Software\\EvilCo");
        fake.registry.setValue(platform::Hive::LocalMachine,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "EvilRun",
                               platform::RegValue::string("C:\\evil\\run.exe"));
        fake.processes.add(4242, "C:\\Temp\\bad.exe");
        fake.processes.add(100, "C:\\windows\\explorer.exe");
    }

    void setOption(std::string_view key, std::string_view value) {
        state->settings().Write("OptionAndSettings", key, value);
    }
    std::string setting(std::string_view section, std::string_view key) {
        return state->settings().Read(section, key, "<none>");
    }

    /// Index of the first result whose title is `title`, or -1.
    int resultIndex(std::string_view title) {
        const auto& rows = state->ResultList().rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].title == title) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    bool feedHas(std::string_view text, std::string_view details = {}) {
        for (const auto& row : state->lvwSpywareFound()) {
            if (row.text == text && (details.empty() || row.details == details)) {
                return true;
            }
        }
        return false;
    }

    /// Adds a result row with the given kind directly (no scan).
    void addResult(std::string title, int icon, std::string location, std::string type = {}) {
        scan::FoundItem item;
        item.title = std::move(title);
        item.icon = icon;
        item.location = std::move(location);
        item.type = std::move(type);
        state->addFoundItem(std::move(item));
    }

    mock::FakePlatform fake;
    mock::ScriptedUserInterface ui;
    std::unique_ptr<app::MainState> state;
};

}  // namespace nightjar::apptest
