// Removal and restore over the real Win32 layer: files come back byte-identical, and the
// registry backups import both through the program and through the registry editor.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "TempFolder.h"
#include "app/MainState.h"
#include "app/RemovalRun.h"
#include "app/ScanRun.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "mock/ScriptedUserInterface.h"
#include "platform/Platform.h"
#include "removal/QuarantineStore.h"

namespace nightjar::platform::win32 {
namespace {

/// Runs a command line and waits for it; its exit code, or -1 when it could not start.
int runAndWait(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        return -1;
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::map<std::string, RegValue> valuesOf(Registry& reg, const std::string& path) {
    std::map<std::string, RegValue> out;
    for (const std::string& name :
         reg.valueNames(Hive::CurrentUser, path).value_or(std::vector<std::string>{})) {
        out[name] = *reg.queryValue(Hive::CurrentUser, path, name, KeyAccess::Read);
    }
    return out;
}

TEST(RemoveRestoreOverWin32Test, RemovedItemsComeBackThroughTheProgramAndTheRegistryEditor) {
    std::string error;
    std::unique_ptr<Platform> p = createPlatform(PlatformOptions{}, error);
    ASSERT_TRUE(p) << error;
    FileSystem& fs = *p->fileSystem;
    Registry& reg = *p->registry;
    test::TempFolder temp;
    const std::string unique =
        std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    const std::string key = "Software\\NjRemoveTest" + unique;
    const std::string keep = "Software\\NjRemoveKeep" + unique;

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
    writeDefinition(definitions::kFileDefinition, {"setup.exe=SetupA|" + (temp / "A") + "|Adware",
                                                   "setup.exe=SetupB|" + (temp / "B") + "|Adware"});
    writeDefinition(definitions::kDirectoryDefinition,
                    {"evildir=EvilDir|" + (temp / "EvilDir") + "|Trojan"});
    writeDefinition(definitions::kRegistryDefinition,
                    {"1^" + key + "^=EvilReg|Spyware", "1^" + keep + "^Evil=EvilValue|Adware"});
    writeDefinition(definitions::kExeDefinition, {"njnothing.exe=Nothing|[windir]"});
    writeDefinition(definitions::kBlockedCookies, {"njnothing.example"});
    fs.writeAll(definitions::DataFile(data, definitions::kDateFile), "12/1/2026 12:00:00 AM\r\n");

    std::string binary;
    for (int i = 0; i < 256; ++i) {
        binary.push_back(static_cast<char>(i));
    }
    const std::map<std::string, std::string> files = {
        {temp / "A\\setup.exe", "first " + binary},
        {temp / "B\\setup.exe", "second"},
        {temp / "EvilDir\\sub\\core.dll", binary},
    };
    for (const auto& [path, bytes] : files) {
        fs.createFolder(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(fs.writeAll(path, bytes));
    }
    reg.setValue(Hive::CurrentUser, key, "", RegValue::string("default"));
    reg.setValue(Hive::CurrentUser, key, "Path", RegValue::string("%TEMP%\\x", RegType::ExpandSz));
    reg.setValue(Hive::CurrentUser, key, "Count", RegValue::dword(0xDEADBEEF));
    reg.setValue(Hive::CurrentUser, key, "Blob", {RegType::Binary, binary});
    reg.setValue(Hive::CurrentUser, key + "\\Sub", "List",
                 {RegType::MultiSz, std::string("one\0two \"q\"\0\0", 14)});
    reg.setValue(Hive::CurrentUser, key + "\\Sub", "Quote\\d", RegValue::string("C:\\a \"b\""));
    reg.setValue(Hive::CurrentUser, keep, "Evil", RegValue::string("C:\\evil.exe"));
    reg.setValue(Hive::CurrentUser, keep, "Good", RegValue::string("C:\\good.exe"));
    const auto keyBefore = valuesOf(reg, key);
    const auto subBefore = valuesOf(reg, key + "\\Sub");

    mock::ScriptedUserInterface ui;
    app::MainState state(*p, ui, app::MainStateOptions{});
    state.PrepareForRuns();
    state.setAutoRemoveAfterScan(true);
    state.scanRun().cmdScanNow_Click();
    ASSERT_EQ(state.removal().lastSummary().outcome, app::RemovalOutcome::Removed);
    for (const auto& [path, bytes] : files) {
        EXPECT_FALSE(fs.exists(path)) << path;
    }
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, key, KeyAccess::Read));
    EXPECT_FALSE(reg.queryValue(Hive::CurrentUser, keep, "Evil", KeyAccess::Read));

    removal::QuarantineStore& quarantine = state.quarantine();
    for (const removal::QuarantineItem& item : quarantine.items()) {
        if (item.kind == removal::QuarantineKind::RegistryKey) {
            // The registry editor imports the key's backup as it is.
            EXPECT_EQ(
                runAndWait("regedit.exe /s \"" + quarantine.folder() + "\\" + item.name + "\""), 0);
        } else {
            EXPECT_EQ(quarantine.restore(item.name, false), removal::RestoreResult::Restored)
                << item.name;
        }
    }
    for (const auto& [path, bytes] : files) {
        std::string now;
        EXPECT_TRUE(fs.readAll(path, now)) << path;
        EXPECT_EQ(now, bytes) << path;
    }
    const auto keyAfter = valuesOf(reg, key);
    const auto subAfter = valuesOf(reg, key + "\\Sub");
    for (const auto* pair : {&keyBefore, &subBefore}) {
        const auto& after = pair == &keyBefore ? keyAfter : subAfter;
        ASSERT_EQ(after.size(), pair->size());
        for (const auto& [name, value] : *pair) {
            ASSERT_TRUE(after.count(name)) << name;
            EXPECT_EQ(static_cast<int>(after.at(name).type), static_cast<int>(value.type)) << name;
            EXPECT_EQ(after.at(name).data, value.data) << name;
        }
    }
    EXPECT_EQ(reg.queryValue(Hive::CurrentUser, keep, "Evil", KeyAccess::Read)->text(),
              "C:\\evil.exe");
    reg.deleteTree(Hive::CurrentUser, key);
    reg.deleteTree(Hive::CurrentUser, keep);
}

}  // namespace
}  // namespace nightjar::platform::win32
