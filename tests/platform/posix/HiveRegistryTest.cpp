#include "platform/posix/HiveRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TempWindowsDisk.h"

namespace nightjar::platform::posix {
namespace {

using test::TempWindowsDisk;
namespace fs = std::filesystem;

constexpr const char* kSoftware = "Windows/System32/config/SOFTWARE";
constexpr const char* kSystem = "Windows/System32/config/SYSTEM";
constexpr const char* kUser = "Users/alice/NTUSER.DAT";
constexpr const char* kClasses = "Users/alice/AppData/Local/Microsoft/Windows/UsrClass.dat";
constexpr const char* kDefault = "Windows/System32/config/DEFAULT";
constexpr const char* kSid = "S-1-5-21-7-1001";

/// A disk with the four hives of one user, each holding keys a scan looks for.
class HiveRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        disk.hive(kSoftware,
                  "add Microsoft\ncd Microsoft\nadd Windows\ncd Windows\nadd CurrentVersion\n"
                  "cd CurrentVersion\nadd Run\ncd Run\nsetval 2\nSpyBar\nstring:C:\\spy.exe\n"
                  "Keep\nstring:C:\\good.exe\n"
                  "cd \\\nadd Classes\ncd Classes\nadd spy.ocx\nadd machine.only\ncd spy.ocx\n"
                  "setval 2\n@\nstring:machine\nOnlyHere\ndword:7");
        disk.hive(kSystem,
                  "add Select\ncd Select\nsetval 1\nCurrent\ndword:2\ncd \\\n"
                  "add ControlSet001\ncd ControlSet001\nadd Services\ncd Services\nadd Old\n"
                  "cd \\\nadd ControlSet002\ncd ControlSet002\nadd Services\ncd Services\n"
                  "add SpySvc\nadd GoodSvc\ncd SpySvc\nsetval 1\nImagePath\n"
                  "expandstring:%SystemRoot%\\spy.sys\nadd Sub\ncd \\ControlSet002\n"
                  "add Hardware Profiles\ncd Hardware Profiles\nadd Current\ncd Current\n"
                  "add Software\ncd Software\nadd Fonts");
        disk.hive(kDefault, "add Software\ncd Software\nadd DefaultSpy");
        disk.hive(kUser,
                  "add Software\ncd Software\nadd SpyCo\ncd SpyCo\nsetval 3\nCount\ndword:0x2a\n"
                  "Multi\nhex:7:61,00,00,00,62,00,00,00,00,00\nBlob\nhex:3:00,ff,10");
        disk.hive(kClasses, "add spy.ocx\nadd CLSID\ncd spy.ocx\nsetval 1\n@\nstring:user");
        reg = std::make_unique<HiveRegistry>(files(), backups());
    }
    HiveRegistry::Files files() const {
        return {disk.path(kSoftware), disk.path(kSystem),  disk.path(kUser),
                disk.path(kClasses),  disk.path(kDefault), kSid};
    }
    std::string backups() const { return disk.base() + "/backups"; }

    TempWindowsDisk disk;
    std::unique_ptr<HiveRegistry> reg;
};

