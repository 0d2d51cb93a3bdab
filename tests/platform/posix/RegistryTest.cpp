#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "TempMachineRoot.h"
#include "platform/posix/SqliteRegistry.h"
#include "settings/MachineSettingsStore.h"
#include "settings/SettingsStore.h"

namespace nightjar::platform::posix {
namespace {

using test::TempMachineRoot;

class SqliteRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(t.created()) << t.error();
        reg = open();
        ASSERT_TRUE(reg);
    }
    std::unique_ptr<SqliteRegistry> open() {
        std::string error;
        auto r = SqliteRegistry::open(t.machine().registryFile(), error);
        EXPECT_TRUE(r) << error;
        return r;
    }

    TempMachineRoot t;
    std::unique_ptr<SqliteRegistry> reg;
};

constexpr Hive kAllHives[] = {Hive::ClassesRoot, Hive::CurrentUser,   Hive::LocalMachine,
                              Hive::Users,       Hive::CurrentConfig, Hive::DynData};

TEST_F(SqliteRegistryTest, RootKeysAlwaysExist) {
    for (Hive h : kAllHives) {
        EXPECT_TRUE(reg->keyExists(h, "", KeyAccess::Read));
        EXPECT_TRUE(reg->keyExists(h, "", KeyAccess::Full));
        EXPECT_TRUE(reg->createKey(h, ""));
        auto subs = reg->subkeys(h, "");
        ASSERT_TRUE(subs.has_value());
        EXPECT_TRUE(subs->empty());
    }
    EXPECT_FALSE(reg->deleteTree(Hive::CurrentUser, ""));
    EXPECT_FALSE(reg->deleteTree(Hive::CurrentUser, "\\"));
    // A handle that is no predefined key.
    const auto bogus = static_cast<Hive>(0x80000009u);
    EXPECT_FALSE(reg->keyExists(bogus, "", KeyAccess::Read));
    EXPECT_FALSE(reg->createKey(bogus, "x"));
    EXPECT_FALSE(reg->setValue(bogus, "x", "v", RegValue::dword(1)));
    EXPECT_FALSE(reg->subkeys(bogus, "").has_value());
}

TEST_F(SqliteRegistryTest, EveryValueTypeKeepsItsBytes) {
    const std::string binary("\x00\x01\xFF\x80zz\x00", 7);
    const std::string multi("one\0two\0\0", 9);
    struct Case {
        const char* name;
        RegValue value;
    };
    const Case cases[] = {
        {"Text", RegValue::string("hello world")},
        {"Expand", RegValue::string("%SystemRoot%\\x", RegType::ExpandSz)},
        {"Number", RegValue::dword(0xDEADBEEF)},
        {"Binary", RegValue{RegType::Binary, binary}},
        {"Multi", RegValue{RegType::MultiSz, multi}},
        {"NoType", RegValue{RegType::None, ""}},
        {"", RegValue::string("default value")},
        {"Caf\xE9", RegValue::string("\xE9t\xE9")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\Types", c.name, c.value)) << c.name;
    }
    for (const auto& c : cases) {
        auto v = reg->queryValue(Hive::CurrentUser, "Software\\Types", c.name, KeyAccess::Full);
        ASSERT_TRUE(v.has_value()) << c.name;
        EXPECT_EQ(v->type, c.value.type) << c.name;
        EXPECT_EQ(v->data, c.value.data) << c.name;
    }
    EXPECT_EQ(
        reg->queryValue(Hive::CurrentUser, "Software\\Types", "Number", KeyAccess::Read)->number(),
        0xDEADBEEFu);
    EXPECT_EQ(reg->queryValue(Hive::CurrentUser, "Software\\Types", "Text", KeyAccess::Read)->data,
              std::string("hello world\0", 12));
    // Overwriting changes type and data.
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\Types", "Number",
                              RegValue::string("now text")));
    auto v = reg->queryValue(Hive::CurrentUser, "Software\\Types", "Number", KeyAccess::Read);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->type, RegType::Sz);
    EXPECT_EQ(v->text(), "now text");
    EXPECT_FALSE(reg->queryValue(Hive::CurrentUser, "Software\\Types", "Missing", KeyAccess::Read));
    EXPECT_FALSE(reg->queryValue(Hive::CurrentUser, "Software\\None", "Text", KeyAccess::Read));
}

