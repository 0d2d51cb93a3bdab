// What a 32-bit installer leaves on 64-bit Windows, found and removed through the real
// Win32 layer: its key and Run value in the 32-bit registry view (under Wow6432Node) and
// its program in SysWOW64.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/RemovalRun.h"
#include "app/ScanRun.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "mock/ScriptedUserInterface.h"
#include "platform/Platform.h"

namespace nightjar::platform::win32 {
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

/// The key as a 32-bit program opens it (`reg add ... /reg:32`); null when it fails.
HKEY open32(const std::wstring& path, bool create) {
    HKEY key = nullptr;
    const REGSAM rights = KEY_READ | KEY_WRITE | KEY_WOW64_32KEY;
    const LONG rc = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             rights, nullptr, &key, nullptr)
                           : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, rights, &key);
    return rc == ERROR_SUCCESS ? key : nullptr;
}

bool runValue32Exists(const std::wstring& name) {
    HKEY run = open32(kRunKey, false);
    if (run == nullptr) {
        return false;
    }
    const bool found =
        RegQueryValueExW(run, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(run);
    return found;
}

TEST(RegistryViewsOverWin32Test, ThirtyTwoBitViewEntriesAndSysWow64FilesAreFoundAndRemoved) {
    std::string error;
    std::unique_ptr<Platform> p = createPlatform(PlatformOptions{}, error);
    ASSERT_TRUE(p) << error;
    const std::optional<std::string> wow64 = p->shellFolders->systemWow64Directory();
    if (!wow64) {
        GTEST_SKIP() << "a 32-bit system: no second registry view, no SysWOW64";
    }
    FileSystem& fs = *p->fileSystem;
    Registry& reg = *p->registry;
    const std::string unique =
        "NjWow" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    const std::string keyPath = "Software\\" + unique;
    const std::string program = *wow64 + "\\" + unique + ".exe";

    HKEY key = open32(wide(keyPath), true);
    ASSERT_NE(key, nullptr);
    RegCloseKey(key);
    HKEY run = open32(kRunKey, true);
    ASSERT_NE(run, nullptr);
    const std::wstring command = wide(program);
    ASSERT_EQ(RegSetValueExW(run, wide(unique).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(run);
    ASSERT_TRUE(fs.writeAll(program, "not a Microsoft program"));
    // The 64-bit view holds neither: the engine must look in the 32-bit one.
    ASSERT_FALSE(reg.keyExists(Hive::LocalMachine, keyPath, KeyAccess::Read));
    ASSERT_TRUE(
        reg.keyExists(Hive::LocalMachine, "Software\\Wow6432Node\\" + unique, KeyAccess::Read));

    definitions::PlaceholderExpander expander(*p->shellFolders);
    const std::string data = definitions::DataFolder(expander);
    fs.createFolder(data);
    const auto writeDefinition = [&](std::string_view name, std::vector<std::string> lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += definitions::ScrambleLine(line) + "\r\n";
        }
        ASSERT_TRUE(fs.writeAll(definitions::DataFile(data, name), text));
    };
    // Definitions name the entries as a 64-bit program sees them.
    writeDefinition(
        definitions::kRegistryDefinition,
        {"2^" + keyPath + "^=WowKey|Spyware",
         "2^Software\\Microsoft\\Windows\\CurrentVersion\\Run^" + unique + "=WowRun|Adware"});
    writeDefinition(definitions::kFileDefinition, {unique + ".exe=WowFile|[system]|Adware"});
    writeDefinition(definitions::kDirectoryDefinition, {"njnothing=Nothing|C:\\njnothing|x"});
    writeDefinition(definitions::kExeDefinition, {"njnothing.exe=Nothing|[windir]"});
    writeDefinition(definitions::kBlockedCookies, {"njnothing.example"});
    fs.writeAll(definitions::DataFile(data, definitions::kDateFile), "12/1/2026 12:00:00 AM\r\n");

    mock::ScriptedUserInterface ui;
    app::MainState state(*p, ui, app::MainStateOptions{});
    state.PrepareForRuns();
    state.setAutoRemoveAfterScan(true);
    state.scanRun().cmdScanNow_Click();
    const app::RemovalSummary& summary = state.removal().lastSummary();
    EXPECT_EQ(summary.outcome, app::RemovalOutcome::Removed);
    // Each found once, named where it lay.
    auto removed = summary.removed;
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected = {
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\" + unique,
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\" +
            unique,
        program,
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);

    HKEY gone = open32(wide(keyPath), false);
    EXPECT_EQ(gone, nullptr);
    if (gone != nullptr) {
        RegCloseKey(gone);
    }
    EXPECT_FALSE(runValue32Exists(wide(unique)));
    EXPECT_FALSE(fs.exists(program));
}

}  // namespace
}  // namespace nightjar::platform::win32
