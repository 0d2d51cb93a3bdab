#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "ClientMachine.h"
#include "app/MainState.h"
#include "app/RemovalRun.h"
#include "app/ScanRun.h"
#include "mock/ScriptedUserInterface.h"
#include "mock/TempDir.h"
#include "removal/QuarantineStore.h"

namespace nightjar::e2e {
namespace {

using platform::Hive;
using platform::RegType;
using platform::RegValue;

constexpr std::string_view kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void writeHost(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

/// Every value of a key and of the keys below it, by "subkey\name".
std::map<std::string, RegValue> snapshot(platform::Registry& reg, Hive hive,
                                         const std::string& path) {
    std::map<std::string, RegValue> out;
    for (const std::string& name :
         reg.valueNames(hive, path).value_or(std::vector<std::string>{})) {
        out[path + "|" + name] = *reg.queryValue(hive, path, name, platform::KeyAccess::Read);
    }
    for (const std::string& sub : reg.subkeys(hive, path).value_or(std::vector<std::string>{})) {
        out[path + "\\" + sub] = RegValue{};
        for (auto& [k, v] : snapshot(reg, hive, path + "\\" + sub)) {
            out[k] = v;
        }
    }
    return out;
}

// Removing everything a scan found and restoring it all gives back every file, folder and
// registry value exactly as it was.
TEST(RemoveRestoreTest, RemoveThenRestoreLeavesTheMachineAsItWas) {
    mock::TempDir temp;
    ClientMachine machine(temp.file("machine"));
    ASSERT_TRUE(machine.ok()) << machine.error();
    platform::Platform& p = machine.platform();
    platform::FileSystem& fs = *p.fileSystem;
    platform::Registry& reg = *p.registry;

    const auto writeDefinition = [&](std::string_view name, std::vector<std::string> lines) {
        std::string data;
        for (const std::string& line : lines) {
            data += definitions::ScrambleLine(line) + "\r\n";
        }
        fs.writeAll(definitions::DataFile(machine.dataFolder(), name), data);
    };
    writeDefinition(definitions::kFileDefinition,
                    {"setup.exe=SetupA|C:\\A|Adware", "setup.exe=SetupB|C:\\B|Adware"});
    writeDefinition(definitions::kDirectoryDefinition, {"evildir=EvilDir|[progfil]EvilDir|Trojan"});
    writeDefinition(definitions::kRegistryDefinition,
                    {"1^Software\\EvilCo^=EvilReg|Spyware",
                     "1^" + std::string(kRun) + "^EvilRun=EvilRunner|Adware"});
    writeDefinition(definitions::kExeDefinition, {"nothing.exe=Nothing|[windir]"});
    writeDefinition(definitions::kBlockedCookies, {"adserver.example"});
    fs.writeAll(definitions::DataFile(machine.dataFolder(), definitions::kDateFile),
                "12/1/2026 12:00:00 AM\r\n");

    std::string binary;
    for (int i = 0; i < 300; ++i) {
        binary.push_back(static_cast<char>(i * 7));
    }
    const std::map<std::string, std::string> files = {
        {"C:\\A\\setup.exe", "MZ first " + binary},
        {"C:\\B\\setup.exe", "MZ second"},
        {"C:\\Program Files\\EvilDir\\core.dll", binary},
        {"C:\\Program Files\\EvilDir\\sub\\readme.txt", "nested\r\n"},
    };
    for (const auto& [path, bytes] : files) {
        writeHost(
            fs.hostPath(path.substr(0, path.rfind('\\'))) + "/" + path.substr(path.rfind('\\') + 1),
            bytes);
    }
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo", "", RegValue::string("default"));
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo", "Path",
                 RegValue::string("%ProgramFiles%\\x", RegType::ExpandSz));
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo", "Count", RegValue::dword(0xDEADBEEF));
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo", "Blob", {RegType::Binary, binary});
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo\\Sub", "List",
                 {RegType::MultiSz, std::string("one\0two \"q\"\0\0", 14)});
    reg.setValue(Hive::CurrentUser, "Software\\EvilCo\\Sub\\Deeper", "Quote\\d",
                 RegValue::string("C:\\a \"b\""));
    reg.setValue(Hive::CurrentUser, kRun, "EvilRun", RegValue::string("C:\\evil\\run.exe"));
    reg.setValue(Hive::CurrentUser, kRun, "Keep", RegValue::string("C:\\good.exe"));
    const auto keyBefore = snapshot(reg, Hive::CurrentUser, "Software\\EvilCo");
    const auto runBefore = snapshot(reg, Hive::CurrentUser, std::string(kRun));

    mock::ScriptedUserInterface ui;
    app::MainState state(p, ui, app::MainStateOptions{});
    state.PrepareForRuns();
    state.setAutoRemoveAfterScan(true);
    state.scanRun().cmdScanNow_Click();
    ASSERT_EQ(state.removal().lastSummary().outcome, app::RemovalOutcome::Removed);

    for (const auto& [path, bytes] : files) {
        EXPECT_FALSE(fs.exists(path)) << path;
    }
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, "Software\\EvilCo", platform::KeyAccess::Read));
    EXPECT_FALSE(reg.queryValue(Hive::CurrentUser, kRun, "EvilRun", platform::KeyAccess::Read));

    removal::QuarantineStore& quarantine = state.quarantine();
    const auto items = quarantine.items();
    EXPECT_EQ(items.size(), 5u);  // two files, one folder, one key, one value
    for (const removal::QuarantineItem& item : items) {
        EXPECT_EQ(quarantine.restore(item.name, false), removal::RestoreResult::Restored)
            << item.name;
    }
    EXPECT_TRUE(quarantine.items().empty());

    for (const auto& [path, bytes] : files) {
        std::string now;
        EXPECT_TRUE(fs.readAll(path, now)) << path;
        EXPECT_EQ(now, bytes) << path;
    }
    const auto keyAfter = snapshot(reg, Hive::CurrentUser, "Software\\EvilCo");
    ASSERT_EQ(keyAfter.size(), keyBefore.size());
    for (const auto& [name, value] : keyBefore) {
        ASSERT_TRUE(keyAfter.count(name)) << name;
        EXPECT_EQ(keyAfter.at(name).type, value.type) << name;
        EXPECT_EQ(keyAfter.at(name).data, value.data) << name;
    }
    const auto runAfter = snapshot(reg, Hive::CurrentUser, std::string(kRun));
    ASSERT_EQ(runAfter.size(), runBefore.size());
    for (const auto& [name, value] : runBefore) {
        EXPECT_EQ(runAfter.at(name).data, value.data) << name;
    }
}

}  // namespace
}  // namespace nightjar::e2e