TEST_F(SqliteRegistryTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\MyApp\\Settings", "ShowHelp",
                              RegValue::string("1")));
    EXPECT_TRUE(reg->keyExists(Hive::CurrentUser, "SOFTWARE\\myapp\\settings", KeyAccess::Full));
    auto v = reg->queryValue(Hive::CurrentUser, "software\\MYAPP\\Settings", "SHOWHELP",
                             KeyAccess::Read);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->text(), "1");
    EXPECT_EQ(reg->subkeys(Hive::CurrentUser, "software").value(),
              std::vector<std::string>{"MyApp"});
    // Setting under another spelling changes the value, not its name.
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "SOFTWARE\\MYAPP\\SETTINGS", "showhelp",
                              RegValue::string("0")));
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Software\\MyApp\\Settings").value(),
              std::vector<std::string>{"ShowHelp"});
    EXPECT_EQ(reg->subkeys(Hive::CurrentUser, "Software\\MyApp").value(),
              std::vector<std::string>{"Settings"});
    EXPECT_EQ(
        reg->queryValue(Hive::CurrentUser, "Software\\MyApp\\Settings", "ShowHelp", KeyAccess::Read)
            ->text(),
        "0");
    // Latin letters fold too.
    ASSERT_TRUE(reg->createKey(Hive::CurrentUser, "Software\\\xC3\x89T\xC3\x89"));
    EXPECT_TRUE(reg->keyExists(Hive::CurrentUser, "software\\\xC3\xA9t\xC3\xA9", KeyAccess::Read));
    // Hives are separate trees.
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "Software\\MyApp", KeyAccess::Read));
}

TEST_F(SqliteRegistryTest, CreateKeyMakesEveryParent) {
    ASSERT_TRUE(reg->createKey(Hive::LocalMachine, "SOFTWARE\\Company\\Product\\Settings"));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE", KeyAccess::Full));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Company", KeyAccess::Full));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "software\\company\\product\\settings\\",
                               KeyAccess::Full));
    EXPECT_TRUE(reg->createKey(Hive::LocalMachine, "SOFTWARE\\Company"));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Compan", KeyAccess::Read));
    EXPECT_EQ(reg->subkeys(Hive::LocalMachine, "SOFTWARE\\Company\\Product").value(),
              std::vector<std::string>{"Settings"});
}

TEST_F(SqliteRegistryTest, EnumerationOrdersSubkeysByNameAndValuesByCreation) {
    for (const char* k : {"Zeta", "alpha", "Beta"}) {
        ASSERT_TRUE(reg->createKey(Hive::CurrentUser, std::string("Enum\\") + k));
    }
    ASSERT_TRUE(reg->createKey(Hive::CurrentUser, "Enum\\Beta\\Child"));
    for (const char* v : {"second", "First", "third"}) {
        ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Enum", v, RegValue::dword(1)));
    }
    EXPECT_EQ(reg->subkeys(Hive::CurrentUser, "Enum").value(),
              (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Enum").value(),
              (std::vector<std::string>{"second", "First", "third"}));
    EXPECT_TRUE(reg->valueNames(Hive::CurrentUser, "Enum\\Zeta").value().empty());
    EXPECT_FALSE(reg->subkeys(Hive::CurrentUser, "Enum\\Missing").has_value());
    EXPECT_FALSE(reg->valueNames(Hive::CurrentUser, "Enum\\Missing").has_value());
}

TEST_F(SqliteRegistryTest, DeleteValueAndDeleteTree) {
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\A", "keep", RegValue::dword(1)));
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\A", "drop", RegValue::dword(2)));
    EXPECT_TRUE(reg->deleteValue(Hive::CurrentUser, "software\\a", "DROP"));
    EXPECT_FALSE(reg->deleteValue(Hive::CurrentUser, "Software\\A", "drop"));
    EXPECT_FALSE(reg->deleteValue(Hive::CurrentUser, "Software\\Missing", "drop"));
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Software\\A").value(),
              std::vector<std::string>{"keep"});

    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\A\\B\\C", "v", RegValue::dword(3)));
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\A\\B2", "v", RegValue::dword(4)));
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\AB", "v", RegValue::dword(5)));
    EXPECT_TRUE(reg->deleteTree(Hive::CurrentUser, "SOFTWARE\\a"));
    EXPECT_FALSE(reg->keyExists(Hive::CurrentUser, "Software\\A", KeyAccess::Read));
    EXPECT_FALSE(reg->keyExists(Hive::CurrentUser, "Software\\A\\B\\C", KeyAccess::Read));
    EXPECT_TRUE(reg->keyExists(Hive::CurrentUser, "Software", KeyAccess::Read));
    EXPECT_TRUE(reg->keyExists(Hive::CurrentUser, "Software\\AB", KeyAccess::Read));
    EXPECT_FALSE(reg->deleteTree(Hive::CurrentUser, "Software\\A"));
    // A key made again under the same name starts empty.
    ASSERT_TRUE(reg->createKey(Hive::CurrentUser, "Software\\A"));
    EXPECT_TRUE(reg->valueNames(Hive::CurrentUser, "Software\\A").value().empty());
    EXPECT_TRUE(reg->subkeys(Hive::CurrentUser, "Software\\A").value().empty());
}