TEST_F(HiveRegistryTest, EachHiveIsFoundWhereWindowsShowsIt) {
    const auto R = KeyAccess::Read;
    // Strings come in UTF-8 with their terminator, names and paths match in any case.
    auto run =
        reg->queryValue(Hive::LocalMachine, "software\\MICROSOFT\\Windows\\CurrentVersion\\Run",
                        "spybar", KeyAccess::Full);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->type, RegType::Sz);
    EXPECT_EQ(run->data, std::string("C:\\spy.exe\0", 11));

    // CurrentControlSet is the set Select\Current names.
    EXPECT_TRUE(
        reg->keyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\SpySvc", R));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Old", R));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\Old", R));
    auto image = reg->queryValue(Hive::LocalMachine, "System\\CurrentControlSet\\Services\\SpySvc",
                                 "ImagePath", R);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->type, RegType::ExpandSz);
    EXPECT_EQ(image->text(), "%SystemRoot%\\spy.sys");
    EXPECT_EQ(reg->subkeys(Hive::LocalMachine, ""),
              (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
    auto systemKeys = reg->subkeys(Hive::LocalMachine, "SYSTEM");
    ASSERT_TRUE(systemKeys);
    EXPECT_NE(std::find(systemKeys->begin(), systemKeys->end(), "CurrentControlSet"),
              systemKeys->end());
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "HARDWARE", R));
    EXPECT_TRUE(reg->keyExists(Hive::CurrentConfig, "Software\\Fonts", R));

    // The users: .DEFAULT, and the user's own hives under the user's security id.
    EXPECT_EQ(reg->subkeys(Hive::Users, ""),
              (std::vector<std::string>{".DEFAULT", kSid, std::string(kSid) + "_Classes"}));
    EXPECT_TRUE(reg->keyExists(Hive::Users, ".default\\Software\\DefaultSpy", R));
    EXPECT_TRUE(reg->keyExists(Hive::Users, std::string(kSid) + "\\Software\\SpyCo", R));
    EXPECT_TRUE(reg->keyExists(Hive::Users, std::string(kSid) + "_Classes\\spy.ocx", R));
    EXPECT_FALSE(reg->keyExists(Hive::Users, "S-1-5-18", R));

    // The user's hive: numbers, multi-strings and bytes as stored.
    auto count = reg->queryValue(Hive::CurrentUser, "Software\\SpyCo", "COUNT", R);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->type, RegType::Dword);
    EXPECT_EQ(count->number(), 42u);
    auto multi = reg->queryValue(Hive::CurrentUser, "Software\\SpyCo", "Multi", R);
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->data, std::string("a\0b\0\0", 5));
    EXPECT_EQ(
        reg->queryValue(Hive::CurrentUser, "Software\\SpyCo", "Blob", R).value_or(RegValue{}).data,
        std::string("\x00\xff\x10", 3));
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Software\\SpyCo"),
              (std::vector<std::string>{"Count", "Multi", "Blob"}));
    // Software\Classes of the user is the user's classes hive.
    EXPECT_TRUE(reg->keyExists(Hive::CurrentUser, "Software\\Classes\\CLSID", R));

    // Classes: the user's over the machine's.
    EXPECT_EQ(reg->queryValue(Hive::ClassesRoot, "spy.ocx", "", R).value_or(RegValue{}).text(),
              "user");
    EXPECT_EQ(
        reg->queryValue(Hive::ClassesRoot, "spy.ocx", "OnlyHere", R).value_or(RegValue{}).number(),
        7u);
    EXPECT_TRUE(reg->keyExists(Hive::ClassesRoot, "machine.only", R));
    EXPECT_TRUE(reg->keyExists(Hive::ClassesRoot, "CLSID", R));
    EXPECT_EQ(reg->subkeys(Hive::ClassesRoot, ""),
              (std::vector<std::string>{"CLSID", "spy.ocx", "machine.only"}));
    EXPECT_FALSE(reg->subkeys(Hive::ClassesRoot, "nothing.here"));
    // Reading changes nothing and copies nothing.
    EXPECT_FALSE(fs::exists(backups()));
}