TEST_F(SqliteRegistryTest, AReadOnlyKeyRefusesFullAccess) {
    ASSERT_TRUE(
        reg->setValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v", RegValue::string("x")));
    ASSERT_TRUE(reg->setReadOnly(Hive::LocalMachine, "software\\locked", true));

    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Locked", KeyAccess::Read));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Locked", KeyAccess::Full));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", KeyAccess::Full));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE", KeyAccess::Full));
    EXPECT_TRUE(
        reg->queryValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v", KeyAccess::Read));
    EXPECT_FALSE(
        reg->queryValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v", KeyAccess::Full));
    EXPECT_FALSE(reg->setValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v",
                               RegValue::string("changed")));
    EXPECT_FALSE(
        reg->setValue(Hive::LocalMachine, "SOFTWARE\\Locked\\New", "v", RegValue::string("x")));
    EXPECT_FALSE(reg->createKey(Hive::LocalMachine, "SOFTWARE\\Locked\\New"));
    EXPECT_FALSE(reg->createKey(Hive::LocalMachine, "SOFTWARE\\Locked"));
    EXPECT_FALSE(reg->deleteValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v"));
    EXPECT_FALSE(reg->deleteTree(Hive::LocalMachine, "SOFTWARE\\Locked"));
    EXPECT_FALSE(reg->deleteTree(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner"));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Locked\\New", KeyAccess::Read));
    EXPECT_EQ(reg->queryValue(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", "v", KeyAccess::Read)
                  ->text(),
              "x");
    EXPECT_EQ(reg->subkeys(Hive::LocalMachine, "SOFTWARE\\Locked").value(),
              std::vector<std::string>{"Inner"});

    ASSERT_TRUE(reg->setReadOnly(Hive::LocalMachine, "SOFTWARE\\Locked", false));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\Locked\\Inner", KeyAccess::Full));
    EXPECT_TRUE(reg->deleteTree(Hive::LocalMachine, "SOFTWARE\\Locked"));
}

TEST_F(SqliteRegistryTest, AWholeHiveCanBeReadOnly) {
    ASSERT_TRUE(reg->setValue(Hive::LocalMachine, "SOFTWARE\\X", "v", RegValue::dword(1)));
    ASSERT_TRUE(reg->setReadOnly(Hive::LocalMachine, "", true));
    EXPECT_FALSE(reg->keyExists(Hive::LocalMachine, "", KeyAccess::Full));
    EXPECT_TRUE(reg->keyExists(Hive::LocalMachine, "SOFTWARE\\X", KeyAccess::Read));
    EXPECT_FALSE(reg->createKey(Hive::LocalMachine, "SOFTWARE\\Y"));
    EXPECT_FALSE(reg->setValue(Hive::LocalMachine, "", "v", RegValue::dword(1)));
    EXPECT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\Y", "v", RegValue::dword(1)));
    // The mark is stored: another instance sees it.
    auto other = open();
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->keyExists(Hive::LocalMachine, "SOFTWARE\\X", KeyAccess::Full));
}

TEST_F(SqliteRegistryTest, ChangesPersistAndAreSharedBetweenInstances) {
    ASSERT_TRUE(reg->setValue(Hive::CurrentUser, "Software\\P", "a", RegValue::string("1")));
    auto second = open();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->queryValue(Hive::CurrentUser, "Software\\P", "a", KeyAccess::Read)->text(),
              "1");
    ASSERT_TRUE(second->setValue(Hive::CurrentUser, "Software\\P", "a", RegValue::string("2")));
    // Nothing is cached: the first instance reads the second's write.
    EXPECT_EQ(reg->queryValue(Hive::CurrentUser, "Software\\P", "a", KeyAccess::Read)->text(), "2");
    reg.reset();
    second.reset();
    auto third = open();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->queryValue(Hive::CurrentUser, "Software\\P", "a", KeyAccess::Read)->text(),
              "2");
}

TEST_F(SqliteRegistryTest, TwoProcessesWriteTheSameFile) {
    constexpr int kEach = 100;
    const std::string file = t.machine().registryFile();
    // A connection must not cross a fork: close it, fork, then each side opens its own.
    reg.reset();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        auto r = SqliteRegistry::open(file, error);
        bool ok = r != nullptr;
        for (int i = 0; ok && i < kEach; ++i) {
            ok = r->setValue(Hive::CurrentUser, "Software\\Shared\\Child", "v" + std::to_string(i),
                             RegValue::dword(static_cast<std::uint32_t>(i)));
        }
        _exit(ok ? 0 : 1);
    }
    reg = open();
    ASSERT_TRUE(reg);
    bool ok = true;
    for (int i = 0; i < kEach; ++i) {
        ok = reg->setValue(Hive::CurrentUser, "Software\\Shared\\Parent", "v" + std::to_string(i),
                           RegValue::dword(static_cast<std::uint32_t>(i))) &&
             ok;
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Software\\Shared\\Child").value().size(),
              static_cast<std::size_t>(kEach));
    EXPECT_EQ(reg->valueNames(Hive::CurrentUser, "Software\\Shared\\Parent").value().size(),
              static_cast<std::size_t>(kEach));
    EXPECT_EQ(reg->subkeys(Hive::CurrentUser, "Software\\Shared").value(),
              (std::vector<std::string>{"Child", "Parent"}));
}

TEST(SqliteRegistryOpen, FailsWithAReasonWhereNoFileCanBeMade) {
    std::string error;
    auto r = SqliteRegistry::open("/nonexistent-folder-njtest/sub/registry.sqlite", error);
    EXPECT_FALSE(r);
    EXPECT_FALSE(error.empty());
}

TEST_F(SqliteRegistryTest, SettingsStoresWorkOverTheEmulatedRegistry) {
    settings::SettingsStore user(*reg, "Nightjar");
    EXPECT_EQ(user.Read("OptionAndSettings", "chkScanCookies", "1"), "1");
    ASSERT_TRUE(user.Write("OptionAndSettings", "chkScanCookies", "0"));
    EXPECT_EQ(user.Read("optionandsettings", "CHKSCANCOOKIES", "1"), "0");

    settings::MachineSettingsStore machine(*reg, user, "Nightjar Labs", "Nightjar");
    EXPECT_EQ(machine.MachineWrite("Settings", "FirstTime", "Yes"), settings::MachineError::None);
    EXPECT_EQ(machine.MachineRead("Settings", "FirstTime", "").value, "Yes");

    // A standard user cannot change the machine-wide part: the write is refused and the
    // user is asked; the value stays readable.
    ASSERT_TRUE(reg->setReadOnly(Hive::LocalMachine, "", true));
    int asked = 0;
    auto prompt = [&](std::string_view, std::string_view title) {
        ++asked;
        EXPECT_EQ(title, settings::MachineSettingsStore::kPermissionTitle);
        return settings::PermissionAnswer::Abort;
    };
    EXPECT_NE(machine.MachineWrite("Settings", "showHelp", "0", prompt),
              settings::MachineError::None);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(machine.MachineRead("Settings", "showHelp", "default").value, "default");
    EXPECT_EQ(machine.MachineRead("Settings", "FirstTime", "").value, "Yes");
}

}  // namespace
}  // namespace nightjar::platform::posix