TEST_F(HiveRegistryTest, RemovalWritesTheHivesAndKeepsTheirFormerCopies) {
    const std::string system = disk.path(kSystem);
    const std::string before =
        TempWindowsDisk::hivexget(system, "\\ControlSet002\\Services\\SpySvc");
    ASSERT_NE(before, "");

    EXPECT_TRUE(reg->deleteTree(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\spysvc"));
    EXPECT_TRUE(reg->deleteValue(Hive::LocalMachine,
                                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "SPYBAR"));
    EXPECT_TRUE(reg->deleteValue(Hive::CurrentUser, "Software\\SpyCo", "Multi"));
    // A class goes from both hives that hold it.
    EXPECT_TRUE(reg->deleteTree(Hive::ClassesRoot, "spy.ocx"));
    // Nothing to delete: false, and no copy of a hive that did not change.
    EXPECT_FALSE(
        reg->deleteTree(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\SpySvc"));
    EXPECT_FALSE(reg->deleteValue(Hive::CurrentUser, "Software\\SpyCo", "Multi"));
    EXPECT_FALSE(reg->deleteTree(Hive::LocalMachine, "SOFTWARE"));
    EXPECT_FALSE(reg->deleteTree(Hive::CurrentUser, ""));

    // hivex reads the hives back without what was removed and with everything else.
    EXPECT_EQ(disk.hivexls(system, "\\ControlSet002\\Services"), "GoodSvc\n");
    EXPECT_EQ(TempWindowsDisk::hivexget(system, "\\Select", "Current"), "2\n");
    EXPECT_EQ(TempWindowsDisk::hivexget(disk.path(kSoftware),
                                        "\\Microsoft\\Windows\\CurrentVersion\\Run"),
              "\"Keep\"=\"C:\\\\good.exe\"\n");
    EXPECT_EQ(TempWindowsDisk::hivexget(disk.path(kUser), "\\Software\\SpyCo", "Count"), "42\n");
    EXPECT_EQ(TempWindowsDisk::hivexget(disk.path(kUser), "\\Software\\SpyCo", "Multi"), "");
    EXPECT_EQ(disk.hivexls(disk.path(kSoftware), "\\Classes"), "machine.only\n");
    EXPECT_EQ(disk.hivexls(disk.path(kClasses), "\\"), "CLSID\n");

    // One copy of each changed hive, as it was before its first change.
    ASSERT_EQ(reg->backups().size(), 4u);
    for (const auto& copy : reg->backups()) {
        EXPECT_EQ(fs::path(copy).parent_path(), fs::path(backups()));
    }
    EXPECT_EQ(fs::path(reg->backups()[0]).filename().string().rfind("SYSTEM ", 0), 0u);
    EXPECT_EQ(TempWindowsDisk::hivexget(reg->backups()[0], "\\ControlSet002\\Services\\SpySvc"),
              before);
    // No half-written file is left beside a hive, and a fresh reader sees the same.
    for (const auto& e : fs::directory_iterator(fs::path(system).parent_path())) {
        EXPECT_EQ(e.path().filename().string().find("nightjar"), std::string::npos);
    }
    HiveRegistry again(files(), backups());
    EXPECT_FALSE(again.keyExists(Hive::ClassesRoot, "spy.ocx", KeyAccess::Read));
    EXPECT_TRUE(again.keyExists(Hive::ClassesRoot, "machine.only", KeyAccess::Read));
}

TEST_F(HiveRegistryTest, WrittenValuesReadBackThroughHivex) {
    const std::string text = "Grüße € \xF0\x9F\x90\xA6";
    EXPECT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\Nightjar\\Ünïcode", "Wört",
                              RegValue::string(text)));
    // Latin letters fold as the engine folds them: one key, one value.
    EXPECT_TRUE(
        reg->setValue(Hive::CurrentUser, "software\\nightjar\\ÜNÏCODE", "N", RegValue::dword(1)));
    EXPECT_TRUE(reg->setValue(Hive::CurrentUser, "software\\nightjar\\ünïcode", "n",
                              RegValue::dword(0xDEADBEEF)));
    EXPECT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\SpyCo", "Count", RegValue::dword(1)));
    EXPECT_TRUE(reg->createKey(Hive::ClassesRoot, "new.class\\shell"));
    // The engine's text is UTF-8: other bytes are refused and change nothing.
    EXPECT_FALSE(
        reg->setValue(Hive::CurrentUser, "Software\\Bad", "x", RegValue::string("\xE9t\xE9")));
    EXPECT_FALSE(reg->createKey(Hive::LocalMachine, "HARDWARE\\X"));

    HiveRegistry again(files(), backups());
    auto v =
        again.queryValue(Hive::CurrentUser, "Software\\Nightjar\\Ünïcode", "Wört", KeyAccess::Read);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, text + '\0');
    EXPECT_EQ(
        again.queryValue(Hive::CurrentUser, "Software\\Nightjar\\Ünïcode", "N", KeyAccess::Read)
            ->number(),
        0xDEADBEEFu);
    EXPECT_EQ(again.valueNames(Hive::CurrentUser, "Software\\SpyCo"),
              (std::vector<std::string>{"Count", "Multi", "Blob"}));
    EXPECT_FALSE(again.keyExists(Hive::CurrentUser, "Software\\Bad", KeyAccess::Read));
    // A new class goes to the machine's classes.
    EXPECT_EQ(disk.hivexls(disk.path(kSoftware), "\\Classes\\new.class"), "shell\n");
    // hivex itself reads the string as UTF-16.
    EXPECT_EQ(TempWindowsDisk::hivexget(disk.path(kUser), "\\Software\\Nightjar\\Ünïcode", "Wört"),
              text + "\n");
    EXPECT_EQ(reg->backups().size(), 2u);
}

TEST_F(HiveRegistryTest, AChangeByAnotherProgramIsNeitherMissedNorUndone) {
    const std::string key = "Software\\SpyCo";
    ASSERT_TRUE(reg->keyExists(Hive::CurrentUser, key, KeyAccess::Read));
    HiveRegistry other(files(), backups());
    ASSERT_TRUE(other.deleteValue(Hive::CurrentUser, key, "Count"));
    EXPECT_FALSE(reg->queryValue(Hive::CurrentUser, key, "Count", KeyAccess::Read));
    // A change made now starts from the hive as the other program left it.
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, key, "New", RegValue::dword(5)));
    ASSERT_TRUE(other.deleteValue(Hive::CurrentUser, key, "Blob"));
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, key, "Newer", RegValue::dword(6)));
    EXPECT_EQ(HiveRegistry(files(), backups()).valueNames(Hive::CurrentUser, key),
              (std::vector<std::string>{"Multi", "New", "Newer"}));
}

TEST_F(HiveRegistryTest, AChangeWithoutItsCopyIsRefused) {
    // The backup folder cannot be made: a file is in its place.
    std::ofstream(backups()) << "x";
    const auto before = fs::last_write_time(disk.path(kUser));
    EXPECT_FALSE(reg->deleteValue(Hive::CurrentUser, "Software\\SpyCo", "Count"));
    EXPECT_FALSE(reg->setValue(Hive::CurrentUser, "Software\\SpyCo", "New", RegValue::dword(1)));
    EXPECT_EQ(fs::last_write_time(disk.path(kUser)), before);
    EXPECT_EQ(
        reg->queryValue(Hive::CurrentUser, "Software\\SpyCo", "Count", KeyAccess::Read)->number(),
        42u);
    EXPECT_TRUE(reg->backups().empty());
}

}  // namespace
}  // namespace nightjar::platform::posix
